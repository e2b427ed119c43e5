// Win32 backend: version facts, run-time bindings, environment, shell folders,
// user and module names, time, locale and code pages.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <shlobj.h>

#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace plat {

using win32::FromHandle;
using win32::KeepLastError;
using win32::Narrow;
using win32::NarrowZ;
using win32::ToHandle;
using win32::Widen;

namespace {

// A kernel32 export looked up at run time, as the program binds its optional functions.
template <typename Fn>
Fn Kernel32Function(const char* name) {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  if (!kernel32) return nullptr;
  FARPROC proc = ::GetProcAddress(kernel32, name);
  // Through void(*)() so the compiler accepts the change of function type.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

SystemInfo ToSystemInfo(const SYSTEM_INFO& si) {
  SystemInfo info;
  info.processorArchitecture = si.wProcessorArchitecture;
  info.pageSize = si.dwPageSize;
  info.numberOfProcessors = si.dwNumberOfProcessors;
  info.allocationGranularity = si.dwAllocationGranularity;
  info.minimumApplicationAddress = reinterpret_cast<uintptr_t>(si.lpMinimumApplicationAddress);
  info.maximumApplicationAddress = reinterpret_cast<uintptr_t>(si.lpMaximumApplicationAddress);
  return info;
}

using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

}  // namespace

// ---------------------------------------------------------------- system facts

bool GetVersionExW(OsVersionInfo& info) {
  OSVERSIONINFOEXW version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL ok = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
#pragma GCC diagnostic pop
  if (!ok) return false;
  info.major = version.dwMajorVersion;
  info.minor = version.dwMinorVersion;
  info.build = version.dwBuildNumber;
  info.platformId = version.dwPlatformId;
  info.csdVersion = NarrowZ(version.szCSDVersion);
  info.servicePackMajor = version.wServicePackMajor;
  info.servicePackMinor = version.wServicePackMinor;
  info.suiteMask = version.wSuiteMask;
  info.productType = version.wProductType;
  return true;
}

bool HasGetNativeSystemInfo() {
  return Kernel32HasExport("GetNativeSystemInfo");
}

SystemInfo GetNativeSystemInfo() {
  SYSTEM_INFO si;
  ZeroMemory(&si, sizeof si);
  if (auto fn = Kernel32Function<GetNativeSystemInfoFn>("GetNativeSystemInfo")) {
    fn(&si);
  } else {
    ::GetSystemInfo(&si);
  }
  return ToSystemInfo(si);
}

SystemInfo GetSystemInfo() {
  SYSTEM_INFO si;
  ZeroMemory(&si, sizeof si);
  ::GetSystemInfo(&si);
  return ToSystemInfo(si);
}

int GetSystemMetrics(int index) {
  return ::GetSystemMetrics(index);
}

bool Kernel32HasExport(const char* name) {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 && ::GetProcAddress(kernel32, name) != nullptr;
}

bool IsWow64Process(Handle process, bool& wow64) {
  wow64 = false;
  auto fn = Kernel32Function<IsWow64ProcessFn>("IsWow64Process");
  if (!fn) return false;
  BOOL result = FALSE;
  if (!fn(ToHandle(process), &result)) return false;
  wow64 = result != FALSE;
  return true;
}

// ---------------------------------------------------------------- environment

std::optional<std::string> GetEnvironmentVariableW(const std::string& name) {
  const std::wstring wide = Widen(name);
  const DWORD before = ::GetLastError();
  std::vector<wchar_t> buffer(256);
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length =
        ::GetEnvironmentVariableW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    const DWORD error = ::GetLastError();
    if (length == 0 && error == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    // A successful call leaves the last error alone: put the caller's back.
    if (error == ERROR_SUCCESS) ::SetLastError(before);
    if (length == 0) return std::string();
    if (length < buffer.size()) return Narrow(buffer.data(), length);
    buffer.resize(length);  // the size asked for includes the terminator
  }
}

bool SetEnvironmentVariableW(const std::string& name, const std::optional<std::string>& value) {
  const std::wstring wideName = Widen(name);
  const std::wstring wideValue = value ? Widen(*value) : std::wstring();
  return ::SetEnvironmentVariableW(wideName.c_str(), value ? wideValue.c_str() : nullptr) != FALSE;
}

// ---------------------------------------------------------------- shell and session

bool SHGetSpecialFolderPathW(int csidl, std::string& path) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return false;
  path = NarrowZ(buffer);
  return true;
}

bool GetUserNameW(std::string& name, uint32_t capacity) {
  std::vector<wchar_t> buffer(capacity ? capacity : 1, L'\0');
  DWORD size = capacity;
  if (!::GetUserNameW(buffer.data(), &size)) return false;
  name = NarrowZ(buffer.data());
  return true;
}

std::string GetModuleFileNameW(const std::string& moduleName) {
  HMODULE module = nullptr;
  if (!moduleName.empty()) {
    const std::wstring wide = Widen(moduleName);
    module = ::GetModuleHandleW(wide.c_str());
    if (!module) return {};
  }
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return Narrow(buffer.data(), length);
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

void OutputDebugStringW(const std::string& text) {
  const std::wstring wide = Widen(text);
  ::OutputDebugStringW(wide.c_str());
}

// ---------------------------------------------------------------- time

uint32_t GetTickCount() {
  return ::GetTickCount();
}
uint64_t GetTickCount64() {
  return ::GetTickCount64();
}
void Sleep(uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

SystemTime GetLocalTime() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  SystemTime time;
  time.year = st.wYear;
  time.month = st.wMonth;
  time.dayOfWeek = st.wDayOfWeek;
  time.day = st.wDay;
  time.hour = st.wHour;
  time.minute = st.wMinute;
  time.second = st.wSecond;
  time.milliseconds = st.wMilliseconds;
  return time;
}

// ---------------------------------------------------------------- locale and code pages

uint32_t GetACP() {
  return ::GetACP();
}
uint16_t GetSystemDefaultLangID() {
  return ::GetSystemDefaultLangID();
}

std::string GetUserDecimalSeparator() {
  wchar_t buffer[8] = {};
  const int length = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 8);
  if (length <= 0) return {};
  return NarrowZ(buffer);
}

std::u16string MultiByteToWideChar(uint32_t codePage, const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int chars = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
  if (chars <= 0) return {};
  std::u16string text(static_cast<size_t>(chars), u'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()),
                        chars);
  return text;
}

std::string WideCharToMultiByte(uint32_t codePage, const std::u16string& text) {
  if (text.empty()) return {};
  const auto* chars = reinterpret_cast<const wchar_t*>(text.data());
  const int size = static_cast<int>(text.size());
  // Characters the code page cannot hold become its default character ("?"), not a
  // look-alike ("O" for an Omega). UTF-8, UTF-7 and a few other code pages take no
  // flags: they are asked again without.
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int bytes = ::WideCharToMultiByte(codePage, flags, chars, size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    bytes = ::WideCharToMultiByte(codePage, flags, chars, size, nullptr, 0, nullptr, nullptr);
  }
  if (bytes <= 0) return {};
  std::string result(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(codePage, flags, chars, size, result.data(), bytes, nullptr, nullptr);
  return result;
}

}  // namespace plat
