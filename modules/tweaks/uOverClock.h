// The GPU overclock module: raises the core and memory clocks through "OverDrive.dll"
// and takes the raise back on restore. Switch: [Boost] "OCLevel" (0 off, 1 to 3 on).
// Record: [OverClock] "OverClockGPU" and "OverClockMem" in the restore file, the
// amounts the library applied.
#pragma once

#include <optional>

#include "engine/uBoostBase.h"

class TOverClockBoost : public TBoostBase {
 public:
  using TBoostBase::TBoostBase;

  bool IsEnabled() override;
  void SetEnabled(bool Value) override;
  // False without a record when the library is incomplete. Whatever the library
  // applied is recorded, also when it reports a failure; credit only on success.
  bool Boost() override;
  // Keeps the record (and logs the pending reset) when the library is missing.
  void Restore() override;
  std::optional<TOverClockGain> OverClockGain() const override {
    return TOverClockGain{GPUPercent, MemPercent};
  }

  // x rounded half away from zero, as the clock bases are.
  static int32_t RoundClock(double x);

  static constexpr const char* kSection = "OverClock";

 private:
  double GPUPercent = 0;
  double MemPercent = 0;
};
