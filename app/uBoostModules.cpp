// The one list of boost modules. Each row says, for one module: its slot, whether
// its construction is logged, its position in the boost and restore passes, its place
// in progress preparation (and whether its switch counts there), whether it takes part
// in stop and reset, how its boost counts toward the summary, and the hooks it gets.
// Rows are in construction order. A module joins the program with its folder under
// modules/ (or display/) and its factory in its row; a row without a factory is an
// empty slot, skipped by every step.
#include "app/uBoostModules.h"

#include "config/PBoostLanguage.h"
#include "display/uMonitorBoost.h"
#include "modules/process/uPriorityController.h"
#include "modules/process/uProcessController.h"
#include "modules/service/uServiceBoost.h"
#include "modules/tweaks/uClipbrd.h"
#include "modules/tweaks/uGameDesk.h"
#include "modules/tweaks/uGameMode.h"
#include "modules/tweaks/uMemUsage.h"
#include "modules/tweaks/uOverClock.h"
#include "modules/tweaks/uPower.h"
#include "modules/tweaks/uRAMClear.h"
#include "modules/tweaks/uUpdateController.h"
#include "platform/Platform.h"

namespace {

template <typename T>
TModuleFactory Make() {
  return [](const std::string& path, const std::string& settings, const std::string& state) {
    return std::make_unique<T>(path, settings, state);
  };
}

using C = TItemCount;
using S = TSummaryUse;
using H = TModuleHook;

}  // namespace

TBoostModules DefaultBoostModules() {
  TBoostModules m;
  // clang-format off
  m.Table = {
    // slot         module                        create pass pass name       progress counted stop   count            summary            hook
    {"fOverClock", Make<TOverClockBoost>(),       true,  2,   "OverClock",     5,      true,   false, C::None,          S::None,           H::None},
    {"fSvcBoost",  Make<TServiceBoost>(),         true,  3,   "Service",       2,      false,  true,  C::DoneCount,     S::None,           H::None},
    {"fProcBoost", Make<TProcessController>(),    true,  4,   "Process",       1,      false,  true,  C::ActionAndDone, S::None,           H::None},
    {"fRAMClear",  Make<TRAMClear>(),             true,  5,   "RAM",           6,      true,   true,  C::BoostResult,   S::ReleasedMemory, H::None},
    {"Clipboard",  Make<TClipbrd>(),              false, 6,   "Clipboard",     7,      true,   true,  C::BoostResult,   S::None,           H::None},
    {"Power",      Make<TPowerSch>(),             false, 7,   "Power Schemes", 8,      true,   true,  C::BoostResult,   S::None,           H::PowerSchText},
    {"AutoUpdate", Make<TUpdateController>(),    false, 8,   "AutoUpdate",    9,      true,   true,  C::BoostResult,   S::None,           H::None},
    {"Priority",   Make<TPriorityController>(),   false, 0,   "",              0,      false,  true,  C::None,          S::None,           H::None},
    {"Monitor",    Make<TMonitorBoost>(),         false, 1,   "Monitor",       4,      true,   true,  C::None,          S::None,           H::None},
    {"GameMode",   Make<TGameMode>(),             false, 9,   "GameMode",      3,      true,   true,  C::BoostResult,   S::None,           H::None},
    {"GameDesk",   Make<TGameDesk>(),             false, 0,   "",              0,      false,  false, C::None,          S::ExtraItem,      H::GameDesktopExit},
  };
  // clang-format on
  m.GetMessage = [](const std::string& key, const std::string& def) { return GetMsg(key, def); };
  m.MakeMemorySampler = [] { return std::make_unique<TMemUsage>(); };
  m.Random = [](int32_t range) { return plat::Random(range); };
  return m;
}
