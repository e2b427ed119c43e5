// System information helpers over simulated machines.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "diag/uSysInfo.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

// ---------------------------------------------------------------- Windows version

struct VersionCase {
  const char* what;
  uint32_t major, minor;
  uint8_t productType;
  uint16_t suiteMask;
  uint16_t nativeArch;
  int serverR2;
  uint32_t platformId;
  const char* name;
  int code;
};

constexpr uint8_t kWs = plat::kVER_NT_WORKSTATION;
constexpr uint8_t kSrv = plat::kVER_NT_SERVER;
constexpr uint8_t kDc = plat::kVER_NT_DOMAIN_CONTROLLER;
constexpr uint16_t kX86 = plat::kPROCESSOR_ARCHITECTURE_INTEL;
constexpr uint16_t kX64 = plat::kPROCESSOR_ARCHITECTURE_AMD64;
constexpr uint16_t kIa64 = plat::kPROCESSOR_ARCHITECTURE_IA64;
constexpr uint32_t kNt = plat::kVER_PLATFORM_WIN32_NT;

const VersionCase kVersions[] = {
    {"NT 3.51", 3, 51, kWs, 0, kX86, 0, kNt, "Windows NT", 1},
    {"NT 4", 4, 0, kWs, 0, kX86, 0, kNt, "Windows NT", 1},
    {"2000", 5, 0, kWs, 0, kX86, 0, kNt, "Windows 2000", 2},
    {"XP", 5, 1, kWs, 0, kX86, 0, kNt, "Windows XP", 3},
    {"XP x64", 5, 2, kWs, 0, kX64, 0, kNt, "Windows XP", 3},
    {"5.2 workstation on Itanium", 5, 2, kWs, 0, kIa64, 0, kNt, "Windows 2003 Server", 4},
    {"Server 2003", 5, 2, kSrv, 0, kX86, 0, kNt, "Windows 2003 Server", 4},
    {"Server 2003 x64", 5, 2, kSrv, 0, kX64, 0, kNt, "Windows 2003 Server", 4},
    {"Home Server", 5, 2, kSrv, 0x8000, kX86, 0, kNt, "Windows 2003 Server", 5},
    {"Server 2003 R2", 5, 2, kSrv, 0, kX64, 1, kNt, "Windows 2003 Server", 6},
    {"R2 wins over home server", 5, 2, kSrv, 0x8000, kX86, 1, kNt, "Windows 2003 Server", 6},
    {"5.3", 5, 3, kWs, 0, kX86, 0, kNt, "", 0},
    {"Vista", 6, 0, kWs, 0, kX64, 0, kNt, "Windows Vista", 7},
    {"Server 2008", 6, 0, kSrv, 0, kX64, 0, kNt, "Windows Vista", 8},
    {"Server 2008 domain controller", 6, 0, kDc, 0, kX64, 0, kNt, "Windows Vista", 8},
    {"7", 6, 1, kWs, 0, kX64, 0, kNt, "Windows 7", 10},
    {"Server 2008 R2", 6, 1, kSrv, 0, kX64, 0, kNt, "Windows 7", 9},
    {"8", 6, 2, kWs, 0, kX64, 0, kNt, "Windows 8", 11},
    {"Server 2012", 6, 2, kSrv, 0, kX64, 0, kNt, "Windows 8", 11},
    {"8.1", 6, 3, kWs, 0, kX64, 0, kNt, "Windows 8", 0},
    {"10 preview", 6, 4, kWs, 0, kX64, 0, kNt, "Windows 10", 0},
    {"6.5", 6, 5, kWs, 0, kX64, 0, kNt, "", 0},
    {"10", 10, 0, kWs, 0x100, kX64, 0, kNt, "Windows 10", 0},
    {"Server 2019", 10, 0, kSrv, 0, kX64, 0, kNt, "Windows 10", 0},
    {"7.0", 7, 0, kWs, 0, kX64, 0, kNt, "", 0},
    {"11.0", 11, 0, kWs, 0, kX64, 0, kNt, "", 0},
    {"Windows 98", 4, 10, 0, 0, kX86, 0, 1, "", 0},
    {"Win32s", 3, 10, 0, 0, kX86, 0, 0, "", 0},
};

TEST(OsVersionSim, NameAndCodeForEveryVersion) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  for (const VersionCase& v : kVersions) {
    SCOPED_TRACE(v.what);
    sim::Machine& machine = m.machine();
    machine.os.major = v.major;
    machine.os.minor = v.minor;
    machine.os.productType = v.productType;
    machine.os.suiteMask = v.suiteMask;
    machine.os.platformId = v.platformId;
    machine.nativeArchitecture = v.nativeArch;
    machine.wow64 = v.nativeArch != kX86;
    machine.serverR2 = v.serverR2;
    EXPECT_EQ(GetOSName(), v.name);
    EXPECT_EQ(GetOSVersionCode(), v.code);
  }
}

TEST(OsVersionSim, WithoutNativeSystemInfoTheProcessArchitectureCounts) {
  // A 32-bit program on XP x64 where GetNativeSystemInfo is missing sees x86.
  sim::ScopedMachine m{sim::MachineBuilder()
                           .Os(5, 2, 3790, kWs)
                           .Architecture(kX64, true)
                           .With([](sim::Machine& machine) {
                             machine.hasGetNativeSystemInfo = false;
                             machine.processArchitecture = kX86;
                           })};
  EXPECT_EQ(GetOSName(), "Windows 2003 Server");
  EXPECT_EQ(GetOSVersionCode(), 4);
}

// ---------------------------------------------------------------- special folders

struct FolderCase {
  const char* what;
  int csidl;
  uint32_t major;
  bool wow64;
  const char* envName;  // set to envValue when not null
  const char* envValue;
  const char* expected;
};

const FolderCase kFolders[] = {
    {"26 from APPDATA", 26, 10, true, "APPDATA", "  D:\\Roam  ", "D:\\Roam"},
    {"26 Vista+", 26, 6, true, nullptr, nullptr, "C:\\Users\\Gamer\\AppData\\Roaming"},
    {"26 blank APPDATA", 26, 6, true, "APPDATA", "   ", "C:\\Users\\Gamer\\AppData\\Roaming"},
    {"26 XP", 26, 5, false, nullptr, nullptr,
     "C:\\Documents and Settings\\Gamer\\Application Data"},
    {"28 from LOCALAPPDATA", 28, 10, true, "LOCALAPPDATA", "D:\\Local", "D:\\Local"},
    {"28 Vista+", 28, 6, true, nullptr, nullptr, "C:\\Users\\Gamer\\AppData\\Local"},
    {"28 XP", 28, 5, false, nullptr, nullptr,
     "C:\\Documents and Settings\\Gamer\\Local Settings\\Application Data"},
    {"35 from ProgramData", 35, 10, true, "ProgramData", "D:\\PD", "D:\\PD"},
    {"35 Vista+", 35, 6, true, nullptr, nullptr, "C:\\ProgramData"},
    {"35 XP", 35, 5, false, nullptr, nullptr,
     "C:\\Documents and Settings\\All Users\\Application Data"},
    {"38 WOW64 from ProgramFiles(x86)", 38, 10, true, "ProgramFiles(x86)", "D:\\PF86", "D:\\PF86"},
    {"38 WOW64 ignores ProgramFiles", 38, 10, true, "ProgramFiles", "D:\\PF",
     "C:\\Program Files (x86)"},
    {"38 WOW64", 38, 10, true, nullptr, nullptr, "C:\\Program Files (x86)"},
    {"38 native from ProgramFiles", 38, 10, false, "ProgramFiles", "D:\\PF", "D:\\PF"},
    {"38 native", 38, 10, false, nullptr, nullptr, "C:\\Program Files"},
    {"40 from USERPROFILE", 40, 10, true, "USERPROFILE", "D:\\Me", "D:\\Me"},
    {"40 Vista+", 40, 6, true, nullptr, nullptr, "C:\\Users\\Gamer"},
    {"40 XP", 40, 5, false, nullptr, nullptr, "C:\\Documents and Settings\\Gamer"},
    {"43 WOW64 from CommonProgramFiles(x86)", 43, 10, true, "CommonProgramFiles(x86)", "D:\\CF",
     "D:\\CF"},
    {"43 WOW64", 43, 10, true, nullptr, nullptr, "C:\\Program Files (x86)\\Common Files"},
    {"43 native", 43, 10, false, nullptr, nullptr, "C:\\Program Files\\Common Files"},
    {"27 keeps the empty answer", 27, 10, true, nullptr, nullptr, ""},
    {"5 is outside the range", 5, 10, true, nullptr, nullptr, ""},
};

const char* const kFolderEnv[] = {
    "APPDATA",           "LOCALAPPDATA", "ProgramData",        "ProgramFiles",
    "ProgramFiles(x86)", "USERPROFILE",  "CommonProgramFiles", "CommonProgramFiles(x86)"};

TEST(SpecialFolderSim, FallbacksWhenTheShellFails) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  for (const FolderCase& f : kFolders) {
    SCOPED_TRACE(f.what);
    sim::Machine& machine = m.machine();
    machine.os.major = f.major;
    machine.os.minor = f.major == 5 ? 1 : 0;
    machine.nativeArchitecture = kX64;
    machine.wow64 = f.wow64;
    machine.specialFolders.erase(f.csidl);
    for (const char* name : kFolderEnv)
      machine.environment.erase(name);
    if (f.envName) machine.environment[f.envName] = f.envValue;
    ResetSysInfoCache();
    EXPECT_EQ(GetSpecialFolderPath(f.csidl), f.expected);
  }
}

TEST(SpecialFolderSim, DriveIsTheDriveOfKernel32) {
  sim::ScopedMachine m{sim::MachineBuilder().NoFolder(26).NoEnv("APPDATA").With(
      [](sim::Machine& machine) { machine.systemDir = "E:\\Windows\\System32"; })};
  EXPECT_EQ(GetSpecialFolderPath(26), "E:\\Users\\Gamer\\AppData\\Roaming");
}

TEST(SpecialFolderSim, ShellAnswerIsTakenAsItIs) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .Folder(26, "C:\\Users\\Gamer\\AppData\\Roaming")
                           .Folder(5, "C:\\Users\\Gamer\\Documents")
                           .Folder(38, "C:\\Program Files (x86)")
                           .Env("APPDATA", "D:\\ignored")};
  EXPECT_EQ(GetSpecialFolderPath(26), "C:\\Users\\Gamer\\AppData\\Roaming");
  EXPECT_EQ(GetSpecialFolderPath(5), "C:\\Users\\Gamer\\Documents");
  EXPECT_EQ(GetSpecialFolderPath(38), "C:\\Program Files (x86)");
}

TEST(SpecialFolderSim, TooShortShellAnswerFallsBack) {
  sim::ScopedMachine m{sim::MachineBuilder().Folder(26, "C:").Folder(36, "C:").Env(
      "APPDATA", "C:\\Users\\Gamer\\AppData\\Roaming")};
  EXPECT_EQ(GetSpecialFolderPath(26), "C:\\Users\\Gamer\\AppData\\Roaming");
  EXPECT_EQ(GetSpecialFolderPath(36), "C:");  // in range, but no fallback for it
}

// ---------------------------------------------------------------- user, WOW64

TEST(UserNameSim, NameUpTo255Characters) {
  for (const size_t length : {5, 255, 256}) {
    sim::ScopedMachine m{sim::MachineBuilder().User(std::string(length, 'u'))};
    EXPECT_EQ(GetUserName(), length > 255 ? "" : std::string(length, 'u')) << length;
  }
}

TEST(Wow64Sim, AnswerAndMissingFunction) {
  const struct {
    bool wow64, hasFunction, answered;
  } rows[] = {{true, true, true}, {false, true, true}, {false, false, false}};
  for (const auto& row : rows) {
    sim::ScopedMachine m{
        sim::MachineBuilder()
            .Architecture(row.hasFunction ? kX64 : kX86, row.wow64)
            .With([&](sim::Machine& machine) { machine.hasIsWow64Process = row.hasFunction; })};
    ResetSysInfoCache();
    bool wow = !row.wow64;
    EXPECT_EQ(IsWow64(plat::GetCurrentProcess(), wow), row.answered);
    EXPECT_EQ(wow, row.wow64);
    EXPECT_EQ(IsWow64Self(), row.wow64);
  }
}

TEST(Wow64Sim, SelfAnswerIsRememberedAndSharedByThreads) {
  sim::ScopedMachine m{sim::MachineBuilder().Architecture(kX64, true)};
  ResetSysInfoCache();
  std::atomic<int> yes{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      if (IsWow64Self()) ++yes;
    });
  }
  for (auto& t : threads)
    t.join();
  EXPECT_EQ(yes.load(), 8);
  m.machine().wow64 = false;  // the program does not move between machines
  EXPECT_TRUE(IsWow64Self());
  ResetSysInfoCache();
  EXPECT_FALSE(IsWow64Self());
}

// ---------------------------------------------------------------- version resources

const std::string kExe = "C:\\Program Files (x86)\\Velmora\\VlxMain.exe";

sim::VersionResource MainVersion() {
  sim::VersionResource v;
  v.fileVersion[0] = 5;
  v.fileVersion[1] = 2;
  v.fileVersion[2] = 1;
  v.fileVersion[3] = 154;
  v.productVersion[0] = 5;
  v.productVersion[1] = 2;
  v.translations = {{0x0409, 0x04B0}};
  v.stringTables = {{"040904B0",
                     {{"CompanyName", "Trevanic"},
                      {"FileDescription", "Velmora"},
                      {"FileVersion", "5.2.1 beta"},
                      {"InternalName", "VlxMain"},
                      {"LegalCopyright", "(c) Trevanic"},
                      {"LegalTrademarks", "Velmora\xE2\x84\xA2"},
                      {"OriginalFileName", "VlxMain.exe"},
                      {"ProductName", "Velmora Game Booster"},
                      {"ProductVersion", "5.2"},
                      {"Comments", "host"},
                      {"WOW Version", "1.0"}}}};
  return v;
}

TEST(VersionInfoSim, FieldsByIndexTheRecordAndTheNumericVersion) {
  sim::ScopedMachine m{sim::MachineBuilder().File(kExe, "MZ").Version(kExe, MainVersion())};
  // The text and the numeric file version differ; index 6 keeps its UTF-8.
  EXPECT_EQ(GetFileVersionText(kExe, 3, "Unknown"), "5.2.1.154");
  EXPECT_EQ(GetFileVersionString(kExe, 3, "Unknown"), "5.2.1 beta");
  for (const auto& [index, text] :
       std::vector<std::pair<int, std::string>>{{0, "host"},
                                                {1, "Trevanic"},
                                                {6, "Velmora\xE2\x84\xA2"},
                                                {10, "1.0"},
                                                {11, ""},
                                                {-1, ""}})
    EXPECT_EQ(GetFileVersionText(kExe, index, "-"), text) << index;
  TFileVersionRecord record;
  ASSERT_TRUE(ReadFileVersionRecord(kExe, true, record));
  EXPECT_EQ(record.Fixed[0], 0xFEEF04BDu);
  EXPECT_EQ(record.Fixed[3], (1u << 16) | 154u);
  EXPECT_EQ(record.Fixed[4], (5u << 16) | 2u);
}

// Which string table answers: the translation's, else the first; a missing key is
// empty, not the default; without a resource the default.
TEST(VersionInfoSim, TheTranslationPicksTheTable) {
  using Tables =
      std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>;
  const Tables two = {{"080404B0", {{"CompanyName", "First"}}},
                      {"040704B0", {{"CompanyName", "Second"}}}};
  const struct {
    const char* what;
    std::vector<std::pair<uint16_t, uint16_t>> translations;
    Tables tables;
    const char* company;
    const char* product;
  } rows[] = {
      {"the translation's table", {{0x0407, 0x04B0}}, two, "Second", ""},
      {"an unknown translation", {{0x0409, 0x04E4}}, two, "First", ""},
      {"no translation", {}, two, "First", ""},
      {"no table", {}, {}, "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    sim::VersionResource v = MainVersion();
    v.translations = row.translations;
    v.stringTables = row.tables;
    sim::ScopedMachine m{sim::MachineBuilder().File(kExe, "MZ").Version(kExe, v)};
    EXPECT_EQ(GetFileVersionText(kExe, 1, "Unknown"), row.company);
    EXPECT_EQ(GetFileVersionString(kExe, 1, "Unknown"), row.company);
    EXPECT_EQ(GetFileVersionText(kExe, 8, "Unknown"), row.product);
    EXPECT_EQ(GetFileVersionText(kExe, 3, "Unknown"), "5.2.1.154");
    EXPECT_EQ(GetFileVersionString(kExe, 3, "Unknown"), "");
  }
  const std::string plain = "C:\\Games\\Plain.exe";
  sim::ScopedMachine m{sim::MachineBuilder().File(plain, "MZ")};
  EXPECT_EQ(GetFileVersionText(plain, 3, "Unknown"), "Unknown");
  EXPECT_EQ(GetFileVersionString(plain, 1, "Unknown"), "Unknown");
  EXPECT_EQ(GetFileVersionText("C:\\missing.exe", 3, "Unknown"), "Unknown");
  TFileVersionRecord record;
  record.Fields[1] = "stale";
  EXPECT_FALSE(ReadFileVersionRecord(plain, true, record));
  EXPECT_EQ(record.Fields[1], "");
}

// ---------------------------------------------------------------- processes

sim::Process Proc(uint32_t pid, const std::string& exe) {
  sim::Process p;
  p.pid = pid;
  p.parentPid = 4;
  p.exeFile = exe;
  p.imagePath =
      exe.find('\\') == std::string::npos ? "C:\\Program Files (x86)\\Velmora\\" + exe : exe;
  p.owner = "Gamer";
  return p;
}

bool Running(sim::ScopedMachine& m, uint32_t pid) {
  for (const sim::Process& p : m.machine().processes) {
    if (p.pid == pid) return true;
  }
  return false;
}

TEST(KillProcessSim, EveryMatchIsEndedAndTheLastDecidesTheResult) {
  sim::Process stuck = Proc(101, "VlxMain.exe");
  stuck.canTerminate = false;
  sim::Process locked = Proc(202, "VlxTray.exe");
  locked.canOpen = false;
  const struct {
    const char* what;
    std::vector<sim::Process> processes;
    const char* name;
    bool result;
    std::vector<uint32_t> left;
  } rows[] = {
      {"name without regard to case",
       {Proc(100, "VlxTray.exe"), Proc(200, "notepad.exe")},
       "vlxtray.exe",
       true,
       {200}},
      {"nothing to match", {Proc(200, "notepad.exe")}, "nothere.exe", false, {200}},
      {"a stuck first match",
       {stuck, Proc(102, "VLXMAIN.EXE"), Proc(103, "explorer.exe")},
       "VlxMain.exe",
       true,
       {101, 103}},
      {"the last match failing", {Proc(201, "VlxTray.exe"), locked}, "VlxTray.exe", false, {202}},
      {"a whole stored path",
       {Proc(300, "C:\\Tools\\Helper.exe"), Proc(301, "Other.exe")},
       "c:\\tools\\helper.exe",
       true,
       {301}},
      {"a path is no bare name", {Proc(301, "Other.exe")}, "C:\\Tools\\Other.exe", false, {301}},
      {"a bare name matches a stored path",
       {Proc(400, "D:\\Bin\\Helper.exe")},
       "HELPER.EXE",
       true,
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    sim::MachineBuilder b;
    for (const sim::Process& p : row.processes)
      b.AddProcess(p);
    sim::ScopedMachine m{b};
    EXPECT_EQ(KillProcessByName(row.name), row.result);
    std::vector<uint32_t> left;
    for (const sim::Process& p : row.processes)
      if (Running(m, p.pid)) left.push_back(p.pid);
    EXPECT_EQ(left, row.left);
  }
}

// ---------------------------------------------------------------- byte counts

TEST(ByteSizeSim, UsesTheUsersDecimalSeparator) {
  {
    sim::ScopedMachine m{sim::MachineBuilder().DecimalSeparator(",")};
    EXPECT_EQ(FormatByteSize(1536), "1,5 KB");
    EXPECT_EQ(FormatByteSize(5LL * 1024 * 1024 * 1024), "5,0 GB");
    EXPECT_EQ(FormatByteSize(1023), "1023 Byte");
    EXPECT_EQ(FormatByteSize(-5), "N/A");
  }
  {
    sim::ScopedMachine m{sim::MachineBuilder().DecimalSeparator(".")};
    EXPECT_EQ(FormatByteSize(1048576), "1.0 MB");
  }
}

}  // namespace
