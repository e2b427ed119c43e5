// Win32 backend: COM per thread and the Windows Update Agent's automatic-updates object.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <objbase.h>
#include <wuapi.h>

#include <utility>

#include "platform/UpdateAgent.h"

namespace plat {
namespace {

// {BFE18E9C-6D87-4450-B37C-E02F0B373803}
constexpr CLSID kClsidAutomaticUpdates = {
    0xBFE18E9C, 0x6D87, 0x4450, {0xB3, 0x7C, 0xE0, 0x2F, 0x0B, 0x37, 0x38, 0x03}};
// {673425BF-C082-4C7C-BDFD-569464B8E0CE}
constexpr IID kIidAutomaticUpdates = {
    0x673425BF, 0xC082, 0x4C7C, {0xBD, 0xFD, 0x56, 0x94, 0x64, 0xB8, 0xE0, 0xCE}};

IAutomaticUpdates* AsUpdates(void* object) {
  return static_cast<IAutomaticUpdates*>(object);
}
IAutomaticUpdatesSettings* AsSettings(void* object) {
  return static_cast<IAutomaticUpdatesSettings*>(object);
}

}  // namespace

HResult CoInitialize() {
  return ::CoInitialize(nullptr);
}

HResult CoInitializeEx(uint32_t flags) {
  return ::CoInitializeEx(nullptr, flags);
}

void CoUninitialize() {
  ::CoUninitialize();
}

AutomaticUpdatesSettings::~AutomaticUpdatesSettings() {
  if (object_) AsSettings(object_)->Release();
}

AutomaticUpdatesSettings& AutomaticUpdatesSettings::operator=(
    AutomaticUpdatesSettings&& other) noexcept {
  if (this != &other) {
    if (object_) AsSettings(object_)->Release();
    object_ = other.object_;
    other.object_ = nullptr;
  }
  return *this;
}

HResult AutomaticUpdatesSettings::NotificationLevel(int32_t& level) {
  if (!object_) return kE_FAIL;
  AutomaticUpdatesNotificationLevel value = aunlNotConfigured;
  const HRESULT hr = AsSettings(object_)->get_NotificationLevel(&value);
  level = static_cast<int32_t>(value);
  return hr;
}

HResult AutomaticUpdatesSettings::SetNotificationLevel(int32_t level) {
  if (!object_) return kE_FAIL;
  return AsSettings(object_)->put_NotificationLevel(
      static_cast<AutomaticUpdatesNotificationLevel>(level));
}

HResult AutomaticUpdatesSettings::ReadOnly(bool& readOnly) {
  if (!object_) return kE_FAIL;
  VARIANT_BOOL value = VARIANT_FALSE;
  const HRESULT hr = AsSettings(object_)->get_ReadOnly(&value);
  readOnly = value != VARIANT_FALSE;
  return hr;
}

HResult AutomaticUpdatesSettings::Required(bool& required) {
  if (!object_) return kE_FAIL;
  VARIANT_BOOL value = VARIANT_FALSE;
  const HRESULT hr = AsSettings(object_)->get_Required(&value);
  required = value != VARIANT_FALSE;
  return hr;
}

HResult AutomaticUpdatesSettings::Save() {
  if (!object_) return kE_FAIL;
  return AsSettings(object_)->Save();
}

AutomaticUpdates::~AutomaticUpdates() {
  if (object_) AsUpdates(object_)->Release();
}

HResult AutomaticUpdates::Create() {
  if (object_) return kS_OK;
  return ::CoCreateInstance(kClsidAutomaticUpdates, nullptr, CLSCTX_INPROC_SERVER,
                            kIidAutomaticUpdates, &object_);
}

HResult AutomaticUpdates::ServiceEnabled(bool& enabled) {
  if (!object_) return kE_FAIL;
  VARIANT_BOOL value = VARIANT_FALSE;
  const HRESULT hr = AsUpdates(object_)->get_ServiceEnabled(&value);
  enabled = value != VARIANT_FALSE;
  return hr;
}

HResult AutomaticUpdates::Settings(AutomaticUpdatesSettings& settings) {
  if (!object_) return kE_FAIL;
  IAutomaticUpdatesSettings* result = nullptr;
  const HRESULT hr = AsUpdates(object_)->get_Settings(&result);
  if (SUCCEEDED(hr) && result) {
    AutomaticUpdatesSettings fresh;
    fresh.object_ = result;
    settings = std::move(fresh);
  } else if (result) {
    result->Release();
  }
  return hr;
}

}  // namespace plat
