// The monitor boost module: when a game starts, each DDC/CI monitor whose user chose a
// gaming preset in "Monitor.ini" has its picture settings saved there (section
// name + "_Boost") and the preset applied; the restore puts the saved settings back.
// The work is done by GMonitorManager (MonitorDDCBoost, MonitorDDCRestore).
#pragma once

#include "engine/uBoostBase.h"

class TMonitorBoost : public TBoostBase {
 public:
  using TBoostBase::TBoostBase;

  // No switch of its own: each monitor's "GamingModeEnabled" decides.
  bool IsEnabled() override { return true; }
  void SetEnabled(bool) override {}
  bool Boost() override;
  void Restore() override;
  bool HasRestoreData() override;
};
