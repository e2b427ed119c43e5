// The performance summary a boost pass leaves in the state file.
#include <gtest/gtest.h>

#include "tests/engine/EngineMachine.h"

namespace {

using namespace enginetest;

constexpr uint64_t kGiB = 1024ull * 1024 * 1024;

struct Row {
  const char* name;
  uint64_t total;  // physical memory
  int64_t freed;
  std::map<std::string, Script> scripts;
  int32_t random;
  const char* summary;  // the memory module's section and the summary, in file order
};

Script Off() {
  Script s;
  s.enabled = false;
  return s;
}
Script Failing() {
  Script s;
  s.boostResult = false;
  return s;
}

TEST(Summary, ChartReleasedMemoryAndPercentages) {
  Script process;
  process.actions = 4;
  process.done = 3;
  process.processes = 10;
  Script service;
  service.done = 2;
  service.candidates = 6;
  Script overclock;
  overclock.gain = TBoostBase::TOverClockGain{3.5, 1.5};
  const Row rows[] = {
      // 0.4 x 3/5 = 24; CPU 3/5 = 60 -> 61; total 0.4 x 60 = 24 -> 25.
      {"three of five simple modules, nothing released",
       8 * kGiB,
       0,
       {{"Power", Failing()}, {"AutoUpdate", Failing()}, {"GameDesk", Off()}},
       0,
       "[RAM]\r\nDone=1\r\nReleased=0 Byte\r\n[Chart]\r\nBefore=50.0\r\nAfter=24.0\r\n"
       "[PERFORMANCE]\r\nTotalPercent=25\r\nCPUPercent=61\r\n"},
      // A 2 GiB machine; 0.75 x 0.6 + 0.4 = 85; CPU exactly 100 stays; total
      // 40 + 45 + 5 + 15 = 105 -> 106, never clamped.
      {"small machine, overclocked, highest random term",
       2 * kGiB,
       static_cast<int64_t>(kGiB + kGiB / 2),
       {{"OverClock", overclock}, {"GameDesk", Off()}},
       15,
       "[RAM]\r\nDone=1\r\nReleased=1.5 GB\r\n[Chart]\r\nBefore=25.0\r\nAfter=85.0\r\n"
       "[PERFORMANCE]\r\nTotalPercent=106\r\nCPUPercent=100\r\n"},
      // Items 5 + 2 + 4, optimised 2 + 3 + 5; 3/16 x 0.6 + 10/11 x 0.4 = 47.6 -> 48; the
      // game desktop adds one: CPU 11 / (10 + 6 + 5) = 52.4 -> 53; total 20.95 + 11.25 -> 33.
      {"more than 2 GiB released, counted modules, game desktop on",
       16 * kGiB,
       static_cast<int64_t>(3 * kGiB),
       {{"Process", process}, {"Service", service}},
       0,
       "[RAM]\r\nDone=1\r\nReleased=3.0 GB\r\n[Chart]\r\nBefore=50.0\r\nAfter=48.0\r\n"
       "[PERFORMANCE]\r\nTotalPercent=33\r\nCPUPercent=53\r\n"},
      // No memory figure: After 100, no share of memory; the memory module off, so no
      // "Released"; CPU 4/5 = 80 -> 81; total 32 -> 33.
      {"no memory figures, memory module off",
       0,
       0,
       {{"RAM", Off()}, {"GameDesk", Off()}},
       0,
       "[Chart]\r\nBefore=50.0\r\nAfter=100.0\r\n"
       "[PERFORMANCE]\r\nTotalPercent=33\r\nCPUPercent=81\r\n"},
      {"nothing optimised: both percentages stay 0",
       8 * kGiB,
       0,
       {{"RAM", Off()},
        {"Clipboard", Off()},
        {"Power", Off()},
        {"AutoUpdate", Off()},
        {"GameMode", Off()},
        {"GameDesk", Off()}},
       0,
       "[Chart]\r\nBefore=50.0\r\nAfter=0.0\r\n"
       "[PERFORMANCE]\r\nTotalPercent=0\r\nCPUPercent=0\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Session session;
    sim::ScopedMachine m{Machine()};
    InitConfigGlobals(false);
    Calls calls;
    Finish finish;
    {
      // Only the modules the row needs: the others would add their own sections.
      std::vector<std::string> only = {"RAM",        "Clipboard", "Power",
                                       "AutoUpdate", "GameMode",  "GameDesk"};
      for (const auto& [name, script] : row.scripts)
        if (std::find(only.begin(), only.end(), name) == only.end()) only.push_back(name);
      TBoostModules modules = FakeModules(calls, row.scripts, only);
      modules.MakeMemorySampler = [&row] {
        return std::make_unique<FakeSampler>(row.freed, row.total);
      };
      modules.Random = [&row](int32_t range) {
        EXPECT_EQ(range, 16);
        return row.random;
      };
      TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, std::move(modules));
      boost.Boost();
      ASSERT_TRUE(finish.Wait());
    }
    std::string text = Text(m, kTemp);
    for (const char* module :
         {"Clipboard", "Power", "AutoUpdate", "GameMode", "OverClock", "Process", "Service"}) {
      const std::string section = std::string("[") + module + "]\r\nDone=1\r\n";
      if (const size_t at = text.find(section); at != std::string::npos)
        text.erase(at, section.size());
    }
    EXPECT_EQ(text, row.summary);
    DoneConfigGlobals();
  }
}

TEST(Summary, FiguresAreLoggedAsTheyWereComputed) {
  Session session;
  sim::ScopedMachine m{Machine()};
  InitConfigGlobals(false);
  Calls calls;
  Finish finish;
  {
    TBoostModules modules = FakeModules(calls, {{"GameDesk", Off()}}, {"RAM", "GameDesk"});
    modules.MakeMemorySampler = [] { return std::make_unique<FakeSampler>(kGiB, 4 * kGiB); };
    modules.Random = [](int32_t) { return 7; };
    TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, std::move(modules));
    boost.Boost();
    ASSERT_TRUE(finish.Wait());
  }
  const std::vector<std::string> log = RunLogLines(m);
  for (const char* line :
       {"TBoost: RAMPercent:=1073741824/4294967296* 0.6 * 100=15",
        "TBoost: CPUPercent:=1/5 * 100=20", "TOverClockBoost: OverClockPercent:=0",
        "TBoost: RandomPercent:=0.07", "TBoost: TotalPercent:=23+7+0=30"})
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
  DoneConfigGlobals();
}

}  // namespace
