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

constexpr uint8_t kWs = plat::kVER_NT_WORKSTATION;
constexpr uint8_t kSrv = plat::kVER_NT_SERVER;
constexpr uint16_t kX86 = plat::kPROCESSOR_ARCHITECTURE_INTEL;
constexpr uint16_t kX64 = plat::kPROCESSOR_ARCHITECTURE_AMD64;
constexpr uint16_t kIa64 = plat::kPROCESSOR_ARCHITECTURE_IA64;

// The branches: server or workstation, architecture, suite and R2 on 5.2; the NT platform;
// a version the program does not know; a 32-bit program on XP x64 without
// GetNativeSystemInfo, which sees its own x86.
TEST(OsVersionSim, NameAndCodeForEveryVersion) {
  const struct {
    uint32_t major, minor;
    uint8_t productType;
    uint16_t suiteMask, nativeArch;
    int serverR2;
    const char* name;
    int code;
  } rows[] = {
      // clang-format off
      {4, 0, kWs, 0, kX86, 0, "Windows NT", 1},           {5, 0, kWs, 0, kX86, 0, "Windows 2000", 2},
      {5, 1, kWs, 0, kX86, 0, "Windows XP", 3},           {5, 2, kWs, 0, kX64, 0, "Windows XP", 3},
      {5, 2, kWs, 0, kIa64, 0, "Windows 2003 Server", 4}, {5, 2, kSrv, 0, kX64, 0, "Windows 2003 Server", 4},
      {5, 2, kSrv, 0x8000, kX86, 0, "Windows 2003 Server", 5},
      {5, 2, kSrv, 0x8000, kX86, 1, "Windows 2003 Server", 6},
      {5, 3, kWs, 0, kX86, 0, "", 0},                     {6, 0, kWs, 0, kX64, 0, "Windows Vista", 7},
      {6, 0, kSrv, 0, kX64, 0, "Windows Vista", 8},       {6, 1, kWs, 0, kX64, 0, "Windows 7", 10},
      {6, 1, kSrv, 0, kX64, 0, "Windows 7", 9},           {6, 2, kSrv, 0, kX64, 0, "Windows 8", 11},
      {6, 3, kWs, 0, kX64, 0, "Windows 8", 0},            {6, 4, kWs, 0, kX64, 0, "Windows 10", 0},
      {6, 5, kWs, 0, kX64, 0, "", 0},                     {10, 0, kSrv, 0, kX64, 0, "Windows 10", 0},
      {11, 0, kWs, 0, kX64, 0, "", 0},
      // clang-format on
  };
  sim::ScopedMachine m{sim::MachineBuilder()};
  sim::Machine& machine = m.machine();
  for (const auto& v : rows) {
    SCOPED_TRACE(std::to_string(v.major) + "." + std::to_string(v.minor));
    machine.os.major = v.major;
    machine.os.minor = v.minor;
    machine.os.productType = v.productType;
    machine.os.suiteMask = v.suiteMask;
    machine.nativeArchitecture = v.nativeArch;
    machine.wow64 = v.nativeArch != kX86;
    machine.serverR2 = v.serverR2;
    EXPECT_EQ(GetOSName() + " " + std::to_string(GetOSVersionCode()),
              v.name + (" " + std::to_string(v.code)));
  }
  machine.os.major = 5;
  machine.os.minor = 2;
  machine.hasGetNativeSystemInfo = false;
  machine.processArchitecture = kX86;
  EXPECT_EQ(GetOSName() + std::to_string(GetOSVersionCode()), "Windows 2003 Server4");
  machine.os.platformId = 1;  // Windows 98
  EXPECT_EQ(GetOSName() + std::to_string(GetOSVersionCode()), "0");
}

// ---------------------------------------------------------------- special folders

TEST(SpecialFolderSim, FallbacksWhenTheShellFails) {
  // folder, Windows major, WOW64, environment variable set ("" none) and its value
  const struct {
    int csidl;
    uint32_t major;
    bool wow64;
    const char *envName, *envValue, *expected;
  } rows[] = {
      // clang-format off
      {26, 10, true, "APPDATA", "  D:\\Roam  ", "D:\\Roam"},
      {26, 6, true, "APPDATA", "   ", "C:\\Users\\Gamer\\AppData\\Roaming"},
      {26, 5, false, "", "", "C:\\Documents and Settings\\Gamer\\Application Data"},
      {28, 10, true, "LOCALAPPDATA", "D:\\Local", "D:\\Local"},
      {28, 5, false, "", "", "C:\\Documents and Settings\\Gamer\\Local Settings\\Application Data"},
      {35, 10, true, "ProgramData", "D:\\PD", "D:\\PD"},
      {38, 10, true, "ProgramFiles(x86)", "D:\\PF86", "D:\\PF86"},
      {38, 10, true, "ProgramFiles", "D:\\PF", "C:\\Program Files (x86)"},
      {38, 10, false, "ProgramFiles", "D:\\PF", "D:\\PF"},
      {38, 10, false, "", "", "C:\\Program Files"},
      {40, 10, true, "USERPROFILE", "D:\\Me", "D:\\Me"},
      {43, 10, true, "CommonProgramFiles(x86)", "D:\\CF", "D:\\CF"},
      {43, 10, false, "CommonProgramFiles", "D:\\CN", "D:\\CN"},
      {43, 10, true, "", "", "C:\\Program Files (x86)\\Common Files"},
      {43, 10, false, "", "", "C:\\Program Files\\Common Files"},
      {27, 10, true, "", "", ""},  // in the range, but no fallback for it
      {5, 10, true, "", "", ""},   // outside the range
      // clang-format on
  };
  sim::ScopedMachine m{sim::MachineBuilder()};
  sim::Machine& machine = m.machine();
  for (const auto& f : rows) {
    SCOPED_TRACE(std::to_string(f.csidl) + " " + f.envName + " " + std::to_string(f.major));
    machine.os.major = f.major;
    machine.os.minor = f.major == 5 ? 1 : 0;
    machine.nativeArchitecture = kX64;
    machine.wow64 = f.wow64;
    machine.specialFolders.erase(f.csidl);
    for (const char* name :
         {"APPDATA", "LOCALAPPDATA", "ProgramData", "ProgramFiles", "ProgramFiles(x86)",
          "USERPROFILE", "CommonProgramFiles", "CommonProgramFiles(x86)"})
      machine.environment.erase(name);
    if (*f.envName) machine.environment[f.envName] = f.envValue;
    ResetSysInfoCache();
    EXPECT_EQ(GetSpecialFolderPath(f.csidl), f.expected);
  }
}

// An answer of three characters or more is taken as it is; a shorter one falls back,
// built on the drive of kernel32.
TEST(SpecialFolderSim, ShortShellAnswerFallsBackOnTheSystemDrive) {
  sim::ScopedMachine m{
      sim::MachineBuilder()
          .Folder(26, "C:")
          .Folder(36, "C:")
          .Folder(38, "D:\\")
          .NoEnv("APPDATA")
          .Env("ProgramFiles", "E:\\ignored")
          .With([](sim::Machine& machine) { machine.systemDir = "E:\\Windows\\System32"; })};
  EXPECT_EQ(GetSpecialFolderPath(26), "E:\\Users\\Gamer\\AppData\\Roaming");
  EXPECT_EQ(GetSpecialFolderPath(36), "C:");
  EXPECT_EQ(GetSpecialFolderPath(38), "D:\\");
}

// ---------------------------------------------------------------- user, WOW64

TEST(UserNameSim, NameUpTo255Characters) {
  for (const size_t length : {5, 255, 256}) {
    sim::ScopedMachine m{sim::MachineBuilder().User(std::string(length, 'u'))};
    EXPECT_EQ(GetUserName(), length > 255 ? "" : std::string(length, 'u')) << length;
  }
}

TEST(Wow64Sim, AnswerMissingFunctionAndTheRememberedSelfAnswer) {
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
    m.machine().wow64 = !row.wow64;  // the program does not move between machines
    EXPECT_EQ(IsWow64Self(), row.wow64);
  }
}

// ---------------------------------------------------------------- version resources

const std::string kExe = "C:\\Program Files (x86)\\Velmora\\VlxMain.exe";

sim::VersionResource MainVersion(std::vector<std::pair<uint16_t, uint16_t>> translations,
                                 decltype(sim::VersionResource::stringTables) tables) {
  sim::VersionResource v;
  v.fileVersion[0] = 5;
  v.fileVersion[1] = 2;
  v.fileVersion[2] = 1;
  v.fileVersion[3] = 154;
  v.translations = std::move(translations);
  v.stringTables = std::move(tables);
  return v;
}

TEST(VersionInfoSim, FieldsByIndexTheRecordAndTheNumericVersion) {
  // clang-format off
  const sim::VersionResource v = MainVersion({{0x0409, 0x04B0}}, {{"040904B0", {
      {"CompanyName", "Trevanic"}, {"FileVersion", "5.2.1 beta"}, {"LegalTrademarks", "Velmora\xE2\x84\xA2"},
      {"ProductName", "Velmora Game Booster"}, {"Comments", "host"}, {"WOW Version", "1.0"}}}});
  // clang-format on
  sim::ScopedMachine m{sim::MachineBuilder().File(kExe, "MZ").Version(kExe, v)};
  // The text and the numeric file version differ; index 6 keeps its UTF-8.
  std::string fields;
  for (int index : {-1, 0, 1, 3, 6, 8, 10, 11})
    fields += GetFileVersionText(kExe, index, "-") + "|";
  EXPECT_EQ(fields, "|host|Trevanic|5.2.1.154|Velmora\xE2\x84\xA2|Velmora Game Booster|1.0||");
  EXPECT_EQ(GetFileVersionString(kExe, 3, "Unknown"), "5.2.1 beta");
  TFileVersionRecord record;
  ASSERT_TRUE(ReadFileVersionRecord(kExe, true, record));
  EXPECT_EQ(record.Fixed[0], 0xFEEF04BDu);
  EXPECT_EQ(record.Fixed[3], (1u << 16) | 154u);
}

// Which string table answers: the translation's, else the first; a missing key is
// empty, not the default; without a resource the default.
TEST(VersionInfoSim, TheTranslationPicksTheTable) {
  const decltype(sim::VersionResource::stringTables) two = {
      {"080404B0", {{"CompanyName", "First"}}}, {"040704B0", {{"CompanyName", "Second"}}}};
  const struct {
    std::vector<std::pair<uint16_t, uint16_t>> translations;
    bool tables;
    std::string company;
  } rows[] = {{{{0x0407, 0x04B0}}, true, "Second"},
              {{{0x0409, 0x04E4}}, true, "First"},
              {{}, true, "First"},
              {{}, false, ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.company);
    sim::ScopedMachine m{
        sim::MachineBuilder()
            .File(kExe, "MZ")
            .Version(kExe, MainVersion(row.translations, row.tables ? two : decltype(two){}))};
    EXPECT_EQ(GetFileVersionText(kExe, 1, "-") + "|" + GetFileVersionString(kExe, 1, "-") + "|" +
                  GetFileVersionText(kExe, 8, "-") + "|" + GetFileVersionString(kExe, 3, "-"),
              row.company + "|" + row.company + "||");
  }
  const std::string plain = "C:\\Games\\Plain.exe";
  sim::ScopedMachine m{sim::MachineBuilder().File(plain, "MZ")};
  EXPECT_EQ(GetFileVersionText(plain, 3, "-") + GetFileVersionString(plain, 1, "+"), "-+");
  TFileVersionRecord record;
  record.Fields[1] = "stale";
  EXPECT_FALSE(ReadFileVersionRecord(plain, true, record));
  EXPECT_EQ(record.Fields[1], "");
}

// ---------------------------------------------------------------- processes

TEST(KillProcessSim, EveryMatchIsEndedAndTheLastDecidesTheResult) {
  const auto proc = [](uint32_t pid, const std::string& exe, bool open = true, bool end = true) {
    sim::Process p;
    p.pid = pid;
    p.exeFile = exe;
    p.canOpen = open;
    p.canTerminate = end;
    return p;
  };
  const struct {
    const char* what;
    std::vector<sim::Process> processes;
    const char* name;
    bool result;
    std::vector<uint32_t> left;
  } rows[] = {
      // clang-format off
      {"any case", {proc(100, "VlxTray.exe"), proc(200, "notepad.exe")}, "vlxtray.exe", true, {200}},
      {"nothing to match", {proc(200, "notepad.exe")}, "nothere.exe", false, {200}},
      {"a stuck first match", {proc(101, "VlxMain.exe", true, false), proc(102, "VLXMAIN.EXE"),
                               proc(103, "x.exe")}, "VlxMain.exe", true, {101, 103}},
      {"the last match failing", {proc(201, "VlxTray.exe"), proc(202, "VlxTray.exe", false)},
       "VlxTray.exe", false, {202}},
      {"a whole stored path", {proc(300, "C:\\Tools\\Helper.exe")}, "c:\\tools\\helper.exe", true, {}},
      {"a path is no bare name", {proc(301, "Other.exe")}, "C:\\Tools\\Other.exe", false, {301}},
      {"a bare name matches a stored path", {proc(400, "D:\\Bin\\Helper.exe")}, "HELPER.EXE", true, {}},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    sim::MachineBuilder b;
    b.With([](sim::Machine& machine) { machine.processes.clear(); });
    for (const sim::Process& p : row.processes)
      b.AddProcess(p);
    sim::ScopedMachine m{b};
    EXPECT_EQ(KillProcessByName(row.name), row.result);
    std::vector<uint32_t> left;
    for (const sim::Process& p : m.machine().processes)
      left.push_back(p.pid);
    EXPECT_EQ(left, row.left);
  }
}

TEST(ByteSizeSim, UsesTheUsersDecimalSeparator) {
  sim::ScopedMachine m{sim::MachineBuilder().DecimalSeparator(",")};
  EXPECT_EQ(FormatByteSize(1536), "1,5 KB");
}

}  // namespace
