// The power module: switches Windows to the game power plan for the time of a game and
// back to the user's plan. The work is done by the product's "PowerMgr.dll", bound at
// run time from the program folder. Switch: key "Power" of section "Boost", default
// true. Records: [Power] "BasePwrSchID" (the user's plan) in the settings file and
// [Power] "Custom" in the restore file.
#pragma once

#include <optional>
#include <string>

#include "engine/uBoostBase.h"

class TPowerSch : public TBoostBase {
 public:
  using TBoostBase::TBoostBase;

  bool IsEnabled() override;
  void SetEnabled(bool Value) override;
  // False without a change or record when the library or one of its exports is
  // missing or the active plan cannot be read. When the game plan is already active
  // the stored user's plan is kept.
  bool Boost() override;
  void Restore() override;
  bool HasRestoreData() override;
  // Empty texts fall back to the default name and description.
  void SetPowerSchText(const std::string& Name, const std::string& Description) override;

  static constexpr const char* kSection = "Power";
  static constexpr const char* kGamePlanId = "{58231417-2B7B-4575-8231-96CB9CF58B36}";
  static constexpr const char* kDefaultName = "Velmoran Power Plan";
  static constexpr const char* kDefaultDesc =
      "Activate it when you switch to Gaming Mode for boosting.";

 private:
  std::string PowerSchName;
  std::string PowerSchDesc;
};
