// The priority module as the orchestrator creates it.
#pragma once

#include "modules/process/uPsPriority.h"

class TPriorityController : public TPsPriorityBoost {
 public:
  using TPsPriorityBoost::TPsPriorityBoost;
};
