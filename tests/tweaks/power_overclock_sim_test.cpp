// The power plan and GPU overclock modules over simulated machines with scripted
// stand-ins of their libraries: calls and records of a boost and its restore.
#include <gtest/gtest.h>

#include "config/UnitGAConfig.h"
#include "modules/tweaks/uOverClock.h"
#include "modules/tweaks/uOverFun.h"
#include "modules/tweaks/uPower.h"
#include "tests/engine/EngineMachine.h"
#include "tests/support/TweakLibraries.h"

namespace {

using namespace enginetest;
using test::OverDrive;
using test::PowerMgr;

const std::string kPowerMgr = kProgram + "PowerMgr.dll";
const std::string kOverDrive = kProgram + "OverDrive.dll";
using test::kUserPlan;

std::vector<std::string> Calls(const sim::Machine& m) {
  std::vector<std::string> calls;
  for (const sim::LibraryCall& c : m.calls) {
    std::string line = c.function;
    for (const std::string& a : c.arguments)
      line += " " + a;
    calls.push_back(line);
  }
  return calls;
}

std::string Base(const sim::ScopedMachine& m) {
  const std::string s = Text(m, kSettings);
  const size_t at = s.find("BasePwrSchID=");
  return at == std::string::npos ? "" : s.substr(at + 13, s.find('\r', at) - at - 13);
}

// The user's plan is recorded unless the game plan is already active (an earlier boost
// never restored); without a known plan nothing changes.
TEST(Tweaks, PowerRecordsTheUsersPlanOnceAndSwitchesOnlyWhenItIsKnown) {
  const std::string name = "Velmoran Power Plan";
  // clang-format off
  const std::vector<std::string> switched = {"GetCurrentPwrCFG 260 260", "DeletePwrCFGByName " + name,
      "SetSleepTimeValue 0", "SetDisplayTimeValue 0", "GetCurrentDisplayBrightness",
      "SetGamePwrCFG " + name + " Activate it when you switch to Gaming Mode for boosting. " +
          TPowerSch::kGamePlanId + " 70 40"};
  // clang-format on
  const struct {
    sim::LibraryExport current;
    bool boosted;
    std::string base;
    std::vector<std::string> calls;
  } rows[] = {
      {{"text-buffers", {1}, kUserPlan}, true, kUserPlan, switched},
      {{"text-buffers", {1}, "58231417-2b7b-4575-8231-96cb9cf58b36"}, true, "{OLD}", switched},
      {{"text-buffers", {0}, kUserPlan}, false, "{OLD}", {"GetCurrentPwrCFG 260 260"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.current.text);
    Session session;
    sim::ScopedMachine m{
        Machine()
            .File(kSettings, Ini("[Power]\r\nBasePwrSchID={OLD}\r\n"))
            .With([&](sim::Machine& mc) { mc.libraries[kPowerMgr] = PowerMgr(row.current); })};
    InitConfigGlobals(false);
    TPowerSch power(kData, kSettings, kTemp);
    power.SetPowerSchText("", "");
    EXPECT_EQ(power.Boost(), row.boosted);
    EXPECT_EQ(Calls(m.machine()), row.calls);
    EXPECT_EQ(Base(m), row.base);
    EXPECT_EQ(power.HasRestoreData(), row.boosted);
    m.machine().calls.clear();
    power.Restore();
    EXPECT_EQ(Calls(m.machine()), row.boosted ? std::vector<std::string>{"SetPwrCFG " + row.base}
                                              : std::vector<std::string>{});
    EXPECT_FALSE(power.HasRestoreData());
  }
}

// The record asks for a reset of whatever the library applied, even on failure; only
// success earns credit (amount / base clock x 50 %).
TEST(Tweaks, OverclockRecordsWhateverWasAppliedAndCreditsOnlySuccess) {
  const struct {
    std::vector<int64_t> overClock;  // result, GPU amount, memory amount
    bool boosted;
    const char* record;
    double gpuPercent, memPercent;
    bool reset;
  } rows[] = {
      {{1, 50, 20}, true, "[OverClock]\r\nOverClockGPU=50\r\nOverClockMem=20\r\n", 2.5, 4, true},
      {{0, 30, 0}, false, "[OverClock]\r\nOverClockGPU=30\r\nOverClockMem=0\r\n", 0, 0, true},
      {{0, 0, 0}, false, "", 0, 0, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.overClock[0] + row.overClock[1]);
    Session session;
    sim::ScopedMachine m{Machine().With(
        [&](sim::Machine& mc) { mc.libraries[kOverDrive] = OverDrive(row.overClock); })};
    InitConfigGlobals(false);
    LoadOverDriveDll();
    TOverClockBoost oc(kData, kSettings, kTemp);
    EXPECT_EQ(oc.Boost(), row.boosted);
    EXPECT_EQ(Text(m, kTemp), row.record);
    EXPECT_EQ(oc.OverClockGain()->GPUPercent, row.gpuPercent);
    EXPECT_EQ(oc.OverClockGain()->MemPercent, row.memPercent);
    m.machine().calls.clear();
    oc.Restore();
    EXPECT_EQ(Calls(m.machine()),
              row.reset ? std::vector<std::string>{"Reset"} : std::vector<std::string>{});
    EXPECT_EQ(Text(m, kTemp), "");
    FreeOverDriveDll();
  }
}

// Without the library or one of its exports nothing is called or recorded; a restore
// keeps the records and logs what is pending.
TEST(Tweaks, MissingLibraryOrExportIsLoggedAndRecordsNothing) {
  const struct {
    bool file;
    const char* dropped[2];  // exports left out
    size_t errors;
  } rows[] = {{false, {"", ""}, 2},
              {true, {"SetPwrCFG", "GetRange"}, 3},
              {true, {"GetCurrentPwrCFG", "OverClock"}, 3}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.dropped[0]);
    Session session;
    sim::ScopedMachine m{Machine().With([&](sim::Machine& mc) {
      if (!row.file) return;
      mc.libraries[kPowerMgr] = PowerMgr({"text-buffers", {1}, kUserPlan});
      mc.libraries[kOverDrive] = OverDrive({1, 50, 20});
      mc.libraries[kPowerMgr].erase(row.dropped[0]);
      mc.libraries[kOverDrive].erase(row.dropped[1]);
    })};
    InitConfigGlobals(false);
    LoadOverDriveDll();
    TOverClockBoost oc(kData, kSettings, kTemp);
    TPowerSch power(kData, kSettings, kTemp);
    EXPECT_FALSE(oc.Boost());
    EXPECT_FALSE(power.Boost());
    EXPECT_EQ(Text(m, kTemp), "<missing>");
    EXPECT_EQ(Base(m), "");
    EXPECT_EQ(LogMessages(Text(m, kLogs + "VlxMiniException.log")).size(), row.errors);
    EXPECT_TRUE(m.machine().calls.empty());
    if (!row.file) {
      const std::string records =
          "[Power]\r\nCustom=1\r\n[OverClock]\r\nOverClockGPU=0\r\nOverClockMem=5\r\n";
      m.WriteFile(kTemp, Ini(records));
      GConfig->OpenSettingsIni()->WriteString("Power", "BasePwrSchID", "{U}");
      oc.Restore();
      power.Restore();
      EXPECT_EQ(Text(m, kTemp), records);
      const auto errors = LogMessages(Text(m, kLogs + "VlxMiniException.log"));
      ASSERT_EQ(errors.size(), 5u);
      EXPECT_EQ(errors[2],
                "TOverClockBoost.Restore : OverDrive.dll not available, reset pending: "
                "OverClockGPU=0 OverClockMem=5");
      EXPECT_EQ(errors[4], "TPowerSch.Restore : power plan not set back, pending plan {U}");
    }
    FreeOverDriveDll();
  }
}

}  // namespace
