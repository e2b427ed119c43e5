// Win32 backend: memory figures (GlobalMemoryStatusEx bound by name), working-set
// trims, system error texts and the clock-seeded random number source.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <mutex>
#include <random>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace plat {

bool GlobalMemoryStatusEx(MemoryStatus& status) {
  status = MemoryStatus{};
  using Fn = BOOL(WINAPI*)(LPMEMORYSTATUSEX);
  static const Fn fn = [] {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32");
    return kernel ? reinterpret_cast<Fn>(
                        reinterpret_cast<void*>(::GetProcAddress(kernel, "GlobalMemoryStatusEx")))
                  : nullptr;
  }();
  if (!fn) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  if (!fn(&ms)) return false;
  status.memoryLoad = ms.dwMemoryLoad;
  status.totalPhys = ms.ullTotalPhys;
  status.availPhys = ms.ullAvailPhys;
  status.totalPageFile = ms.ullTotalPageFile;
  status.availPageFile = ms.ullAvailPageFile;
  status.totalVirtual = ms.ullTotalVirtual;
  status.availVirtual = ms.ullAvailVirtual;
  return true;
}

bool SetProcessWorkingSetSize(Handle process, intptr_t minimumBytes, intptr_t maximumBytes) {
  return ::SetProcessWorkingSetSize(win32::ToHandle(process), static_cast<SIZE_T>(minimumBytes),
                                    static_cast<SIZE_T>(maximumBytes)) != FALSE;
}

std::string SysErrorMessage(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD n =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                           FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                       nullptr, code, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  return win32::Narrow(text);
}

int32_t Random(int32_t range) {
  if (range < 1) return 0;
  static std::mutex mutex;
  static std::mt19937 generator(static_cast<uint32_t>(::GetTickCount64()));
  std::lock_guard<std::mutex> lock(mutex);
  return std::uniform_int_distribution<int32_t>(0, range - 1)(generator);
}

}  // namespace plat
