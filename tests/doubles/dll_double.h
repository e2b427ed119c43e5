// Shared by the stand-in libraries: files they keep beside themselves.
#pragma once

#include <windows.h>

#include <string>

namespace dll_double {

// The full path of name in the folder of the library this code is linked into.
inline std::wstring Beside(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 2];
  HMODULE self = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&Beside), &self);
  std::wstring path(buffer, ::GetModuleFileNameW(self, buffer, MAX_PATH * 2));
  path.erase(path.find_last_of(L"\\/") + 1);
  return path + name;
}

}  // namespace dll_double
