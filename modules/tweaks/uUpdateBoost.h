// The Windows Update module: sets the automatic-updates notification level to 1
// (disabled) for the time of a game and puts the user's level back on restore, through
// the Windows Update Agent's automation object. Each change runs on a thread of its
// own, waited for at most one second. Switch: key "CloseWindowsUpdate" of section
// "Boost", default true; off on Windows 10. Record: [WindowsUpdate] "PreviousStaus" in
// the restore file, written before the change.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/uBoostBase.h"

class TUpdateBoost : public TBoostBase {
 public:
  using TBoostBase::TBoostBase;

  bool IsEnabled() override;
  void SetEnabled(bool Value) override;
  // True when enabled and not stopped, whether or not the level changed. The previous
  // level is recorded before the change and kept when the change succeeded or did
  // not finish in time (a late thread may still set it); a level that cannot be read
  // is left alone.
  bool Boost() override;
  void Restore() override;
  bool HasRestoreData() override;

  static constexpr const char* kSection = "WindowsUpdate";
  static constexpr const char* kKey = "PreviousStaus";
  static constexpr uint32_t kWaitMs = 1000;

 protected:
  // The current level; 0 when the update service is off; nothing when the level
  // cannot be read.
  static std::optional<int32_t> ReadCurrentConfigure();
  // Sets the level (0 means 4); true only when it was saved.
  static bool SetUpdateState(int32_t Level);
  // SetUpdateState on a thread of its own, waited for at most kWaitMs: its result,
  // or nothing when it did not end in time (what it does later is not looked at).
  static std::optional<bool> SetUpdateStateWithin(int32_t Level);
};
