// Starting helper programs from the Windows suites.
#pragma once

#include <windows.h>

#include <string>

#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace test {

inline std::wstring Wide(const std::string& text) {
  const std::u16string u16 = txt::Utf8ToUtf16(text);
  return std::wstring(u16.begin(), u16.end());
}

// Path of a helper program built beside the suite: "<suite folder>\<name>.exe".
inline std::string HelperPath(const std::string& name) {
  return fileutil::ExtractFilePath(plat::GetModuleFileNameW()) + name + ".exe";
}

// Starts "<exe>" <arguments>; the process handle (its pid in *pid), nullptr on failure.
inline HANDLE StartProgram(const std::string& exe, const std::string& arguments,
                           DWORD* pid = nullptr) {
  std::wstring command = Wide("\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
    return nullptr;
  }
  ::CloseHandle(info.hThread);
  if (pid) *pid = info.dwProcessId;
  return info.hProcess;
}

}  // namespace test
