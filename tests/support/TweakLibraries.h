// The exports of the power plan and overclock libraries as the simulated machine plays
// them: every function the modules bind, with answers a test or benchmark may change.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/sim/SimMachine.h"

namespace test {

using Exports = std::map<std::string, sim::LibraryExport>;

inline const std::string kUserPlan = "{381B4222-F694-41F0-9685-FF5BB260DF2E}";

// PowerMgr.dll; current answers GetCurrentPwrCFG (by default: success, the user's plan).
inline Exports PowerMgr(sim::LibraryExport current = {"text-buffers", {1}, kUserPlan}) {
  return {{"GetCurrentPwrCFG", current},
          {"DeletePwrCFGByName", {"text"}},
          {"SetSleepTimeValue", {"uint"}},
          {"SetDisplayTimeValue", {"uint"}},
          {"GetCurrentDisplayBrightness", {"uint-out-pair", {1, 70, 40}}},
          {"SetGamePwrCFG", {"texts3-uint2"}},
          {"SetPwrCFG", {"text"}}};
}

// OverDrive.dll; overClock answers OverClock (result, applied GPU and memory amounts).
inline Exports OverDrive(std::vector<int64_t> overClock = {1, 50, 20}) {
  return {{"OverClock", {"int-out-pair-int", std::move(overClock)}},
          {"Reset", {"none", {1}}},
          {"CanOverClock", {"none", {1}}},
          {"GetGPUInfo", {"block", {1, 156, 100000, 160, 25000}}},
          {"GetRange", {"none"}}};
}

}  // namespace test
