// The legacy settings files "OldCfgVX3.ini" and "OldCfgSVX.ini": read once into the
// record, written into the settings file and deleted.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "config/UnitGAConfig.h"
#include "tests/settings/SettingsMachine.h"
#include "tests/support/LogText.h"

namespace {

using namespace settingstest;

const std::string kVX3 = kData + "OldCfgVX3.ini";
const std::string kSVX = kData + "OldCfgSVX.ini";

bool Has(const std::string& text, const std::string& line) {
  return text.find("\r\n" + line + "\r\n") != std::string::npos;
}

TEST(LegacyVX3, EveryKeyIsCarriedOverAndTheFileDeleted) {
  Session session;
  sim::ScopedMachine m{Machine().File(kVX3,
                                      "[Proxy]\r\nEnabeldProxy=1\r\nHost=10.0.0.1\r\nPort=3128\r\n"
                                      "Username=al\r\nPassword=pw\r\n"
                                      "[HotKey]\r\nBoost=24641\r\nCloseDeskKey=41082\r\n"
                                      "[Main]\r\nTransparency=200\r\nLanguage=Francais\r\n"
                                      "MonitorSteam=0\r\nAutoRecover=0\r\nCountdown=25\r\n"
                                      "AutoMinimize=0\r\nCloseToTray=0\r\nStartup=1\r\n"
                                      "[ContextMenu]\r\nEnable=0\r\n")};
  InitConfigGlobals(false);
  EXPECT_FALSE(m.Exists(kVX3));
  // The settings file holds the migrated values.
  const std::string text = Text(m, kSettings);
  for (const char* line :
       {"FEnableProxy=2",       "FProxyServer=10.0.0.1",    "FProxyPort=3128",
        "FProxyUserName=al",    "FProxyPassword=pw",        "BoostHootKey1=65",
        "BoostHootKey2=6",      "RestoreHootKey1=82",       "RestoreHootKey2=3",
        "ExitGameDeskTop1=122", "ExitGameDeskTop2=5",       "FAlphaBlendValue=55",
        "Language=Francais",    "FStreamAuotoBoost=0",      "FBoostRestore=0",
        "FAutoMinimizeTime=25", "FCheckAutoMinimizeTime=0", "FFastRun=0",
        "FRunWithWindows=1",    "FbContextmenu=0"})
    EXPECT_TRUE(Has(text, line)) << line << "\n" << text;
}

TEST(LegacyVX3, DefaultsOfAnEmptyFile) {
  Session session;
  sim::ScopedMachine m{Machine().File(kVX3, "")};
  InitConfigGlobals(false);
  EXPECT_FALSE(m.Exists(kVX3));
  const TGAConfig& c = *GConfig;
  EXPECT_TRUE(c.FCheckAutoMinimizeTime);  // the legacy default differs from the record's
  EXPECT_FALSE(c.FRunWithWindows);
  EXPECT_TRUE(Has(Text(m, kSettings), "FCheckAutoMinimizeTime=1"));
}

TEST(LegacyBoth, ValuesOutOfRangeAreTakenAsZeroOrClampedAndLogged) {
  const std::string svx = "[Config]\r\nFIsCelsiusTemp=0\r\nFWarnTempCPU=";
  struct Case {
    std::string file, text;
    int32_t TGAConfig::*field;
    int32_t value;
    std::string error;
  } cases[] = {
      {kVX3, "[Main]\r\nTransparency=300\r\n", &TGAConfig::FAlphaBlendValue, 0, ""},
      {kVX3, "[Main]\r\nTransparency=-2147483648\r\n", &TGAConfig::FAlphaBlendValue, INT32_MAX,
       "TGAConfig.MigrateVX3: Transparency out of range, clamped"},
      {kSVX, svx + "2000000000\r\n", &TGAConfig::FWarnTempCPU, INT32_MAX,
       "TGAConfig.MigrateSVX: FWarnTempCPU 2000000000 out of range, clamped"},
      {kSVX, svx + "-2000000000\r\n", &TGAConfig::FWarnTempCPU, INT32_MIN,
       "TGAConfig.MigrateSVX: FWarnTempCPU -2000000000 out of range, clamped"},
  };
  for (const Case& c : cases) {
    Session session;
    sim::ScopedMachine m{Machine().File(c.file, c.text)};
    InitConfigGlobals(false);
    EXPECT_EQ((*GConfig).*c.field, c.value) << c.text;
    const auto errors = test::LogMessages(Text(m, kLogs + "VlxMiniException.log"));
    EXPECT_EQ(errors,
              c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error})
        << c.text;
  }
}

TEST(LegacyVX3, ProxyKeysAreIgnoredWhileTheProxyIsOff) {
  Session session;
  sim::ScopedMachine m{Machine().File(kVX3, "[Proxy]\r\nEnabeldProxy=0\r\nHost=h\r\nPort=1\r\n")};
  InitConfigGlobals(false);
  EXPECT_EQ(GConfig->FEnableProxy, 0);
  EXPECT_EQ(GConfig->FProxyServer, "");
  EXPECT_EQ(GConfig->FProxyPort, "80");
}

TEST(LegacySVX, FahrenheitFlagConvertsTheThresholdsReadAndTheCornerIsSwapped) {
  Session session;
  sim::ScopedMachine m{Machine(1033).File(
      kSVX, "[Config]\r\nFIsCelsiusTemp=0\r\nFWarnTempCPU=90\r\nFOverlayConer=1\r\n")};
  InitConfigGlobals(false);
  EXPECT_FALSE(m.Exists(kSVX));
  const TGAConfig& c = *GConfig;
  EXPECT_FALSE(c.FIsCelsiusTemp);
  EXPECT_EQ(c.FWarnTempCPU, 194);
  // The record's own thresholds were already in Fahrenheit and stay as they were.
  EXPECT_EQ(c.FWarnTempVGA, 194);
  EXPECT_EQ(c.FWarnTempBoard, 176);
  EXPECT_EQ(c.FWarnTempHD, 140);
  EXPECT_EQ(c.FOverlayConer, 2);
  const std::string text = Text(m, kSettings);
  EXPECT_TRUE(Has(text, "FWarnTempCPU=194")) << text;
  EXPECT_TRUE(Has(text, "FWarnTempVGA=194"));
  EXPECT_TRUE(Has(text, "FOverlayConer=2"));
  EXPECT_TRUE(Has(text, "FIsCelsiusTemp=0"));
}

TEST(LegacySVX, CelsiusRecordOnAnotherSystemIsConvertedWhole) {
  Session session;
  sim::ScopedMachine m{
      Machine(1031).File(kSVX, "[Config]\r\nFIsCelsiusTemp=0\r\nFWarnTempHD=50\r\n")};
  InitConfigGlobals(false);
  const TGAConfig& c = *GConfig;
  EXPECT_FALSE(c.FIsCelsiusTemp);
  EXPECT_EQ(c.FWarnTempCPU, 194);
  EXPECT_EQ(c.FWarnTempVGA, 194);
  EXPECT_EQ(c.FWarnTempBoard, 176);
  EXPECT_EQ(c.FWarnTempHD, 122);
}

TEST(LegacySVX, CelsiusFlagKeepsTheValuesAndEveryOtherKeyIsCarried) {
  Session session;
  sim::ScopedMachine m{Machine(1033).File(
      kSVX,
      "[Config]\r\nFTemColor0=10\r\nFTemColor1=11\r\nFTemColor2=12\r\nFProxyServer=p\r\n"
      "FProxyUserName=u\r\nFProxyPort=81\r\nFProxyPassword=w\r\nFOverlayConer=2\r\n"
      "FDisplayTempInGame=0\r\nFAutoAlarm=0\r\nFWarnTempCPU=70\r\nFWarnTempVGA=71\r\n"
      "FWarnTempBoard=72\r\nFWarnTempHD=73\r\nFAlarmSound=0\r\nFAlarmFile=C:\\a.wav\r\n"
      "FIsCelsiusTemp=1\r\nFAlphaBlendValue=9\r\nLanguage=Polski\r\nFFastRun=2\r\n"
      "FRunWithWindows=0\r\n")};
  InitConfigGlobals(false);
  const TGAConfig& c = *GConfig;
  EXPECT_EQ(c.FTemColor0, 10);
  EXPECT_EQ(c.FTemColor1, 11);
  EXPECT_EQ(c.FTemColor2, 12);
  EXPECT_EQ(c.FProxyServer, "p");
  EXPECT_EQ(c.FProxyUserName, "u");
  EXPECT_EQ(c.FProxyPort, "81");
  EXPECT_EQ(c.FProxyPassword, "w");
  EXPECT_EQ(c.FOverlayConer, 1);
  EXPECT_FALSE(c.FDisplayTempInGame);
  EXPECT_FALSE(c.FAutoAlarm);
  EXPECT_TRUE(c.FIsCelsiusTemp);
  EXPECT_EQ(c.FWarnTempCPU, 70);
  EXPECT_EQ(c.FWarnTempVGA, 71);
  EXPECT_EQ(c.FWarnTempBoard, 72);
  EXPECT_EQ(c.FWarnTempHD, 73);
  EXPECT_FALSE(c.FAlarmSound);
  // The alarm file does not exist, so the save put the default back.
  EXPECT_EQ(c.FAlarmFile, kProgram + "alarm.wav");
  EXPECT_EQ(c.FAlphaBlendValue, 9);
  EXPECT_EQ(c.FLanguage, "Polski");
  EXPECT_FALSE(c.FFastRun);  // only 1 is true
  EXPECT_FALSE(c.FRunWithWindows);
}

TEST(LegacySVX, FastRunDefaultsToOn) {
  Session session;
  sim::ScopedMachine m{Machine().File(kSVX, "[Config]\r\nFOverlayConer=3\r\n")};
  InitConfigGlobals(false);
  EXPECT_TRUE(GConfig->FFastRun);
  EXPECT_TRUE(GConfig->FRunWithWindows);
  EXPECT_EQ(GConfig->FOverlayConer, 3);
}

TEST(LegacyBoth, ProxyFromTheFirstFileSurvivesASecondFileWithoutOne) {
  Session session;
  sim::ScopedMachine m{
      Machine()
          .File(kVX3, "[Proxy]\r\nEnabeldProxy=1\r\nHost=10.0.0.1\r\nPort=3128\r\n")
          .File(kSVX, "[Config]\r\nLanguage=Svenska\r\n")};
  InitConfigGlobals(false);
  EXPECT_FALSE(m.Exists(kVX3));
  EXPECT_FALSE(m.Exists(kSVX));
  EXPECT_EQ(GConfig->FEnableProxy, 2);
  EXPECT_EQ(GConfig->FProxyServer, "10.0.0.1");
  EXPECT_EQ(GConfig->FProxyPort, "3128");
  EXPECT_EQ(GConfig->FLanguage, "Svenska");
}

TEST(LegacyVX3, LegacyValuesGoOverTheFileWhoseOtherKeysStay) {
  Session session;
  sim::ScopedMachine m{Machine()
                           .File(kSettings, Ini("[Config]\r\nFSkinName=dark\r\nLanguage=Dansk\r\n"
                                                "[Boost]\r\nOCLevel=0\r\n"))
                           .File(kVX3, "[Main]\r\nLanguage=Francais\r\n")};
  InitConfigGlobals(false);
  EXPECT_FALSE(m.Exists(kVX3));
  const std::string text = Text(m, kSettings);
  for (const char* line : {"FSkinName=dark", "OCLevel=0", "Language=Francais"})
    EXPECT_TRUE(Has(text, line)) << line << "\n" << text;
}

TEST(LegacyNone, NoLegacyFileMeansNoWholeSave) {
  Session session;
  sim::ScopedMachine m{Machine()};
  InitConfigGlobals(false);
  EXPECT_EQ(Text(m, kSettings).find("BoostHootKey1"), std::string::npos);
}

}  // namespace
