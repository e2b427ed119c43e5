// The settings record over simulated machines: first run, every key's round trip, the file written
// by SaveConfig byte for byte, legacy files, the legacy overclock switch, the install date and the
// temperature unit.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "config/UnitGAConfig.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "tests/settings/SettingsMachine.h"
#include "tests/support/LogText.h"

namespace {

using namespace settingstest;
using test::Hex;

// ---------------------------------------------------------------- first run

TEST(SettingsFirstRun, WritesTheInstallDateAndPicksTheTemperatureUnitByLanguage) {
  // language, Celsius, the CPU, graphics, board and disk thresholds
  const struct {
    uint16_t lang;
    bool celsius;
    int32_t cpu, vga, board, hd;
  } rows[] = {{1033, false, 194, 194, 176, 140},
              {1031, true, 90, 90, 80, 60},
              {2057, true, 90, 90, 80, 60},
              {2052, true, 90, 90, 80, 60}};
  for (const auto& row : rows) {
    Session session;
    SetDebugOutput(true);
    sim::ScopedMachine m{Machine(row.lang)};
    InitConfigGlobals(false);
    ASSERT_TRUE(GConfig);
    const TGAConfig& c = *GConfig;
    EXPECT_EQ(c.FIsCelsiusTemp, row.celsius) << row.lang;
    EXPECT_EQ(
        (std::vector<int32_t>{c.FWarnTempCPU, c.FWarnTempVGA, c.FWarnTempBoard, c.FWarnTempHD}),
        (std::vector<int32_t>{row.cpu, row.vga, row.board, row.hd}))
        << row.lang;
    const auto& debug = m.machine().debugOutput;
    EXPECT_NE(std::find(debug.begin(), debug.end(), "CheckTemUnit : " + std::to_string(row.lang)),
              debug.end());
    if (row.lang != 1033) continue;
    EXPECT_EQ(GSettingsFolder, kData);
    EXPECT_EQ(c.FIniFileName, kSettings);
    // The default hot keys: Ctrl+Alt+B boosts, Ctrl+Alt+R restores.
    EXPECT_EQ((std::vector<int32_t>{c.FBoostHootKey1, c.FBoostHootKey2, c.FRestoreHootKey1,
                                    c.FRestoreHootKey2}),
              (std::vector<int32_t>{66, 3, 82, 3}));
    EXPECT_EQ(GInstallDate, kToday);
    // The install date and the switched-off game-mode notice are all the first run writes.
    EXPECT_EQ(Hex(m.ReadFile(kSettings)),
              Hex(Ini("[Config]\r\nInstTime=20240315\r\nFInstallDate=20240315\r\n"
                      "FShowGameMode=0\r\n\r\n")));
    EXPECT_FALSE(c.FShowGameMode);
    EXPECT_EQ(m.ReadFile(kData + "Stat.ini"), "");
    for (const std::string& dir : {kData + "Logs", kPictures + "\\Velmora", kVideos + "\\Velmora"})
      EXPECT_TRUE(fileutil::DirectoryExists(dir)) << dir;
  }
}

// ---------------------------------------------------------------- every key

// A settings file with every key away from its default.
const char* const kFullFile =
    "[Config]\r\n"
    "FConfigApplyShowTip=0\r\nFbTweakExportMode=1\r\nFdLastActiveStatTime=45000.5\r\n"
    "FbShowDragHint=0\r\nFbShowRecommad=0\r\nFPopAlarmWindows=0\r\n"
    "BoostHootKey1=67\r\nBoostHootKey2=6\r\nRestoreHootKey1=68\r\nRestoreHootKey2=5\r\n"
    "ExitGameDeskTop1=122\r\nExitGameDeskTop2=2\r\nDisplayFPS1=70\r\nDisplayFPS2=4\r\n"
    "ScreenHotkey1=80\r\nScreenHotkey2=7\r\nRecordHotkey1=81\r\nRecordHotkey2=8\r\n"
    "FHotkeyInfo.nVK=90\r\nFHotkeyInfo.nMod=2\r\n"
    "FbContextmenu=0\r\nFStreamAuotoBoost=0\r\nFBoostRestore=0\r\nFAutoMinimizeTime=30\r\n"
    "FCheckAutoMinimizeTime=1\r\nFEnableProxy=2\r\nFProxyServer=proxy.lan\r\n"
    "FProxyUserName=bob\r\nFProxyPort=8080\r\nFProxyPassword=s3cret\r\nFGameSortType=261\r\n"
    "FOGClicked=1\r\nFShowWahtInfo=1\r\nFFastRun=0\r\nFRunWithWindows=0\r\nFShowNewsIcon=1\r\n"
    "FProgramCount=17\r\nGameAutoscan=0\r\nFIsCelsiusTemp=1\r\nFShowHotkeyError=0\r\n"
    "FDisplayTempInGame=0\r\nFShowNewfeature=0\r\nFAutoAlarm=0\r\nFAlarmSound=0\r\n"
    "FGAPosition.X=100\r\nFGAPosition.Y=200\r\nFWarnTempCPU=85\r\nFWarnTempVGA=86\r\n"
    "FWarnTempBoard=75\r\nFWarnTempHD=55\r\nFAlarmFile=C:\\Sounds\\beep.wav\r\n"
    "Language=Deutsch\r\nFShowGameMode=0\r\nFAlphaBlendValue=40\r\nFOverlayConer=3\r\n"
    "FAutoGameMode=0\r\nFShowCategoryTips=0\r\nFShowNoGameTips=0\r\nFShowInGameTips=0\r\n"
    "FnWarnProcessCPU=80\r\nFnWarnProcessMemory=500\r\nFTemColor0=1\r\nFTemColor1=2\r\n"
    "FTemColor2=3\r\nFShowTem0=0\r\nFShowTem1=0\r\nFShowTem2=0\r\n"
    "FPSScreenDir=C:\\Media\\Shots\\\r\nFSkinName=dark\r\nFPSAVIDir=C:\\Media\\Clips\\\r\n"
    "NewUser5=1\r\nFPScolor=255\r\nVideoQuality=3\r\nRecordFullScreen=1\r\n"
    "FRestoreProcesses=1\r\nFRestoreServices=0\r\nFInstallDate=20200101\r\nInstTime=20200102\r\n"
    "\r\n[Feedback]\r\nUserMail=a@b.c\r\n"
    "\r\n[AutoDriverConfig]\r\nEnable=0\r\nMethod=2\r\naudio=0\r\ngraphics=0\r\nIdleTime=9\r\n"
    "\r\n[AutoDefragConfig]\r\nEnable=0\r\nIdleTime=8\r\nMethod=3\r\n"
    "\r\n[silentMode]\r\nEnable=0\r\n"
    "\r\n[GPU]\r\nGPUNodeIndex=1\r\n"
    "\r\n[Boost]\r\nOCLevel=3\r\nOC_GPU=50\r\nOC_RAM=60\r\n"
    "\r\n[CURI]\r\nHaveShowNew=1\r\n"
    "\r\n[MonitorTune]\r\nRedhint=1\r\n\r\n";

// The [Config] keys of that file that a load reads and a save never writes.
const char* const kNeverSaved =
    " FConfigApplyShowTip FbTweakExportMode FdLastActiveStatTime FbShowDragHint FbShowRecommad"
    " FPopAlarmWindows FShowNewsIcon FProgramCount FShowHotkeyError FShowGameMode"
    " FShowCategoryTips FShowNoGameTips FShowInGameTips FInstallDate InstTime ";

// The lines of an INI text as "[section]key=value", blank lines left out.
std::set<std::string> KeyLines(const std::string& text) {
  std::set<std::string> lines;
  std::string section;
  for (const std::string& line : txt::SplitLines(text)) {
    if (line.empty()) continue;
    if (line[0] == '[') {
      section = line;
    } else {
      lines.insert(section + line);
    }
  }
  return lines;
}

TEST(SettingsKeys, EveryKeyIsReadAndASaveWritesBackTheWritableOnes) {
  Loaded m{Machine().File(kSettings, Ini(kFullFile)).File("C:\\Sounds\\beep.wav", "RIFF")};
  // A load with nothing to change writes nothing.
  EXPECT_EQ(Hex(m.ReadFile(kSettings)), Hex(Ini(kFullFile)));
  // The keys SaveConfig writes back are checked through the save below; these it never writes.
  const TGAConfig& c = *GConfig;
  EXPECT_EQ((std::vector<bool>{c.FConfigApplyShowTip, c.FbShowDragHint, c.FbShowRecommad,
                               c.FPopAlarmWindows, c.FShowHotkeyError, c.FShowGameMode,
                               c.FShowCategoryTips, c.FShowNoGameTips, c.FShowInGameTips,
                               c.FShowNew, c.FRedHint}),
            std::vector<bool>(11, false));
  EXPECT_TRUE(c.FbTweakExportMode && c.FShowNewsIcon);
  EXPECT_EQ(c.FdLastActiveStatTime, 45000.5);
  EXPECT_EQ(GProgramCount, 17);
  EXPECT_EQ(GInstallDate + " " + c.FUserMail, "20200101 a@b.c");
  EXPECT_TRUE(fileutil::DirectoryExists("C:\\Media\\Shots"));
  EXPECT_TRUE(fileutil::DirectoryExists("C:\\Media\\Clips"));
  ASSERT_TRUE(plat::DeleteFileW(kSettings));
  GConfig->SaveConfig(false);
  EXPECT_EQ(m.ReadFile(kSettings).substr(0, 2), "\xFF\xFE");
  // What a save writes is what was read, but for the keys only a load reads, and the
  // sort type, whose high bits are not kept.
  std::set<std::string> expected = KeyLines(kFullFile);
  for (auto it = expected.begin(); it != expected.end();) {
    const std::string section = it->substr(0, it->find(']') + 1);
    const std::string name = it->substr(section.size(), it->find('=') - section.size());
    const bool loadOnly = section == "[Feedback]" || section == "[CURI]" ||
                          section == "[MonitorTune]" ||
                          std::string(kNeverSaved).find(" " + name + " ") != std::string::npos;
    it = loadOnly ? expected.erase(it) : std::next(it);
  }
  expected.erase("[Config]FGameSortType=261");
  expected.insert("[Config]FGameSortType=5");
  EXPECT_EQ(KeyLines(Text(m, kSettings)), expected);
}

TEST(SettingsKeys, SaveConfigKeepsOtherKeysAndReplacesAMissingAlarmFile) {
  Loaded m{Machine().File(
      kSettings, Ini("[Config]\r\nFShowGameMode=1\r\nFAutoGameMode=0\r\nFInstallDate=20200101\r\n"
                     "InstTime=20200101\r\nFAlarmFile=C:\\gone.wav\r\n\r\n[Power]\r\n"
                     "BasePwrSchID=381b4222\r\n\r\n"))};
  EXPECT_EQ(GConfig->FAlarmFile, "C:\\gone.wav");
  GConfig->SaveConfig(false);
  EXPECT_EQ(GConfig->FAlarmFile, kProgram + "alarm.wav");
  const std::string text = Text(m, kSettings);
  EXPECT_NE(text.find("FAlarmFile=" + kProgram + "alarm.wav\r\n"), std::string::npos);
  EXPECT_NE(text.find("[Power]\r\nBasePwrSchID=381b4222\r\n"), std::string::npos);
  EXPECT_NE(text.find("FShowGameMode=1\r\n"), std::string::npos);  // never written by a save
}

TEST(SettingsKeys, NewUserKeyFollowsTheProgramsMajorVersion) {
  {
    Session session;
    sim::ScopedMachine m{Machine()
                             .Version(kExe, Version(12, 0, 3, 1))
                             .File(kSettings, Ini("[Config]\r\nNewUser5=1\r\nNewUser12=7\r\n"))};
    EXPECT_EQ(GetOwnMajorVersion(), "12");
    InitConfigGlobals(false);
    EXPECT_EQ(GConfig->FNewUser, 7);
  }
  {
    Session session;
    sim::ScopedMachine m{Machine()
                             .With([](sim::Machine& mm) { mm.files[kExe].version.reset(); })
                             .File(kSettings, Ini("[Config]\r\nNewUser=3\r\n"))};
    EXPECT_EQ(GetOwnMajorVersion(), "");
    InitConfigGlobals(false);
    EXPECT_EQ(GConfig->FNewUser, 3);
  }
}

TEST(SettingsKeys, NegativeOverlayCornerLoadsAsZero) {
  Loaded m{Machine().File(kSettings, Ini("[Config]\r\nFOverlayConer=-3\r\n"))};
  EXPECT_EQ(GConfig->FOverlayConer, 0);
}

TEST(SettingsKeys, ShowGameModeIsSwitchedOffOnlyWithAutoGameMode) {
  const std::string file =
      "[Config]\r\nFInstallDate=20200101\r\nInstTime=20200101\r\nFAutoGameMode=0\r\n\r\n";
  Loaded m{Machine().File(kSettings, Ini(file))};
  EXPECT_TRUE(GConfig->FShowGameMode);
  EXPECT_EQ(Hex(m.ReadFile(kSettings)), Hex(Ini(file)));

  GConfig->SaveShowGameMode(true);
  EXPECT_EQ(Text(m, kSettings),
            "[Config]\r\nFInstallDate=20200101\r\nInstTime=20200101\r\nFAutoGameMode=0\r\n"
            "FShowGameMode=1\r\n\r\n");
}

TEST(SettingsKeys, HotkeyInfoHasItsOwnLoadAndSave) {
  Loaded m{Machine().File(
      kSettings, Ini("[Config]\r\nFHotkeyInfo.nVK=120\r\nFHotkeyInfo.nMod=6\r\nFShowGameMode=0\r\n"
                     "FInstallDate=20200101\r\nInstTime=20200101\r\n"))};
  EXPECT_EQ(GConfig->FHotkeyInfo.nID, 4096);
  EXPECT_EQ(GConfig->FHotkeyInfo.nVK, 120);
  EXPECT_EQ(GConfig->FHotkeyInfo.nMod, 6);
  GConfig->FHotkeyInfo.nVK = 75;
  GConfig->FHotkeyInfo.nMod = 3;
  GConfig->SaveHotkeyInfo();
  EXPECT_EQ(Text(m, kSettings),
            "[Config]\r\nFHotkeyInfo.nVK=75\r\nFHotkeyInfo.nMod=3\r\nFShowGameMode=0\r\n"
            "FInstallDate=20200101\r\nInstTime=20200101\r\n\r\n");
}

TEST(SettingsKeys, ModulesOpenTheFileOneAccessAtATime) {
  Loaded m{Machine()};
  {
    auto ini = GConfig->OpenSettingsIni();
    EXPECT_EQ(ini->FileName(), kSettings);
    EXPECT_EQ(ini->Encoding(), TEncoding::kUnicode);
    ini->WriteBool("Boost", "RAM", false);
    // Not on disk before the object is released.
    EXPECT_EQ(Text(m, kSettings).find("RAM="), std::string::npos);
  }
  EXPECT_NE(Text(m, kSettings).find("[Boost]\r\nRAM=0\r\n"), std::string::npos);
}

TEST(SettingsKeys, SettingsFileThatCannotBeReadIsNeverReplaced) {
  const std::string file = "[Config]\r\nLanguage=Deutsch\r\n\r\n[Boost]\r\nOverClock=1\r\n\r\n";
  Session session;
  sim::ScopedMachine m{Machine().File(kSettings, Ini(file)).File(kData + "OldCfgSVX.ini", "")};
  // Another program holds the file open without sharing it.
  const plat::Handle lock =
      plat::CreateFileW(kSettings, plat::kGENERIC_READ, 0, plat::kOPEN_EXISTING);
  ASSERT_NE(lock, plat::kInvalidHandle);
  InitConfigGlobals(false);
  plat::CloseHandle(lock);
  EXPECT_EQ(GConfig->FLanguage, "English");
  EXPECT_EQ(GConfig->FOCLevel, 1);
  EXPECT_EQ(Hex(m.ReadFile(kSettings)), Hex(Ini(file)));
  // The legacy file waits for a save that succeeds; each failed access is logged once.
  EXPECT_TRUE(m.Exists(kData + "OldCfgSVX.ini"));
  const auto errors = test::LogMessages(Text(m, kLogs + "VlxMiniException.log"));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0], "TSafeIniFile.LoadFromFile: \"" + kSettings + "\" system error 32");
}

// ---------------------------------------------------------------- legacy overclock switch

TEST(SettingsOverclock, LegacySwitchBecomesALevelAndIsRemoved) {
  const std::string head =
      "[Config]\r\nFShowGameMode=0\r\nFInstallDate=20200101\r\nInstTime=20200101\r\n"
      "\r\n[Boost]\r\n";
  // [Boost] keys before, the switch, the level, [Boost] keys after
  const struct {
    std::string before;
    bool on;
    int32_t level;
    std::string after;
  } rows[] = {{"RAM=1\r\nOverClock=1\r\nPower=0\r\n", true, 2, "RAM=1\r\nPower=0\r\nOCLevel=2\r\n"},
              {"OverClock=0\r\n", false, 1, ""},
              {"OCLevel=3\r\nOverClock=0\r\n", false, 3, "OCLevel=3\r\n"}};
  for (const auto& row : rows) {
    Loaded m{Machine().File(kSettings, Ini(head + row.before + "\r\n"))};
    EXPECT_EQ(GConfig->FOldOverClock, row.on) << row.before;
    EXPECT_EQ(GConfig->FOCLevel, row.level) << row.before;
    EXPECT_EQ(Text(m, kSettings), head + row.after + "\r\n");
  }
}

// ---------------------------------------------------------------- install date

TEST(SettingsInstallDate, FromTheFileOrTheRegistryOrToday) {
  // 44348 = 1 June 2021.
  const struct {
    const char* what;
    std::string file;
    int64_t registry;  // -1: no key; -2: a key without the value
    std::string date, after, error;
  } rows[] = {
      {"long date cut, file left",
       "[Config]\r\nFInstallDate=20190704153012\r\nInstTime=20190704\r\n"
       "FShowGameMode=0\r\n",
       44348, "20190704", "", ""},
      {"registry fills both", "", 44348, "20210601",
       "[Config]\r\nInstTime=20210601\r\nFInstallDate=20210601\r\nFShowGameMode=0\r\n\r\n", ""},
      {"only FInstallDate missing", "[Config]\r\nInstTime=20180101\r\nFShowGameMode=0\r\n", 44348,
       "20210601",
       "[Config]\r\nInstTime=20180101\r\nFShowGameMode=0\r\nFInstallDate=20210601\r\n\r\n", ""},
      {"only InstTime missing", "[Config]\r\nFInstallDate=20180101\r\nFShowGameMode=0\r\n", 44348,
       "20180101",
       "[Config]\r\nFInstallDate=20180101\r\nFShowGameMode=0\r\nInstTime=20210601\r\n\r\n", ""},
      {"registry value missing", "", -2, kToday, "", "GetInstallDate:"},
      {"registry key missing", "", -1, kToday, "", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Session session;
    sim::MachineBuilder b = Machine();
    if (!row.file.empty()) b.File(kSettings, Ini(row.file));
    if (row.registry >= 0)
      b.RegDword(kInstallKey, "InstallDate", static_cast<uint32_t>(row.registry));
    if (row.registry == -2) b.RegSz(kInstallKey, "Other", "x");
    sim::ScopedMachine m{b};
    InitConfigGlobals(false);
    EXPECT_EQ(GInstallDate, row.date);
    if (!row.after.empty()) {
      EXPECT_EQ(Text(m, kSettings), row.after);
    } else if (!row.file.empty()) {
      EXPECT_EQ(Hex(m.ReadFile(kSettings)), Hex(Ini(row.file)));
    }
    const auto errors = test::LogMessages(Text(m, kLogs + "VlxMiniException.log"));
    EXPECT_EQ(errors.empty() ? "" : errors[0].substr(0, 15), row.error);
  }
}

// ---------------------------------------------------------------- media folders

TEST(SettingsFolders, MissingPictureAndVideoFoldersFallBackToTheProfile) {
  Session session;
  sim::ScopedMachine m{Machine()
                           .NoFolder(plat::kCSIDL_MYPICTURES)
                           .Folder(plat::kCSIDL_MYVIDEO, "C:\\Nowhere\\Videos")};
  // The shell names a video folder that is not there.
  ASSERT_TRUE(plat::RemoveDirectoryW("C:\\Nowhere\\Videos"));
  InitConfigGlobals(false);
  EXPECT_EQ(GConfig->FDefaultScreenDir, kProfile + "\\My Pictures\\Velmora\\");
  EXPECT_EQ(GConfig->FDefaultAVIDir, kProfile + "\\My Video\\Velmora\\");
  EXPECT_TRUE(fileutil::DirectoryExists(kProfile + "\\My Pictures\\Velmora"));
  EXPECT_TRUE(fileutil::DirectoryExists(kProfile + "\\My Video\\Velmora"));
  EXPECT_FALSE(fileutil::DirectoryExists("C:\\Nowhere\\Videos"));
}

// ---------------------------------------------------------------- globals

TEST(SettingsGlobals, FoldersWithoutObjectsAndRepeatedShutdown) {
  Session session;
  sim::ScopedMachine m{Machine()};
  EXPECT_EQ(GetSettingsFolder(), kData);
  InitConfigGlobals(true);
  EXPECT_EQ(GSettingsFolder, kData);
  EXPECT_TRUE(fileutil::DirectoryExists(kData + "Logs"));
  EXPECT_FALSE(GConfig);
  EXPECT_FALSE(GStatIni);
  EXPECT_FALSE(m.Exists(kSettings));
  EXPECT_FALSE(m.Exists(kData + "Stat.ini"));

  InitConfigGlobals(false);
  EXPECT_TRUE(GConfig);
  EXPECT_TRUE(GStatIni);
  DoneConfigGlobals();
  EXPECT_FALSE(GConfig);
  EXPECT_FALSE(GStatIni);
  EXPECT_EQ(GSettingsFolder, "");
  DoneConfigGlobals();
  EXPECT_EQ(GSettingsFolder, "");
}

TEST(SettingsGlobals, ASettingsFolderLongerThanWindowsAllowsIsRefusedAndLogged) {
  Session session;
  sim::ScopedMachine m{Machine()};
  std::string deep = kProfile;
  for (int i = 0; i < 2000; ++i)
    deep += "\\d";
  m.machine().specialFolders[plat::kCSIDL_APPDATA] = deep;
  InitConfigGlobals(false);
  EXPECT_TRUE(GConfig);
  EXPECT_FALSE(fileutil::DirectoryExists(kProfile + "\\d"));
  const auto errors = test::LogMessages(Text(m, kLogs + "VlxMiniException.log"));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0], "InitConfigGlobals: \"" + deep + "\\Trevanic\\Velmora\\\" system error 206");
}

}  // namespace
