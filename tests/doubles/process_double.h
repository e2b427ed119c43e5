// Body of the user-program doubles of the process scenario: each start appends its
// command line (UTF-8) as one line to "<own path>.starts.txt", then the program
// waits. A numeric argument is the wait in milliseconds (120000 by default); any
// other argument (a start switch) is only recorded.
#pragma once

#include <windows.h>
// (after windows.h)
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>
#include <string>

inline int RunProcessDouble() {
  wchar_t exe[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring record = std::wstring(exe) + L".starts.txt";
  const wchar_t* line = ::GetCommandLineW();
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
  std::string text(bytes > 0 ? bytes - 1 : 0, '\0');
  if (bytes > 1) ::WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), bytes, nullptr, nullptr);
  text += "\r\n";
  const HANDLE file = ::CreateFileW(record.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
  }

  DWORD waitMs = 120000;
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(line, &argc);
  for (int i = 1; argv && i < argc; ++i) {
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(argv[i], &end, 10);
    if (end != argv[i] && *end == 0) waitMs = value;
  }
  if (argv) ::LocalFree(argv);
  ::Sleep(waitMs);
  return 0;
}
