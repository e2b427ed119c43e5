// Sim backend: what the program learns about and does to processes beyond the
// snapshot: priority classes, psapi's image paths and working sets, drive devices,
// tokens, accounts and privileges, and starting programs.
#include <unistd.h>

#include <algorithm>
#include <cctype>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"

namespace plat {

namespace {

bool Fail(uint32_t code) {
  sim::SetError(code);
  return false;
}

constexpr uint32_t kERROR_DIRECTORY = 267;
constexpr uint32_t kERROR_PARTIAL_COPY = 299;
constexpr uint32_t kERROR_NO_SUCH_PRIVILEGE = 1313;
constexpr uint32_t kERROR_INVALID_SID = 1337;
constexpr uint32_t kQueryRights = kPROCESS_QUERY_INFORMATION | kPROCESS_QUERY_LIMITED_INFORMATION;

size_t Utf16Length(const std::string& text) {
  return txt::Utf8ToUtf16(text).size();
}

// ---------------------------------------------------------------- process handles

// The table entry a process handle stands for. The program's own process need
// not be listed; it then reads as a process with default fields.
struct Target {
  sim::Process* process = nullptr;
  bool self = false;
};

// Resolves a process handle that must hold one of anyOf (when not 0) and all of
// allOf. Fails with 6 for a bad handle, 5 for missing rights and 87 for a
// process that has ended.
bool FindTarget(sim::Machine& m, Handle handle, uint32_t anyOf, uint32_t allOf, Target& t) {
  uint32_t pid = m.selfPid;
  t.self = true;
  if (handle != sim::kCurrentProcessHandle) {
    auto h = sim::LookupHandleAs<sim::ProcessHandle>(handle);
    if (!h) return Fail(kERROR_INVALID_HANDLE);
    if ((anyOf && !(h->access & anyOf)) || (h->access & allOf) != allOf) {
      return Fail(kERROR_ACCESS_DENIED);
    }
    pid = h->pid;
    t.self = pid == m.selfPid;
  }
  for (sim::Process& p : m.processes) {
    if (p.pid == pid && pid != 0) {
      t.process = &p;
      return true;
    }
  }
  if (t.self) return true;
  return Fail(kERROR_INVALID_PARAMETER);
}

bool ValidPriorityClass(uint32_t c) {
  return c == kIDLE_PRIORITY_CLASS || c == kBELOW_NORMAL_PRIORITY_CLASS ||
         c == kNORMAL_PRIORITY_CLASS || c == kABOVE_NORMAL_PRIORITY_CLASS ||
         c == kHIGH_PRIORITY_CLASS || c == kREALTIME_PRIORITY_CLASS;
}

// ---------------------------------------------------------------- drives and devices

bool HasLetter(const std::string& path) {
  return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
         path[2] == '\\';
}

std::string DeviceOf(const sim::Machine& m, char letter) {
  letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  const auto it = m.driveDevices.find(letter);
  if (it != m.driveDevices.end()) return it->second;
  if (letter == 'A' || letter == 'B') return "\\Device\\Floppy" + std::to_string(letter - 'A');
  return "\\Device\\HarddiskVolume" + std::to_string(letter - 'C' + 1);
}

std::vector<char> DriveLetters(const sim::Machine& m) {
  std::vector<char> letters;
  for (char c = 'A'; c <= 'Z'; ++c) {
    if (m.drives.count(c) || m.driveDevices.count(c)) letters.push_back(c);
  }
  return letters;
}

std::string ImageDevicePath(const sim::Machine& m, const sim::Process& p) {
  if (!p.devicePath.empty()) return p.devicePath;
  if (!HasLetter(p.imagePath)) return "";
  return DeviceOf(m, p.imagePath[0]) + p.imagePath.substr(2);
}

std::string OwnImagePath(const sim::Machine& m, const Target& t) {
  return t.process ? t.process->imagePath : m.exePath;
}

// ---------------------------------------------------------------- accounts and SIDs

struct WellKnown {
  const char* name;
  uint32_t rid;  // S-1-5-rid
};
const WellKnown kWellKnown[] = {{"SYSTEM", 18}, {"LOCAL SERVICE", 19}, {"NETWORK SERVICE", 20}};

uint32_t Fnv(const std::string& text) {
  uint32_t h = 2166136261u;
  for (const char c : text) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

std::string ComputerName(const sim::Machine& m) {
  const auto it = m.environment.find("COMPUTERNAME");
  return it != m.environment.end() && !it->second.empty() ? it->second : "WORKSTATION";
}

// Local accounts: S-1-5-21-a-b-c-rid, a-b-c from the computer name, rid from
// the account name (without case); the built-in Administrator and Guest keep 500
// and 501.
uint32_t LocalRid(const std::string& name) {
  const std::string lower = txt::LowerCase(name);
  if (lower == "administrator") return 500;
  if (lower == "guest") return 501;
  return 1000 + Fnv(lower) % 0x3FFFFF00u;
}

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string MakeSid(const std::vector<uint32_t>& subAuthorities) {
  std::string sid;
  sid += '\x01';
  sid += static_cast<char>(subAuthorities.size());
  sid += std::string("\0\0\0\0\0\x05", 6);  // SECURITY_NT_AUTHORITY
  for (const uint32_t s : subAuthorities)
    Put32(sid, s);
  return sid;
}

std::vector<uint32_t> MachineAuthorities(const sim::Machine& m) {
  const std::string name = txt::UpperCase(ComputerName(m));
  return {21, Fnv(name) % 1000000000u + 1000000000u, Fnv(name + "#") % 1000000000u + 1000000000u,
          Fnv(name + "##") % 1000000000u + 1000000000u};
}

std::string SidOf(const sim::Machine& m, const std::string& account) {
  for (const WellKnown& w : kWellKnown) {
    if (txt::SameText(account, w.name)) return MakeSid({w.rid});
  }
  std::vector<uint32_t> sub = MachineAuthorities(m);
  sub.push_back(LocalRid(account));
  return MakeSid(sub);
}

// Every account the machine knows: the user, the owners of its processes.
std::vector<std::string> KnownAccounts(const sim::Machine& m) {
  std::vector<std::string> names = {m.userName, "Administrator", "Guest"};
  for (const sim::Process& p : m.processes) {
    if (!p.owner.empty()) names.push_back(p.owner);
  }
  return names;
}

// ---------------------------------------------------------------- tokens and privileges

struct TokenHandle : sim::HandleObject {
  uint32_t pid = 0;
  bool self = false;
  uint32_t access = 0;
  std::string owner;
  uint32_t elevationType = kTokenElevationTypeDefault;
  bool elevated = false;
  uint32_t session = 1;
};

// A token handle holding all of the rights (5 when it does not, 6 when it is none).
std::shared_ptr<TokenHandle> TokenWith(Handle token, uint32_t rights) {
  auto h = sim::LookupHandleAs<TokenHandle>(token);
  if (!h) {
    Fail(kERROR_INVALID_HANDLE);
  } else if ((h->access & rights) != rights) {
    Fail(kERROR_ACCESS_DENIED);
    h.reset();
  }
  return h;
}

const char* const kPrivileges[] = {
    nullptr,
    nullptr,
    "SeCreateTokenPrivilege",
    "SeAssignPrimaryTokenPrivilege",
    "SeLockMemoryPrivilege",
    "SeIncreaseQuotaPrivilege",
    "SeMachineAccountPrivilege",
    "SeTcbPrivilege",
    "SeSecurityPrivilege",
    "SeTakeOwnershipPrivilege",
    "SeLoadDriverPrivilege",
    "SeSystemProfilePrivilege",
    "SeSystemtimePrivilege",
    "SeProfileSingleProcessPrivilege",
    "SeIncreaseBasePriorityPrivilege",
    "SeCreatePagefilePrivilege",
    "SeCreatePermanentPrivilege",
    "SeBackupPrivilege",
    "SeRestorePrivilege",
    "SeShutdownPrivilege",
    "SeDebugPrivilege",
    "SeAuditPrivilege",
    "SeSystemEnvironmentPrivilege",
    "SeChangeNotifyPrivilege",
    "SeRemoteShutdownPrivilege",
    "SeUndockPrivilege",
    "SeSyncAgentPrivilege",
    "SeEnableDelegationPrivilege",
    "SeManageVolumePrivilege",
    "SeImpersonatePrivilege",
    "SeCreateGlobalPrivilege",
    "SeTrustedCredManAccessPrivilege",
    "SeRelabelPrivilege",
    "SeIncreaseWorkingSetPrivilege",
    "SeTimeZonePrivilege",
    "SeCreateSymbolicLinkPrivilege",
    "SeDelegateSessionUserImpersonatePrivilege",
};

// What a standard (not elevated) user's token holds.
const char* const kStandardPrivileges[] = {"SeShutdownPrivilege", "SeChangeNotifyPrivilege",
                                           "SeUndockPrivilege", "SeIncreaseWorkingSetPrivilege",
                                           "SeTimeZonePrivilege"};

// ---------------------------------------------------------------- starting programs

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The image a command-line candidate names: ".exe" appended when the name has
// no extension; a bare name is searched for in the program's folder, the current
// folder, the system folder, the Windows folder and the folders of Path.
bool FindImage(const sim::Machine& m, std::string candidate, std::string& image) {
  if (candidate.empty()) return false;
  if (FileNameOf(candidate).find('.') == std::string::npos) candidate += ".exe";
  const auto tryPath = [&](const std::string& path) {
    sim::Resolved r;
    if (!sim::Resolve(m, path, r) || !r.exists || r.isDir) return false;
    image = r.windows;
    return true;
  };
  if (candidate.find_first_of("\\/:") != std::string::npos) {
    return tryPath(sim::FullWindowsPath(m, candidate));
  }
  std::vector<std::string> folders;
  folders.push_back(m.exePath.substr(0, m.exePath.rfind('\\')));
  folders.push_back(m.currentDirectory);
  folders.push_back(m.systemDir);
  const auto windir = m.environment.find("SystemRoot");
  folders.push_back(windir != m.environment.end() ? windir->second
                                                  : m.systemDir.substr(0, m.systemDir.rfind('\\')));
  const auto path = m.environment.find("Path");
  if (path != m.environment.end()) {
    size_t start = 0;
    for (;;) {
      const size_t semi = path->second.find(';', start);
      const std::string folder = path->second.substr(start, semi - start);
      if (!folder.empty()) folders.push_back(folder);
      if (semi == std::string::npos) break;
      start = semi + 1;
    }
  }
  for (std::string folder : folders) {
    if (folder.empty()) continue;
    if (folder.back() != '\\') folder += '\\';
    if (tryPath(sim::FullWindowsPath(m, folder + candidate))) return true;
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------- priority classes

uint32_t GetPriorityClass(Handle process) {
  sim::Op op;
  Target t;
  if (!FindTarget(op.m(), process, kQueryRights, 0, t)) return 0;
  return t.process ? t.process->priorityClass : kNORMAL_PRIORITY_CLASS;
}

bool SetPriorityClass(Handle process, uint32_t priorityClass) {
  const sim::ChangeCall change;
  sim::Op op;
  Target t;
  if (!FindTarget(op.m(), process, 0, kPROCESS_SET_INFORMATION, t)) return false;
  if (!ValidPriorityClass(priorityClass)) return Fail(kERROR_INVALID_PARAMETER);
  if (t.process && t.process->priorityClass != priorityClass) {
    t.process->priorityClass = priorityClass;
    op.Changed();
  }
  return true;
}

// ---------------------------------------------------------------- psapi

bool HasPsapiFunction(const std::string& name) {
  sim::Op op;
  const sim::Machine& m = op.m();
  if (name == "GetProcessImageFileNameW") return m.hasGetProcessImageFileNameW;
  if (name == "GetModuleFileNameExW") return m.hasGetModuleFileNameExW;
  if (name == "QueryWorkingSet") return m.hasQueryWorkingSet;
  static const char* const kOthers[] = {"EmptyWorkingSet",      "EnumDeviceDrivers",
                                        "EnumProcessModules",   "EnumProcesses",
                                        "GetMappedFileNameW",   "GetModuleBaseNameW",
                                        "GetModuleInformation", "GetPerformanceInfo",
                                        "GetProcessMemoryInfo", "GetProcessImageFileNameA",
                                        "GetModuleFileNameExA", "QueryWorkingSetEx"};
  return std::find(std::begin(kOthers), std::end(kOthers), name) != std::end(kOthers);
}

bool GetModuleFileNameExW(Handle process, std::string& path, uint32_t capacity) {
  path.clear();
  sim::Op op;
  sim::Machine& m = op.m();
  if (!m.hasGetModuleFileNameExW) return Fail(kERROR_PROC_NOT_FOUND);
  Target t;
  if (!FindTarget(m, process, kQueryRights, kPROCESS_VM_READ, t)) return false;
  const std::string image = OwnImagePath(m, t);
  if (image.empty()) return Fail(kERROR_PARTIAL_COPY);  // no main module (System)
  if (capacity == 0) return Fail(kERROR_INSUFFICIENT_BUFFER);
  std::u16string wide = txt::Utf8ToUtf16(image);
  if (wide.size() >= capacity) wide.resize(capacity - 1);  // truncated, as Windows does
  path = txt::Utf16ToUtf8(wide);
  return true;
}

bool GetProcessImageFileNameW(Handle process, std::string& path, uint32_t capacity) {
  path.clear();
  sim::Op op;
  sim::Machine& m = op.m();
  if (!m.hasGetProcessImageFileNameW) return Fail(kERROR_PROC_NOT_FOUND);
  Target t;
  if (!FindTarget(m, process, kQueryRights, 0, t)) return false;
  std::string device;
  if (t.process) {
    device = ImageDevicePath(m, *t.process);
  } else if (HasLetter(m.exePath)) {
    device = DeviceOf(m, m.exePath[0]) + m.exePath.substr(2);
  }
  if (device.empty()) return Fail(kERROR_INVALID_PARAMETER);
  if (Utf16Length(device) + 1 > capacity) return Fail(kERROR_INSUFFICIENT_BUFFER);
  path = device;
  return true;
}

bool QueryWorkingSet(Handle process, uint32_t bufferBytes, std::vector<uint64_t>& entries) {
  entries.clear();
  sim::Op op;
  sim::Machine& m = op.m();
  if (!m.hasQueryWorkingSet) return Fail(kERROR_PROC_NOT_FOUND);
  Target t;
  if (!FindTarget(m, process, kQueryRights, kPROCESS_VM_READ, t)) return false;
  const sim::Process none;
  const sim::Process& p = t.process ? *t.process : none;
  // The program is 32-bit: the count and every entry take 4 bytes.
  const uint32_t entryBytes = m.processArchitecture == kPROCESSOR_ARCHITECTURE_INTEL ? 4 : 8;
  const uint64_t fit = bufferBytes / entryBytes > 0 ? bufferBytes / entryBytes - 1 : 0;
  const uint64_t total = uint64_t{p.wsPrivate} + p.wsShared + p.wsSharedHigh;
  if (bufferBytes < entryBytes || total > fit) return Fail(kERROR_BAD_LENGTH);
  entries.reserve(total);
  // Bits 0-4 protection, 5-7 share count, 8 shared, 12 and up the page address.
  constexpr uint64_t kReadWrite = 0x04, kReadOnly = 0x01, kShared = 0x100, kShareCount = 0x20;
  // Private pages from 0x00010000, shared ones from 0x70000000 (both below
  // 0xC0000000), system-range shared ones from 0xC0000000 (up to 0xE0000000).
  for (uint64_t i = 0; i < p.wsPrivate; ++i)
    entries.push_back((0x00010000u + (i % 0x6FFF0) * 0x1000) | kReadWrite);
  for (uint64_t i = 0; i < p.wsShared; ++i)
    entries.push_back((0x70000000u + (i % 0x50000) * 0x1000) | kShared | kShareCount | kReadOnly);
  for (uint64_t i = 0; i < p.wsSharedHigh; ++i)
    entries.push_back((0xC0000000u + (i % 0x20001) * 0x1000) | kShared | kShareCount | kReadOnly);
  return true;
}

// ---------------------------------------------------------------- drives

bool GetLogicalDriveStringsW(uint32_t capacity, std::vector<std::string>& drives) {
  drives.clear();
  sim::Op op;
  const std::vector<char> letters = DriveLetters(op.m());
  if (capacity < letters.size() * 4 + 1) return Fail(kERROR_INSUFFICIENT_BUFFER);
  for (const char c : letters)
    drives.push_back(std::string(1, c) + ":\\");
  return true;
}

bool QueryDosDeviceW(const std::string& device, std::string& target, uint32_t capacity) {
  target.clear();
  sim::Op op;
  const sim::Machine& m = op.m();
  if (device.size() != 2 || device[1] != ':' ||
      !std::isalpha(static_cast<unsigned char>(device[0]))) {
    return Fail(kERROR_FILE_NOT_FOUND);
  }
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(device[0])));
  if (!m.drives.count(letter) && !m.driveDevices.count(letter)) return Fail(kERROR_FILE_NOT_FOUND);
  const std::string name = DeviceOf(m, letter);
  if (Utf16Length(name) + 2 > capacity) return Fail(kERROR_INSUFFICIENT_BUFFER);
  target = name;
  return true;
}

bool GetProcessTimes(Handle process, uint64_t& creationTime) {
  creationTime = 0;
  sim::Op op;
  Target t;
  if (!FindTarget(op.m(), process, kQueryRights, 0, t)) return false;
  creationTime = t.process ? t.process->created : 0;
  return true;
}

// ---------------------------------------------------------------- tokens

bool OpenProcessToken(Handle process, uint32_t access, Handle& token) {
  token = 0;
  sim::Op op;
  sim::Machine& m = op.m();
  Target t;
  if (!FindTarget(m, process, kQueryRights, 0, t)) return false;
  if (t.process && !t.process->tokenReadable && !t.self) return Fail(kERROR_ACCESS_DENIED);
  auto h = std::make_shared<TokenHandle>();
  h->pid = t.process ? t.process->pid : m.selfPid;
  h->self = t.self;
  h->access = access;
  h->owner = t.self ? m.userName : t.process->owner;
  h->elevationType = t.self ? m.elevationType : t.process->elevationType;
  h->elevated = t.self ? m.elevated : t.process->elevated;
  h->session = t.self ? m.session : t.process->session;
  token = sim::AddHandle(std::move(h));
  return true;
}

bool GetTokenInformationUser(Handle token, uint32_t bufferBytes, std::string& sid,
                             uint32_t& needed) {
  sid.clear();
  needed = 0;
  auto h = sim::LookupHandleAs<TokenHandle>(token);
  if (!h) return Fail(kERROR_INVALID_HANDLE);
  if (!(h->access & kTOKEN_QUERY)) return Fail(kERROR_ACCESS_DENIED);
  sim::Op op;
  const sim::Machine& m = op.m();
  const std::string bytes = SidOf(m, h->owner);
  // TOKEN_USER: a SID_AND_ATTRIBUTES (pointer and attributes) followed by the SID.
  const uint32_t header = m.processArchitecture == kPROCESSOR_ARCHITECTURE_INTEL ? 8 : 16;
  needed = header + static_cast<uint32_t>(bytes.size());
  if (bufferBytes < needed) return Fail(kERROR_INSUFFICIENT_BUFFER);
  sid = bytes;
  return true;
}

bool GetTokenInformationElevationType(Handle token, uint32_t& type) {
  type = 0;
  auto h = TokenWith(token, kTOKEN_QUERY);
  if (!h) return false;
  type = h->elevationType;
  return true;
}

bool GetTokenInformationElevation(Handle token, bool& elevated) {
  elevated = false;
  auto h = TokenWith(token, kTOKEN_QUERY);
  if (!h) return false;
  elevated = h->elevated;
  return true;
}

bool GetTokenInformationSessionId(Handle token, uint32_t& session) {
  session = 0;
  auto h = TokenWith(token, kTOKEN_QUERY);
  if (!h) return false;
  session = h->session;
  return true;
}

bool DuplicateTokenEx(Handle token, uint32_t access, Handle& primary) {
  primary = 0;
  auto h = TokenWith(token, kTOKEN_DUPLICATE);
  if (!h) return false;
  auto copy = std::make_shared<TokenHandle>(*h);
  copy->self = false;  // a copy: privilege changes no longer reach the program's token
  copy->access = access;
  primary = sim::AddHandle(std::move(copy));
  sim::SetError(kERROR_SUCCESS);
  return true;
}

bool LookupAccountSidW(const std::string& sid, std::string& name, std::string& domain,
                       uint32_t nameChars, uint32_t domainChars) {
  name.clear();
  domain.clear();
  if (sid.size() < 8 || sid[0] != 1 || static_cast<unsigned char>(sid[1]) > 15 ||
      sid.size() != 8 + 4 * static_cast<size_t>(static_cast<unsigned char>(sid[1]))) {
    return Fail(kERROR_INVALID_SID);
  }
  sim::Op op;
  const sim::Machine& m = op.m();
  std::string foundName, foundDomain;
  for (const WellKnown& w : kWellKnown) {
    if (sid == MakeSid({w.rid})) {
      foundName = w.name;
      foundDomain = "NT AUTHORITY";
    }
  }
  if (foundName.empty()) {
    for (const std::string& account : KnownAccounts(m)) {
      if (SidOf(m, account) == sid) {
        foundName = account;
        foundDomain = ComputerName(m);
        break;
      }
    }
  }
  if (foundName.empty()) return Fail(kERROR_NONE_MAPPED);
  if (Utf16Length(foundName) + 1 > nameChars || Utf16Length(foundDomain) + 1 > domainChars) {
    return Fail(kERROR_INSUFFICIENT_BUFFER);
  }
  name = foundName;
  domain = foundDomain;
  return true;
}

bool LookupPrivilegeValueW(const std::string& name, uint64_t& luid) {
  luid = 0;
  for (size_t i = 0; i < std::size(kPrivileges); ++i) {
    if (kPrivileges[i] && txt::SameText(name, kPrivileges[i])) {
      luid = i;
      return true;
    }
  }
  return Fail(kERROR_NO_SUCH_PRIVILEGE);
}

bool AdjustTokenPrivileges(Handle token, uint64_t luid, uint32_t attributes) {
  auto h = sim::LookupHandleAs<TokenHandle>(token);
  if (!h) return Fail(kERROR_INVALID_HANDLE);
  if (!(h->access & kTOKEN_ADJUST_PRIVILEGES)) return Fail(kERROR_ACCESS_DENIED);
  sim::Op op;
  sim::Machine& m = op.m();
  const char* name = luid < std::size(kPrivileges) ? kPrivileges[luid] : nullptr;
  if (!name) {
    sim::SetError(kERROR_NOT_ALL_ASSIGNED);
    return true;
  }
  if (!h->self) {  // other tokens are not tracked: the change is taken as made
    sim::SetError(kERROR_SUCCESS);
    return true;
  }
  bool held = m.elevated;
  for (const char* standard : kStandardPrivileges)
    held = held || txt::SameText(name, standard);
  if (!held) {
    sim::SetError(kERROR_NOT_ALL_ASSIGNED);
    return true;
  }
  auto& enabled = m.enabledPrivileges;
  const auto it = std::find_if(enabled.begin(), enabled.end(),
                               [&](const std::string& p) { return txt::SameText(p, name); });
  const bool enable = (attributes & kSE_PRIVILEGE_ENABLED) != 0 && !(attributes & 0x4);
  if (enable && it == enabled.end()) {
    enabled.push_back(name);
    op.Changed();
  } else if (!enable && it != enabled.end()) {
    enabled.erase(it);
    op.Changed();
  }
  sim::SetError(kERROR_SUCCESS);
  return true;
}

// ---------------------------------------------------------------- starting programs

namespace {

// The token a started process gets: its user, elevation and session.
struct StartAs {
  std::string owner;
  uint32_t elevationType = kTokenElevationTypeDefault;
  bool elevated = false;
  uint32_t session = 1;
};

// FILETIME of the machine's local time (the clock the sim keeps).
uint64_t FileTimeNow() {
  constexpr double kDaysFrom1601To1899 = 109205;  // 1601-01-01 to 1899-12-30
  const SystemTime now = GetLocalTime();
  const double serial = txt::EncodeDateTime(now.year, now.month, now.day, now.hour, now.minute,
                                            now.second, now.milliseconds);
  return static_cast<uint64_t>((serial + kDaysFrom1601To1899) * 864000000000.0);
}

bool StartProcess(const std::string& applicationName, const std::string& commandLine,
                  const std::string& currentDirectory, int show, const StartAs& as, uint32_t& pid) {
  pid = 0;
  const sim::ChangeCall change;
  const uint64_t created = FileTimeNow();
  sim::Op op;
  sim::Machine& m = op.m();
  std::string image;
  const std::string line = txt::TrimLeft(commandLine);
  if (!applicationName.empty()) {
    // Named as it stands: no search, no extension added.
    sim::Resolved r;
    if (!sim::Resolve(m, sim::FullWindowsPath(m, applicationName), r) || !r.exists || r.isDir) {
      return Fail(kERROR_FILE_NOT_FOUND);
    }
    image = r.windows;
  } else if (!line.empty() && line[0] == '"') {
    // The image: a quoted first word, or the shortest run of blank-separated
    // words that names a file.
    const size_t close = line.find('"', 1);
    if (!FindImage(m, line.substr(1, close == std::string::npos ? close : close - 1), image)) {
      return Fail(kERROR_FILE_NOT_FOUND);
    }
  } else {
    bool found = false;
    for (size_t pos = 0; !found;) {
      const size_t blank = line.find_first_of(" \t", pos);
      found = FindImage(m, line.substr(0, blank), image);
      if (blank == std::string::npos) break;
      pos = blank + 1;
    }
    if (!found) return Fail(kERROR_FILE_NOT_FOUND);
  }
  std::string folder = m.currentDirectory;
  if (!currentDirectory.empty()) {
    sim::Resolved r;
    if (!sim::Resolve(m, currentDirectory, r) || !r.exists || !r.isDir) {
      return Fail(kERROR_DIRECTORY);
    }
    folder = r.windows;
  }
  sim::Process p;
  p.pid = m.nextPid++;
  const auto used = [&](uint32_t id) {
    return id == 0 || std::any_of(m.processes.begin(), m.processes.end(),
                                  [&](const sim::Process& q) { return q.pid == id; });
  };
  while (used(p.pid))
    p.pid = m.nextPid++;
  p.parentPid = m.selfPid ? m.selfPid : static_cast<uint32_t>(::getpid());
  p.exeFile = FileNameOf(image);
  p.imagePath = image;
  p.owner = as.owner;
  p.elevationType = as.elevationType;
  p.elevated = as.elevated;
  p.session = as.session;
  p.created = created;
  p.commandLine = commandLine;
  p.currentDirectory = folder;
  p.show = show;
  p.wsPrivate = 300;  // a freshly started program's working set
  p.wsShared = 900;
  m.processes.push_back(p);
  op.Changed();
  pid = p.pid;
  sim::SetError(kERROR_SUCCESS);
  return true;
}

}  // namespace

bool CreateProcessW(const std::string& commandLine, const std::string& currentDirectory, int show,
                    uint32_t& pid, const std::string& applicationName) {
  StartAs as;
  {
    sim::Op op;
    const sim::Machine& m = op.m();
    as = StartAs{m.userName, m.elevationType, m.elevated, m.session};
  }
  return StartProcess(applicationName, commandLine, currentDirectory, show, as, pid);
}

bool CreateProcessWithTokenW(Handle token, const std::string& applicationName,
                             const std::string& commandLine, const std::string& currentDirectory,
                             int show, uint32_t& pid) {
  pid = 0;
  auto h = TokenWith(token, kTOKEN_QUERY | kTOKEN_DUPLICATE | kTOKEN_ASSIGN_PRIMARY);
  if (!h) return false;
  {
    sim::Op op;
    // SeImpersonatePrivilege: held by elevated programs.
    if (!op.m().elevated) return Fail(kERROR_PRIVILEGE_NOT_HELD);
  }
  return StartProcess(applicationName, commandLine, currentDirectory, show,
                      StartAs{h->owner, h->elevationType, h->elevated, h->session}, pid);
}

}  // namespace plat
