// The settings record over simulated machines: first run, every key's round trip, the file written
// by SaveConfig byte for byte, legacy files, the legacy overclock switch, the install date and the
// temperature unit.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "config/UnitGAConfig.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "tests/settings/SettingsMachine.h"
#include "tests/support/LogText.h"

namespace {

using namespace settingstest;
using test::Hex;

// ---------------------------------------------------------------- first run

TEST(SettingsFirstRun, EnglishUsSystemGetsFahrenheitAndTheFirstRunKeys) {
  Session session;
  SetDebugOutput(true);
  sim::ScopedMachine m{Machine(1033)};
  InitConfigGlobals(false);

  EXPECT_EQ(GSettingsFolder, kData);
  ASSERT_TRUE(GConfig);
  EXPECT_FALSE(GConfig->FIsCelsiusTemp);
  EXPECT_EQ(GConfig->FWarnTempCPU, 194);
  EXPECT_EQ(GConfig->FWarnTempVGA, 194);
  EXPECT_EQ(GConfig->FWarnTempBoard, 176);
  EXPECT_EQ(GConfig->FWarnTempHD, 140);
  // The default hot keys: Ctrl+Alt+B boosts, Ctrl+Alt+R restores.
  EXPECT_EQ(std::make_pair(GConfig->FBoostHootKey1, GConfig->FBoostHootKey2),
            std::make_pair(66, 3));
  EXPECT_EQ(std::make_pair(GConfig->FRestoreHootKey1, GConfig->FRestoreHootKey2),
            std::make_pair(82, 3));
  EXPECT_EQ(GInstallDate, kToday);
  EXPECT_EQ(GConfig->FIniFileName, kSettings);

  // The install date and the switched-off game-mode notice are all the first run writes.
  EXPECT_EQ(Hex(m.ReadFile(kSettings)),
            Hex(Ini("[Config]\r\nInstTime=20240315\r\nFInstallDate=20240315\r\n"
                    "FShowGameMode=0\r\n\r\n")));
  EXPECT_FALSE(GConfig->FShowGameMode);
  EXPECT_TRUE(m.Exists(kData + "Stat.ini"));
  EXPECT_EQ(m.ReadFile(kData + "Stat.ini"), "");
  EXPECT_TRUE(fileutil::DirectoryExists(kData + "Logs"));
  EXPECT_TRUE(fileutil::DirectoryExists(kPictures + "\\Velmora"));
  EXPECT_TRUE(fileutil::DirectoryExists(kVideos + "\\Velmora"));

  bool logged = false;
  for (const std::string& line : m.machine().debugOutput)
    logged = logged || line == "CheckTemUnit : 1033";
  EXPECT_TRUE(logged);
}

TEST(SettingsFirstRun, OtherSystemLanguagesGetCelsius) {
  for (uint16_t lang : {uint16_t{1031}, uint16_t{2057}, uint16_t{2052}}) {
    Session session;
    sim::ScopedMachine m{Machine(lang)};
    InitConfigGlobals(false);
    ASSERT_TRUE(GConfig);
    EXPECT_TRUE(GConfig->FIsCelsiusTemp) << lang;
    EXPECT_EQ(GConfig->FWarnTempCPU, 90);
    EXPECT_EQ(GConfig->FWarnTempVGA, 90);
    EXPECT_EQ(GConfig->FWarnTempBoard, 80);
    EXPECT_EQ(GConfig->FWarnTempHD, 60);
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

TEST(SettingsKeys, EveryKeyIsReadAndALoadWithNothingToChangeWritesNothing) {
  Session session;
  sim::ScopedMachine m{
      Machine().File(kSettings, Ini(kFullFile)).File("C:\\Sounds\\beep.wav", "RIFF")};
  InitConfigGlobals(false);
  // The keys SaveConfig writes back are checked through the save below; these it never writes.
  const TGAConfig& c = *GConfig;
  EXPECT_FALSE(c.FConfigApplyShowTip);
  EXPECT_TRUE(c.FbTweakExportMode);
  EXPECT_EQ(c.FdLastActiveStatTime, 45000.5);
  EXPECT_FALSE(c.FbShowDragHint);
  EXPECT_FALSE(c.FbShowRecommad);
  EXPECT_FALSE(c.FPopAlarmWindows);
  EXPECT_TRUE(c.FShowNewsIcon);
  EXPECT_EQ(GProgramCount, 17);
  EXPECT_FALSE(c.FShowHotkeyError);
  EXPECT_FALSE(c.FShowGameMode);
  EXPECT_FALSE(c.FShowCategoryTips);
  EXPECT_FALSE(c.FShowNoGameTips);
  EXPECT_FALSE(c.FShowInGameTips);
  EXPECT_TRUE(fileutil::DirectoryExists("C:\\Media\\Shots"));
  EXPECT_TRUE(fileutil::DirectoryExists("C:\\Media\\Clips"));
  EXPECT_EQ(GInstallDate, "20200101");
  EXPECT_EQ(c.FUserMail, "a@b.c");
  EXPECT_FALSE(c.FShowNew);
  EXPECT_FALSE(c.FRedHint);

  EXPECT_EQ(Hex(m.ReadFile(kSettings)), Hex(Ini(kFullFile)));
}

TEST(SettingsKeys, SaveConfigWritesTheWritableKeysInItsOrder) {
  Session session;
  sim::ScopedMachine m{
      Machine().File(kSettings, Ini(kFullFile)).File("C:\\Sounds\\beep.wav", "RIFF")};
  InitConfigGlobals(false);
  ASSERT_TRUE(plat::DeleteFileW(kSettings));
  GConfig->SaveConfig(false);
  EXPECT_EQ(Text(m, kSettings),
            "[Config]\r\n"
            "FHotkeyInfo.nVK=90\r\nFHotkeyInfo.nMod=2\r\n"
            "FOverlayConer=3\r\n"
            "BoostHootKey1=67\r\nBoostHootKey2=6\r\nRestoreHootKey1=68\r\nRestoreHootKey2=5\r\n"
            "ExitGameDeskTop1=122\r\nExitGameDeskTop2=2\r\nDisplayFPS1=70\r\nDisplayFPS2=4\r\n"
            "ScreenHotkey1=80\r\nScreenHotkey2=7\r\nRecordHotkey1=81\r\nRecordHotkey2=8\r\n"
            "FbContextmenu=0\r\nFBoostRestore=0\r\nFAutoMinimizeTime=30\r\n"
            "FCheckAutoMinimizeTime=1\r\n"
            "FEnableProxy=2\r\nFProxyServer=proxy.lan\r\nFProxyUserName=bob\r\n"
            "FProxyPort=8080\r\nFProxyPassword=s3cret\r\n"
            "FGameSortType=5\r\nFOGClicked=1\r\nFShowWahtInfo=1\r\nFFastRun=0\r\n"
            "FRunWithWindows=0\r\nFIsCelsiusTemp=1\r\nFDisplayTempInGame=0\r\n"
            "FShowNewfeature=0\r\nFAutoAlarm=0\r\nFAlarmSound=0\r\n"
            "FGAPosition.X=100\r\nFGAPosition.Y=200\r\n"
            "FWarnTempCPU=85\r\nFWarnTempVGA=86\r\nFWarnTempHD=55\r\nFWarnTempBoard=75\r\n"
            "FAlarmFile=C:\\Sounds\\beep.wav\r\nLanguage=Deutsch\r\nFAlphaBlendValue=40\r\n"
            "FAutoGameMode=0\r\nFnWarnProcessCPU=80\r\nFnWarnProcessMemory=500\r\n"
            "FTemColor0=1\r\nFTemColor1=2\r\nFTemColor2=3\r\n"
            "FShowTem0=0\r\nFShowTem1=0\r\nFShowTem2=0\r\n"
            "FPSScreenDir=C:\\Media\\Shots\\\r\nFPSAVIDir=C:\\Media\\Clips\\\r\n"
            "FSkinName=dark\r\nGameAutoscan=0\r\n"
            "NewUser5=1\r\nVideoQuality=3\r\nRecordFullScreen=1\r\nFPScolor=255\r\n"
            "FRestoreProcesses=1\r\nFRestoreServices=0\r\n"
            "FStreamAuotoBoost=0\r\n"
            "\r\n[AutoDriverConfig]\r\nMethod=2\r\naudio=0\r\ngraphics=0\r\nIdleTime=9\r\n"
            "Enable=0\r\n"
            "\r\n[AutoDefragConfig]\r\nIdleTime=8\r\nMethod=3\r\nEnable=0\r\n"
            "\r\n[silentMode]\r\nEnable=0\r\n"
            "\r\n[GPU]\r\nGPUNodeIndex=1\r\n"
            "\r\n[Boost]\r\nOCLevel=3\r\nOC_GPU=50\r\nOC_RAM=60\r\n\r\n");
  EXPECT_EQ(m.ReadFile(kSettings).substr(0, 2), "\xFF\xFE");
}

TEST(SettingsKeys, SaveConfigKeepsOtherKeysAndReplacesAMissingAlarmFile) {
  Session session;
  sim::ScopedMachine m{Machine().File(
      kSettings, Ini("[Config]\r\nFShowGameMode=1\r\nFAutoGameMode=0\r\nFInstallDate=20200101\r\n"
                     "InstTime=20200101\r\nFAlarmFile=C:\\gone.wav\r\n\r\n[Power]\r\n"
                     "BasePwrSchID=381b4222\r\n\r\n"))};
  InitConfigGlobals(false);
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
  Session session;
  sim::ScopedMachine m{Machine().File(kSettings, Ini("[Config]\r\nFOverlayConer=-3\r\n"))};
  InitConfigGlobals(false);
  EXPECT_EQ(GConfig->FOverlayConer, 0);
}

TEST(SettingsKeys, ShowGameModeIsSwitchedOffOnlyWithAutoGameMode) {
  const std::string file =
      "[Config]\r\nFInstallDate=20200101\r\nInstTime=20200101\r\nFAutoGameMode=0\r\n\r\n";
  Session session;
  sim::ScopedMachine m{Machine().File(kSettings, Ini(file))};
  InitConfigGlobals(false);
  EXPECT_TRUE(GConfig->FShowGameMode);
  EXPECT_EQ(Hex(m.ReadFile(kSettings)), Hex(Ini(file)));

  GConfig->SaveShowGameMode(true);
  EXPECT_EQ(Text(m, kSettings),
            "[Config]\r\nFInstallDate=20200101\r\nInstTime=20200101\r\nFAutoGameMode=0\r\n"
            "FShowGameMode=1\r\n\r\n");
}

TEST(SettingsKeys, HotkeyInfoHasItsOwnLoadAndSave) {
  Session session;
  sim::ScopedMachine m{Machine().File(
      kSettings, Ini("[Config]\r\nFHotkeyInfo.nVK=120\r\nFHotkeyInfo.nMod=6\r\nFShowGameMode=0\r\n"
                     "FInstallDate=20200101\r\nInstTime=20200101\r\n"))};
  InitConfigGlobals(false);
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
  Session session;
  sim::ScopedMachine m{Machine()};
  InitConfigGlobals(false);
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

TEST(SettingsOverclock, LegacySwitchOnBecomesLevelTwo) {
  Session session;
  sim::ScopedMachine m{Machine().File(
      kSettings, Ini("[Config]\r\nFShowGameMode=0\r\nFInstallDate=20200101\r\nInstTime=20200101\r\n"
                     "\r\n[Boost]\r\nRAM=1\r\nOverClock=1\r\nPower=0\r\n\r\n"))};
  InitConfigGlobals(false);
  EXPECT_TRUE(GConfig->FOldOverClock);
  EXPECT_EQ(GConfig->FOCLevel, 2);
  EXPECT_EQ(Text(m, kSettings),
            "[Config]\r\nFShowGameMode=0\r\nFInstallDate=20200101\r\nInstTime=20200101\r\n"
            "\r\n[Boost]\r\nRAM=1\r\nPower=0\r\nOCLevel=2\r\n\r\n");
}

TEST(SettingsOverclock, LegacySwitchOffIsRemovedAndTheLevelKept) {
  for (const std::string& level : {std::string(), std::string("OCLevel=3\r\n")}) {
    Session session;
    sim::ScopedMachine m{Machine().File(
        kSettings,
        Ini("[Config]\r\nFShowGameMode=0\r\nFInstallDate=20200101\r\nInstTime=20200101\r\n"
            "\r\n[Boost]\r\n" +
            level + "OverClock=0\r\n\r\n"))};
    InitConfigGlobals(false);
    EXPECT_FALSE(GConfig->FOldOverClock);
    EXPECT_EQ(GConfig->FOCLevel, level.empty() ? 1 : 3);
    EXPECT_EQ(Text(m, kSettings),
              "[Config]\r\nFShowGameMode=0\r\nFInstallDate=20200101\r\nInstTime=20200101\r\n"
              "\r\n[Boost]\r\n" +
                  level + "\r\n");
  }
}

// ---------------------------------------------------------------- install date

TEST(SettingsInstallDate, LongDateIsCutToEightCharactersAndLeftInTheFile) {
  const std::string file =
      "[Config]\r\nFInstallDate=20190704153012\r\nInstTime=20190704\r\nFShowGameMode=0\r\n\r\n";
  Session session;
  sim::ScopedMachine m{Machine().File(kSettings, Ini(file))};
  InitConfigGlobals(false);
  EXPECT_EQ(GInstallDate, "20190704");
  EXPECT_EQ(Hex(m.ReadFile(kSettings)), Hex(Ini(file)));
}

TEST(SettingsInstallDate, RegistryDaySerialFillsBothKeys) {
  Session session;
  // 44348 = 1 June 2021.
  sim::ScopedMachine m{Machine().RegDword(kInstallKey, "InstallDate", 44348)};
  InitConfigGlobals(false);
  EXPECT_EQ(GInstallDate, "20210601");
  EXPECT_EQ(Text(m, kSettings),
            "[Config]\r\nInstTime=20210601\r\nFInstallDate=20210601\r\nFShowGameMode=0\r\n\r\n");
}

TEST(SettingsInstallDate, OnlyTheMissingKeyIsWritten) {
  {
    Session session;
    sim::ScopedMachine m{
        Machine()
            .RegDword(kInstallKey, "InstallDate", 44348)
            .File(kSettings, Ini("[Config]\r\nInstTime=20180101\r\nFShowGameMode=0\r\n"))};
    InitConfigGlobals(false);
    EXPECT_EQ(GInstallDate, "20210601");
    EXPECT_EQ(Text(m, kSettings),
              "[Config]\r\nInstTime=20180101\r\nFShowGameMode=0\r\nFInstallDate=20210601\r\n\r\n");
  }
  {
    Session session;
    sim::ScopedMachine m{
        Machine()
            .RegDword(kInstallKey, "InstallDate", 44348)
            .File(kSettings, Ini("[Config]\r\nFInstallDate=20180101\r\nFShowGameMode=0\r\n"))};
    InitConfigGlobals(false);
    EXPECT_EQ(GInstallDate, "20180101");
    EXPECT_EQ(Text(m, kSettings),
              "[Config]\r\nFInstallDate=20180101\r\nFShowGameMode=0\r\nInstTime=20210601\r\n\r\n");
  }
}

TEST(SettingsInstallDate, RegistryFailureIsLoggedAndTodayUsed) {
  Session session;
  // The key exists but holds no "InstallDate" value.
  sim::ScopedMachine m{Machine().RegSz(kInstallKey, "Other", "x")};
  InitConfigGlobals(false);
  EXPECT_EQ(GInstallDate, kToday);
  const std::string log = Text(m, kLogs + "VlxMiniException.log");
  EXPECT_NE(log.find("  GetInstallDate:"), std::string::npos) << log;
  EXPECT_NE(log.find("InstallDate"), std::string::npos);
}

TEST(SettingsInstallDate, MissingRegistryKeyGivesTodayWithoutALogEntry) {
  Session session;
  sim::ScopedMachine m{Machine()};
  InitConfigGlobals(false);
  EXPECT_EQ(GInstallDate, kToday);
  EXPECT_EQ(Text(m, kLogs + "VlxMiniException.log").find("GetInstallDate:"), std::string::npos);
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
