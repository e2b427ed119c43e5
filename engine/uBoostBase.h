// The boost module contract: every optimisation is a TBoostBase subclass that
// applies its change (Boost), undoes it later (Restore), keeps its switch in the
// settings file and its restore records in the state file "Temp.ini".
//
// A boost and its restore normally run in two different runs of the program, so
// a module keeps nothing in memory between them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class TIniFile;

// Item categories of progress notifications.
enum class TProgressItemKind : uint8_t {
  Process = 0,
  SystemService = 1,
  ThirdService = 2,
  Memory = 3,
  Clipboard = 4,  // also the game desktop
  PowerScheme = 5,
  WindowsUpdate = 7,
  ProcessPriority = 8,
};

// Progress notification: (Sender, ItemKind, Caption, Success).
using TProgressEvent = std::function<void(void*, TProgressItemKind, const std::string&, bool)>;

// Lets the calling thread handle its pending window messages during a long step; a
// quit request is left in the queue for the thread's own loop.
void ProcessMessages();

// Raised when an operation is called on a module that does not supply it.
class EAbstractError : public std::logic_error {
 public:
  EAbstractError() : std::logic_error("Abstract Error") {}
};

class TBoostBase {
 public:
  // Path: the settings folder (a trailing delimiter is added). SettingsFile is
  // accepted and not kept: the settings file is reached through
  // TGAConfig::OpenSettingsIni. A non-empty StateFile gives the module its restore
  // file, a profile-function INI file on it.
  TBoostBase(const std::string& Path, const std::string& SettingsFile,
             const std::string& StateFile);
  virtual ~TBoostBase();
  TBoostBase(const TBoostBase&) = delete;
  TBoostBase& operator=(const TBoostBase&) = delete;

  // The six operations, in slot order. Those without a base behaviour raise
  // EAbstractError unless the module supplies them.
  virtual bool IsEnabled();
  virtual void SetEnabled(bool Value);
  virtual bool Boost();  // true
  virtual void Restore();
  virtual void Stop();  // sets fStop
  virtual bool HasRestoreData();

  // Figures the orchestrator and its summary read of some modules; a module that keeps
  // the figure answers it, every other module answers nothing.
  struct TOverClockGain {
    double GPUPercent = 0;
    double MemPercent = 0;
  };
  virtual std::optional<int32_t> ActionCount() const { return std::nullopt; }
  virtual std::optional<int32_t> DoneCount() const { return std::nullopt; }
  virtual std::optional<int32_t> CandidateCount() const { return std::nullopt; }
  virtual std::optional<int32_t> ProcessCount() const { return std::nullopt; }
  virtual std::optional<TOverClockGain> OverClockGain() const { return std::nullopt; }
  // The power plan's name and description, given by the orchestrator to the module
  // that creates the plan (the language object's texts). Ignored by the others.
  virtual void SetPowerSchText(const std::string& Name, const std::string& Description);

  void ResetStop() { fStop = false; }
  bool Stopped() const { return fStop; }
  void SetProgressHook(TProgressEvent Code, void* Sender);

  // True for the security programs that the memory and priority modules never touch.
  static bool IsExcludedProcess(const std::string& ExeName);
  // Scans List from its last entry to its first for Text, ignoring letter case.
  static bool ListContainsText(const std::string& Text, const std::vector<std::string>& List);

 protected:
  // Whether Section of the restore file holds at least one key.
  bool HasSectionKeys(const std::string& Section);
  // The enable-flag pattern: a Boolean of section "Boost" of the settings file,
  // read or written through a fresh settings-file object when the settings record
  // exists (read gives Default otherwise).
  bool ReadBoostFlag(const std::string& Key, bool Default);
  void WriteBoostFlag(const std::string& Key, bool Value);
  // Sends a progress notification when a hook is set.
  void Notify(TProgressItemKind Kind, const std::string& Caption, bool Success);

  std::string fPath;
  std::atomic<bool> fStop{false};
  std::unique_ptr<TIniFile> fTempIni;
  TProgressEvent OnProgress;
  void* fProgressSender = nullptr;
};
