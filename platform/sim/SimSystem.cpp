// Sim backend: version facts, environment, special folders, user, modules, debug
// output, clock, locale and code pages, processes.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/Text.h"
#include "platform/sim/SimCodePages.h"
#include "platform/sim/SimInternal.h"
#include "platform/sim/SimSched.h"

namespace plat {

namespace {

bool Fail(uint32_t code) {
  sim::SetError(code);
  return false;
}

SystemInfo MakeSystemInfo(const sim::Machine& m, uint16_t architecture) {
  SystemInfo info;
  info.processorArchitecture = architecture;
  info.pageSize = 4096;
  info.numberOfProcessors = m.numberOfProcessors;
  info.allocationGranularity = 65536;
  info.minimumApplicationAddress = 0x10000;
  info.maximumApplicationAddress =
      architecture == kPROCESSOR_ARCHITECTURE_INTEL ? 0x7FFEFFFFull : 0x7FFFFFFEFFFFull;
  return info;
}

}  // namespace

// ---------------------------------------------------------------- system facts

bool GetVersionExW(OsVersionInfo& info) {
  sim::Op op;
  info = op.m().os;
  return true;
}

bool HasGetNativeSystemInfo() {
  sim::Op op;
  return op.m().hasGetNativeSystemInfo;
}

SystemInfo GetNativeSystemInfo() {
  sim::Op op;
  const sim::Machine& m = op.m();
  return MakeSystemInfo(m, m.hasGetNativeSystemInfo ? m.nativeArchitecture : m.processArchitecture);
}

SystemInfo GetSystemInfo() {
  sim::Op op;
  return MakeSystemInfo(op.m(), op.m().processArchitecture);
}

int GetSystemMetrics(int index) {
  sim::Op op;
  switch (index) {
    case kSM_CXSCREEN:
      return op.m().screenWidth;
    case kSM_CYSCREEN:
      return op.m().screenHeight;
    case kSM_SERVERR2:
      return op.m().serverR2;
    default:
      return 0;
  }
}

bool Kernel32HasExport(const char* name) {
  sim::Op op;
  const sim::Machine& m = op.m();
  const std::string n = name ? name : "";
  if (n.empty()) return false;
  if (n == "IsWow64Process") return m.hasIsWow64Process;
  if (n == "GetNativeSystemInfo") return m.hasGetNativeSystemInfo;
  for (const std::string& missing : m.missingExports) {
    if (missing == n) return false;
  }
  return true;
}

bool IsWow64Process(Handle process, bool& wow64) {
  sim::Op op;
  const sim::Machine& m = op.m();
  if (!m.hasIsWow64Process) return Fail(kERROR_PROC_NOT_FOUND);
  uint32_t pid = m.selfPid;
  if (process != sim::kCurrentProcessHandle) {
    auto h = sim::LookupHandleAs<sim::ProcessHandle>(process);
    if (!h) return Fail(kERROR_INVALID_HANDLE);
    pid = h->pid;
  }
  wow64 = false;
  if (m.nativeArchitecture == kPROCESSOR_ARCHITECTURE_INTEL) return true;
  if (process == sim::kCurrentProcessHandle || pid == m.selfPid) {
    wow64 = m.wow64;
    return true;
  }
  for (const sim::Process& p : m.processes) {
    if (p.pid != pid) continue;
    const auto it = p.extra.find("wow64");
    wow64 =
        it != p.extra.end() && (it->second == "yes" || it->second == "true" || it->second == "1");
  }
  return true;
}

// ---------------------------------------------------------------- environment, shell, user

std::optional<std::string> GetEnvironmentVariableW(const std::string& name) {
  sim::Op op;
  const auto it = op.m().environment.find(name);
  if (it == op.m().environment.end()) {
    sim::SetError(203);  // ERROR_ENVVAR_NOT_FOUND
    return std::nullopt;
  }
  return it->second;
}

bool SetEnvironmentVariableW(const std::string& name, const std::optional<std::string>& value) {
  if (name.empty() || name.find('=', 1) != std::string::npos) return Fail(kERROR_INVALID_PARAMETER);
  sim::Op op;
  auto& env = op.m().environment;  // the program's own: not written to the machine file
  if (value) {
    env[name] = *value;
  } else {
    env.erase(name);
  }
  return true;
}

bool SHGetSpecialFolderPathW(int csidl, std::string& path) {
  sim::Op op;
  const auto it = op.m().specialFolders.find(csidl & 0xFF);
  if (it == op.m().specialFolders.end()) return false;
  path = it->second;
  return true;
}

bool GetUserNameW(std::string& name, uint32_t capacity) {
  sim::Op op;
  const std::string& user = op.m().userName;
  if (capacity < txt::Utf8ToUtf16(user).size() + 1) return Fail(kERROR_INSUFFICIENT_BUFFER);
  name = user;
  return true;
}

std::string GetModuleFileNameW(const std::string& moduleName) {
  sim::Op op;
  const sim::Machine& m = op.m();
  if (moduleName.empty()) return m.exePath;
  std::string name = moduleName;
  if (name.find('.') == std::string::npos) name += ".dll";
  for (const char* system : {"kernel32.dll", "ntdll.dll", "kernelbase.dll"}) {
    if (txt::SameText(name, system)) return m.systemDir + "\\" + system;
  }
  const size_t slash = m.exePath.find_last_of('\\');
  if (txt::SameText(moduleName, m.exePath.substr(slash == std::string::npos ? 0 : slash + 1))) {
    return m.exePath;
  }
  sim::SetError(126);  // ERROR_MOD_NOT_FOUND
  return {};
}

void OutputDebugStringW(const std::string& text) {
  sim::Op op;
  op.m().debugOutput.push_back(text);
}

// ---------------------------------------------------------------- time

uint64_t GetTickCount64() {
  sim::Op op;
  if (op.m().manualClock) return op.m().tickMs;
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
}

uint32_t GetTickCount() {
  return static_cast<uint32_t>(GetTickCount64());
}

void Sleep(uint32_t milliseconds) {
  // On the machine clock: a manual clock moves when every thread of the program waits.
  sim::sched::SleepFor(milliseconds);
}

SystemTime GetLocalTime() {
  {
    sim::Op op;
    if (op.m().manualClock) return sim::SerialToSystemTime(op.m().localTime);
  }
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  ::localtime_r(&ts.tv_sec, &local);
  SystemTime t;
  t.year = static_cast<uint16_t>(local.tm_year + 1900);
  t.month = static_cast<uint16_t>(local.tm_mon + 1);
  t.dayOfWeek = static_cast<uint16_t>(local.tm_wday);
  t.day = static_cast<uint16_t>(local.tm_mday);
  t.hour = static_cast<uint16_t>(local.tm_hour);
  t.minute = static_cast<uint16_t>(local.tm_min);
  t.second = static_cast<uint16_t>(local.tm_sec);
  t.milliseconds = static_cast<uint16_t>(ts.tv_nsec / 1000000);
  return t;
}

// ---------------------------------------------------------------- locale and code pages

uint32_t GetACP() {
  sim::Op op;
  return op.m().ansiCodePage;
}

uint16_t GetSystemDefaultLangID() {
  sim::Op op;
  return op.m().systemDefaultLangId;
}

std::string GetUserDecimalSeparator() {
  sim::Op op;
  return op.m().decimalSeparator;
}

namespace {

constexpr uint32_t kCP_ACP = 0;
constexpr uint32_t kCP_UTF8 = 65001;

const char16_t* TableOf(uint32_t codePage) {
  for (const sim::CodePageTable* t = sim::kCodePageTables; t->codePage; ++t) {
    if (t->codePage == codePage) return t->upperHalf;
  }
  return nullptr;
}

uint32_t ActualCodePage(uint32_t codePage) {
  if (codePage != kCP_ACP) return codePage;
  sim::Op op;
  return op.m().ansiCodePage;
}

}  // namespace

std::u16string MultiByteToWideChar(uint32_t codePage, const std::string& bytes) {
  codePage = ActualCodePage(codePage);
  if (codePage == kCP_UTF8) return txt::Utf8ToUtf16(bytes);
  const char16_t* table = TableOf(codePage);
  if (!table) {
    sim::SetError(kERROR_INVALID_PARAMETER);
    return {};
  }
  std::u16string out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    out[i] = b < 0x80 ? static_cast<char16_t>(b) : table[b - 0x80];
  }
  return out;
}

std::string WideCharToMultiByte(uint32_t codePage, const std::u16string& text) {
  codePage = ActualCodePage(codePage);
  if (codePage == kCP_UTF8) return txt::Utf16ToUtf8(text);
  const char16_t* table = TableOf(codePage);
  if (!table) {
    sim::SetError(kERROR_INVALID_PARAMETER);
    return {};
  }
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;  // one character outside the code page
    }
    char byte = '?';
    for (int k = 0; k < 128; ++k) {
      if (table[k] == c) {
        byte = static_cast<char>(0x80 + k);
        break;
      }
    }
    out += byte;
  }
  return out;
}

// ---------------------------------------------------------------- processes

bool SnapshotProcesses(std::vector<ProcessEntry>& entries) {
  entries.clear();
  sim::Op op;
  for (const sim::Process& p : op.m().processes) {
    ProcessEntry e;
    e.pid = p.pid;
    e.parentPid = p.parentPid;
    e.threads = p.threads;
    e.basePriority = p.basePriority;
    e.exeFile = p.exeFile;
    entries.push_back(std::move(e));
  }
  return true;
}

Handle OpenProcess(uint32_t access, bool inheritHandle, uint32_t pid) {
  (void)inheritHandle;
  sim::Op op;
  const sim::Machine& m = op.m();
  for (const sim::Process& p : m.processes) {
    if (p.pid != pid || pid == 0) continue;
    // The process grants the rights its table entry lists (all of them: anything).
    const bool granted =
        p.access == kPROCESS_ALL_ACCESS || (access & ~p.access & ~kSYNCHRONIZE) == 0;
    if ((!p.canOpen || !granted) && pid != m.selfPid) {
      sim::SetError(kERROR_ACCESS_DENIED);
      return 0;
    }
    auto h = std::make_shared<sim::ProcessHandle>();
    h->pid = pid;
    h->access = access;
    return sim::AddHandle(std::move(h));
  }
  sim::SetError(kERROR_INVALID_PARAMETER);
  return 0;
}

// The sim keeps no ended processes: an open handle of one answers exit code 1, the code
// this program ends processes with.
bool GetExitCodeProcess(Handle process, uint32_t& exitCode) {
  auto h = sim::LookupHandleAs<sim::ProcessHandle>(process);
  if (!h) return Fail(kERROR_INVALID_HANDLE);
  sim::Op op;
  const auto& ps = op.m().processes;
  const bool running =
      std::any_of(ps.begin(), ps.end(), [&](const sim::Process& p) { return p.pid == h->pid; });
  exitCode = running ? kSTILL_ACTIVE : 1;
  return true;
}

bool TerminateProcess(Handle process, uint32_t exitCode) {
  const sim::ChangeCall change(process != sim::kCurrentProcessHandle);
  uint32_t pid = 0;
  const bool self = process == sim::kCurrentProcessHandle;
  if (!self) {
    auto h = sim::LookupHandleAs<sim::ProcessHandle>(process);
    if (!h) return Fail(kERROR_INVALID_HANDLE);
    if (!(h->access & kPROCESS_TERMINATE)) return Fail(kERROR_ACCESS_DENIED);
    pid = h->pid;
  }
  sim::Op op;
  sim::Machine& m = op.m();
  if (self) pid = m.selfPid;
  bool found = false;
  for (auto it = m.processes.begin(); it != m.processes.end(); ++it) {
    if (it->pid != pid) continue;
    if (!it->canTerminate && !self) return Fail(kERROR_ACCESS_DENIED);
    m.processes.erase(it);
    op.Changed();
    found = true;
    break;
  }
  // A process that has already ended cannot be ended again.
  if (!found && !self) return Fail(kERROR_ACCESS_DENIED);
  if (self || pid == m.selfPid) {
    // The program ends itself, as on Windows; the machine is already written.
    std::fflush(nullptr);
    std::_Exit(static_cast<int>(exitCode));
  }
  return true;
}

Handle GetCurrentProcess() {
  return sim::kCurrentProcessHandle;
}

uint32_t GetCurrentProcessId() {
  sim::Op op;
  return op.m().selfPid ? op.m().selfPid : static_cast<uint32_t>(::getpid());
}

}  // namespace plat
