// The orchestrator over a simulated machine, with fake modules in every slot.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>

#include "tests/engine/EngineMachine.h"

namespace {

using namespace enginetest;

// Settings globals and logs of one test.
struct Program {
  Program() { InitConfigGlobals(false); }
  ~Program() { DoneConfigGlobals(); }
};

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The fake names of the table's rows with a position in Column, in its order, each
// followed by ".<call>"; all rows in table order without a column.
std::vector<std::string> Rows(const std::string& call, int TBoostModuleRow::*column = nullptr) {
  std::vector<TBoostModuleRow> rows = DefaultBoostModules().Table;
  if (column) {
    std::erase_if(rows, [column](const auto& row) { return row.*column == 0; });
    std::stable_sort(rows.begin(), rows.end(),
                     [column](const auto& a, const auto& b) { return a.*column < b.*column; });
  }
  std::vector<std::string> out;
  for (const auto& row : rows)
    out.push_back(FakeName(row) + "." + call);
  return out;
}

// Every list the orchestrator keeps of its modules comes from the program's module
// table: construction, both passes, stop at teardown, the game desktop's exit and reset
// before a pass.
TEST(ModuleTable, TheOrchestratorBuildsRunsAndStopsTheModulesInTheirOrder) {
  Session session;
  sim::ScopedMachine m{Machine().File(kTemp, "[RAM]\r\nDone=1\r\n")};
  Program program;
  const auto pass = [](void (TBoost::*request)()) {
    return [request](TBoost& boost, Finish& finish) {
      (boost.*request)();
      ASSERT_TRUE(finish.Wait());
    };
  };
  const struct {
    const char* name;
    std::function<void(TBoost&, Finish&)> run;
    std::vector<std::string> calls;  // after construction, before teardown
    bool boosted;                    // the state file after it: a pass's success
  } rows[] = {
      {"teardown only", [](TBoost&, Finish&) {}, {}, true},
      {"boost pass", pass(&TBoost::Boost), Rows("Boost", &TBoostModuleRow::PassOrder), true},
      {"restore pass", pass(&TBoost::Restore), Rows("Restore", &TBoostModuleRow::PassOrder), false},
      {"game desktop exit",
       [](TBoost& boost, Finish&) { boost.ExitGameDesktop(); },
       {"GameDesk.Restore"},
       false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Calls calls;
    Finish finish;
    {
      TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, FakeModules(calls));
      row.run(boost, finish);
    }
    std::vector<std::string> expected = Rows("Create");
    expected.push_back(
        "Power.SetPowerSchText Velmoran Power Plan / Activate it when you switch to Gaming Mode "
        "for boosting.");
    expected.insert(expected.end(), row.calls.begin(), row.calls.end());
    for (const TBoostModuleRow& r : DefaultBoostModules().Table)
      if (r.Stoppable) expected.push_back(FakeName(r) + ".Stop");
    EXPECT_EQ(calls.Get(), expected);
    EXPECT_EQ(m.Exists(kTemp), row.boosted);
    EXPECT_TRUE(!finish.count() || finish.succeeded() == row.boosted);
  }

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

// An error that leaves a module ends the pass: the later modules do not run, the
// closing steps do, the error log names the module, and no finish callback comes. After
// a failed restore the machine still counts as boosted.
TEST(Orchestrator, AnErrorInAModuleEndsThePassAndTheThread) {
  for (bool restore : {false, true}) {
    SCOPED_TRACE(restore);
    Session session;
    sim::ScopedMachine m{Machine().File(kTemp, "[RAM]\r\nDone=1\r\n")};
    Program program;
    Calls calls;
    Finish finish;
    const Script failing{.throwOnBoost = !restore, .throwOnRestore = restore};
    {
      TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr,
                   FakeModules(calls, {{"Process", failing}}));
      restore ? boost.Restore() : boost.Boost();
      EXPECT_FALSE(finish.Wait(60000));
    }
    const std::string op = restore ? "Restore" : "Boost";
    EXPECT_TRUE(m.Exists(kTemp));
    EXPECT_FALSE(Has(calls.Get(), "RAM." + op));
    const std::vector<std::string> log = RunLogLines(m);
    EXPECT_TRUE(Has(log, "TBoost.Execute 8 : -1"));
    EXPECT_TRUE(Has(LogMessages(Text(m, kLogs + "VlxMiniException.log")),
                    "TBoost.Execute fProcBoost." + op + ": Process failed"));
  }
}

// A boost pass counts its items, leaves the machine boosted with the summary in the state
// file, and copies the state file into the logs in the state file's own encoding and
// byte-order mark (also with every module off). Progress is counted through the
// synchroniser when there is one, on the worker otherwise.
TEST(Orchestrator, BoostPassCountsItsItemsAndCopiesTheStateFile) {
  const struct {
    const char* what;
    std::string state;  // before the pass; empty: none (created in UTF-16)
    std::string mark;
    bool off, sync;
  } rows[] = {
      {"new, synchronised", "", "\xFF\xFE", false, true},
      {"UTF-16", "\xFF\xFE" + txt::Utf8ToUtf16LeBytes("[X]\r\nA=1\r\n"), "\xFF\xFE", false, false},
      {"UTF-8", "\xEF\xBB\xBF[X]\r\nA=1\r\n", "\xEF\xBB\xBF", false, false},
      {"ANSI", "[X]\r\nA=1\r\n", "[X]", false, false},
      {"every module off", "", "\xFF\xFE", true, false},
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
    // Only the services' done count counts, and the processes' action and done counts.
    std::map<std::string, Script> scripts = {{"Process", {.actions = 4, .done = 3}},
                                             {"Service", {.actions = 7, .done = 2}},
                                             {"Power", {.boostResult = false}}};
    if (row.off) {
      scripts.clear();
      for (const TBoostModuleRow& r : DefaultBoostModules().Table)
        scripts[FakeName(r)].enabled = false;
    }
    std::string requestTime;
    std::atomic<int> synchronized{0};
    {
      TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr,
                   FakeModules(calls, scripts));
      if (row.sync)
        boost.SetSynchronizer([&](const std::function<void()>& step) {
          ++synchronized;
          step();
        });
      EXPECT_EQ(boost.IsBoosted(), !row.state.empty());
      boost.PrepareProgress();
      // The switches of the counted modules (seven of the table's rows).
      EXPECT_EQ(boost.EnabledModuleCount(), row.off ? 0 : 7);
      boost.Boost();
      requestTime = txt::FloatToStr(txt::Now());
      ASSERT_TRUE(finish.Wait());
      EXPECT_TRUE(finish.succeeded());
      EXPECT_TRUE(boost.IsBoosted());
      // 5 + the services' done count + the processes' action count; optimised: the
      // services' and processes' done counts and the simple modules' results.
      EXPECT_EQ(boost.TotalItems(), row.off ? 5 : 5 + 2 + 4);
      EXPECT_EQ(boost.OptimizedItems(), row.off ? 0 : 2 + 3 + 4);
      EXPECT_EQ(boost.ProgressCount(), row.off ? 0 : 9);
      EXPECT_EQ(synchronized, row.sync ? 9 : 0);
      // After calling back, the worker goes to sleep until the next request.
      for (int i = 0; i < 1000 && !boost.Suspended(); ++i)
        plat::Sleep(1);
      EXPECT_TRUE(boost.Suspended());
    }
    const std::string copy = m.ReadFile(kBoostCopy);
    EXPECT_EQ(copy.substr(0, row.mark.size()), row.mark);
    EXPECT_EQ(copy, m.ReadFile(kTemp));
    EXPECT_NE(Text(m, kTemp).find("[PERFORMANCE]"), std::string::npos);
    EXPECT_EQ(Text(m, kTemp).find("[GameMode]\r\nDone=1\r\n") != std::string::npos, !row.off);
    // The request marked the operation in the settings file.
    TSafeIniFile settings;
    settings.LoadFromFile(kSettings);
    EXPECT_EQ(settings.ReadString("Boost", "IsBoost", ""), "1");
    EXPECT_EQ(settings.ReadString("Boost", "Lastboosttime", ""), requestTime);
  }
}

TEST(Orchestrator, ASecondRequestDuringAPassStartsNoPassOfItsOwn) {
  Session session;
  SetDebugOutput(true);
  sim::ScopedMachine m{Machine()};
  Program program;
  Calls calls;
  Finish finish;
  const Script slow{.boostMs = 30000};
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
  EXPECT_TRUE(Has(m.machine().debugOutput, "not suspend"));
  // The restore request only changed what the running pass does next: nothing ran twice.
  const std::vector<std::string> c = calls.Get();
  EXPECT_EQ(std::count(c.begin(), c.end(), "Monitor.Boost"), 1);
}

TEST(ModuleContract, RestoreDataNeedsAKeyAndListsIgnoreCaseOnly) {
  Session session;
  sim::ScopedMachine m{Machine().File(kTemp, "[RAM]\r\n[Clipboard]\r\nClear=1\r\n")};
  Calls calls;
  EXPECT_FALSE(FakeModule("RAM", {}, calls, kData, kSettings, kTemp).HasRestoreData());
  EXPECT_TRUE(FakeModule("Clipboard", {}, calls, kData, kSettings, kTemp).HasRestoreData());
  EXPECT_TRUE(TBoostBase::ListContainsText("STEAM.exe", {"a.exe", "steam.exe"}));
  EXPECT_FALSE(TBoostBase::ListContainsText("steam", {"steam.exe"}));
}

}  // namespace
