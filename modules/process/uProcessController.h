// The process module as the orchestrator creates it.
#pragma once

#include "modules/process/uProcessBoost.h"

class TProcessController : public TProcessBoost {
 public:
  using TProcessBoost::TProcessBoost;
};
