// Processes on the simulated machine: priority classes, rights, image paths in
// device form, drives, working sets, tokens and accounts, privileges and starting
// programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

using namespace plat;

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
  for (const sim::Process& p : m.machine().processes) {
    if (p.pid == pid) return &p;
  }
  return nullptr;
}

// ---------------------------------------------------------------- priority classes and rights

TEST(SimProcess, PriorityClassesReadAndChange) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  Handle h = OpenProcess(kPROCESS_ALL_ACCESS, false, 7720);  // obs64.exe, above normal
  ASSERT_NE(h, 0u);
  EXPECT_EQ(GetPriorityClass(h), kABOVE_NORMAL_PRIORITY_CLASS);
  ASSERT_TRUE(SetPriorityClass(h, kIDLE_PRIORITY_CLASS));
  EXPECT_EQ(GetPriorityClass(h), kIDLE_PRIORITY_CLASS);
  EXPECT_EQ(Find(m, 7720)->priorityClass, kIDLE_PRIORITY_CLASS);
  for (uint32_t bad : {0u, 0x10u, 0x60u, 0x100000u}) {
    EXPECT_FALSE(SetPriorityClass(h, bad)) << bad;
    EXPECT_EQ(GetLastError(), kERROR_INVALID_PARAMETER);
  }
  EXPECT_EQ(Find(m, 7720)->priorityClass, kIDLE_PRIORITY_CLASS);
  CloseHandle(h);

  // Rights of the handle: reading needs a query right, changing SET_INFORMATION.
  h = OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, 4712);
  EXPECT_EQ(GetPriorityClass(h), kNORMAL_PRIORITY_CLASS);
  EXPECT_FALSE(SetPriorityClass(h, kHIGH_PRIORITY_CLASS));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  CloseHandle(h);
  h = OpenProcess(kPROCESS_TERMINATE, false, 4712);
  EXPECT_EQ(GetPriorityClass(h), 0u);
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  CloseHandle(h);
  EXPECT_EQ(GetPriorityClass(0x7777), 0u);
  EXPECT_EQ(GetLastError(), kERROR_INVALID_HANDLE);

  // The program's own process through the pseudo handle.
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), kNORMAL_PRIORITY_CLASS);
  ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), kHIGH_PRIORITY_CLASS));
  EXPECT_EQ(Find(m, 9120)->priorityClass, kHIGH_PRIORITY_CLASS);

  // A handle to a process that has ended.
  h = OpenProcess(kPROCESS_ALL_ACCESS, false, 7016);
  ASSERT_TRUE(TerminateProcess(h, 1));
  EXPECT_EQ(GetPriorityClass(h), 0u);
  EXPECT_EQ(GetLastError(), kERROR_INVALID_PARAMETER);
  CloseHandle(h);
}

TEST(SimProcess, OpenGrantsTheRightsTheTableLists) {
  sim::Process query = Proc(501, "C:\\Tools\\query.exe", "SYSTEM");
  query.access = kPROCESS_QUERY_INFORMATION | kPROCESS_QUERY_LIMITED_INFORMATION;
  sim::Process limited = Proc(502, "C:\\Tools\\limited.exe", "SYSTEM");
  limited.access = kPROCESS_QUERY_LIMITED_INFORMATION;
  sim::Process none = Proc(503, "C:\\Tools\\none.exe", "SYSTEM");
  none.access = 0;
  sim::ScopedMachine m{
      sim::MachineBuilder().AddProcess(query).AddProcess(limited).AddProcess(none)};

  EXPECT_EQ(OpenProcess(kPROCESS_ALL_ACCESS, true, 501), 0u);
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  Handle h = OpenProcess(kPROCESS_QUERY_INFORMATION, false, 501);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(GetPriorityClass(h), kNORMAL_PRIORITY_CLASS);
  CloseHandle(h);
  EXPECT_EQ(OpenProcess(kPROCESS_QUERY_INFORMATION, false, 502), 0u);
  h = OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION | kSYNCHRONIZE, false, 502);
  EXPECT_NE(h, 0u);
  CloseHandle(h);
  EXPECT_EQ(OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, 503), 0u);
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  // A wider request than PROCESS_ALL_ACCESS of old systems is granted by "all".
  h = OpenProcess(0x1FFFFF, false, 4712);
  EXPECT_NE(h, 0u);
  CloseHandle(h);
}

// ---------------------------------------------------------------- image paths and drives

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
  EXPECT_FALSE(GetLogicalDriveStringsW(8, drives));  // two drives need 9 characters
  EXPECT_EQ(GetLastError(), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(drives.empty());
  ASSERT_TRUE(GetLogicalDriveStringsW(9, drives));

  std::string target;
  ASSERT_TRUE(QueryDosDeviceW("C:", target, 512));
  EXPECT_EQ(target, "\\Device\\HarddiskVolume1");
  ASSERT_TRUE(QueryDosDeviceW("d:", target, 512));
  EXPECT_EQ(target, "\\Device\\HarddiskVolume10");
  EXPECT_FALSE(QueryDosDeviceW("D:", target, 25));  // 24 characters and two terminators
  EXPECT_EQ(GetLastError(), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(QueryDosDeviceW("D:", target, 26));
  EXPECT_FALSE(QueryDosDeviceW("Q:", target, 512));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);

  std::string path;
  Handle h = OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, 601);
  ASSERT_TRUE(GetProcessImageFileNameW(h, path, 512));
  EXPECT_EQ(path, "\\Device\\HarddiskVolume10\\Games\\racer.exe");
  EXPECT_FALSE(GetProcessImageFileNameW(h, path, 40));  // 40 characters need 41
  EXPECT_EQ(GetLastError(), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(path.empty());
  EXPECT_TRUE(GetProcessImageFileNameW(h, path, 41));
  // GetModuleFileNameExW gives the DOS path but needs PROCESS_VM_READ.
  EXPECT_FALSE(GetModuleFileNameExW(h, path, 512));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  CloseHandle(h);
  h = OpenProcess(kPROCESS_QUERY_INFORMATION | kPROCESS_VM_READ, false, 601);
  ASSERT_TRUE(GetModuleFileNameExW(h, path, 512));
  EXPECT_EQ(path, "D:\\Games\\racer.exe");
  ASSERT_TRUE(GetModuleFileNameExW(h, path, 9));  // truncated, as Windows does
  EXPECT_EQ(path, "D:\\Games");
  CloseHandle(h);

  h = OpenProcess(kPROCESS_QUERY_INFORMATION, false, 602);
  ASSERT_TRUE(GetProcessImageFileNameW(h, path, 512));
  EXPECT_EQ(path, "\\Device\\HarddiskVolume7\\Tools\\backup.exe");
  CloseHandle(h);
  // A drive without an explicit device: HarddiskVolume by letter (C = 1).
  h = OpenProcess(kPROCESS_QUERY_INFORMATION, false, 4712);
  ASSERT_TRUE(GetProcessImageFileNameW(h, path, 512));
  EXPECT_EQ(path, "\\Device\\HarddiskVolume1\\Windows\\explorer.exe");
  CloseHandle(h);
  ASSERT_TRUE(GetProcessImageFileNameW(GetCurrentProcess(), path, 512));
  EXPECT_EQ(path, "\\Device\\HarddiskVolume1\\Program Files (x86)\\Velmora\\VlxMini.exe");
}

TEST(SimProcess, DriveDevicesByDefaultAndFromTheMachine) {
  sim::ScopedMachine m{sim::MachineBuilder().With([](sim::Machine& mm) {
    mm.driveDevices.clear();
    mm.driveDevices['E'] = "\\Device\\CdRom0";  // a drive without contents
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
}

TEST(SimProcess, PsapiFunctionsTheMachineLacks) {
  sim::ScopedMachine m{sim::MachineBuilder().With([](sim::Machine& mm) {
    mm.hasGetProcessImageFileNameW = false;
    mm.hasQueryWorkingSet = false;
  })};
  EXPECT_FALSE(HasPsapiFunction("GetProcessImageFileNameW"));
  EXPECT_FALSE(HasPsapiFunction("QueryWorkingSet"));
  EXPECT_TRUE(HasPsapiFunction("GetModuleFileNameExW"));
  EXPECT_TRUE(HasPsapiFunction("EnumProcesses"));
  EXPECT_FALSE(HasPsapiFunction("NoSuchFunction"));
  Handle h = OpenProcess(kPROCESS_ALL_ACCESS, false, 4712);
  std::string path;
  EXPECT_FALSE(GetProcessImageFileNameW(h, path, 512));
  EXPECT_EQ(GetLastError(), kERROR_PROC_NOT_FOUND);
  std::vector<uint64_t> entries;
  EXPECT_FALSE(QueryWorkingSet(h, 262140, entries));
  EXPECT_EQ(GetLastError(), kERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(GetModuleFileNameExW(h, path, 512));
  EXPECT_EQ(path, "C:\\Windows\\explorer.exe");
  CloseHandle(h);
}

// ---------------------------------------------------------------- working sets

TEST(SimProcess, WorkingSetEntries) {
  sim::Process p = Proc(701, "C:\\Tools\\ws.exe");
  p.wsPrivate = 10;
  p.wsShared = 5;
  p.wsSharedHigh = 3;
  sim::Process full = Proc(702, "C:\\Tools\\full.exe");
  full.wsPrivate = 65000;
  full.wsShared = 534;
  sim::ScopedMachine m{sim::MachineBuilder().AddProcess(p).AddProcess(full)};
  Handle h = OpenProcess(kPROCESS_QUERY_INFORMATION | kPROCESS_VM_READ, false, 701);
  std::vector<uint64_t> entries;
  ASSERT_TRUE(QueryWorkingSet(h, 4 * 19, entries));  // the count and 18 entries
  ASSERT_EQ(entries.size(), 18u);
  int shared = 0, high = 0;
  for (const uint64_t e : entries) {
    const uint64_t address = e & ~uint64_t{0xFFF};
    if (e & 0x100) ++shared;
    if ((e & 0x100) && address >= 0xC0000000u && address <= 0xE0000000u) ++high;
    EXPECT_LT(address, 0x100000000u);
  }
  EXPECT_EQ(shared, 8);
  EXPECT_EQ(high, 3);
  // One entry too many for the buffer: ERROR_BAD_LENGTH and nothing returned.
  EXPECT_FALSE(QueryWorkingSet(h, 4 * 19 - 1, entries));
  EXPECT_EQ(GetLastError(), kERROR_BAD_LENGTH);
  EXPECT_TRUE(entries.empty());
  EXPECT_FALSE(QueryWorkingSet(h, 0, entries));
  EXPECT_EQ(GetLastError(), kERROR_BAD_LENGTH);
  CloseHandle(h);
  // PROCESS_VM_READ is needed.
  h = OpenProcess(kPROCESS_QUERY_INFORMATION, false, 701);
  EXPECT_FALSE(QueryWorkingSet(h, 4096, entries));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  CloseHandle(h);

  // 65,534 entries fill a buffer of 262,140 bytes exactly; one more does not fit.
  h = OpenProcess(kPROCESS_ALL_ACCESS, false, 702);
  ASSERT_TRUE(QueryWorkingSet(h, 262140, entries));
  EXPECT_EQ(entries.size(), 65534u);
  m.machine().processes.back().wsShared = 535;
  EXPECT_FALSE(QueryWorkingSet(h, 262140, entries));
  EXPECT_EQ(GetLastError(), kERROR_BAD_LENGTH);
  CloseHandle(h);
}

// ---------------------------------------------------------------- tokens and accounts

std::string TokenSid(Handle process) {
  Handle token = 0;
  if (!OpenProcessToken(process, kTOKEN_QUERY, token)) return "";
  std::string sid;
  uint32_t needed = 0;
  EXPECT_FALSE(GetTokenInformationUser(token, 0, sid, needed));
  EXPECT_EQ(GetLastError(), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_GT(needed, 8u);
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

  Handle h = OpenProcess(kPROCESS_QUERY_INFORMATION, false, 4712);  // explorer.exe, Gamer
  const std::string gamer = TokenSid(h);
  CloseHandle(h);
  // A plausible local account SID: S-1-5-21-a-b-c-rid.
  ASSERT_EQ(gamer.size(), 8u + 5 * 4);
  EXPECT_EQ(gamer.substr(0, 8), std::string("\x01\x05\0\0\0\0\0\x05", 8));
  EXPECT_EQ(gamer[8], 21);
  ASSERT_TRUE(LookupAccountSidW(gamer, name, domain, 260, 260));
  EXPECT_EQ(name, "Gamer");
  EXPECT_EQ(domain, "GAMER-PC");
  EXPECT_EQ(TokenSid(GetCurrentProcess()), gamer);

  h = OpenProcess(kPROCESS_QUERY_INFORMATION, false, 801);
  const std::string alice = TokenSid(h);
  CloseHandle(h);
  EXPECT_NE(alice, gamer);
  ASSERT_TRUE(LookupAccountSidW(alice, name, domain, 260, 260));
  EXPECT_EQ(name, "Alice");

  h = OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, 802);
  const std::string systemSid = TokenSid(h);
  CloseHandle(h);
  EXPECT_EQ(systemSid, std::string("\x01\x01\0\0\0\0\0\x05\x12\0\0\0", 12));  // S-1-5-18
  ASSERT_TRUE(LookupAccountSidW(systemSid, name, domain, 260, 260));
  EXPECT_EQ(name, "SYSTEM");
  EXPECT_EQ(domain, "NT AUTHORITY");

  // Buffers too small, unknown and malformed SIDs.
  EXPECT_FALSE(LookupAccountSidW(gamer, name, domain, 5, 260));  // "Gamer" needs 6
  EXPECT_EQ(GetLastError(), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_FALSE(LookupAccountSidW(systemSid, name, domain, 260, 12));  // "NT AUTHORITY" needs 13
  EXPECT_EQ(GetLastError(), kERROR_INSUFFICIENT_BUFFER);
  std::string unknown = gamer;
  unknown[unknown.size() - 1] ^= 0x40;
  EXPECT_FALSE(LookupAccountSidW(unknown, name, domain, 260, 260));
  EXPECT_EQ(GetLastError(), kERROR_NONE_MAPPED);
  EXPECT_FALSE(LookupAccountSidW(gamer.substr(0, 10), name, domain, 260, 260));
  EXPECT_NE(GetLastError(), 0u);

  // A token the program may not read; a token opened without TOKEN_QUERY.
  Handle token = 0;
  h = OpenProcess(kPROCESS_QUERY_INFORMATION, false, 803);
  EXPECT_FALSE(OpenProcessToken(h, kTOKEN_QUERY, token));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  CloseHandle(h);
  h = OpenProcess(kPROCESS_TERMINATE, false, 801);
  EXPECT_FALSE(OpenProcessToken(h, kTOKEN_QUERY, token));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  CloseHandle(h);
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), kTOKEN_ADJUST_PRIVILEGES, token));
  std::string sid;
  uint32_t needed = 0;
  EXPECT_FALSE(GetTokenInformationUser(token, 256, sid, needed));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  CloseHandle(token);
}

TEST(SimProcess, PrivilegesOfAnElevatedProgram) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  uint64_t luid = 0;
  ASSERT_TRUE(LookupPrivilegeValueW("SeDebugPrivilege", luid));
  EXPECT_EQ(luid, 20u);
  ASSERT_TRUE(LookupPrivilegeValueW("seshutdownprivilege", luid));
  EXPECT_EQ(luid, 19u);
  EXPECT_FALSE(LookupPrivilegeValueW("SeFlyingPrivilege", luid));
  EXPECT_EQ(GetLastError(), 1313u);  // ERROR_NO_SUCH_PRIVILEGE

  Handle token = 0;
  ASSERT_TRUE(
      OpenProcessToken(GetCurrentProcess(), kTOKEN_ADJUST_PRIVILEGES | kTOKEN_QUERY, token));
  SetLastError(99);
  ASSERT_TRUE(AdjustTokenPrivileges(token, 20, kSE_PRIVILEGE_ENABLED));
  EXPECT_EQ(GetLastError(), 0u);
  const auto& enabled = m.machine().enabledPrivileges;
  EXPECT_NE(std::find(enabled.begin(), enabled.end(), "SeDebugPrivilege"), enabled.end());
  ASSERT_TRUE(AdjustTokenPrivileges(token, 20, 0));  // disabled again
  EXPECT_EQ(std::find(enabled.begin(), enabled.end(), "SeDebugPrivilege"), enabled.end());
  CloseHandle(token);

  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), kTOKEN_QUERY, token));
  EXPECT_FALSE(AdjustTokenPrivileges(token, 20, kSE_PRIVILEGE_ENABLED));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  CloseHandle(token);
}

TEST(SimProcess, PrivilegesOfAStandardUser) {
  sim::ScopedMachine m{sim::MachineBuilder().With([](sim::Machine& mm) { mm.elevated = false; })};
  Handle token = 0;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), kTOKEN_ADJUST_PRIVILEGES, token));
  // The call succeeds but the token does not hold the privilege.
  ASSERT_TRUE(AdjustTokenPrivileges(token, 20, kSE_PRIVILEGE_ENABLED));
  EXPECT_EQ(GetLastError(), kERROR_NOT_ALL_ASSIGNED);
  const auto& enabled = m.machine().enabledPrivileges;
  EXPECT_EQ(std::find(enabled.begin(), enabled.end(), "SeDebugPrivilege"), enabled.end());
  ASSERT_TRUE(AdjustTokenPrivileges(token, 19, kSE_PRIVILEGE_ENABLED));  // SeShutdownPrivilege
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_NE(std::find(enabled.begin(), enabled.end(), "SeShutdownPrivilege"), enabled.end());
  CloseHandle(token);
}

// ---------------------------------------------------------------- starting programs

TEST(SimProcess, CreateProcessParsesTheCommandLineLikeWindows) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\Games\\My Game\\game.exe", "MZ")
                           .File("C:\\Games\\Tools\\Run.exe", "MZ")
                           .File("C:\\Tools\\tool.exe", "MZ")};
  uint32_t pid = 0;
  // Quoted path with arguments.
  ASSERT_TRUE(CreateProcessW("\"C:\\Games\\My Game\\game.exe\" -windowed", "C:\\Games", 1, pid));
  EXPECT_EQ(pid, 10000u);
  const sim::Process* p = Find(m, pid);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->exeFile, "game.exe");
  EXPECT_EQ(p->imagePath, "C:\\Games\\My Game\\game.exe");
  EXPECT_EQ(p->commandLine, "\"C:\\Games\\My Game\\game.exe\" -windowed");
  EXPECT_EQ(p->currentDirectory, "C:\\Games");
  EXPECT_EQ(p->show, 1);
  EXPECT_EQ(p->parentPid, 9120u);
  EXPECT_EQ(p->owner, "Gamer");
  EXPECT_EQ(p->priorityClass, kNORMAL_PRIORITY_CLASS);
  EXPECT_EQ(m.machine().nextPid, 10001u);

  // Unquoted with blanks: the words are tried left to right, ".exe" added.
  ASSERT_TRUE(CreateProcessW("C:\\Games\\My Game\\game -fast", "", 3, pid));
  p = Find(m, pid);
  EXPECT_EQ(p->imagePath, "C:\\Games\\My Game\\game.exe");
  EXPECT_EQ(p->currentDirectory, "C:\\Program Files (x86)\\Velmora");  // the program's own
  EXPECT_EQ(p->show, 3);
  // Names are matched without case; the stored case is kept.
  ASSERT_TRUE(CreateProcessW("c:\\games\\tools\\run", "", 1, pid));
  EXPECT_EQ(Find(m, pid)->imagePath, "C:\\Games\\Tools\\Run.exe");
  EXPECT_EQ(Find(m, pid)->exeFile, "Run.exe");
  // A shorter run of words that names a file wins ("C:\Games\My.exe").
  m.WriteFile("C:\\Games\\My.exe", "MZ");
  ASSERT_TRUE(CreateProcessW("C:\\Games\\My Game\\game.exe", "", 1, pid));
  EXPECT_EQ(Find(m, pid)->imagePath, "C:\\Games\\My.exe");
  // A bare name is searched for along the usual folders (Path holds System32).
  ASSERT_TRUE(CreateProcessW("notepad C:\\todo.txt", "", 1, pid));
  EXPECT_EQ(Find(m, pid)->imagePath, "C:\\Windows\\System32\\notepad.exe");

  // Failures: no such file, a folder, a current directory that does not exist.
  const size_t count = m.machine().processes.size();
  EXPECT_FALSE(CreateProcessW("\"C:\\Games\\missing.exe\"", "", 1, pid));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(pid, 0u);
  EXPECT_FALSE(CreateProcessW("C:\\No Such\\x.exe -a", "", 1, pid));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CreateProcessW("", "", 1, pid));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(CreateProcessW("C:\\Tools\\tool.exe", "C:\\Nowhere", 1, pid));
  EXPECT_EQ(GetLastError(), 267u);  // ERROR_DIRECTORY
  EXPECT_FALSE(CreateProcessW("C:\\Tools\\tool.exe", "C:\\Tools\\tool.exe", 1, pid));
  EXPECT_EQ(GetLastError(), 267u);
  EXPECT_EQ(m.machine().processes.size(), count);

  // The started process is an ordinary one: listed, opened, ended.
  ASSERT_TRUE(CreateProcessW("C:\\Tools\\tool.exe", "C:\\Tools\\", 1, pid));
  std::vector<ProcessEntry> entries;
  ASSERT_TRUE(SnapshotProcesses(entries));
  EXPECT_EQ(entries.back().exeFile, "tool.exe");
  EXPECT_EQ(entries.back().parentPid, 9120u);
  Handle h = OpenProcess(kPROCESS_ALL_ACCESS, false, pid);
  std::string path;
  ASSERT_TRUE(GetProcessImageFileNameW(h, path, 512));
  EXPECT_EQ(path, "\\Device\\HarddiskVolume3\\Tools\\tool.exe");
  EXPECT_TRUE(TerminateProcess(h, 1));
  CloseHandle(h);
  EXPECT_EQ(Find(m, pid), nullptr);
}

}  // namespace
