// The Game Mode module: switches the current user's Windows Game Mode on when the
// setting exists and is off, and off again on restore. Switch: key "GameMode" of
// section "Boost", default true. Setting: HKCU "Software\Microsoft\GameBar", value
// "AutoGameModeEnabled" (a value that is not a number counts as absent). Record:
// section "GameMode", key "GameMode" = 1, written before the value changes.
#pragma once

#include "engine/uBoostBase.h"

class TGameMode : public TBoostBase {
 public:
  using TBoostBase::TBoostBase;

  bool IsEnabled() override;
  void SetEnabled(bool Value) override;
  // Always false: the switch is not counted as an optimised item.
  bool Boost() override;
  void Restore() override;
  bool HasRestoreData() override;

  static constexpr const char* kSection = "GameMode";
  static constexpr const char* kKey = "Software\\Microsoft\\GameBar";
  static constexpr const char* kValue = "AutoGameModeEnabled";
};
