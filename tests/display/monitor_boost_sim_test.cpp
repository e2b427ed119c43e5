// Monitor boost and restore over simulated DDC/CI monitors: what reaches each monitor,
// what "Monitor.ini" keeps, and what a monitor that never answers costs on the clock.
#include <gtest/gtest.h>

#include <array>

#include "config/PSafeIniFile.h"
#include "display/uMonitorBoost.h"
#include "display/uMonitorManager.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"
#include "tests/settings/SettingsMachine.h"

namespace {

using settingstest::kData;
// Brightness, contrast, colour preset and display mode.
using Vcp = std::array<uint32_t, 4>;

const char kCaps[] = "(prot(monitor)type(LCD)vcp(10 12 14(05 08 0B) B0 DC(00 02 05))mccs_ver(2.1))";

// An EDID base block naming the monitor.
std::string Edid(const std::string& name) {
  std::string b(kEdidBlockSize, '\0');
  b.replace(8, 2, "\x04\x43");
  b.replace(108, 5, std::string("\0\0\0\xFC\0", 5));
  b.replace(113, name.size() + 1, name + "\n");
  return b;
}

// A machine with one simulated monitor per entry of dcModes, each named "Panel" and set
// to its display mode, brightness 50, contrast 60 and colour preset 5.
struct Monitors {
  Monitors(const std::vector<uint32_t>& dcModes, const std::string& monitorIni)
      : m(settingstest::Machine()) {
    m.WriteFile("C:\\mon\\edid.bin", Edid("Panel"));
    m.WriteFile("C:\\mon\\caps.txt", kCaps);
    for (uint32_t dc : dcModes) {
      sim::SimMonitor mon;
      mon.edidFile = m.Host("C:\\mon\\edid.bin");
      mon.capsFile = m.Host("C:\\mon\\caps.txt");
      mon.vcp = {{0x10, {50, 100}}, {0x12, {60, 100}}, {0x14, {5, 13}}, {0xDC, {dc, 255}}};
      mon.factory = {{0x10, 75}, {0x12, 80}, {0x14, 2}};
      m.machine().monitors.monitors.push_back(mon);
    }
    m.WriteFile(kData + "Monitor.ini", monitorIni);
    LoadDxva2();
  }
  Vcp Values(size_t i) {
    auto& vcp = m.machine().monitors.monitors[i].vcp;
    return {vcp[0x10].first, vcp[0x12].first, vcp[0x14].first, vcp[0xDC].first};
  }
  // Whether "Monitor.ini" holds the restore record of the first monitor.
  bool Recorded() { return TSafeIniFile(kData + "Monitor.ini").SectionExists("Panel_Boost"); }
  sim::ScopedMachine m;
};

Vcp Start(uint32_t dc) {
  return {50, 60, 5, dc};
}

// A boost records the settings before it (only when it changes something) and applies the
// choice; a second boost keeps the first's record; the restore puts everything back.
TEST(MonitorBoostSim, AppliesTheChoiceAndTheRestorePutsEverythingBack) {
  const struct {
    const char* name;
    std::string ini;
    Vcp boosted;
  } rows[] = {
      // clang-format off
      {"display mode", "[Panel]\nGamingModeEnabled=1\nGamingModeValue=5\n", {50, 60, 5, 5}},
      {"custom preset 257", "[Panel]\nGamingModeEnabled=1\nGamingModeValue=257\n[Panel101]\n"
       "ColorTemp=8\nBrightness=30\nContrast=40\n", {30, 40, 8, 0}},
      {"factory reset", "[Panel]\nGamingModeEnabled=1\nGamingModeValue=0\n", {75, 80, 2, 3}},
      {"first-seen settings without a record", "[Panel]\nGamingModeEnabled=1\n"
       "GamingModeValue=3840\n", {100, 100, 2, 0}},
      {"matrix choice", "[Main]\nMatrixEnabled=1\n[All]\nGamingModeEnabled=1\nGamingModeValue=2\n",
       {50, 60, 5, 2}},
      {"negative value", "[Panel]\nGamingModeEnabled=1\nGamingModeValue=-7\n", Start(3)},
      {"oversized custom values", "[Panel]\nGamingModeEnabled=1\nGamingModeValue=257\n"
       "[Panel101]\nColorTemp=-3\nBrightness=70000\nContrast=40\n", {50, 40, 5, 0}},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Monitors s({3}, row.ini);
    TMonitorManager manager(kData);
    ASSERT_EQ(manager.SupportedCount(), 1);
    for (int pass = 0; pass < 2; ++pass)
      manager.MonitorDDCBoost();
    EXPECT_EQ(s.Values(0), row.boosted);
    EXPECT_EQ(s.Recorded(), row.boosted != Start(3));
    manager.MonitorDDCRestore();
    EXPECT_EQ(s.Values(0), Start(3));
    EXPECT_FALSE(s.Recorded());
  }
}

TEST(MonitorBoostSim, TwoIdenticalMonitorsAreEachRestoredToTheirOwnValues) {
  Monitors s({3, 4}, "[Panel]\nGamingModeEnabled=1\nGamingModeValue=5\n");
  TMonitorManager manager(kData);
  ASSERT_EQ(manager.SupportedCount(), 2);
  manager.MonitorDDCBoost();
  EXPECT_EQ(s.Values(0), Start(5));
  EXPECT_EQ(s.Values(1), Start(5));
  {
    TSafeIniFile ini(kData + "Monitor.ini");
    EXPECT_EQ(ini.ReadInteger("Panel_Boost", "PresetMode", -1), 3);
    EXPECT_EQ(ini.ReadInteger("Panel#2_Boost", "PresetMode", -1), 4);
  }
  manager.MonitorDDCRestore();
  EXPECT_EQ(s.Values(0), Start(3));
  EXPECT_EQ(s.Values(1), Start(4));
}

TEST(MonitorBoostSim, AMonitorThatNeverAnswersCostsItsRetriesAndKeepsItsRecord) {
  Monitors s({3}, "[Panel]\nGamingModeEnabled=1\nGamingModeValue=5\n");
  s.m.machine().monitors.monitors[0].ddc = false;
  TMonitorManager manager(kData);
  ASSERT_EQ(manager.SupportedCount(), 1);  // a quick refresh asks nothing
  const auto& journal = s.m.machine().monitors.journal;
  const size_t calls = journal.size();
  const uint64_t start = plat::GetTickCount64();
  TMonitorBoost boost(kData, kData + "Velmorix.ini", kData + "Temp.ini");
  GMonitorManager.reset(&manager);
  EXPECT_TRUE(boost.Boost());
  GMonitorManager.release();
  // Four reads, the display mode and the store: 5 attempts each between 50 ms waits, and
  // 100 ms after the display mode.
  EXPECT_EQ(journal.size() - calls, 30u);
  EXPECT_EQ(plat::GetTickCount64() - start, 6 * 500u + 100u);
  TSafeIniFile ini(kData + "Monitor.ini");
  EXPECT_EQ(ini.ReadInteger("Panel_Boost", "PresetMode", 0), -1);
  EXPECT_TRUE(boost.HasRestoreData());

  // Asked for its capabilities, it costs 50 length requests with their waits and stays
  // unsupported.
  TMonitorInfo probe;
  probe.PhysicalMonitor = manager.MonitorItems(0)->PhysicalMonitor;
  probe.OwnsHandle = false;
  const uint64_t before = plat::GetTickCount64();
  probe.Init();
  EXPECT_TRUE(probe.Unsupported);
  EXPECT_EQ(plat::GetTickCount64() - before, 50u + 50 * 10u);
  EXPECT_EQ(journal.size() - calls, 80u);
}

TEST(MonitorBoostSim, FullRefreshReadsCapabilitiesAndRecordsFirstSeenSettingsOnce) {
  Monitors s({3}, "[Panel_original]\nContrast=11\n[Test]\nABC_Fake Monitor=0\n");
  TMonitorManager manager(kData);
  manager.QuickRefresh = false;
  manager.RefreshMonitors();
  ASSERT_EQ(manager.MonitorCount(), 2);
  const TMonitorInfo& real = *manager.MonitorItems(0);
  EXPECT_EQ(real.DisplayModes, (TNameValueList{"00=Standard", "02=Multimedia", "05=Games"}));
  const TMonitorInfo& test = *manager.MonitorItems(1);
  EXPECT_EQ(test.ManufacturerID, "ABC");
  EXPECT_EQ(test.MonitorName, "Fake Monitor");
  EXPECT_TRUE(test.Unsupported);
  TSafeIniFile ini(kData + "Monitor.ini");
  EXPECT_EQ(ini.ReadInteger("Panel_original", "Contrast", 0), 11);
  EXPECT_EQ(ini.ReadInteger("Panel_original", "Brightness", 0), 50);
  EXPECT_EQ(ini.ReadInteger("Panel_original", "DCMode", 0), 3);
}

TEST(MonitorBoostSim, AMonitorWithoutAHandleIsNotTouched) {
  Monitors s({3}, "[Panel]\nGamingModeEnabled=1\nGamingModeValue=5\n");
  s.m.machine().monitors.monitors[0].handles = false;
  TMonitorManager manager(kData);
  EXPECT_EQ(manager.UnsupportedCount(), 1);  // its zero-filled record stays unsupported
  manager.MonitorDDCBoost();
  EXPECT_EQ(s.Values(0), Start(3));
}

}  // namespace
