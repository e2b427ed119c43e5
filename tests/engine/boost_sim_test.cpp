// The orchestrator over a simulated machine, with fake modules in every slot.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/engine/EngineMachine.h"

namespace {

using namespace enginetest;

// Settings globals and logs of one test.
struct Program {
  Program() { InitConfigGlobals(false); }
  ~Program() { DoneConfigGlobals(); }
};

std::vector<std::string> Between(const std::vector<std::string>& lines, const std::string& first,
                                 const std::string& last) {
  auto b = std::find(lines.begin(), lines.end(), first);
  auto e = std::find(b, lines.end(), last);
  if (b == lines.end() || e == lines.end()) return {};
  return std::vector<std::string>(b, e + 1);
}

TEST(Orchestrator, BoostPassRunsTheModulesInOrderAndLeavesTheMachineBoosted) {
  Session session;
  sim::ScopedMachine m{Machine()};
  Program program;
  Calls calls;
  Finish finish;
  Script process;
  process.actions = 4;
  process.done = 3;
  Script service;
  service.done = 2;
  Script power;
  power.boostResult = false;
  std::string requestTime;
  {
    TBoost boost(
        kData, kSettings, kTemp, finish.Callback(), nullptr,
        FakeModules(calls, {{"Process", process}, {"Service", service}, {"Power", power}}));
    EXPECT_FALSE(boost.IsBoosted());
    boost.PrepareProgress();
    boost.Boost();
    requestTime = txt::FloatToStr(txt::Now());
    ASSERT_TRUE(finish.Wait());
    EXPECT_TRUE(finish.succeeded());
    EXPECT_TRUE(boost.IsBoosted());
    // 5 + the services' done count + the processes' action count; services count their
    // done count as optimised, processes theirs, the simple modules their results.
    EXPECT_EQ(boost.TotalItems(), 5 + 2 + 4);
    EXPECT_EQ(boost.OptimizedItems(), 2 + 3 + 4);
    // Every enabled simple module reported progress once, on the main thread's behalf.
    EXPECT_EQ(boost.EnabledModuleCount(), 7);
    EXPECT_EQ(boost.ProgressCount(), 9);
    // After calling back, the worker goes to sleep until the next request.
    for (int i = 0; i < 1000 && !boost.Suspended(); ++i)
      plat::Sleep(1);
    EXPECT_TRUE(boost.Suspended());
  }
  EXPECT_EQ(calls.Get(),
            (std::vector<std::string>{"Monitor.Boost", "OverClock.Boost", "Service.Boost",
                                      "Process.Boost", "RAM.Boost", "Clipboard.Boost",
                                      "Power.Boost", "AutoUpdate.Boost", "GameMode.Boost"}));
  // The copy in the logs holds the same lines.
  EXPECT_EQ(m.ReadFile(kBoostCopy), m.ReadFile(kTemp));
  EXPECT_NE(Text(m, kTemp).find("[GameMode]\r\nDone=1\r\n"), std::string::npos);

  const std::vector<std::string> log = RunLogLines(m);
  EXPECT_EQ(Between(log, "TBoost.Execute 1", "Call Back Finish Function"),
            (std::vector<std::string>{
                "TBoost.Execute 1", "TBoost.Execute 2", "=====Start======", "TBoost.Execute 3",
                "TBoost.Execute 4 osBoost", "Boost Monitor", "Boost OverClock", "Boost Service",
                "Boost Process", "Boost RAM", "Boost Clipboard", "Boost Power Schemes",
                "Boost AutoUpdate", "Boost GameMode", "TBoost.Execute 7 Over",
                "TBoost.Execute 8 : -1", "Call Back Finish Function"}));
  EXPECT_NE(std::find(log.begin(), log.end(), "TBoost.Execute 11 Thread Supend"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "TBoost.Create fOverClockTrue"), log.end());

  // The request marked the operation in the settings file.
  TSafeIniFile settings;
  settings.LoadFromFile(kSettings);
  EXPECT_EQ(settings.ReadString("Boost", "IsBoost", ""), "1");
  EXPECT_EQ(settings.ReadString("Boost", "Lastboosttime", ""), requestTime);
}

TEST(Orchestrator, RestorePassUndoesInTheSameOrderAndRemovesTheStateFile) {
  Session session;
  sim::ScopedMachine m{Machine().File(kTemp, "[RAM]\r\nDone=1\r\n")};
  Program program;
  Calls calls;
  Finish finish;
  {
    TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, FakeModules(calls));
    EXPECT_TRUE(boost.IsBoosted());
    boost.Restore();
    ASSERT_TRUE(finish.Wait());
    // A successful restore reports false: the state file is gone.
    EXPECT_FALSE(finish.succeeded());
  }
  EXPECT_FALSE(m.Exists(kTemp));
  EXPECT_FALSE(m.Exists(kBoostCopy));
  EXPECT_EQ(calls.Get(),
            (std::vector<std::string>{"Monitor.Restore", "OverClock.Restore", "Service.Restore",
                                      "Process.Restore", "RAM.Restore", "Clipboard.Restore",
                                      "Power.Restore", "AutoUpdate.Restore", "GameMode.Restore"}));
  const std::vector<std::string> log = RunLogLines(m);
  EXPECT_EQ(
      Between(log, "TBoost.Execute 5 osRestore", "Call Back Finish Function"),
      (std::vector<std::string>{
          "TBoost.Execute 5 osRestore", "Restore Monitor", "Restore OverClock", "Restore Service",
          "Restore Process", "Restore RAM", "Restore Clipboard", "Restore Power Schemes",
          "Restore AutoUpdate", "Restore GameMode", "TBoost.Execute 6 osRestore Over",
          "TBoost.Execute 7 Over", "Call Back Finish Function"}));
}

TEST(Orchestrator, AnErrorInARestoreKeepsTheMachineBoostedAndEndsTheThread) {
  Session session;
  sim::ScopedMachine m{Machine().File(kTemp, "[RAM]\r\nDone=1\r\n")};
  Program program;
  Calls calls;
  Finish finish;
  Script failing;
  failing.throwOnRestore = true;
  {
    TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr,
                 FakeModules(calls, {{"Process", failing}}));
    boost.Restore();
    EXPECT_FALSE(finish.Wait(60000));
    EXPECT_EQ(finish.count(), 0);
  }
  EXPECT_TRUE(m.Exists(kTemp));
  EXPECT_EQ(calls.Get().back(), "Process.Restore");
  const std::vector<std::string> log = RunLogLines(m);
  EXPECT_EQ(std::find(log.begin(), log.end(), "Restore RAM"), log.end());
  EXPECT_NE(std::find(log.begin(), log.end(), "TBoost.Execute 8 : -1"), log.end());
  EXPECT_EQ(std::find(log.begin(), log.end(), "Call Back Finish Function"), log.end());
}

TEST(Orchestrator, BoostWithEverySimpleModuleOffStillCopiesTheStateFile) {
  Session session;
  sim::ScopedMachine m{Machine()};
  Program program;
  Calls calls;
  Finish finish;
  Script off;
  off.enabled = false;
  std::map<std::string, Script> scripts;
  for (const char* name : {"RAM", "Clipboard", "Power", "AutoUpdate", "GameMode", "Monitor",
                           "OverClock", "Service", "Process"})
    scripts[name] = off;
  {
    TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, FakeModules(calls, scripts));
    boost.PrepareProgress();
    EXPECT_EQ(boost.EnabledModuleCount(), 0);
    boost.Boost();
    ASSERT_TRUE(finish.Wait());
    EXPECT_EQ(boost.OptimizedItems(), 0);
  }
  EXPECT_TRUE(m.Exists(kTemp));
  EXPECT_TRUE(m.Exists(kBoostCopy));
  EXPECT_EQ(m.ReadFile(kTemp), "");
}

TEST(Orchestrator, ASecondRequestDuringAPassStartsNoPassOfItsOwn) {
  Session session;
  SetDebugOutput(true);
  sim::ScopedMachine m{Machine()};
  Program program;
  Calls calls;
  Finish finish;
  Script slow;
  slow.boostMs = 30000;
  {
    TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr,
                 FakeModules(calls, {{"Monitor", slow}}));
    boost.Boost();
    while (calls.Get().empty())
      plat::Sleep(1);
    boost.Restore();
    ASSERT_TRUE(finish.Wait());
  }
  SetDebugOutput(false);
  const auto& debug = m.machine().debugOutput;
  EXPECT_NE(std::find(debug.begin(), debug.end(), "not suspend"), debug.end());
  // The restore request only changed what the running pass does next: nothing ran twice.
  const std::vector<std::string> c = calls.Get();
  EXPECT_EQ(std::count(c.begin(), c.end(), "Monitor.Boost"), 1);
}

TEST(ModuleContract, RestoreDataNeedsAKeyAndMissingOperationsRaise) {
  Session session;
  sim::ScopedMachine m{Machine().File(kTemp, "[RAM]\r\n[Clipboard]\r\nClear=1\r\n")};
  Calls calls;
  FakeModule ram("RAM", {}, calls, kData, kSettings, kTemp);
  FakeModule clipboard("Clipboard", {}, calls, kData, kSettings, kTemp);
  EXPECT_FALSE(ram.HasRestoreData());
  EXPECT_TRUE(clipboard.HasRestoreData());

  TBoostBase bare(kData, kSettings, "");
  EXPECT_TRUE(bare.Boost());
  EXPECT_THROW(bare.IsEnabled(), EAbstractError);
  EXPECT_THROW(bare.SetEnabled(true), EAbstractError);
  EXPECT_THROW(bare.Restore(), EAbstractError);
  EXPECT_THROW(bare.HasRestoreData(), EAbstractError);
  bare.Stop();
  EXPECT_TRUE(bare.Stopped());
  bare.ResetStop();
  EXPECT_FALSE(bare.Stopped());
}

TEST(ModuleContract, ExcludedProcessesAndListsIgnoreCaseOnly) {
  EXPECT_TRUE(TBoostBase::IsExcludedProcess("SMC.EXE"));
  EXPECT_TRUE(TBoostBase::IsExcludedProcess("wscsavnotifier.exe"));
  EXPECT_FALSE(TBoostBase::IsExcludedProcess("Smc.exe2"));
  EXPECT_FALSE(TBoostBase::IsExcludedProcess("explorer.exe"));
  EXPECT_TRUE(TBoostBase::ListContainsText("STEAM.exe", {"a.exe", "steam.exe"}));
  EXPECT_FALSE(TBoostBase::ListContainsText("steam", {"steam.exe"}));
}

}  // namespace
