// Internal helpers of the Win32 backend: UTF-8 <-> UTF-16 at the seam, handle
// conversions and a guard that keeps the thread's last error.
//
// The conversions never change the calling thread's last error, so a wrapper may
// convert its results after the real call and still leave the error of that call.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace plat::win32 {

// Restores the last error captured at construction when it goes out of scope.
class KeepLastError {
 public:
  KeepLastError() : saved_(::GetLastError()) {}
  ~KeepLastError() { ::SetLastError(saved_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  DWORD saved_;
};

inline std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  KeepLastError keep;
  const int size = static_cast<int>(text.size());
  const int chars = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (chars <= 0) return {};
  std::wstring wide(static_cast<size_t>(chars), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), chars);
  return wide;
}

inline std::string Narrow(const wchar_t* text, size_t length) {
  if (length == 0) return {};
  KeepLastError keep;
  const int size = static_cast<int>(length);
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string narrow(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, size, narrow.data(), bytes, nullptr, nullptr);
  return narrow;
}

inline std::string Narrow(const std::wstring& text) {
  return Narrow(text.data(), text.size());
}

// Text of a zero-terminated wide buffer.
inline std::string NarrowZ(const wchar_t* text) {
  return Narrow(text, ::lstrlenW(text));
}

inline HANDLE ToHandle(Handle handle) {
  return reinterpret_cast<HANDLE>(handle);
}
inline Handle FromHandle(HANDLE handle) {
  return reinterpret_cast<Handle>(handle);
}

// Registry keys. The predefined roots are 32-bit values that Windows sign-extends
// to pointer width (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 in a 64-bit process),
// while RegKey holds them zero-extended: map the root range both ways.
inline HKEY ToHkey(RegKey key) {
  if (key >= 0x80000000u && key <= 0x800000FFu) {
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(key)));
  }
  return reinterpret_cast<HKEY>(key);
}
inline RegKey FromHkey(HKEY key) {
  const auto value = reinterpret_cast<uintptr_t>(key);
  const auto low = static_cast<uint32_t>(value);
  const auto extended = static_cast<uintptr_t>(static_cast<intptr_t>(static_cast<int32_t>(low)));
  if (low >= 0x80000000u && low <= 0x800000FFu && value == extended) return low;
  return static_cast<RegKey>(value);
}

}  // namespace plat::win32
