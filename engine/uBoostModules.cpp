// The boost modules of this build, in the orchestrator's slots. A module joins
// the program by filling its slot here.
#include "engine/uBoost.h"

TBoostModules DefaultBoostModules() {
  return TBoostModules{};
}
