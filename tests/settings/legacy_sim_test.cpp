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
  Loaded m{Machine().File(kVX3,
                          "[Proxy]\r\nEnabeldProxy=1\r\nHost=10.0.0.1\r\nPort=3128\r\n"
                          "Username=al\r\nPassword=pw\r\n"
                          "[HotKey]\r\nBoost=24641\r\nCloseDeskKey=41082\r\n"
                          "[Main]\r\nTransparency=200\r\nLanguage=Francais\r\n"
                          "MonitorSteam=0\r\nAutoRecover=0\r\nCountdown=25\r\n"
                          "AutoMinimize=0\r\nCloseToTray=0\r\nStartup=1\r\n"
                          "[ContextMenu]\r\nEnable=0\r\n")};
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
  Loaded m{Machine().File(kVX3, "")};
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
    Loaded m{Machine().File(c.file, c.text)};
    EXPECT_EQ((*GConfig).*c.field, c.value) << c.text;
    const auto errors = test::LogMessages(Text(m, kLogs + "VlxMiniException.log"));
    EXPECT_EQ(errors,
              c.error.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.error})
        << c.text;
  }
}

TEST(LegacyVX3, ProxyKeysAreIgnoredWhileTheProxyIsOff) {
  Loaded m{Machine().File(kVX3, "[Proxy]\r\nEnabeldProxy=0\r\nHost=h\r\nPort=1\r\n")};
  EXPECT_EQ(GConfig->FEnableProxy, 0);
  EXPECT_EQ(GConfig->FProxyServer + ":" + GConfig->FProxyPort, ":80");
}

TEST(LegacySVX, AFahrenheitFlagConvertsTheThresholdsReadAndTheCornerIsSwapped) {
  // The record's own thresholds were already in Fahrenheit on an English (US) system and
  // stay as they were; elsewhere the whole record is converted.
  const struct {
    uint16_t lang;
    std::string keys;
    std::vector<int32_t> cpuVgaBoardHdCorner;
  } rows[] = {{1033, "FWarnTempCPU=90\r\nFOverlayConer=1\r\n", {194, 194, 176, 140, 2}},
              {1031, "FWarnTempHD=50\r\n", {194, 194, 176, 122, 0}}};
  for (const auto& row : rows) {
    Loaded m{Machine(row.lang).File(kSVX, "[Config]\r\nFIsCelsiusTemp=0\r\n" + row.keys)};
    EXPECT_FALSE(m.Exists(kSVX));
    const TGAConfig& c = *GConfig;
    EXPECT_FALSE(c.FIsCelsiusTemp);
    EXPECT_EQ((std::vector<int32_t>{c.FWarnTempCPU, c.FWarnTempVGA, c.FWarnTempBoard, c.FWarnTempHD,
                                    c.FOverlayConer}),
              row.cpuVgaBoardHdCorner)
        << row.lang;
    const std::string text = Text(m, kSettings);
    for (const char* line : {"FWarnTempCPU=194", "FIsCelsiusTemp=0"})
      EXPECT_TRUE(Has(text, line)) << line;
  }
}

TEST(LegacySVX, CelsiusFlagKeepsTheValuesAndEveryOtherKeyIsCarried) {
  Loaded m{Machine(1033).File(
      kSVX,
      "[Config]\r\nFTemColor0=10\r\nFTemColor1=11\r\nFTemColor2=12\r\nFProxyServer=p\r\n"
      "FProxyUserName=u\r\nFProxyPort=81\r\nFProxyPassword=w\r\nFOverlayConer=2\r\n"
      "FDisplayTempInGame=0\r\nFAutoAlarm=0\r\nFWarnTempCPU=70\r\nFWarnTempVGA=71\r\n"
      "FWarnTempBoard=72\r\nFWarnTempHD=73\r\nFAlarmSound=0\r\nFAlarmFile=C:\\a.wav\r\n"
      "FIsCelsiusTemp=1\r\nFAlphaBlendValue=9\r\nLanguage=Polski\r\nFFastRun=2\r\n"
      "FRunWithWindows=0\r\n")};
  const TGAConfig& c = *GConfig;
  EXPECT_EQ((std::vector<int32_t>{c.FTemColor0, c.FTemColor1, c.FTemColor2, c.FOverlayConer,
                                  c.FWarnTempCPU, c.FWarnTempVGA, c.FWarnTempBoard, c.FWarnTempHD,
                                  c.FAlphaBlendValue}),
            (std::vector<int32_t>{10, 11, 12, 1, 70, 71, 72, 73, 9}));
  EXPECT_EQ((std::vector<std::string>{c.FProxyServer, c.FProxyUserName, c.FProxyPort,
                                      c.FProxyPassword, c.FLanguage}),
            (std::vector<std::string>{"p", "u", "81", "w", "Polski"}));
  // Only 1 is true for FFastRun.
  EXPECT_EQ((std::vector<bool>{c.FDisplayTempInGame, c.FAutoAlarm, c.FIsCelsiusTemp, c.FAlarmSound,
                               c.FFastRun, c.FRunWithWindows}),
            (std::vector<bool>{false, false, true, false, false, false}));
  // The alarm file does not exist, so the save put the default back.
  EXPECT_EQ(c.FAlarmFile, kProgram + "alarm.wav");
}

TEST(LegacySVX, FastRunDefaultsToOn) {
  Loaded m{Machine().File(kSVX, "[Config]\r\nFOverlayConer=3\r\n")};
  EXPECT_TRUE(GConfig->FFastRun && GConfig->FRunWithWindows);
  EXPECT_EQ(GConfig->FOverlayConer, 3);
}

TEST(LegacyBoth, ProxyFromTheFirstFileSurvivesASecondFileWithoutOne) {
  Loaded m{Machine()
               .File(kVX3, "[Proxy]\r\nEnabeldProxy=1\r\nHost=10.0.0.1\r\nPort=3128\r\n")
               .File(kSVX, "[Config]\r\nLanguage=Svenska\r\n")};
  EXPECT_FALSE(m.Exists(kVX3));
  EXPECT_FALSE(m.Exists(kSVX));
  EXPECT_EQ(GConfig->FEnableProxy, 2);
  EXPECT_EQ(GConfig->FProxyServer + ":" + GConfig->FProxyPort + " " + GConfig->FLanguage,
            "10.0.0.1:3128 Svenska");
}

TEST(LegacyVX3, LegacyValuesGoOverTheFileWhoseOtherKeysStay) {
  Loaded m{Machine()
               .File(kSettings, Ini("[Config]\r\nFSkinName=dark\r\nLanguage=Dansk\r\n"
                                    "[Boost]\r\nOCLevel=0\r\n"))
               .File(kVX3, "[Main]\r\nLanguage=Francais\r\n")};
  EXPECT_FALSE(m.Exists(kVX3));
  const std::string text = Text(m, kSettings);
  for (const char* line : {"FSkinName=dark", "OCLevel=0", "Language=Francais"})
    EXPECT_TRUE(Has(text, line)) << line << "\n" << text;
}

TEST(LegacyNone, NoLegacyFileMeansNoWholeSave) {
  Loaded m{Machine()};
  EXPECT_EQ(Text(m, kSettings).find("BoostHootKey1"), std::string::npos);
}

}  // namespace
