// The shape of the module table: one row per boost module, in the order the
// orchestrator builds them, stating everything the orchestrator does with the module.
// The rows themselves (which module classes this program contains) are written by the
// program (app/uBoostModules.cpp); the orchestrator walks them and knows no module.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/uBoostBase.h"

// Creates one module: (Path, SettingsFile, StateFile).
using TModuleFactory = std::function<std::unique_ptr<TBoostBase>(
    const std::string&, const std::string&, const std::string&)>;

// How a module's boost counts toward the summary's item figures.
enum class TItemCount : uint8_t {
  None,           // not counted
  BoostResult,    // optimised items + 1 when Boost returns true
  DoneCount,      // total and optimised items + its done count, whatever Boost returns
  ActionAndDone,  // total items + its action count, optimised items + its done count
};

// What the summary reads of a module besides its item count.
enum class TSummaryUse : uint8_t {
  None,
  ReleasedMemory,  // its HasRestoreData decides whether "Released" is written
  ExtraItem,       // one more optimised item when IsEnabled is true
};

// What else the orchestrator does with a module.
enum class TModuleHook : uint8_t {
  None,
  PowerSchText,     // receives the power plan's name and description (SetPowerSchText)
  GameDesktopExit,  // its Restore is what ExitGameDesktop runs
};

struct TBoostModuleRow {
  std::string Slot;              // the orchestrator's field, as the run log names it
  TModuleFactory Make;           // empty: the module does not exist in this build
  bool LogCreate = false;        // run log "TBoost.Create <Slot>True" before building it
  int PassOrder = 0;             // position in the boost and the restore pass; 0: no pass
  std::string PassName;          // run log "Boost <PassName>" / "Restore <PassName>"
  int ProgressOrder = 0;         // order in progress preparation; 0: no progress hook
  bool ProgressCounted = false;  // its IsEnabled adds to the enabled module count
  bool Stoppable = false;        // Stop at teardown and ResetStop before every pass
  TItemCount Count = TItemCount::None;
  TSummaryUse Summary = TSummaryUse::None;
  TModuleHook Hook = TModuleHook::None;
};

// In construction order.
using TBoostModuleTable = std::vector<TBoostModuleRow>;

// Used physical memory before and after a boost (for the summary).
class TMemorySampler {
 public:
  virtual ~TMemorySampler() = default;
  // Takes the used physical memory now.
  virtual void BeginMeasure() = 0;
  // Used memory at BeginMeasure minus used memory now, 0 when it did not go down; takes
  // a new sample.
  virtual int64_t FreedMemory() = 0;
  // Total physical memory of the last sample, in bytes.
  virtual uint64_t TotalPhysical() const = 0;
};

// What the program gives the orchestrator: its modules and the services they need.
struct TBoostModules {
  TBoostModuleTable Table;
  // The language object's message lookup (key, default), for the power plan's texts.
  std::function<std::string(const std::string&, const std::string&)> GetMessage;
  // Makes the memory sampler; empty: no sampler (no memory figures in the summary).
  std::function<std::unique_ptr<TMemorySampler>()> MakeMemorySampler;
  // A uniform whole number from 0 to Range - 1, from a generator seeded by the clock;
  // empty: always 0.
  std::function<int32_t(int32_t Range)> Random;
};
