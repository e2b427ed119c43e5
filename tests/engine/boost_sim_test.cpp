// The orchestrator over a simulated machine, with fake modules in every slot.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <type_traits>

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

// The fake names of the table's rows whose column is set, ordered by it where it is a
// position, each followed by ".<call>" (the fake modules fill every row).
template <typename T>
std::vector<std::string> Rows(T TBoostModuleRow::*column, const std::string& call) {
  std::vector<const TBoostModuleRow*> rows;
  const TBoostModules modules = DefaultBoostModules();
  for (const TBoostModuleRow& row : modules.Table)
    if (!(row.*column == T{})) rows.push_back(&row);
  if constexpr (std::is_same_v<T, int>)
    std::stable_sort(rows.begin(), rows.end(),
                     [column](const auto* a, const auto* b) { return a->*column < b->*column; });
  std::vector<std::string> out;
  for (const auto* row : rows)
    out.push_back(FakeName(*row) + (call.empty() ? "" : "." + call));
  return out;
}

// Every list the orchestrator keeps of its modules comes from the program's module
// table: construction, both passes, stop at teardown, the game desktop's exit, reset
// before a pass and the switches progress preparation counts.
TEST(ModuleTable, TheOrchestratorBuildsRunsAndStopsTheModulesInTheirOrder) {
  Session session;
  sim::ScopedMachine m{Machine().File(kTemp, "[RAM]\r\nDone=1\r\n")};
  Program program;
  const auto built = Rows(&TBoostModuleRow::Slot, "");
  const auto stopped = Rows(&TBoostModuleRow::Stoppable, "");
  struct Row {
    const char* name;
    std::function<void(TBoost&, Finish&)> run;
    std::vector<std::string> calls;  // after construction, through teardown
  };
  const auto pass = [](void (TBoost::*request)()) {
    return [request](TBoost& boost, Finish& finish) {
      (boost.*request)();
      ASSERT_TRUE(finish.Wait());
    };
  };
  const std::vector<Row> rows = {
      {"teardown only", [](TBoost&, Finish&) {}, {}},
      {"boost pass", pass(&TBoost::Boost), Rows(&TBoostModuleRow::PassOrder, "Boost")},
      {"restore pass", pass(&TBoost::Restore), Rows(&TBoostModuleRow::PassOrder, "Restore")},
      {"game desktop exit",
       [](TBoost& boost, Finish&) { boost.ExitGameDesktop(); },
       {"GameDesk.Restore"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Calls calls;
    Finish finish;
    {
      TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, FakeModules(calls));
      std::vector<std::string> create = Rows(&TBoostModuleRow::Slot, "Create");
      create.push_back(
          "Power.SetPowerSchText Velmoran Power Plan / Activate it when you switch to Gaming "
          "Mode for boosting.");
      ASSERT_EQ(calls.Get(), create);
      row.run(boost, finish);
    }
    std::vector<std::string> after = calls.Get();
    after.erase(after.begin(), after.begin() + built.size() + 1);
    std::vector<std::string> expected = row.calls;
    for (const auto& stop : Rows(&TBoostModuleRow::Stoppable, "Stop"))
      expected.push_back(stop);
    EXPECT_EQ(after, expected);
  }
  const std::vector<std::string> log = RunLogLines(m);
  for (const char* slot : {"fOverClock", "fSvcBoost", "fProcBoost", "fRAMClear"})
    EXPECT_NE(std::find(log.begin(), log.end(), std::string("TBoost.Create ") + slot + "True"),
              log.end());

  // Before a pass every stoppable module is reset.
  Calls calls;
  Finish finish;
  TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, FakeModules(calls));
  for (const TBoostModuleRow& row : DefaultBoostModules().Table)
    boost.Module(row.Slot)->Stop();
  boost.Boost();
  ASSERT_TRUE(finish.Wait());
  for (const TBoostModuleRow& row : DefaultBoostModules().Table)
    EXPECT_EQ(boost.Module(row.Slot)->Stopped(), !row.Stoppable) << row.Slot;

  // Progress preparation counts the switches of the counted modules: one switched on
  // at a time.
  for (const TBoostModuleRow& row : DefaultBoostModules().Table) {
    std::map<std::string, Script> scripts;
    for (const auto& other : built)
      scripts[other].enabled = other == FakeName(row);
    Calls quiet;
    TBoost one(kData, kSettings, kTemp, nullptr, nullptr, FakeModules(quiet, scripts));
    one.PrepareProgress();
    EXPECT_EQ(one.EnabledModuleCount(), row.ProgressCounted ? 1 : 0) << row.Slot;
  }
}

TEST(ModuleTable, ACountedModuleWithoutCountsIsRefusedBeforeAnyThreadStarts) {
  Session session;
  sim::ScopedMachine m{Machine()};
  Program program;
  TBoostModules modules = DefaultBoostModules();
  for (TBoostModuleRow& row : modules.Table) {
    row.Make = nullptr;
    if (row.Slot == "fSvcBoost")
      row.Make = [](const std::string& p, const std::string& s, const std::string& t) {
        return std::make_unique<TBoostBase>(p, s, t);
      };
  }
  EXPECT_THROW(TBoost(kData, kSettings, kTemp, nullptr, nullptr, modules), std::logic_error);
}

TEST(Orchestrator, BoostPassCountsItsItemsAndLeavesTheMachineBoosted) {
  Session session;
  sim::ScopedMachine m{Machine()};
  Program program;
  Calls calls;
  Finish finish;
  Script process;
  process.actions = 4;
  process.done = 3;
  Script service;
  service.actions = 7;  // only its done count counts
  service.done = 2;
  Script power;
  power.boostResult = false;
  std::string requestTime;
  std::atomic<int> synchronized{0};
  {
    TBoost boost(
        kData, kSettings, kTemp, finish.Callback(), nullptr,
        FakeModules(calls, {{"Process", process}, {"Service", service}, {"Power", power}}));
    boost.SetSynchronizer([&](const std::function<void()>& step) {
      ++synchronized;
      step();
    });
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
    // Every module that reported progress was counted on the main thread's behalf.
    EXPECT_EQ(boost.EnabledModuleCount(), 7);
    EXPECT_EQ(boost.ProgressCount(), 9);
    EXPECT_EQ(synchronized, 9);
    // After calling back, the worker goes to sleep until the next request.
    for (int i = 0; i < 1000 && !boost.Suspended(); ++i)
      plat::Sleep(1);
    EXPECT_TRUE(boost.Suspended());
  }
  // The state file is UTF-16 with its byte-order mark, and the copy in the logs holds
  // the same bytes.
  const std::string temp = m.ReadFile(kTemp);
  EXPECT_EQ(temp.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(m.ReadFile(kBoostCopy), temp);
  EXPECT_NE(Text(m, kTemp).find("[GameMode]\r\nDone=1\r\n"), std::string::npos);

  // The pass's own lines (the summary's figures have their own tests).
  std::vector<std::string> log = RunLogLines(m);
  std::erase_if(log, [](const std::string& line) {
    return line.starts_with("TBoost: ") || line.starts_with("TOverClockBoost: ");
  });
  EXPECT_EQ(Between(log, "TBoost.Execute 1", "Call Back Finish Function"),
            (std::vector<std::string>{
                "TBoost.Execute 1", "TBoost.Execute 2", "=====Start======", "TBoost.Execute 3",
                "TBoost.Execute 4 osBoost", "Boost Monitor", "Boost OverClock", "Boost Service",
                "Boost Process", "Boost RAM", "Boost Clipboard", "Boost Power Schemes",
                "Boost AutoUpdate", "Boost GameMode", "TBoost.Execute 7 Over",
                "TBoost.Execute 8 : -1", "Call Back Finish Function"}));
  EXPECT_NE(std::find(log.begin(), log.end(), "TBoost.Execute 11 Thread Supend"), log.end());

  // The request marked the operation in the settings file.
  TSafeIniFile settings;
  settings.LoadFromFile(kSettings);
  EXPECT_EQ(settings.ReadString("Boost", "IsBoost", ""), "1");
  EXPECT_EQ(settings.ReadString("Boost", "Lastboosttime", ""), requestTime);
}

TEST(Orchestrator, RestorePassRemovesTheStateFile) {
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
  const std::vector<std::string> log = RunLogLines(m);
  EXPECT_EQ(
      Between(log, "TBoost.Execute 5 osRestore", "Call Back Finish Function"),
      (std::vector<std::string>{
          "TBoost.Execute 5 osRestore", "Restore Monitor", "Restore OverClock", "Restore Service",
          "Restore Process", "Restore RAM", "Restore Clipboard", "Restore Power Schemes",
          "Restore AutoUpdate", "Restore GameMode", "TBoost.Execute 6 osRestore Over",
          "TBoost.Execute 7 Over", "Call Back Finish Function"}));
}

// An error that leaves a module ends the pass: the later modules do not run, the
// closing steps do, the error log names the module, and no finish callback comes. After
// a failed restore the machine still counts as boosted.
TEST(Orchestrator, AnErrorInAModuleEndsThePassAndTheThread) {
  struct Row {
    const char* name;
    bool restore;
    const char* skipped;
    const char* error;
  };
  for (const Row& row :
       {Row{"boost", false, "Boost RAM", "TBoost.Execute fProcBoost.Boost: Process failed"},
        Row{"restore", true, "Restore RAM", "TBoost.Execute fProcBoost.Restore: Process failed"}}) {
    SCOPED_TRACE(row.name);
    Session session;
    sim::ScopedMachine m{Machine().File(kTemp, "[RAM]\r\nDone=1\r\n")};
    Program program;
    Calls calls;
    Finish finish;
    Script failing;
    failing.throwOnBoost = !row.restore;
    failing.throwOnRestore = row.restore;
    {
      TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr,
                   FakeModules(calls, {{"Process", failing}}));
      row.restore ? boost.Restore() : boost.Boost();
      EXPECT_FALSE(finish.Wait(60000));
      EXPECT_EQ(finish.count(), 0);
    }
    EXPECT_TRUE(m.Exists(kTemp));
    const std::vector<std::string> log = RunLogLines(m);
    EXPECT_EQ(std::find(log.begin(), log.end(), row.skipped), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "TBoost.Execute 8 : -1"), log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), "Call Back Finish Function"), log.end());
    const std::vector<std::string> errors = LogMessages(Text(m, kLogs + "VlxMiniException.log"));
    EXPECT_NE(std::find(errors.begin(), errors.end(), row.error), errors.end());
  }
}

TEST(Orchestrator, BoostWithEverySimpleModuleOffStillWritesTheSummaryAndTheCopy) {
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
  EXPECT_EQ(m.ReadFile(kBoostCopy), m.ReadFile(kTemp));
  EXPECT_NE(Text(m, kTemp).find("[PERFORMANCE]"), std::string::npos);
}

// The copy of the state file in the logs keeps the state file's encoding and
// byte-order mark; progress without a synchroniser is counted on the worker.
TEST(Orchestrator, TheLogCopyKeepsTheStateFilesEncoding) {
  const struct {
    const char* what;
    std::string state;  // before the pass; empty: none (created in UTF-16)
    std::string mark;
  } rows[] = {
      {"new", "", "\xFF\xFE"},
      {"UTF-16", "\xFF\xFE" + txt::Utf8ToUtf16LeBytes("[X]\r\nA=1\r\n"), "\xFF\xFE"},
      {"UTF-8", "\xEF\xBB\xBF[X]\r\nA=1\r\n", "\xEF\xBB\xBF"},
      {"ANSI", "[X]\r\nA=1\r\n", "[X]"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Session session;
    sim::MachineBuilder b = Machine();
    if (!row.state.empty()) b.File(kTemp, row.state);
    sim::ScopedMachine m{b};
    Program program;
    Calls calls;
    Finish finish;
    {
      TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, FakeModules(calls));
      boost.PrepareProgress();
      boost.Boost();
      ASSERT_TRUE(finish.Wait());
      EXPECT_EQ(boost.ProgressCount(), 9);
    }
    const std::string copy = m.ReadFile(kBoostCopy);
    EXPECT_EQ(copy.substr(0, row.mark.size()), row.mark);
    EXPECT_EQ(copy, m.ReadFile(kTemp));
  }
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
    while (calls.Get().back() != "Monitor.Boost")
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
