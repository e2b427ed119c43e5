// The boost modules of this build, in the orchestrator's slots. A module joins
// the program by filling its slot here.
#include "engine/uBoost.h"
#include "modules/process/uPriorityController.h"
#include "modules/process/uProcessController.h"

namespace {

template <typename T>
TModuleFactory Make() {
  return [](const std::string& path, const std::string& settings, const std::string& state) {
    return std::make_unique<T>(path, settings, state);
  };
}

}  // namespace

TBoostModules DefaultBoostModules() {
  TBoostModules m;
  m.Process = Make<TProcessController>();
  m.Priority = Make<TPriorityController>();
  return m;
}
