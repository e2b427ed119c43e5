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

// The lines of the settings file that are missing of these.
std::string Missing(const sim::ScopedMachine& m, const std::vector<std::string>& lines) {
  const std::string text = Text(m, kSettings);
  std::string missing;
  for (const std::string& line : lines)
    if (text.find("\r\n" + line + "\r\n") == std::string::npos) missing += line + " ";
  return missing;
}

TEST(LegacyVX3, EveryKeyIsCarriedOverIntoTheFileWhoseOtherKeysStay) {
  Loaded m{Machine()
               .File(kSettings, Ini("[Config]\r\nFSkinName=dark\r\nLanguage=Dansk\r\n"))
               .File(kVX3,
                     "[Proxy]\r\nEnabeldProxy=1\r\nHost=10.0.0.1\r\nPort=3128\r\n"
                     "Username=al\r\nPassword=pw\r\n"
                     "[HotKey]\r\nBoost=24641\r\nCloseDeskKey=41082\r\n"
                     "[Main]\r\nTransparency=200\r\nLanguage=Francais\r\n"
                     "MonitorSteam=0\r\nAutoRecover=0\r\nCountdown=25\r\n"
                     "AutoMinimize=0\r\nCloseToTray=0\r\nStartup=1\r\n"
                     "[ContextMenu]\r\nEnable=0\r\n")};
  EXPECT_FALSE(m.Exists(kVX3));
  EXPECT_EQ(Missing(m, {"FEnableProxy=2",       "FProxyServer=10.0.0.1",    "FProxyPort=3128",
                        "FProxyUserName=al",    "FProxyPassword=pw",        "BoostHootKey1=65",
                        "BoostHootKey2=6",      "RestoreHootKey1=82",       "RestoreHootKey2=3",
                        "ExitGameDeskTop1=122", "ExitGameDeskTop2=5",       "FAlphaBlendValue=55",
                        "Language=Francais",    "FStreamAuotoBoost=0",      "FBoostRestore=0",
                        "FAutoMinimizeTime=25", "FCheckAutoMinimizeTime=0", "FFastRun=0",
                        "FRunWithWindows=1",    "FbContextmenu=0",          "FSkinName=dark"}),
            "");
}

// What a small legacy file leaves at its defaults, and values out of range, taken as 0
// or clamped and logged. Without a legacy file no whole save happens.
TEST(LegacyBoth, DefaultsAndValuesOutOfRange) {
  const std::string svx = "[Config]\r\nFIsCelsiusTemp=0\r\nFWarnTempCPU=";
  const struct {
    std::string file, text;
    std::vector<std::string> lines, errors = {};
  } rows[] = {
      // clang-format off
      {kVX3, "", {"FCheckAutoMinimizeTime=1", "FRunWithWindows=0", "FProxyPort=80"}},
      {kVX3, "[Proxy]\r\nEnabeldProxy=0\r\nHost=h\r\nPort=1\r\n", {"FEnableProxy=0", "FProxyPort=80"}},
      {kSVX, "[Config]\r\nFOverlayConer=3\r\n", {"FFastRun=1", "FRunWithWindows=1", "FOverlayConer=3"}},
      {"", "", {}},
      {kVX3, "[Main]\r\nTransparency=300\r\n", {"FAlphaBlendValue=0"}},
      {kVX3, "[Main]\r\nTransparency=-2147483648\r\n", {"FAlphaBlendValue=2147483647"},
       {"TGAConfig.MigrateVX3: Transparency out of range, clamped"}},
      {kSVX, svx + "-2000000000\r\n", {"FWarnTempCPU=-2147483648"},
       {"TGAConfig.MigrateSVX: FWarnTempCPU -2000000000 out of range, clamped"}},
      // clang-format on
  };
  for (const auto& row : rows) {
    sim::MachineBuilder b = Machine();
    if (!row.file.empty()) b.File(row.file, row.text);
    Loaded m{b};
    EXPECT_FALSE(m.Exists(row.file));
    EXPECT_EQ(Missing(m, row.lines), "") << row.text;
    EXPECT_EQ(Missing(m, {"FBoostRestore=1"}).empty(), !row.file.empty()) << row.text;
    EXPECT_EQ(test::LogMessages(Text(m, kLogs + "VlxMiniException.log")), row.errors) << row.text;
  }
}

// The record's own thresholds were already in Fahrenheit on an English (US) system and
// stay as they were; elsewhere the whole record is converted. Corners 1 and 2 swap.
TEST(LegacySVX, AFahrenheitFlagConvertsTheThresholdsReadAndTheCornerIsSwapped) {
  const struct {
    uint16_t lang;
    std::string keys;
    std::vector<int32_t> cpuVgaBoardHdCorner;
  } rows[] = {
      {1033, "FIsCelsiusTemp=0\r\nFWarnTempCPU=90\r\nFOverlayConer=1\r\n", {194, 194, 176, 140, 2}},
      {1031, "FIsCelsiusTemp=0\r\nFWarnTempHD=50\r\nFOverlayConer=2\r\n", {194, 194, 176, 122, 1}},
      {1033,
       "FIsCelsiusTemp=1\r\nFWarnTempCPU=70\r\nFWarnTempVGA=71\r\n"
       "FWarnTempBoard=72\r\nFWarnTempHD=73\r\n",
       {70, 71, 72, 73, 0}}};
  for (const auto& row : rows) {
    Loaded m{Machine(row.lang).File(kSVX, "[Config]\r\n" + row.keys)};
    const TGAConfig& c = *GConfig;
    EXPECT_EQ((std::vector<int32_t>{c.FWarnTempCPU, c.FWarnTempVGA, c.FWarnTempBoard, c.FWarnTempHD,
                                    c.FOverlayConer}),
              row.cpuVgaBoardHdCorner)
        << row.keys;
    EXPECT_EQ(Missing(m, {"FIsCelsiusTemp=1"}).empty(), c.FIsCelsiusTemp);
  }
}

TEST(LegacySVX, EveryOtherKeyIsCarriedAndTheProxyOfTheFirstFileSurvives) {
  Loaded m{
      Machine()
          .File(kVX3, "[Proxy]\r\nEnabeldProxy=1\r\nHost=10.0.0.1\r\nPort=3128\r\n")
          .File(kSVX,
                "[Config]\r\nFTemColor0=10\r\nFTemColor1=11\r\nFTemColor2=12\r\n"
                "FProxyUserName=u\r\nFProxyPort=81\r\nFProxyPassword=w\r\nFDisplayTempInGame=0\r\n"
                "FAutoAlarm=0\r\nFAlarmSound=0\r\nFAlarmFile=C:\\a.wav\r\n"
                "FAlphaBlendValue=9\r\nLanguage=Polski\r\nFFastRun=2\r\n"
                "FRunWithWindows=0\r\n")};
  EXPECT_FALSE(m.Exists(kSVX));
  // Only 1 is true for FFastRun; the alarm file does not exist, so the save put the
  // default back.
  EXPECT_EQ(
      Missing(m, {"FTemColor0=10", "FTemColor1=11", "FTemColor2=12", "FProxyServer=10.0.0.1",
                  "FProxyPort=81", "FProxyUserName=u", "FProxyPassword=w", "FDisplayTempInGame=0",
                  "FAutoAlarm=0", "FAlarmSound=0", "FAlphaBlendValue=9", "Language=Polski",
                  "FFastRun=0", "FRunWithWindows=0"}),
      "");
  EXPECT_EQ(GConfig->FAlarmFile, kProgram + "alarm.wav");
}

}  // namespace
