// TSafeIniFile throughput over the simulated machine: write N keys over 100
// sections, save, reload and read every key back; and loading the same content
// with SimpleIni for comparison.
//
//   bench_ini --benchmark_counters_tabular=true

// SimpleIni as a plain char loader of UTF-8 text, compiled in from its header (the
// Debian package ships no converter).
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "config/PSafeIniFile.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"

namespace {

constexpr int kSections = 100;
sim::ScopedMachine* gMachine = nullptr;

struct Content {
  std::vector<std::string> sections;
  std::vector<std::string> keys;    // per section
  std::vector<std::string> values;  // per section and key
};

Content MakeContent(int keys) {
  Content c;
  const int perSection = keys / kSections;
  for (int s = 0; s < kSections; ++s)
    c.sections.push_back("Section_" + std::to_string(s));
  for (int k = 0; k < perSection; ++k)
    c.keys.push_back("Key_" + std::to_string(k));
  for (int i = 0; i < keys; ++i)
    c.values.push_back("Value number " + std::to_string(i * 7919));
  return c;
}

using Clock = std::chrono::steady_clock;
double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

void WriteAll(TSafeIniFile& ini, const Content& c) {
  const int perSection = static_cast<int>(c.keys.size());
  for (int s = 0; s < kSections; ++s)
    for (int k = 0; k < perSection; ++k)
      ini.WriteString(c.sections[s], c.keys[k], c.values[s * perSection + k]);
}

size_t ReadAll(const TSafeIniFile& ini, const Content& c) {
  size_t matched = 0;
  const int perSection = static_cast<int>(c.keys.size());
  for (int s = 0; s < kSections; ++s)
    for (int k = 0; k < perSection; ++k)
      matched += ini.ReadString(c.sections[s], c.keys[k], "") == c.values[s * perSection + k];
  return matched;
}

// Write, save, reload, read back: the whole cycle of a settings or restore file.
void BM_SafeIniRoundTrip(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const Content content = MakeContent(keys);
  const std::string path = "C:\\bench\\roundtrip.ini";
  double writeMs = 0, saveMs = 0, loadMs = 0, readMs = 0;
  for (auto _ : state) {
    plat::DeleteFileW(path);
    {
      TSafeIniFile ini(path);
      auto t0 = Clock::now();
      WriteAll(ini, content);
      auto t1 = Clock::now();
      ini.UpdateFile();
      auto t2 = Clock::now();
      writeMs += Ms(t1 - t0);
      saveMs += Ms(t2 - t1);
      if (ini.LastError() != 0) state.SkipWithError("save failed");
      // The release saves once more (the object stays modified); not part of the cycle.
      state.PauseTiming();
    }
    state.ResumeTiming();
    auto t3 = Clock::now();
    TSafeIniFile again(path);
    auto t4 = Clock::now();
    size_t matched = ReadAll(again, content);
    auto t5 = Clock::now();
    loadMs += Ms(t4 - t3);
    readMs += Ms(t5 - t4);
    if (matched != static_cast<size_t>(keys)) state.SkipWithError("read back differs");
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["write_ms"] = writeMs / n;
  state.counters["save_ms"] = saveMs / n;
  state.counters["load_ms"] = loadMs / n;
  state.counters["read_ms"] = readMs / n;
  state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_SafeIniRoundTrip)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Prepares the same content as the program saves it (UTF-16) and as UTF-8 for SimpleIni.
std::string PrepareFiles(int keys, std::string& utf8HostPath) {
  const Content content = MakeContent(keys);
  const std::string path = "C:\\bench\\load_" + std::to_string(keys) + ".ini";
  plat::DeleteFileW(path);
  std::string text;
  {
    TSafeIniFile ini(path);
    WriteAll(ini, content);
    text = ini.GetText();
  }
  utf8HostPath = gMachine->Host("C:\\bench\\load_" + std::to_string(keys) + ".utf8.ini");
  std::ofstream(utf8HostPath, std::ios::binary) << text;
  return path;
}

void BM_LoadSafeIni(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  std::string utf8;
  const std::string path = PrepareFiles(keys, utf8);
  for (auto _ : state) {
    TSafeIniFile ini(path);
    benchmark::DoNotOptimize(ini.ReadString("Section_50", "Key_1", ""));
  }
  state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_LoadSafeIni)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LoadSimpleIni(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  std::string utf8;
  PrepareFiles(keys, utf8);
  for (auto _ : state) {
    CSimpleIniA ini;
    ini.SetUnicode(true);
    if (ini.LoadFile(utf8.c_str()) < 0) state.SkipWithError("SimpleIni failed to load");
    benchmark::DoNotOptimize(ini.GetValue("Section_50", "Key_1", ""));
  }
  state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_LoadSimpleIni)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  sim::ScopedMachine machine{sim::MachineBuilder()};
  gMachine = &machine;
  plat::CreateDirectoryW("C:\\bench");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
