// Fake boost modules and helpers for the orchestrator tests.
#pragma once

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/uBoostModules.h"
#include "config/IniFiles.h"
#include "engine/uBoost.h"
#include "engine/uBoostBase.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/settings/SettingsMachine.h"
#include "tests/support/LogText.h"

namespace enginetest {

using namespace settingstest;

inline const std::string kTemp = kData + "Temp.ini";
inline const std::string kBoostCopy = kLogs + "Boost.txt";

// What the fake modules were asked to do, in order (any thread).
class Calls {
 public:
  void Add(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
  }
  std::vector<std::string> Get() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

struct Script {
  bool enabled = true;
  bool boostResult = true;
  uint32_t boostMs = 0;  // time the boost takes
  bool throwOnBoost = false;
  bool throwOnRestore = false;
  int32_t actions = 0;  // counted modules: action and done counts
  int32_t done = 0;
  std::optional<int32_t> processes{};   // the process count, for the summary
  std::optional<int32_t> candidates{};  // the service candidates, for the summary
  std::optional<TBoostBase::TOverClockGain> gain{};
};

// A module that records its calls and keeps one restore section named after it.
class FakeModule : public TBoostBase {
 public:
  FakeModule(std::string name, Script script, Calls& calls, const std::string& path,
             const std::string& settings, const std::string& state)
      : TBoostBase(path, settings, state), name_(std::move(name)), script_(script), calls_(calls) {
    calls_.Add(name_ + ".Create");
  }

  bool IsEnabled() override { return script_.enabled; }
  void SetEnabled(bool) override {}
  bool Boost() override {
    calls_.Add(name_ + ".Boost");
    if (script_.boostMs) plat::Sleep(script_.boostMs);
    if (script_.throwOnBoost) throw std::runtime_error(name_ + " failed");
    if (fStop || !script_.enabled) return false;
    fTempIni->WriteString(name_, "Done", "1");
    Notify(TProgressItemKind::Memory, name_, true);
    return script_.boostResult;
  }
  void Restore() override {
    calls_.Add(name_ + ".Restore");
    if (script_.throwOnRestore) throw std::runtime_error(name_ + " failed");
    if (HasRestoreData()) fTempIni->EraseSection(name_);
  }
  bool HasRestoreData() override { return HasSectionKeys(name_); }
  void Stop() override {
    calls_.Add(name_ + ".Stop");
    TBoostBase::Stop();
  }
  std::optional<int32_t> ActionCount() const override { return script_.actions; }
  std::optional<int32_t> DoneCount() const override { return script_.done; }
  std::optional<int32_t> ProcessCount() const override { return script_.processes; }
  std::optional<int32_t> CandidateCount() const override { return script_.candidates; }
  std::optional<TOverClockGain> OverClockGain() const override { return script_.gain; }
  void SetPowerSchText(const std::string& name, const std::string& description) override {
    calls_.Add(name_ + ".SetPowerSchText " + name + " / " + description);
  }

 private:
  std::string name_;
  Script script_;
  Calls& calls_;
};

// The name a fake module goes by in the calls: the pass's name where it has one.
inline std::string FakeName(const TBoostModuleRow& row) {
  if (row.PassName.empty()) return row.Slot;
  return row.PassName == "Power Schemes" ? "Power" : row.PassName;
}

// The program's module table with a fake module in the slots named (all when none
// are), scripted by fake name; the other slots are empty.
inline TBoostModules FakeModules(Calls& calls, std::map<std::string, Script> scripts = {},
                                 const std::vector<std::string>& only = {}) {
  TBoostModules m = DefaultBoostModules();
  for (TBoostModuleRow& row : m.Table) {
    const std::string name = FakeName(row);
    if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end()) {
      row.Make = nullptr;
      continue;
    }
    const Script script = scripts.count(name) ? scripts[name] : Script{};
    row.Make = [name, script, &calls](const std::string& p, const std::string& s,
                                      const std::string& t) {
      return std::make_unique<FakeModule>(name, script, calls, p, s, t);
    };
  }
  return m;
}

// A memory sampler with fixed figures.
class FakeSampler : public TMemorySampler {
 public:
  FakeSampler(int64_t freed, uint64_t total) : freed_(freed), total_(total) {}
  void BeginMeasure() override {}
  int64_t FreedMemory() override { return freed_; }
  uint64_t TotalPhysical() const override { return total_; }

 private:
  int64_t freed_;
  uint64_t total_;
};

// The finish callback's arguments, and a way to wait for it.
class Finish {
 public:
  Finish() : event_(plat::CreateEventW(true, false, "")) {}
  ~Finish() { plat::CloseHandle(event_); }
  TBoost::TFinishEvent Callback() {
    return [this](void*, bool ok) {
      succeeded_ = ok;
      ++count_;
      plat::SetEvent(event_);
    };
  }
  bool Wait(uint32_t ms = 600000) { return plat::WaitForSingleObject(event_, ms) == 0; }
  bool succeeded() const { return succeeded_; }
  int count() const { return count_; }

 private:
  plat::Handle event_;
  std::atomic<bool> succeeded_{false};
  std::atomic<int> count_{0};
};

using test::LogMessages;

inline std::vector<std::string> RunLogLines(const sim::ScopedMachine& m) {
  return LogMessages(Text(m, kLogs + "VlxMiniAppRun.log"));
}

}  // namespace enginetest
