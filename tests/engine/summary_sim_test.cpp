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
  const char* released;  // "" when not written
  const char *before, *after;
  int totalPercent, cpuPercent;
};

const Script kOff{.enabled = false};
const Script kFailing{.boostResult = false};

TEST(Summary, ChartReleasedMemoryAndPercentages) {
  const Script process{.actions = 4, .done = 3, .processes = 10};
  const Script service{.done = 2, .candidates = 6};
  const Script overclock{.gain = TBoostBase::TOverClockGain{3.5, 1.5}};
  const Row rows[] = {
      // clang-format off
      // 0.4 x 3/5 = 24; CPU 3/5 = 60 -> 61; total 0.4 x 60 = 24 -> 25.
      {"three of five simple modules, nothing released", 8 * kGiB, 0,
       {{"Power", kFailing}, {"AutoUpdate", kFailing}, {"GameDesk", kOff}}, 0,
       "0 Byte", "50.0", "24.0", 25, 61},
      // A 2 GiB machine; 0.75 x 0.6 + 0.4 = 85; CPU exactly 100 stays; total
      // 40 + 45 + 5 + 15 = 105 -> 106, never clamped.
      {"small machine, overclocked, highest random term", 2 * kGiB,
       static_cast<int64_t>(kGiB + kGiB / 2), {{"OverClock", overclock}, {"GameDesk", kOff}}, 15,
       "1.5 GB", "25.0", "85.0", 106, 100},
      // Items 5 + 2 + 4, optimised 2 + 3 + 5; 3/16 x 0.6 + 10/11 x 0.4 = 47.6 -> 48; the
      // game desktop adds one: CPU 11 / (10 + 6 + 5) = 52.4 -> 53; total 20.95 + 11.25 -> 33.
      {"more than 2 GiB released, counted modules, game desktop on", 16 * kGiB,
       static_cast<int64_t>(3 * kGiB), {{"Process", process}, {"Service", service}}, 0,
       "3.0 GB", "50.0", "48.0", 33, 53},
      // No memory figure: After 100, no share of memory; the memory module off, so no
      // "Released"; CPU 4/5 = 80 -> 81; total 32 -> 33.
      {"no memory figures, memory module off", 0, 0, {{"RAM", kOff}, {"GameDesk", kOff}}, 0,
       "", "50.0", "100.0", 33, 81},
      {"nothing optimised: both percentages stay 0", 8 * kGiB, 0,
       {{"RAM", kOff}, {"Clipboard", kOff}, {"Power", kOff}, {"AutoUpdate", kOff},
        {"GameMode", kOff}, {"GameDesk", kOff}}, 0, "", "50.0", "0.0", 0, 0},
      // clang-format on
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Session session;
    sim::ScopedMachine m{Machine()};
    InitConfigGlobals(false);
    Calls calls;
    Finish finish;
    {
      TBoostModules modules = FakeModules(calls, row.scripts);
      modules.MakeMemorySampler = [&row] {
        return std::make_unique<FakeSampler>(row.freed, row.total);
      };
      modules.Random = [&row](int32_t range) { return range == 16 ? row.random : 1000; };
      TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, std::move(modules));
      boost.Boost();
      ASSERT_TRUE(finish.Wait());
    }
    // The summary closes the state file; "Released" goes into the memory module's section.
    const std::string text = Text(m, kTemp);
    EXPECT_EQ(text.substr(text.find("[Chart]")),
              std::string("[Chart]\r\nBefore=") + row.before + "\r\nAfter=" + row.after +
                  "\r\n[PERFORMANCE]\r\nTotalPercent=" + std::to_string(row.totalPercent) +
                  "\r\nCPUPercent=" + std::to_string(row.cpuPercent) + "\r\n");
    EXPECT_EQ(TIniFile(kTemp).ReadString("RAM", "Released", ""), row.released);
    DoneConfigGlobals();
  }
}

}  // namespace
