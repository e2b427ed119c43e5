// The Windows Update module as the orchestrator creates it.
#pragma once

#include "modules/tweaks/uUpdateBoost.h"

class TUpdateController : public TUpdateBoost {
 public:
  using TUpdateBoost::TUpdateBoost;
};
