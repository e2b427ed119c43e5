// The memory module: trims the working set of every running process (but the
// security programs of TBoostBase::IsExcludedProcess) so that Windows pages out
// what they do not use. Switch: key "RAM" of section "Boost", default true.
// Record: section "RAM", key "Clear" = 1; nothing is undone.
#pragma once

#include "engine/uBoostBase.h"

class TRAMClear : public TBoostBase {
 public:
  using TBoostBase::TBoostBase;

  bool IsEnabled() override;
  void SetEnabled(bool Value) override;
  bool Boost() override;
  void Restore() override;
  bool HasRestoreData() override;

  // Trims every process that can be opened for it; the walk is not stopped by Stop.
  static void TrimWorkingSets();

  static constexpr const char* kSection = "RAM";
};
