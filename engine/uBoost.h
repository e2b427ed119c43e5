// The orchestrator: a worker thread that runs every boost module's Boost or
// Restore in a fixed order, keeps the state file "Temp.ini" (present = the
// machine is boosted), copies it into the logs after a boost and calls the window
// back when the pass is over. Between passes the thread sleeps until the next
// request.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/uBoostBase.h"
#include "engine/uBoostTable.h"
#include "platform/Types.h"

// What a pass does.
enum TOperation : uint8_t { osBoost = 1, osRestore = 2, osStop = 4 };

class TBoost {
 public:
  // (Sender, Succeeded), called on the worker thread.
  using TFinishEvent = std::function<void(void*, bool)>;
  // Runs a function on the main thread and waits for it.
  using TSynchronize = std::function<void(const std::function<void()>&)>;

  // Builds the modules of the table in its order, then the (sleeping) worker thread. A
  // counted module that does not report its counts is refused (std::logic_error).
  TBoost(const std::string& Path, const std::string& SettingsFile, const std::string& StateFile,
         TFinishEvent OnFinish, void* FinishSender, TBoostModules Modules);
  // Stops the pass, wakes and waits for the thread, releases the modules.
  ~TBoost();
  TBoost(const TBoost&) = delete;
  TBoost& operator=(const TBoost&) = delete;

  // How module progress reaches the main thread (inline when not set).
  void SetSynchronizer(TSynchronize Sync) { fSynchronize = std::move(Sync); }

  void Boost();    // boost request (main thread)
  void Restore();  // restore request (main thread)
  void ExitGameDesktop();
  // Sets every counted module's progress hook and counts the enabled simple modules.
  void PrepareProgress();
  bool IsBoosted() const;

  // Figures of the pass, for the summary and for tests.
  int32_t ProgressCount() const { return fProgressCount; }
  int32_t EnabledModuleCount() const { return fEnabledModuleCount; }
  int32_t TotalItems() const { return fTotalItems; }
  int32_t OptimizedItems() const { return fOptimizedItems; }
  bool Succeeded() const { return fSucceeded; }
  bool Suspended() const { return fSuspended; }
  // The module built for a slot of the table; null when the slot is empty.
  TBoostBase* Module(const std::string& Slot) const;

 private:
  void Execute();
  bool RunPass();  // false when the pass asked the thread to end
  void BoostSequence();
  void RestoreSequence();
  void ClosingSteps();
  void CopyStateFile();
  void WriteSummary();
  void ProgressHook();
  void ProgressStep();
  void Resume();
  void SuspendSelf();
  struct TSlot {
    const TBoostModuleRow* Row;
    std::unique_ptr<TBoostBase> Module;
  };
  // The built modules ordered by a column of the table (rows with 0 left out).
  std::vector<TSlot*> Ordered(int TBoostModuleRow::*Column);
  // Runs a module's Boost or Restore; an error that leaves it is logged with the
  // module's slot and passed on.
  template <typename F>
  auto Guarded(const TSlot& Slot, const char* Operation, F Call);

  std::atomic<bool> fStop{false};
  std::atomic<bool> fExit{false};
  std::atomic<uint8_t> fOperation{osBoost};
  std::string fTempFile;
  std::atomic<bool> fSucceeded{false};
  TFinishEvent fOnFinish;
  void* fFinishSender = nullptr;
  TSynchronize fSynchronize;
  std::atomic<int32_t> fProgressCount{0};
  std::atomic<bool> fBoostCreateFlag{false};
  std::atomic<int32_t> fTotalItems{0};
  std::atomic<int32_t> fOptimizedItems{0};
  std::atomic<int32_t> fEnabledModuleCount{0};

  TBoostModuleTable fTable;
  std::vector<TSlot> fModules;  // in construction order
  std::unique_ptr<TMemorySampler> fMemUsage;
  std::function<int32_t(int32_t)> fRandom;
  std::atomic<bool> fBoostRan{false};  // this pass entered the boost sequence

  // The thread sleeps on fResumeEvent while fSuspended is set.
  std::atomic<bool> fSuspended{true};
  plat::Handle fResumeEvent = 0;
  plat::Handle fThread = 0;
};
