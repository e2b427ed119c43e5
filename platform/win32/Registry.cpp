// Win32 backend: the registry.
#include <windows.h>

#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace plat {

using win32::FromHkey;
using win32::Narrow;
using win32::ToHkey;
using win32::Widen;

int32_t RegOpenKeyExW(RegKey parent, const std::string& subKey, uint32_t access, RegKey* result) {
  const std::wstring wide = Widen(subKey);
  HKEY key = nullptr;
  const LONG status = ::RegOpenKeyExW(ToHkey(parent), wide.c_str(), 0, access, &key);
  if (result) *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
  return status;
}

int32_t RegCreateKeyExW(RegKey parent, const std::string& subKey, uint32_t access, RegKey* result,
                        bool* created) {
  const std::wstring wide = Widen(subKey);
  HKEY key = nullptr;
  DWORD disposition = 0;
  const LONG status =
      ::RegCreateKeyExW(ToHkey(parent), wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                        nullptr, &key, &disposition);
  if (result) *result = status == ERROR_SUCCESS ? FromHkey(key) : 0;
  if (created) *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  return status;
}

int32_t RegCloseKey(RegKey key) {
  return ::RegCloseKey(ToHkey(key));
}

int32_t RegFlushKey(RegKey key) {
  return ::RegFlushKey(ToHkey(key));
}

int32_t RegQueryValueExW(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                         uint32_t* size) {
  const std::wstring wide = Widen(name);
  DWORD valueType = REG_NONE;
  DWORD valueSize = size ? *size : 0;
  const LONG status = ::RegQueryValueExW(ToHkey(key), wide.c_str(), nullptr, &valueType, data,
                                         size ? &valueSize : nullptr);
  if (type) *type = valueType;
  if (size) *size = valueSize;
  return status;
}

int32_t RegSetValueExW(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                       uint32_t size) {
  const std::wstring wide = Widen(name);
  return ::RegSetValueExW(ToHkey(key), wide.c_str(), 0, type, data, size);
}

int32_t RegDeleteValueW(RegKey key, const std::string& name) {
  const std::wstring wide = Widen(name);
  return ::RegDeleteValueW(ToHkey(key), wide.c_str());
}

int32_t RegDeleteKeyExW(RegKey parent, const std::string& subKey, uint32_t view) {
  const std::wstring wide = Widen(subKey);
  return ::RegDeleteKeyExW(ToHkey(parent), wide.c_str(), view, 0);
}

int32_t RegEnumKeyExW(RegKey key, uint32_t index, std::string* name) {
  wchar_t buffer[256];  // key names hold at most 255 characters
  DWORD length = 256;
  const LONG status =
      ::RegEnumKeyExW(ToHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (name) *name = status == ERROR_SUCCESS ? Narrow(buffer, length) : std::string();
  return status;
}

int32_t RegEnumValueW(RegKey key, uint32_t index, std::string* name, uint32_t* type) {
  std::vector<wchar_t> buffer(16384);  // value names hold at most 16,383 characters
  DWORD length = static_cast<DWORD>(buffer.size());
  DWORD valueType = REG_NONE;
  const LONG status = ::RegEnumValueW(ToHkey(key), index, buffer.data(), &length, nullptr,
                                      &valueType, nullptr, nullptr);
  if (name) *name = status == ERROR_SUCCESS ? Narrow(buffer.data(), length) : std::string();
  if (type) *type = valueType;
  return status;
}

}  // namespace plat
