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

#include "engine/uBoostBase.h"
#include "platform/Types.h"

// What a pass does.
enum TOperation : uint8_t { osBoost = 1, osRestore = 2, osStop = 4 };

// Creates one module: (Path, SettingsFile, StateFile).
using TModuleFactory = std::function<std::unique_ptr<TBoostBase>(
    const std::string&, const std::string&, const std::string&)>;

// The modules the orchestrator builds; an empty factory means the module does not
// exist in this build, and every step that uses it is skipped.
struct TBoostModules {
  TModuleFactory OverClock, Service, Process, RAMClear, Clipboard, Power, AutoUpdate, Priority,
      Monitor, GameMode, GameDesk;
  // Gives the power module the plan's name and description texts.
  std::function<void(TBoostBase&, const std::string&, const std::string&)> SetPowerSchText;
  // The language object's message lookup (key, default) for those texts.
  std::function<std::string(const std::string&, const std::string&)> GetMessage;
};
// The modules of this build (engine/uBoostModules.cpp).
TBoostModules DefaultBoostModules();

class TBoost {
 public:
  // (Sender, Succeeded), called on the worker thread.
  using TFinishEvent = std::function<void(void*, bool)>;
  // Runs a function on the main thread and waits for it.
  using TSynchronize = std::function<void(const std::function<void()>&)>;

  TBoost(const std::string& Path, const std::string& SettingsFile, const std::string& StateFile,
         TFinishEvent OnFinish, void* FinishSender, TBoostModules Modules = DefaultBoostModules());
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

 private:
  void Execute();
  bool RunPass();  // false when the pass asked the thread to end
  void BoostSequence();
  void RestoreSequence();
  void ClosingSteps();
  void CopyStateFile();
  void ProgressHook();
  void ProgressStep();
  void Resume();
  void SuspendSelf();
  template <typename F>
  void ForModules(F f);

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

  std::unique_ptr<TBoostBase> fOverClock, fSvcBoost, fProcBoost, fRAMClear, Clipboard, Power,
      AutoUpdate, Priority, Monitor, GameMode, GameDesk;

  // The thread sleeps on fResumeEvent while fSuspended is set.
  std::atomic<bool> fSuspended{true};
  plat::Handle fResumeEvent = 0;
  plat::Handle fThread = 0;
};
