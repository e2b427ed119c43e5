// How much physical memory the whole machine freed between two samples: the
// orchestrator's memory sampler for the performance summary.
#pragma once

#include <cstdint>

#include "engine/uBoostTable.h"

class TMemUsage : public TMemorySampler {
 public:
  // Used physical memory now (total minus available), from a fresh snapshot.
  uint64_t UsedMemory();
  // Keeps the used memory now as the starting value.
  void BeginMeasure() override;
  // Starting value minus the used memory now when that is smaller, else 0.
  int64_t FreedMemory() override;
  uint64_t TotalPhysical() const override { return fTotalPhysical; }

 private:
  uint64_t fStartUsed = 0;
  uint64_t fTotalPhysical = 0;  // of the last sample
};
