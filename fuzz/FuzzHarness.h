// The frame every fuzz target shares. A target file includes this header once and
// defines
//   const fuzz::Target fuzz::kTarget = {seeds, data folder, run};
// where run reads one input the way the program reads that kind of outside input.
//
// Seeds: with VLX_FUZZ_SEED_DIR set, the target first writes its built-in seeds into
// that folder, plus the files of its folder of ../shared/monitor-data when there is
// one, so that scripts/fuzz.sh can start from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sim/SimMachine.h"

namespace fuzz {

struct Target {
  std::vector<std::string> seeds;
  const char* dataFolder;  // below ../shared/monitor-data, or nullptr
  void (*run)(const std::string& input);
};
extern const Target kTarget;

// The simulated machine the targets read files on: the default machine, installed
// on first use for the whole run.
inline sim::ScopedMachine& Machine() {
  static sim::ScopedMachine machine{sim::MachineBuilder()};
  return machine;
}

// Splits a selector byte off the front of an input (0 for an empty input).
inline uint8_t TakeByte(std::string& input) {
  if (input.empty()) return 0;
  const auto b = static_cast<uint8_t>(input[0]);
  input.erase(0, 1);
  return b;
}

inline void WriteSeeds() {
  namespace fs = std::filesystem;
  const char* dir = std::getenv("VLX_FUZZ_SEED_DIR");
  if (!dir || !*dir) return;
  fs::create_directories(dir);
  for (size_t i = 0; i < kTarget.seeds.size(); ++i)
    std::ofstream(fs::path(dir) / ("seed-" + std::to_string(i)), std::ios::binary)
        << kTarget.seeds[i];
  if (!kTarget.dataFolder) return;
  const fs::path data =
      fs::path(VLX_SOURCE_DIR) / ".." / "shared" / "monitor-data" / kTarget.dataFolder;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(data, ec))
    if (entry.is_regular_file() && entry.path().extension() != ".tsv")
      fs::copy_file(entry.path(), fs::path(dir) / entry.path().filename(),
                    fs::copy_options::overwrite_existing, ec);
}

}  // namespace fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::WriteSeeds();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::kTarget.run(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
