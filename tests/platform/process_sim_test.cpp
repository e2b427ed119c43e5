// Processes on the simulated machine: priority classes, rights, image paths in
// device form, drives, working sets, tokens and accounts, privileges and starting
// programs.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/ErrorOf.h"

namespace {

using namespace plat;
using test::ErrorOf;

sim::Process Proc(uint32_t pid, const std::string& path, const std::string& owner = "Gamer") {
  sim::Process p;
  p.pid = pid;
  p.parentPid = 4712;
  p.imagePath = path;
  p.exeFile = path.substr(path.rfind('\\') + 1);
  p.owner = owner;
  return p;
}

const sim::Process* Find(sim::ScopedMachine& m, uint32_t pid) {
  for (const sim::Process& p : m.machine().processes)
    if (p.pid == pid) return &p;
  return nullptr;
}

// A process handle closed at the end of the scope.
struct Opened {
  Opened(uint32_t access, uint32_t pid) : h(OpenProcess(access, false, pid)) {}
  ~Opened() {
    if (h) CloseHandle(h);
  }
  Handle h;
};

bool Enabled(sim::ScopedMachine& m, const std::string& privilege) {
  const auto& e = m.machine().enabledPrivileges;
  return std::find(e.begin(), e.end(), privilege) != e.end();
}

TEST(SimProcess, PriorityClassesAndTheRightsTheyNeed) {
  sim::Process query = Proc(501, "C:\\Tools\\query.exe", "SYSTEM");
  query.access = kPROCESS_QUERY_INFORMATION | kPROCESS_QUERY_LIMITED_INFORMATION;
  sim::Process limited = Proc(502, "C:\\Tools\\limited.exe", "SYSTEM");
  limited.access = kPROCESS_QUERY_LIMITED_INFORMATION;
  sim::Process none = Proc(503, "C:\\Tools\\none.exe", "SYSTEM");
  none.access = 0;
  sim::ScopedMachine m{
      sim::MachineBuilder().AddProcess(query).AddProcess(limited).AddProcess(none)};
  {
    Opened p(kPROCESS_ALL_ACCESS, 7720);  // obs64.exe, above normal
    EXPECT_EQ(GetPriorityClass(p.h), kABOVE_NORMAL_PRIORITY_CLASS);
    ASSERT_TRUE(SetPriorityClass(p.h, kIDLE_PRIORITY_CLASS));
    EXPECT_EQ(Find(m, 7720)->priorityClass, kIDLE_PRIORITY_CLASS);
    for (uint32_t bad : {0u, 0x10u, 0x60u, 0x100000u})
      EXPECT_EQ(ErrorOf(SetPriorityClass(p.h, bad)), kERROR_INVALID_PARAMETER) << bad;
    EXPECT_EQ(GetPriorityClass(p.h), kIDLE_PRIORITY_CLASS);
  }
  // Reading needs a query right, changing PROCESS_SET_INFORMATION.
  {
    Opened p(kPROCESS_QUERY_LIMITED_INFORMATION, 4712);
    EXPECT_EQ(GetPriorityClass(p.h), kNORMAL_PRIORITY_CLASS);
    EXPECT_EQ(ErrorOf(SetPriorityClass(p.h, kHIGH_PRIORITY_CLASS)), kERROR_ACCESS_DENIED);
    Opened t(kPROCESS_TERMINATE, 4712);
    EXPECT_EQ(ErrorOf(GetPriorityClass(t.h) != 0), kERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(ErrorOf(GetPriorityClass(0x7777) != 0), kERROR_INVALID_HANDLE);
  ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), kHIGH_PRIORITY_CLASS));
  EXPECT_EQ(Find(m, 9120)->priorityClass, kHIGH_PRIORITY_CLASS);
  {
    Opened ended(kPROCESS_ALL_ACCESS, 7016);
    ASSERT_TRUE(TerminateProcess(ended.h, 1));
    EXPECT_EQ(ErrorOf(GetPriorityClass(ended.h) != 0), kERROR_INVALID_PARAMETER);
  }

  // The rights the machine's table grants; "all" of newer systems covers older masks.
  EXPECT_EQ(ErrorOf(OpenProcess(kPROCESS_ALL_ACCESS, true, 501) != 0), kERROR_ACCESS_DENIED);
  EXPECT_EQ(GetPriorityClass(Opened(kPROCESS_QUERY_INFORMATION, 501).h), kNORMAL_PRIORITY_CLASS);
  EXPECT_EQ(Opened(kPROCESS_QUERY_INFORMATION, 502).h, 0u);
  EXPECT_NE(Opened(kPROCESS_QUERY_LIMITED_INFORMATION | kSYNCHRONIZE, 502).h, 0u);
  EXPECT_EQ(ErrorOf(OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, 503) != 0),
            kERROR_ACCESS_DENIED);
  EXPECT_NE(Opened(0x1FFFFF, 4712).h, 0u);
}

TEST(SimProcess, ImagePathsInDeviceFormAndBack) {
  sim::Process onD = Proc(601, "D:\\Games\\racer.exe");
  sim::Process noLetter = Proc(602, "");
  noLetter.exeFile = "backup.exe";
  noLetter.devicePath = "\\Device\\HarddiskVolume7\\Tools\\backup.exe";
  sim::ScopedMachine m{sim::MachineBuilder()
                           .DriveDevice('C', "\\Device\\HarddiskVolume1")
                           .DriveDevice('D', "\\Device\\HarddiskVolume10")
                           .AddProcess(onD)
                           .AddProcess(noLetter)};
  std::vector<std::string> drives;
  ASSERT_TRUE(GetLogicalDriveStringsW(258, drives));
  EXPECT_EQ(drives, (std::vector<std::string>{"C:\\", "D:\\"}));
  EXPECT_EQ(ErrorOf(GetLogicalDriveStringsW(8, drives)), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(drives.empty());
  EXPECT_TRUE(GetLogicalDriveStringsW(9, drives));  // two drives need 9 characters

  std::string target;
  ASSERT_TRUE(QueryDosDeviceW("d:", target, 512));
  EXPECT_EQ(target, "\\Device\\HarddiskVolume10");
  // 24 characters and two terminators.
  EXPECT_EQ(ErrorOf(QueryDosDeviceW("D:", target, 25)), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(QueryDosDeviceW("D:", target, 26));
  EXPECT_EQ(ErrorOf(QueryDosDeviceW("Q:", target, 512)), kERROR_FILE_NOT_FOUND);

  std::string path;
  {
    Opened p(kPROCESS_QUERY_LIMITED_INFORMATION, 601);
    ASSERT_TRUE(GetProcessImageFileNameW(p.h, path, 512));
    EXPECT_EQ(path, "\\Device\\HarddiskVolume10\\Games\\racer.exe");
    EXPECT_EQ(ErrorOf(GetProcessImageFileNameW(p.h, path, 40)), kERROR_INSUFFICIENT_BUFFER);
    EXPECT_TRUE(path.empty());
    EXPECT_TRUE(GetProcessImageFileNameW(p.h, path, 41));
    // GetModuleFileNameExW gives the DOS path but needs PROCESS_VM_READ.
    EXPECT_EQ(ErrorOf(GetModuleFileNameExW(p.h, path, 512)), kERROR_ACCESS_DENIED);
  }
  {
    Opened p(kPROCESS_QUERY_INFORMATION | kPROCESS_VM_READ, 601);
    ASSERT_TRUE(GetModuleFileNameExW(p.h, path, 512));
    EXPECT_EQ(path, "D:\\Games\\racer.exe");
    ASSERT_TRUE(GetModuleFileNameExW(p.h, path, 9));  // truncated, as Windows does
    EXPECT_EQ(path, "D:\\Games");
  }
  // pid, the device path; a drive without an explicit device is HarddiskVolume by letter.
  const std::pair<uint32_t, std::string> devices[] = {
      {602, "\\Device\\HarddiskVolume7\\Tools\\backup.exe"},
      {4712, "\\Device\\HarddiskVolume1\\Windows\\explorer.exe"},
      {9120, "\\Device\\HarddiskVolume1\\Program Files (x86)\\Velmora\\VlxMini.exe"}};
  for (const auto& [pid, device] : devices) {
    EXPECT_TRUE(GetProcessImageFileNameW(Opened(kPROCESS_QUERY_INFORMATION, pid).h, path, 512));
    EXPECT_EQ(path, device);
  }
}

TEST(SimProcess, DriveDevicesFromTheMachineAndMissingPsapiFunctions) {
  sim::ScopedMachine m{sim::MachineBuilder().With([](sim::Machine& mm) {
    mm.driveDevices.clear();
    mm.driveDevices['E'] = "\\Device\\CdRom0";  // a drive without contents
    mm.hasGetProcessImageFileNameW = false;
    mm.hasQueryWorkingSet = false;
  })};
  std::vector<std::string> drives;
  ASSERT_TRUE(GetLogicalDriveStringsW(258, drives));
  EXPECT_EQ(drives, (std::vector<std::string>{"C:\\", "E:\\"}));
  std::string target;
  ASSERT_TRUE(QueryDosDeviceW("C:", target, 512));
  EXPECT_EQ(target, "\\Device\\HarddiskVolume1");
  ASSERT_TRUE(QueryDosDeviceW("E:", target, 512));
  EXPECT_EQ(target, "\\Device\\CdRom0");
  EXPECT_EQ(GetFileAttributesW("E:\\setup.exe"), kINVALID_FILE_ATTRIBUTES);

  for (const char* name : {"GetProcessImageFileNameW", "QueryWorkingSet", "NoSuchFunction"})
    EXPECT_FALSE(HasPsapiFunction(name)) << name;
  EXPECT_TRUE(HasPsapiFunction("GetModuleFileNameExW"));
  EXPECT_TRUE(HasPsapiFunction("EnumProcesses"));
  Opened p(kPROCESS_ALL_ACCESS, 4712);
  std::string path;
  std::vector<uint64_t> entries;
  EXPECT_EQ(ErrorOf(GetProcessImageFileNameW(p.h, path, 512)), kERROR_PROC_NOT_FOUND);
  EXPECT_EQ(ErrorOf(QueryWorkingSet(p.h, 262140, entries)), kERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(GetModuleFileNameExW(p.h, path, 512));
  EXPECT_EQ(path, "C:\\Windows\\explorer.exe");
}

TEST(SimProcess, WorkingSetEntries) {
  sim::Process p = Proc(701, "C:\\Tools\\ws.exe");
  p.wsPrivate = 10;
  p.wsShared = 5;
  p.wsSharedHigh = 3;
  sim::Process full = Proc(702, "C:\\Tools\\full.exe");
  full.wsPrivate = 65000;
  full.wsShared = 534;
  sim::ScopedMachine m{sim::MachineBuilder().AddProcess(p).AddProcess(full)};
  std::vector<uint64_t> entries;
  {
    Opened ws(kPROCESS_QUERY_INFORMATION | kPROCESS_VM_READ, 701);
    ASSERT_TRUE(QueryWorkingSet(ws.h, 4 * 19, entries));  // the count and 18 entries
    ASSERT_EQ(entries.size(), 18u);
    int shared = 0, high = 0;
    for (const uint64_t e : entries) {
      const uint64_t address = e & ~uint64_t{0xFFF};
      shared += (e & 0x100) != 0;
      high += (e & 0x100) && address >= 0xC0000000u && address <= 0xE0000000u;
      EXPECT_LT(address, 0x100000000u);
    }
    EXPECT_EQ(shared, 8);
    EXPECT_EQ(high, 3);
    // One entry too many for the buffer: ERROR_BAD_LENGTH and nothing returned.
    EXPECT_EQ(ErrorOf(QueryWorkingSet(ws.h, 4 * 19 - 1, entries)), kERROR_BAD_LENGTH);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(ErrorOf(QueryWorkingSet(ws.h, 0, entries)), kERROR_BAD_LENGTH);
  }
  EXPECT_EQ(ErrorOf(QueryWorkingSet(Opened(kPROCESS_QUERY_INFORMATION, 701).h, 4096, entries)),
            kERROR_ACCESS_DENIED);  // PROCESS_VM_READ is needed
  // 65,534 entries fill a buffer of 262,140 bytes exactly; one more does not fit.
  Opened all(kPROCESS_ALL_ACCESS, 702);
  ASSERT_TRUE(QueryWorkingSet(all.h, 262140, entries));
  EXPECT_EQ(entries.size(), 65534u);
  m.machine().processes.back().wsShared = 535;
  EXPECT_EQ(ErrorOf(QueryWorkingSet(all.h, 262140, entries)), kERROR_BAD_LENGTH);
}

// The owner SID of a process's token, asked for the way the program does: size first.
std::string TokenSid(Handle process) {
  Handle token = 0;
  if (!OpenProcessToken(process, kTOKEN_QUERY, token)) return "";
  std::string sid;
  uint32_t needed = 0;
  EXPECT_EQ(ErrorOf(GetTokenInformationUser(token, 0, sid, needed)), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(GetTokenInformationUser(token, needed, sid, needed));
  EXPECT_EQ(needed, 8 + sid.size());  // the 32-bit TOKEN_USER header and the SID
  CloseHandle(token);
  return sid;
}

TEST(SimProcess, TokenOwnersAndAccountNames) {
  sim::Process other = Proc(801, "C:\\Tools\\other.exe", "Alice");
  sim::Process system = Proc(802, "C:\\Windows\\System32\\svc.exe", "SYSTEM");
  sim::Process closed = Proc(803, "C:\\Tools\\closed.exe", "SYSTEM");
  closed.tokenReadable = false;
  sim::ScopedMachine m{
      sim::MachineBuilder().AddProcess(other).AddProcess(system).AddProcess(closed)};
  std::string name, domain;
  const std::string gamer = TokenSid(Opened(kPROCESS_QUERY_INFORMATION, 4712).h);  // explorer
  // A plausible local account SID: S-1-5-21-a-b-c-rid.
  ASSERT_EQ(gamer.size(), 8u + 5 * 4);
  EXPECT_EQ(gamer.substr(0, 9), std::string("\x01\x05\0\0\0\0\0\x05\x15", 9));
  EXPECT_EQ(TokenSid(GetCurrentProcess()), gamer);
  const std::string alice = TokenSid(Opened(kPROCESS_QUERY_INFORMATION, 801).h);
  EXPECT_NE(alice, gamer);
  const std::string systemSid = TokenSid(Opened(kPROCESS_QUERY_LIMITED_INFORMATION, 802).h);
  EXPECT_EQ(systemSid, std::string("\x01\x01\0\0\0\0\0\x05\x12\0\0\0", 12));  // S-1-5-18
  const struct {
    std::string sid, name, domain;
  } accounts[] = {{gamer, "Gamer", "GAMER-PC"},
                  {alice, "Alice", "GAMER-PC"},
                  {systemSid, "SYSTEM", "NT AUTHORITY"}};
  for (const auto& a : accounts) {
    ASSERT_TRUE(LookupAccountSidW(a.sid, name, domain, 260, 260)) << a.name;
    EXPECT_EQ(name + "\\" + domain, a.name + "\\" + a.domain);
  }
  // Buffers too small ("Gamer" needs 6, "NT AUTHORITY" 13), unknown and malformed SIDs.
  EXPECT_EQ(ErrorOf(LookupAccountSidW(gamer, name, domain, 5, 260)), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(ErrorOf(LookupAccountSidW(systemSid, name, domain, 260, 12)),
            kERROR_INSUFFICIENT_BUFFER);
  std::string unknown = gamer;
  unknown.back() ^= 0x40;
  EXPECT_EQ(ErrorOf(LookupAccountSidW(unknown, name, domain, 260, 260)), kERROR_NONE_MAPPED);
  EXPECT_NE(ErrorOf(LookupAccountSidW(gamer.substr(0, 10), name, domain, 260, 260)), 0u);

  // A token the program may not read; a process opened without a query right; a token
  // opened without TOKEN_QUERY.
  Handle token = 0;
  EXPECT_EQ(
      ErrorOf(OpenProcessToken(Opened(kPROCESS_QUERY_INFORMATION, 803).h, kTOKEN_QUERY, token)),
      kERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrorOf(OpenProcessToken(Opened(kPROCESS_TERMINATE, 801).h, kTOKEN_QUERY, token)),
            kERROR_ACCESS_DENIED);
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), kTOKEN_ADJUST_PRIVILEGES, token));
  std::string sid;
  uint32_t needed = 0;
  EXPECT_EQ(ErrorOf(GetTokenInformationUser(token, 256, sid, needed)), kERROR_ACCESS_DENIED);
  CloseHandle(token);
}

TEST(SimProcess, PrivilegesOfElevatedAndStandardPrograms) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  uint64_t luid = 0;
  ASSERT_TRUE(LookupPrivilegeValueW("SeDebugPrivilege", luid));
  EXPECT_EQ(luid, 20u);
  ASSERT_TRUE(LookupPrivilegeValueW("seshutdownprivilege", luid));
  EXPECT_EQ(luid, 19u);
  EXPECT_EQ(ErrorOf(LookupPrivilegeValueW("SeFlyingPrivilege", luid)), 1313u);

  Handle token = 0;
  ASSERT_TRUE(
      OpenProcessToken(GetCurrentProcess(), kTOKEN_ADJUST_PRIVILEGES | kTOKEN_QUERY, token));
  SetLastError(99);
  ASSERT_TRUE(AdjustTokenPrivileges(token, 20, kSE_PRIVILEGE_ENABLED));
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_TRUE(Enabled(m, "SeDebugPrivilege"));
  ASSERT_TRUE(AdjustTokenPrivileges(token, 20, 0));  // disabled again
  EXPECT_FALSE(Enabled(m, "SeDebugPrivilege"));
  CloseHandle(token);
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), kTOKEN_QUERY, token));
  EXPECT_EQ(ErrorOf(AdjustTokenPrivileges(token, 20, kSE_PRIVILEGE_ENABLED)), kERROR_ACCESS_DENIED);
  CloseHandle(token);

  // A standard user: the call succeeds but the token does not hold the privilege.
  m.machine().elevated = false;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), kTOKEN_ADJUST_PRIVILEGES, token));
  ASSERT_TRUE(AdjustTokenPrivileges(token, 20, kSE_PRIVILEGE_ENABLED));
  EXPECT_EQ(GetLastError(), kERROR_NOT_ALL_ASSIGNED);
  EXPECT_FALSE(Enabled(m, "SeDebugPrivilege"));
  ASSERT_TRUE(AdjustTokenPrivileges(token, 19, kSE_PRIVILEGE_ENABLED));  // SeShutdownPrivilege
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_TRUE(Enabled(m, "SeShutdownPrivilege"));
  CloseHandle(token);
}

TEST(SimProcess, CreateProcessParsesTheCommandLineLikeWindows) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\Games\\My Game\\game.exe", "MZ")
                           .File("C:\\Games\\Tools\\Run.exe", "MZ")
                           .File("C:\\Tools\\tool.exe", "MZ")};
  uint32_t pid = 0;
  ASSERT_TRUE(CreateProcessW("\"C:\\Games\\My Game\\game.exe\" -windowed", "C:\\Games", 1, pid));
  EXPECT_EQ(pid, 10000u);
  const sim::Process* p = Find(m, pid);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->imagePath, "C:\\Games\\My Game\\game.exe");
  EXPECT_EQ(p->show, 1);
  EXPECT_EQ(p->commandLine, "\"C:\\Games\\My Game\\game.exe\" -windowed");
  EXPECT_EQ(p->currentDirectory, "C:\\Games");
  EXPECT_EQ(p->parentPid, 9120u);
  EXPECT_EQ(p->owner, "Gamer");
  EXPECT_EQ(p->priorityClass, kNORMAL_PRIORITY_CLASS);
  EXPECT_EQ(m.machine().nextPid, 10001u);
  // Unquoted with blanks: the words are tried left to right, ".exe" added; the program's
  // own folder is the default current directory.
  ASSERT_TRUE(CreateProcessW("C:\\Games\\My Game\\game -fast", "", 3, pid));
  EXPECT_EQ(Find(m, pid)->imagePath, "C:\\Games\\My Game\\game.exe");
  EXPECT_EQ(Find(m, pid)->currentDirectory, "C:\\Program Files (x86)\\Velmora");
  EXPECT_EQ(Find(m, pid)->show, 3);

  // command line, the image started: names match without case, the stored case is kept;
  // a shorter run of words that names a file wins; a bare name is searched for along the
  // usual folders.
  m.WriteFile("C:\\Games\\My.exe", "MZ");
  const std::pair<std::string, std::string> images[] = {
      {"c:\\games\\tools\\run", "C:\\Games\\Tools\\Run.exe"},
      {"C:\\Games\\My Game\\game.exe", "C:\\Games\\My.exe"},
      {"notepad C:\\todo.txt", "C:\\Windows\\System32\\notepad.exe"}};
  for (const auto& [command, image] : images) {
    ASSERT_TRUE(CreateProcessW(command, "", 1, pid)) << command;
    EXPECT_EQ(Find(m, pid)->imagePath, image);
    EXPECT_EQ(Find(m, pid)->exeFile, image.substr(image.rfind('\\') + 1));
  }

  // Failures: no such file, a folder, a current directory that does not exist.
  const size_t count = m.machine().processes.size();
  const std::pair<std::string, std::string> failures[] = {
      {"\"C:\\Games\\missing.exe\"", ""},
      {"C:\\No Such\\x.exe -a", ""},
      {"", ""},
      {"C:\\Tools\\tool.exe", "C:\\Nowhere"},
      {"C:\\Tools\\tool.exe", "C:\\Tools\\tool.exe"}};
  for (const auto& [command, folder] : failures) {
    EXPECT_EQ(ErrorOf(CreateProcessW(command, folder, 1, pid)),
              folder.empty() ? kERROR_FILE_NOT_FOUND : 267u /* ERROR_DIRECTORY */)
        << command;
    EXPECT_EQ(pid, 0u);
  }
  EXPECT_EQ(m.machine().processes.size(), count);

  // The started process is an ordinary one: listed, opened, ended.
  ASSERT_TRUE(CreateProcessW("C:\\Tools\\tool.exe", "C:\\Tools\\", 1, pid));
  std::vector<ProcessEntry> entries;
  ASSERT_TRUE(SnapshotProcesses(entries));
  EXPECT_EQ(entries.back().exeFile, "tool.exe");
  EXPECT_EQ(entries.back().parentPid, 9120u);
  Opened started(kPROCESS_ALL_ACCESS, pid);
  std::string path;
  ASSERT_TRUE(GetProcessImageFileNameW(started.h, path, 512));
  EXPECT_EQ(path, "\\Device\\HarddiskVolume3\\Tools\\tool.exe");
  EXPECT_TRUE(TerminateProcess(started.h, 1));
  EXPECT_EQ(Find(m, pid), nullptr);
}

}  // namespace
