#include "modules/tweaks/MemoryEx.h"

#include "platform/Platform.h"

void TMemory::Refresh() {
  const plat::SystemInfo info = plat::GetSystemInfo();
  HighestAppAddress = static_cast<uint32_t>(info.maximumApplicationAddress);
  LowestAppAddress = static_cast<uint32_t>(info.minimumApplicationAddress);
  AllocationGranularity = info.allocationGranularity;
  PageSize = info.pageSize;
  plat::MemoryStatus status;
  plat::GlobalMemoryStatusEx(status);  // zero figures when missing
  TotalVirtual = status.totalVirtual;
  AvailPageFile = status.availPageFile;
  AvailVirtual = status.availVirtual;
  AvailPhysical = status.availPhys;
  MemoryLoad = status.memoryLoad;
  TotalPhysical = status.totalPhys;
  TotalPageFile = status.totalPageFile;
}
