// The Windows Update Agent's automatic-updates object through COM: COM for the calling
// thread, the class AutomaticUpdates created in-process for IAutomaticUpdates, and the
// IAutomaticUpdatesSettings it hands out. Every call answers its HRESULT; an object
// releases its interface when it goes (before the thread's CoUninitialize).
#pragma once

#include <cstdint>

namespace plat {

using HResult = int32_t;
inline constexpr HResult kS_OK = 0;
inline constexpr HResult kS_FALSE = 1;
inline constexpr HResult kE_NOTIMPL = static_cast<HResult>(0x80004001u);
inline constexpr HResult kE_FAIL = static_cast<HResult>(0x80004005u);
inline constexpr HResult kRPC_E_CHANGED_MODE = static_cast<HResult>(0x80010106u);
inline constexpr HResult kREGDB_E_CLASSNOTREG = static_cast<HResult>(0x80040154u);
inline constexpr HResult kCO_E_NOTINITIALIZED = static_cast<HResult>(0x800401F0u);
inline constexpr uint32_t kCOINIT_MULTITHREADED = 0;
inline constexpr bool Succeeded(HResult hr) {
  return hr >= 0;
}

// CoInitialize (single-threaded apartment) and CoInitializeEx for the calling thread;
// S_FALSE when COM was initialised already, RPC_E_CHANGED_MODE for another apartment.
HResult CoInitialize();
HResult CoInitializeEx(uint32_t flags);
void CoUninitialize();

// IAutomaticUpdatesSettings.
class AutomaticUpdatesSettings {
 public:
  AutomaticUpdatesSettings() = default;
  ~AutomaticUpdatesSettings();
  AutomaticUpdatesSettings(AutomaticUpdatesSettings&& other) noexcept : object_(other.object_) {
    other.object_ = nullptr;
  }
  AutomaticUpdatesSettings& operator=(AutomaticUpdatesSettings&& other) noexcept;
  AutomaticUpdatesSettings(const AutomaticUpdatesSettings&) = delete;
  AutomaticUpdatesSettings& operator=(const AutomaticUpdatesSettings&) = delete;

  HResult NotificationLevel(int32_t& level);  // get_NotificationLevel
  HResult SetNotificationLevel(int32_t level);
  HResult ReadOnly(bool& readOnly);
  HResult Required(bool& required);
  HResult Save();

 private:
  friend class AutomaticUpdates;
  void* object_ = nullptr;
};

// IAutomaticUpdates of the class AutomaticUpdates.
class AutomaticUpdates {
 public:
  AutomaticUpdates() = default;
  ~AutomaticUpdates();
  AutomaticUpdates(const AutomaticUpdates&) = delete;
  AutomaticUpdates& operator=(const AutomaticUpdates&) = delete;

  // CoCreateInstance(CLSID_AutomaticUpdates, CLSCTX_INPROC_SERVER, IID_IAutomaticUpdates).
  HResult Create();
  HResult ServiceEnabled(bool& enabled);
  HResult Settings(AutomaticUpdatesSettings& settings);

 private:
  void* object_ = nullptr;
};

}  // namespace plat
