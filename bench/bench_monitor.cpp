// Monitor data: decoding every EDID block and parsing every capability string of
// ../shared/monitor-data (real monitors), per item.
//
//   bench_monitor --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "display/uMonitorBaseInfo.h"
#include "display/uMonitorCaps.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

std::vector<std::string> ReadAll(const std::string& folder, const std::string& extension) {
  std::vector<std::string> items;
  const std::filesystem::path dir =
      std::filesystem::path(VLX_SOURCE_DIR) / ".." / "shared" / "monitor-data" / folder;
  if (!std::filesystem::is_directory(dir)) return items;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != extension) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    items.push_back(bytes.str());
  }
  return items;
}

void BM_DecodeEdid(benchmark::State& state) {
  const std::vector<std::string> edids = ReadAll("edid", ".bin");
  if (edids.empty()) return state.SkipWithError("no ../shared/monitor-data");
  for (auto _ : state) {
    for (const auto& bytes : edids) {
      TMonitorBaseInfo info;
      benchmark::DoNotOptimize(DecodeEdid(bytes, info, 1252));
    }
  }
  state.counters["items"] = static_cast<double>(edids.size());
  state.counters["per_item"] =
      benchmark::Counter(static_cast<double>(edids.size()) * state.iterations(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DecodeEdid);

void BM_ParseCapabilities(benchmark::State& state) {
  std::vector<std::string> caps;
  for (auto bytes : ReadAll("caps", ".txt")) {
    if (const size_t nul = bytes.find('\0'); nul != std::string::npos) bytes.resize(nul);
    caps.push_back(txt::Utf16ToUtf8(plat::MultiByteToWideChar(1252, bytes)));
  }
  if (caps.empty()) return state.SkipWithError("no ../shared/monitor-data");
  for (auto _ : state)
    for (const auto& text : caps)
      benchmark::DoNotOptimize(ReadCapabilities(text));
  state.counters["items"] = static_cast<double>(caps.size());
  state.counters["per_item"] =
      benchmark::Counter(static_cast<double>(caps.size()) * state.iterations(),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParseCapabilities);

}  // namespace

BENCHMARK_MAIN();
