// One snapshot of the machine's memory figures (sizes in bytes).
#pragma once

#include <cstdint>

class TMemory {
 public:
  // Takes no figures yet: every field reads 0 until Refresh.
  TMemory() = default;
  // Fills every field from GetSystemInfo and GlobalMemoryStatusEx; when the latter is
  // missing (it is bound by name) the memory figures stay 0.
  void Refresh();

  uint32_t HighestAppAddress = 0;
  uint64_t TotalVirtual = 0;
  uint64_t AvailPageFile = 0;
  uint64_t AvailVirtual = 0;
  uint64_t AvailPhysical = 0;
  uint32_t AllocationGranularity = 0;
  uint32_t LowestAppAddress = 0;
  uint32_t MemoryLoad = 0;  // percentage of physical memory in use
  uint64_t TotalPhysical = 0;
  uint64_t TotalPageFile = 0;
  uint32_t PageSize = 0;
};
