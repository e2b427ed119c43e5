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
    std::vector<int32_t> thresholds;
  } rows[] = {{1033, false, {194, 194, 176, 140}},
              {1031, true, {90, 90, 80, 60}},
              {2052, true, {90, 90, 80, 60}}};
  for (const auto& row : rows) {
    Loaded m{Machine(row.lang)};
    const TGAConfig& c = *GConfig;
    EXPECT_EQ(c.FIsCelsiusTemp, row.celsius) << row.lang;
    EXPECT_EQ(
        (std::vector<int32_t>{c.FWarnTempCPU, c.FWarnTempVGA, c.FWarnTempBoard, c.FWarnTempHD}),
        row.thresholds)
        << row.lang;
  }
  Loaded m{Machine()};
  EXPECT_EQ(GInstallDate, kToday);
  // The install date and the switched-off game-mode notice are all the first run writes.
  EXPECT_EQ(Hex(m.ReadFile(kSettings)),
            Hex(Ini("[Config]\r\nInstTime=20240315\r\nFInstallDate=20240315\r\n"
                    "FShowGameMode=0\r\n\r\n")));
  EXPECT_EQ(m.ReadFile(kData + "Stat.ini"), "");
  for (const std::string& dir : {kData + "Logs", kPictures + "\\Velmora", kVideos + "\\Velmora"})
    EXPECT_TRUE(fileutil::DirectoryExists(dir)) << dir;
}

// ---------------------------------------------------------------- every key

// A settings file with every key away from its default: the keys a save writes back,
// then those only a load reads.
const std::string kSavedKeys =
    "BoostHootKey1=67\r\nBoostHootKey2=6\r\nRestoreHootKey1=68\r\nRestoreHootKey2=5\r\n"
    "ExitGameDeskTop1=122\r\nExitGameDeskTop2=2\r\nDisplayFPS1=70\r\nDisplayFPS2=4\r\n"
    "ScreenHotkey1=80\r\nScreenHotkey2=7\r\nRecordHotkey1=81\r\nRecordHotkey2=8\r\n"
    "FHotkeyInfo.nVK=90\r\nFHotkeyInfo.nMod=2\r\nFbContextmenu=0\r\nFStreamAuotoBoost=0\r\n"
    "FBoostRestore=0\r\nFAutoMinimizeTime=30\r\nFCheckAutoMinimizeTime=1\r\nFEnableProxy=2\r\n"
    "FProxyServer=proxy.lan\r\nFProxyUserName=bob\r\nFProxyPort=8080\r\n"
    "FProxyPassword=s3cret\r\nFGameSortType=261\r\nFOGClicked=1\r\nFShowWahtInfo=1\r\n"
    "FFastRun=0\r\nFRunWithWindows=0\r\nGameAutoscan=0\r\nFIsCelsiusTemp=1\r\n"
    "FDisplayTempInGame=0\r\nFShowNewfeature=0\r\nFAutoAlarm=0\r\nFAlarmSound=0\r\n"
    "FGAPosition.X=100\r\nFGAPosition.Y=200\r\nFWarnTempCPU=85\r\nFWarnTempVGA=86\r\n"
    "FWarnTempBoard=75\r\nFWarnTempHD=55\r\nFAlarmFile=C:\\Sounds\\beep.wav\r\n"
    "Language=Deutsch\r\nFAlphaBlendValue=40\r\nFOverlayConer=3\r\nFAutoGameMode=0\r\n"
    "FnWarnProcessCPU=80\r\nFnWarnProcessMemory=500\r\nFTemColor0=1\r\nFTemColor1=2\r\n"
    "FTemColor2=3\r\nFShowTem0=0\r\nFShowTem1=0\r\nFShowTem2=0\r\n"
    "FPSScreenDir=C:\\Media\\Shots\\\r\nFSkinName=dark\r\nFPSAVIDir=C:\\Media\\Clips\\\r\n"
    "NewUser5=1\r\nFPScolor=255\r\nVideoQuality=3\r\nRecordFullScreen=1\r\n"
    "FRestoreProcesses=1\r\nFRestoreServices=0\r\n\r\n[AutoDriverConfig]\r\nEnable=0\r\n"
    "Method=2\r\naudio=0\r\ngraphics=0\r\nIdleTime=9\r\n\r\n[AutoDefragConfig]\r\nEnable=0\r\n"
    "IdleTime=8\r\nMethod=3\r\n\r\n[silentMode]\r\nEnable=0\r\n\r\n[GPU]\r\nGPUNodeIndex=1\r\n"
    "\r\n[Boost]\r\nOCLevel=3\r\nOC_GPU=50\r\nOC_RAM=60\r\n";
const std::string kFullFile =
    "[Config]\r\nFConfigApplyShowTip=0\r\nFbTweakExportMode=1\r\nFdLastActiveStatTime=45000.5\r\n"
    "FbShowDragHint=0\r\nFbShowRecommad=0\r\nFPopAlarmWindows=0\r\nFShowNewsIcon=1\r\n"
    "FProgramCount=17\r\nFShowHotkeyError=0\r\nFShowGameMode=0\r\nFShowCategoryTips=0\r\n"
    "FShowNoGameTips=0\r\nFShowInGameTips=0\r\nFInstallDate=20200101\r\nInstTime=20200102\r\n" +
    kSavedKeys +
    "\r\n[Feedback]\r\nUserMail=a@b.c\r\n\r\n[CURI]\r\nHaveShowNew=1\r\n\r\n[MonitorTune]\r\n"
    "Redhint=1\r\n\r\n";

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
  // What a save writes is what was read, but for the sort type, whose high bits are not kept.
  std::set<std::string> expected = KeyLines("[Config]\r\n" + kSavedKeys);
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

// The version-named "NewUser<major>" key wins; without a version only "NewUser"; a
// negative overlay corner loads as 0.
TEST(SettingsKeys, NewUserKeyFollowsTheProgramsMajorVersion) {
  const struct {
    bool versioned;
    const char* major;
    int32_t newUser;
  } rows[] = {{true, "12", 7}, {false, "", 3}};
  for (const auto& row : rows) {
    Loaded m{Machine()
                 .Version(kExe, Version(12, 0, 3, 1))
                 .With([&](sim::Machine& mm) {
                   if (!row.versioned) mm.files[kExe].version.reset();
                 })
                 .File(kSettings, Ini("[Config]\r\nNewUser=3\r\nNewUser5=1\r\nNewUser12=7\r\n"
                                      "FOverlayConer=-3\r\n"))};
    EXPECT_EQ(GetOwnMajorVersion(), row.major);
    EXPECT_EQ(GConfig->FNewUser, row.newUser);
    EXPECT_EQ(GConfig->FOverlayConer, 0);
  }
}

// The game-mode notice, the extra hot key and the modules' own keys are saved one at a
// time, into the file as it is.
TEST(SettingsKeys, SingleSavesWriteTheirKeysOnly) {
  const std::string head = "[Config]\r\nFInstallDate=20200101\r\nInstTime=20200101\r\n";
  Loaded m{Machine().File(kSettings, Ini(head + "FAutoGameMode=0\r\n\r\n"))};
  // Shown by default, and not switched off while automatic game mode is off.
  EXPECT_TRUE(GConfig->FShowGameMode);
  EXPECT_EQ(Text(m, kSettings), head + "FAutoGameMode=0\r\n\r\n");
  GConfig->SaveShowGameMode(true);
  GConfig->FHotkeyInfo.nVK = 75;
  GConfig->FHotkeyInfo.nMod = 3;
  GConfig->SaveHotkeyInfo();
  {
    auto ini = GConfig->OpenSettingsIni();
    EXPECT_EQ(ini->Encoding(), TEncoding::kUnicode);
    ini->WriteBool("Boost", "RAM", false);
    // Not on disk before the object is released.
    EXPECT_EQ(Text(m, kSettings).find("RAM="), std::string::npos);
  }
  EXPECT_EQ(Text(m, kSettings), head +
                                    "FAutoGameMode=0\r\nFShowGameMode=1\r\nFHotkeyInfo.nVK=75\r\n"
                                    "FHotkeyInfo.nMod=3\r\n\r\n[Boost]\r\nRAM=0\r\n\r\n");
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
  // Not even once the file is free again.
  EXPECT_FALSE(GConfig->SaveConfig(false));
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

// A missing date is taken from the registry (days since 1899) or, failing that, today;
// a long date is cut to eight digits; only missing keys are written.
TEST(SettingsInstallDate, FromTheFileOrTheRegistryOrToday) {
  const std::string show = "FShowGameMode=0\r\n";
  const struct {
    std::string file;
    int64_t registry;  // -1: no key; -2: a key without the value
    std::string date, after, error;
  } rows[] = {
      // clang-format off
      {"FInstallDate=20190704153012\r\nInstTime=20190704\r\n", 44348, "20190704", "", ""},
      {"", 44348, "20210601", "InstTime=20210601\r\nFInstallDate=20210601\r\n" + show, ""},
      {"InstTime=20180101\r\n", 44348, "20210601", "InstTime=20180101\r\n" + show + "FInstallDate=20210601\r\n", ""},
      {"FInstallDate=20180101\r\n", 44348, "20180101", "FInstallDate=20180101\r\n" + show + "InstTime=20210601\r\n", ""},
      {"", -2, kToday, "", "GetInstallDate:"},
      {"", -1, kToday, "", ""},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file + std::to_string(row.registry));
    const std::string file = "[Config]\r\n" + row.file + (row.file.empty() ? "" : show);
    sim::MachineBuilder b = Machine();
    if (!row.file.empty()) b.File(kSettings, Ini(file));
    if (row.registry >= 0)
      b.RegDword(kInstallKey, "InstallDate", static_cast<uint32_t>(row.registry));
    if (row.registry == -2) b.RegSz(kInstallKey, "Other", "x");
    Loaded m{b};
    EXPECT_EQ(GInstallDate, row.date);
    if (!row.file.empty() || !row.after.empty()) {
      EXPECT_EQ(Text(m, kSettings), row.after.empty() ? file : "[Config]\r\n" + row.after + "\r\n");
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
