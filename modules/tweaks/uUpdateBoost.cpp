#include "modules/tweaks/uUpdateBoost.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>

#include "config/IniFiles.h"
#include "diag/uAppLog.h"
#include "diag/uSysInfo.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/UpdateAgent.h"

namespace {

// A failing result of a call of the automation object, with the system's text for it.
class EOleSysError : public std::runtime_error {
 public:
  explicit EOleSysError(plat::HResult hr) : std::runtime_error(Text(hr)) {}

 private:
  static std::string Text(plat::HResult hr) {
    const std::string text = plat::SysErrorMessage(static_cast<uint32_t>(hr));
    if (!text.empty()) return text;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "OLE error %08X", static_cast<unsigned>(hr));
    return buffer;
  }
};

void Check(plat::HResult hr) {
  if (!plat::Succeeded(hr)) throw EOleSysError(hr);
}

// COM for the calling thread, undone at the end only where it was done.
class TComScope {
 public:
  explicit TComScope(plat::HResult hr) : fInitialised(plat::Succeeded(hr)) {}
  ~TComScope() {
    if (fInitialised) plat::CoUninitialize();
  }
  TComScope(const TComScope&) = delete;
  TComScope& operator=(const TComScope&) = delete;

 private:
  bool fInitialised;
};

// What one change shares with its thread: the level asked for and the result. Each
// change has its own, so a thread that ends late writes only into its own.
struct TUpdateCall {
  explicit TUpdateCall(int32_t level) : Level(level) {}
  const int32_t Level;
  std::atomic<bool> Saved{false};
};

// The full-width colon of the configuration line.
constexpr const char* kCheckLine = "check windows configure. \xEF\xBC\x9A ";

}  // namespace

bool TUpdateBoost::IsEnabled() {
  const bool flag = ReadBoostFlag("CloseWindowsUpdate", true);
  return flag && GetOSName() != "Windows 10";
}

void TUpdateBoost::SetEnabled(bool Value) {
  WriteBoostFlag("CloseWindowsUpdate", Value);
}

std::optional<int32_t> TUpdateBoost::ReadCurrentConfigure() {
  const TComScope com(plat::CoInitialize());
  try {
    plat::AutomaticUpdates updates;
    Check(updates.Create());
    bool enabled = false;
    Check(updates.ServiceEnabled(enabled));
    if (!enabled) return 0;
    plat::AutomaticUpdatesSettings settings;
    Check(updates.Settings(settings));
    int32_t level = 0;
    Check(settings.NotificationLevel(level));
    return level;
  } catch (const std::exception& e) {
    LogError(std::string("au err:") + e.what());
    return std::nullopt;
  }
}

bool TUpdateBoost::SetUpdateState(int32_t Level) {
  const TComScope com(plat::CoInitializeEx(plat::kCOINIT_MULTITHREADED));
  try {
    LogInfo("setupdatestate begin.");
    plat::AutomaticUpdates updates;
    Check(updates.Create());
    bool enabled = false;
    Check(updates.ServiceEnabled(enabled));
    LogInfo(std::string(kCheckLine) + (enabled ? "-1" : "0"));
    Check(updates.ServiceEnabled(enabled));
    if (!enabled) {
      LogInfo("ServiceEnabled Exit");
      return false;
    }
    // One settings object from here on: the level is saved where it was set.
    plat::AutomaticUpdatesSettings settings;
    Check(updates.Settings(settings));
    bool flag = false;
    Check(settings.ReadOnly(flag));
    if (flag) {
      LogInfo("ReadOnly Exit");
      return false;
    }
    Check(settings.Required(flag));
    if (flag) {
      LogInfo("Required Exit");
      return false;
    }
    LogInfo("set new configure.");
    Check(settings.SetNotificationLevel(Level == 0 ? 4 : Level));
    LogInfo("save new configure.");
    Check(settings.Save());
    LogInfo("setupdatestate end.");
    return true;
  } catch (const std::exception& e) {
    LogError(std::string("TUpdateBoost.SetUpdateState : ") + e.what());
    return false;
  }
}

std::optional<bool> TUpdateBoost::SetUpdateStateWithin(int32_t Level) {
  const auto call = std::make_shared<TUpdateCall>(Level);
  const plat::Handle thread =
      plat::CreateThread([call] { call->Saved = SetUpdateState(call->Level); });
  if (!thread) {
    LogError("TUpdateBoost : cannot start a thread, system error " +
             std::to_string(plat::GetLastError()));
    return false;
  }
  const bool ended = plat::WaitForSingleObject(thread, kWaitMs) == plat::kWAIT_OBJECT_0;
  plat::CloseHandle(thread);
  if (!ended) return std::nullopt;
  return call->Saved.load();
}

bool TUpdateBoost::Boost() {
  LogInfo("TUpdateBoost.Boost");
  if (fStop || !fTempIni || !IsEnabled()) return false;
  LogInfo("Read Current Configure.");
  const std::optional<int32_t> previous = ReadCurrentConfigure();
  // Credit only for a level known to be set: a failed read or change, or a change
  // still running when the wait ends, is not reported as done.
  bool done = false;
  if (!previous) {
    LogError("TUpdateBoost.Boost : the notification level cannot be read and is left as it is");
  } else {
    // A record still there from an earlier boost holds the user's own level.
    const bool earlier = HasRestoreData();
    if (!earlier) fTempIni->WriteInteger(kSection, kKey, *previous);
    LogInfo("begin disable windows update.");
    const std::optional<bool> saved = SetUpdateStateWithin(1);
    // A thread that did not end in time may still set the level: the record stays.
    if (!saved) LogInfo("SetUpdateState_boost Time Out");
    if (saved.value_or(true)) {
      LogInfo("save windows update state to file.");
    } else if (!earlier) {
      fTempIni->EraseSection(kSection);
    }
    done = saved.value_or(false);
  }
  LogInfo("notify window.");
  Notify(TProgressItemKind::WindowsUpdate, "Windows Update", done);
  LogInfo("TUpdateBoost.Boost Leave");
  return done;
}

void TUpdateBoost::Restore() {
  if (fStop || !HasRestoreData()) return;
  const int32_t level = fTempIni->ReadInteger(kSection, kKey, 4);
  const std::optional<bool> saved = SetUpdateStateWithin(level);
  if (!saved) LogInfo("SetUpdateState_Restore Time Out");
  fTempIni->DeleteKeys(kSection);
  Notify(TProgressItemKind::WindowsUpdate, "Windows Update", saved.value_or(false));
}

bool TUpdateBoost::HasRestoreData() {
  return HasSectionKeys(kSection);
}
