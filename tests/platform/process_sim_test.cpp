// Processes on the simulated machine where Wine cannot show Windows: rights, priority
// classes, image paths in device form, working sets, tokens and accounts, privileges
// of standard users, psapi functions an old system lacks, starting programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/ErrorOf.h"
#include "tests/support/Sandbox.h"

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

TEST(SimProcess, SnapshotRightsAndPriorityClasses) {
  sim::Process limited = Proc(502, "C:\\Tools\\limited.exe", "SYSTEM");
  limited.access = kPROCESS_QUERY_LIMITED_INFORMATION | kPROCESS_TERMINATE;
  limited.canTerminate = false;
  sim::Process locked = Proc(503, "C:\\Tools\\anticheat.exe", "SYSTEM");
  locked.canOpen = false;
  sim::ScopedMachine m{sim::MachineBuilder().AddProcess(limited).AddProcess(locked)};
  std::vector<ProcessEntry> entries;
  ASSERT_TRUE(SnapshotProcesses(entries));
  ASSERT_EQ(entries.size(), m.machine().processes.size());
  // pid, the rights asked for, the error. The machine's table says what a process grants;
  // "all" covers the older mask.
  const std::tuple<uint32_t, uint32_t, uint32_t> opens[] = {
      {502, kPROCESS_QUERY_INFORMATION, kERROR_ACCESS_DENIED},
      {502, kPROCESS_QUERY_LIMITED_INFORMATION | kSYNCHRONIZE, 0},
      {503, kPROCESS_QUERY_LIMITED_INFORMATION, kERROR_ACCESS_DENIED},
      {123456, kPROCESS_TERMINATE, kERROR_INVALID_PARAMETER},
      {4712, 0x1FFFFF, 0}};
  for (const auto& [pid, access, error] : opens)
    EXPECT_EQ(ErrorOf(Opened(access, pid).h != 0), error) << pid << " " << access;
  EXPECT_EQ(ErrorOf(TerminateProcess(Opened(kPROCESS_TERMINATE, 502).h, 1)), kERROR_ACCESS_DENIED);

  Opened p(kPROCESS_ALL_ACCESS, 7720);  // obs64.exe, above normal
  EXPECT_EQ(GetPriorityClass(p.h), kABOVE_NORMAL_PRIORITY_CLASS);
  ASSERT_TRUE(SetPriorityClass(p.h, kIDLE_PRIORITY_CLASS));
  EXPECT_EQ(Find(m, 7720)->priorityClass, kIDLE_PRIORITY_CLASS);
  for (uint32_t bad : {0u, 0x10u, 0x60u, 0x100000u})
    EXPECT_EQ(ErrorOf(SetPriorityClass(p.h, bad)), kERROR_INVALID_PARAMETER) << bad;
  // Reading needs a query right, changing PROCESS_SET_INFORMATION, ending PROCESS_TERMINATE.
  Opened query(kPROCESS_QUERY_LIMITED_INFORMATION, 4712);
  EXPECT_EQ(GetPriorityClass(query.h), kNORMAL_PRIORITY_CLASS);
  EXPECT_EQ(ErrorOf(SetPriorityClass(query.h, kHIGH_PRIORITY_CLASS)), kERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrorOf(TerminateProcess(query.h, 1)), kERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrorOf(GetPriorityClass(Opened(kPROCESS_TERMINATE, 4712).h) != 0),
            kERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), kHIGH_PRIORITY_CLASS));
  EXPECT_EQ(Find(m, 9120)->priorityClass, kHIGH_PRIORITY_CLASS);
  ASSERT_TRUE(TerminateProcess(p.h, 1));
  EXPECT_EQ(Find(m, 7720), nullptr);
  EXPECT_EQ(ErrorOf(TerminateProcess(p.h, 1)), kERROR_ACCESS_DENIED);  // already gone
  EXPECT_EQ(ErrorOf(GetPriorityClass(p.h) != 0), kERROR_INVALID_PARAMETER);
}

TEST(SimProcess, ImagePathsWorkingSetsAndOldSystemsWithoutThem) {
  sim::Process ws = Proc(701, "C:\\Tools\\ws.exe");
  ws.wsPrivate = 65000;
  ws.wsShared = 531;
  ws.wsSharedHigh = 3;
  sim::Process noLetter = Proc(602, "");
  noLetter.exeFile = "backup.exe";
  noLetter.devicePath = "\\Device\\HarddiskVolume7\\Tools\\backup.exe";
  sim::ScopedMachine m{sim::MachineBuilder()
                           .DriveDevice('D', "\\Device\\HarddiskVolume10")
                           .With([](sim::Machine& x) { x.driveDevices.erase('C'); })
                           .AddProcess(Proc(601, "D:\\Games\\racer.exe"))
                           .AddProcess(noLetter)
                           .AddProcess(ws)};
  // pid, the device path; a drive without an explicit device is HarddiskVolume by letter.
  const std::pair<uint32_t, std::string> devices[] = {
      {601, "\\Device\\HarddiskVolume10\\Games\\racer.exe"},
      {602, noLetter.devicePath},
      {4712, "\\Device\\HarddiskVolume1\\Windows\\explorer.exe"}};
  std::string path;
  for (const auto& [pid, device] : devices) {
    EXPECT_TRUE(
        GetProcessImageFileNameW(Opened(kPROCESS_QUERY_LIMITED_INFORMATION, pid).h, path, 512));
    EXPECT_EQ(path, device);
  }
  // GetModuleFileNameExW gives the DOS path, truncated as Windows does; it needs
  // PROCESS_VM_READ.
  EXPECT_EQ(ErrorOf(GetModuleFileNameExW(Opened(kPROCESS_QUERY_INFORMATION, 601).h, path, 512)),
            kERROR_ACCESS_DENIED);
  Opened p(kPROCESS_QUERY_INFORMATION | kPROCESS_VM_READ, 601);
  ASSERT_TRUE(GetModuleFileNameExW(p.h, path, 512));
  EXPECT_EQ(path, "D:\\Games\\racer.exe");
  ASSERT_TRUE(GetModuleFileNameExW(p.h, path, 9));
  EXPECT_EQ(path, "D:\\Games");

  // 65,534 working-set entries and their count fill a buffer of 262,140 bytes exactly.
  std::vector<uint64_t> entries;
  Opened w(kPROCESS_ALL_ACCESS, 701);
  ASSERT_TRUE(QueryWorkingSet(w.h, 262140, entries));
  ASSERT_EQ(entries.size(), 65534u);
  int shared = 0, high = 0;
  for (const uint64_t e : entries) {
    const uint64_t address = e & ~uint64_t{0xFFF};
    shared += (e & 0x100) != 0;
    high += (e & 0x100) && address >= 0xC0000000u && address <= 0xE0000000u;
  }
  EXPECT_EQ(shared + 1000 * high, 534 + 3000);
  // One entry too many for the buffer: ERROR_BAD_LENGTH and nothing returned.
  EXPECT_EQ(ErrorOf(QueryWorkingSet(w.h, 262139, entries)), kERROR_BAD_LENGTH);
  EXPECT_TRUE(entries.empty());

  m.machine().hasGetProcessImageFileNameW = false;
  m.machine().hasQueryWorkingSet = false;
  for (const char* name : {"GetProcessImageFileNameW", "QueryWorkingSet", "NoSuchFunction"})
    EXPECT_FALSE(HasPsapiFunction(name)) << name;
  EXPECT_TRUE(HasPsapiFunction("GetModuleFileNameExW"));
  EXPECT_EQ(ErrorOf(GetProcessImageFileNameW(p.h, path, 512)), kERROR_PROC_NOT_FOUND);
  EXPECT_EQ(ErrorOf(QueryWorkingSet(p.h, 262140, entries)), kERROR_PROC_NOT_FOUND);
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
  sim::Process closed = Proc(803, "C:\\Tools\\closed.exe", "SYSTEM");
  closed.tokenReadable = false;
  sim::ScopedMachine m{sim::MachineBuilder()
                           .AddProcess(Proc(801, "C:\\Tools\\other.exe", "Alice"))
                           .AddProcess(Proc(802, "C:\\Windows\\svc.exe", "SYSTEM"))
                           .AddProcess(closed)};
  const std::string gamer = TokenSid(Opened(kPROCESS_QUERY_INFORMATION, 4712).h);  // explorer
  // A plausible local account SID: S-1-5-21-a-b-c-rid; SYSTEM is S-1-5-18.
  EXPECT_EQ(test::Hex(gamer.substr(0, 9)), "01 05 00 00 00 00 00 05 15");
  EXPECT_EQ(gamer.size(), 8u + 5 * 4);
  EXPECT_EQ(TokenSid(GetCurrentProcess()), gamer);
  EXPECT_EQ(test::Hex(TokenSid(Opened(kPROCESS_QUERY_LIMITED_INFORMATION, 802).h)),
            "01 01 00 00 00 00 00 05 12 00 00 00");
  std::string unknown = gamer;
  unknown.back() ^= 0x40;
  // SID, the error, the account found.
  const std::tuple<std::string, uint32_t, std::string> lookups[] = {
      {gamer, 0, "Gamer\\GAMER-PC"},
      {TokenSid(Opened(kPROCESS_QUERY_INFORMATION, 801).h), 0, "Alice\\GAMER-PC"},
      {TokenSid(Opened(kPROCESS_QUERY_INFORMATION, 802).h), 0, "SYSTEM\\NT AUTHORITY"},
      {unknown, kERROR_NONE_MAPPED, "\\"},
      {gamer.substr(0, 10), 1337 /* ERROR_INVALID_SID */, "\\"}};
  std::string name, domain;
  for (const auto& [sid, error, account] : lookups) {
    name = domain = "";
    EXPECT_EQ(ErrorOf(LookupAccountSidW(sid, name, domain, 260, 260)), error) << account;
    EXPECT_EQ(name + "\\" + domain, account);
  }
  // Buffers for "Gamer" and "GAMER-PC" and their terminators, then one character less.
  EXPECT_EQ(ErrorOf(LookupAccountSidW(gamer, name, domain, 6, 9)), 0u);
  EXPECT_EQ(ErrorOf(LookupAccountSidW(gamer, name, domain, 5, 9)), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(TokenSid(Opened(kPROCESS_QUERY_INFORMATION, 803).h), "");  // may not be read
}

TEST(SimProcess, PrivilegesOfElevatedAndStandardPrograms) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  uint64_t luid = 0;
  ASSERT_TRUE(LookupPrivilegeValueW("seshutdownprivilege", luid));
  EXPECT_EQ(luid, 19u);
  EXPECT_EQ(ErrorOf(LookupPrivilegeValueW("SeFlyingPrivilege", luid)), 1313u);
  // elevated, rights of the token, LUID (20 SeDebugPrivilege, 19 SeShutdownPrivilege),
  // attributes, the last error, enabled after. A standard user's call succeeds but the
  // token lacks the privilege.
  const std::tuple<bool, uint32_t, uint64_t, uint32_t, uint32_t, bool> rows[] = {
      {true, kTOKEN_ADJUST_PRIVILEGES, 20, kSE_PRIVILEGE_ENABLED, 0, true},
      {true, kTOKEN_ADJUST_PRIVILEGES, 20, 0, 0, false},
      {true, kTOKEN_QUERY, 20, kSE_PRIVILEGE_ENABLED, kERROR_ACCESS_DENIED, false},
      {false, kTOKEN_ADJUST_PRIVILEGES, 20, kSE_PRIVILEGE_ENABLED, kERROR_NOT_ALL_ASSIGNED, false},
      {false, kTOKEN_ADJUST_PRIVILEGES, 19, kSE_PRIVILEGE_ENABLED, 0, true}};
  for (const auto& [elevated, rights, id, attributes, error, enabled] : rows) {
    m.machine().elevated = elevated;
    Handle token = 0;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), rights, token));
    SetLastError(99);
    EXPECT_EQ(AdjustTokenPrivileges(token, id, attributes), error != kERROR_ACCESS_DENIED);
    EXPECT_EQ(GetLastError(), error) << id << " " << elevated;
    const auto& on = m.machine().enabledPrivileges;
    const char* name = id == 20 ? "SeDebugPrivilege" : "SeShutdownPrivilege";
    EXPECT_EQ(std::count(on.begin(), on.end(), name), enabled) << id << " " << elevated;
    CloseHandle(token);
  }
}

TEST(SimProcess, CreateProcessFindsTheImageLikeWindows) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\Games\\My Game\\game.exe", "MZ")
                           .File("C:\\Tools\\tool.exe", "MZ")};
  // application name, command line, current directory, the error, the image started.
  // Without an application name the words are tried left to right, ".exe" added; a
  // named application is taken as it stands. The program's folder is the default
  // current directory.
  const struct {
    std::string application, command, folder;
    uint32_t error;
    std::string image;
  } rows[] = {{"", "C:\\Games\\My Game\\game -fast", "", 0, "C:\\Games\\My Game\\game.exe"},
              {"C:\\Tools\\tool.exe", "tool -x", "C:\\Tools\\", 0, "C:\\Tools\\tool.exe"},
              {"C:\\Tools\\tool", "tool", "", kERROR_FILE_NOT_FOUND, ""},
              {"", "\"C:\\Games\\missing.exe\"", "", kERROR_FILE_NOT_FOUND, ""},
              {"", "C:\\No Such\\x.exe -a", "", kERROR_FILE_NOT_FOUND, ""},
              {"", "", "", kERROR_FILE_NOT_FOUND, ""},
              {"C:\\Tools\\tool.exe", "tool", "C:\\Nowhere", 267 /* ERROR_DIRECTORY */, ""},
              {"C:\\Tools\\tool.exe", "tool", "C:\\Tools\\tool.exe", 267, ""}};
  for (const auto& r : rows) {
    const size_t count = m.machine().processes.size();
    uint32_t pid = 0;
    EXPECT_EQ(ErrorOf(CreateProcessW(r.command, r.folder, 3, pid, r.application)), r.error)
        << r.command;
    const sim::Process* p = pid ? Find(m, pid) : nullptr;
    EXPECT_EQ(p ? p->imagePath : "", r.image) << r.command;
    EXPECT_EQ(m.machine().processes.size(), count + (r.error == 0)) << r.command;
    if (!p) continue;
    EXPECT_EQ(
        p->commandLine + "|" + p->currentDirectory,
        r.command + "|" + (r.folder.empty() ? "C:\\Program Files (x86)\\Velmora" : "C:\\Tools"));
    EXPECT_EQ(p->parentPid + p->show, 9120u + 3);
  }
}

}  // namespace
