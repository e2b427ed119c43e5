#include "modules/tweaks/uMemUsage.h"

#include "modules/tweaks/MemoryEx.h"

uint64_t TMemUsage::UsedMemory() {
  TMemory memory;
  memory.Refresh();
  fTotalPhysical = memory.TotalPhysical;
  // Figures read apart can disagree for a moment: never below zero.
  return memory.TotalPhysical > memory.AvailPhysical ? memory.TotalPhysical - memory.AvailPhysical
                                                     : 0;
}

void TMemUsage::BeginMeasure() {
  fStartUsed = UsedMemory();
}

int64_t TMemUsage::FreedMemory() {
  const uint64_t now = UsedMemory();
  return now < fStartUsed ? static_cast<int64_t>(fStartUsed - now) : 0;
}
