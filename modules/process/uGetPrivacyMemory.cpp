#include "modules/process/uGetPrivacyMemory.h"

#include <vector>

#include "platform/Platform.h"

namespace {

// The entry count followed by at most 65,534 entries.
constexpr uint32_t kWorkingSetBufferBytes = 262140;
constexpr uint32_t kPageSize = 4096;
constexpr uint64_t kSharedFlag = 0x100;
constexpr uint64_t kPageAddressMask = 0xFFFFF000;
constexpr uint64_t kSystemRangeLow = 0xC0000000;
constexpr uint64_t kSystemRangeHigh = 0xE0000000;

}  // namespace

uint32_t GetPrivacyMemory(uint32_t pid) {
  const plat::Handle process = plat::OpenProcess(plat::kPROCESS_ALL_ACCESS, false, pid);
  if (!process) return 0;
  std::vector<uint64_t> entries;
  uint32_t result = 0;
  if (plat::QueryWorkingSet(process, kWorkingSetBufferBytes, entries)) {
    uint32_t shared = 0;
    for (uint64_t entry : entries) {
      const uint64_t address = entry & kPageAddressMask;
      if ((entry & kSharedFlag) && !(address >= kSystemRangeLow && address <= kSystemRangeHigh))
        ++shared;
    }
    result = (static_cast<uint32_t>(entries.size()) - shared) * kPageSize;
  }
  plat::CloseHandle(process);
  return result;
}
