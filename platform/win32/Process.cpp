// Win32 backend: the process snapshot, process handles, priority classes,
// psapi.dll (bound at run time), drive devices and starting programs.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <tlhelp32.h>

#include <algorithm>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace plat {

using win32::FromHandle;
using win32::KeepLastError;
using win32::NarrowZ;
using win32::ToHandle;
using win32::Widen;

namespace {

// psapi.dll, loaded by name once per run; its functions looked up by name.
struct Psapi {
  using ImageFileName = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);
  using ModuleFileName = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
  using WorkingSet = BOOL(WINAPI*)(HANDLE, PVOID, DWORD);
  HMODULE module = nullptr;
  ImageFileName getProcessImageFileNameW = nullptr;
  ModuleFileName getModuleFileNameExW = nullptr;
  WorkingSet queryWorkingSet = nullptr;
};

template <class Fn>
Fn Lookup(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                : nullptr;
}

const Psapi& BindPsapi() {
  static const Psapi psapi = [] {
    win32::KeepLastError keep;
    Psapi p;
    p.module = ::LoadLibraryW(L"psapi.dll");
    p.getProcessImageFileNameW = Lookup<Psapi::ImageFileName>(p.module, "GetProcessImageFileNameW");
    p.getModuleFileNameExW = Lookup<Psapi::ModuleFileName>(p.module, "GetModuleFileNameExW");
    p.queryWorkingSet = Lookup<Psapi::WorkingSet>(p.module, "QueryWorkingSet");
    return p;
  }();
  return psapi;
}

bool Missing() {
  ::SetLastError(ERROR_PROC_NOT_FOUND);
  return false;
}

}  // namespace

bool SnapshotProcesses(std::vector<ProcessEntry>& entries) {
  entries.clear();
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry;
  ZeroMemory(&entry, sizeof entry);
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    ProcessEntry process;
    process.pid = entry.th32ProcessID;
    process.parentPid = entry.th32ParentProcessID;
    process.threads = entry.cntThreads;
    process.basePriority = entry.pcPriClassBase;
    process.exeFile = NarrowZ(entry.szExeFile);
    entries.push_back(std::move(process));
  }
  // The walk ends with ERROR_NO_MORE_FILES; closing the snapshot must not hide it.
  KeepLastError keep;
  ::CloseHandle(snapshot);
  return true;
}

Handle OpenProcess(uint32_t access, bool inheritHandle, uint32_t pid) {
  return FromHandle(::OpenProcess(access, inheritHandle ? TRUE : FALSE, pid));
}

bool GetExitCodeProcess(Handle process, uint32_t& exitCode) {
  DWORD code = 0;
  const bool ok = ::GetExitCodeProcess(ToHandle(process), &code) != FALSE;
  exitCode = code;
  return ok;
}

bool TerminateProcess(Handle process, uint32_t exitCode) {
  return ::TerminateProcess(ToHandle(process), exitCode) != FALSE;
}

Handle GetCurrentProcess() {
  return FromHandle(::GetCurrentProcess());
}

uint32_t GetCurrentProcessId() {
  return ::GetCurrentProcessId();
}

uint32_t GetPriorityClass(Handle process) {
  return ::GetPriorityClass(ToHandle(process));
}

bool SetPriorityClass(Handle process, uint32_t priorityClass) {
  return ::SetPriorityClass(ToHandle(process), priorityClass) != FALSE;
}

// ---------------------------------------------------------------- psapi

bool HasPsapiFunction(const std::string& name) {
  const Psapi& psapi = BindPsapi();
  return psapi.module && ::GetProcAddress(psapi.module, name.c_str()) != nullptr;
}

bool GetModuleFileNameExW(Handle process, std::string& path, uint32_t capacity) {
  path.clear();
  const Psapi& psapi = BindPsapi();
  if (!psapi.getModuleFileNameExW) return Missing();
  std::vector<wchar_t> buffer(capacity + 1u, L'\0');
  const DWORD length =
      psapi.getModuleFileNameExW(ToHandle(process), nullptr, buffer.data(), capacity);
  if (length == 0) return false;
  path = NarrowZ(buffer.data());
  return true;
}

bool GetProcessImageFileNameW(Handle process, std::string& path, uint32_t capacity) {
  path.clear();
  const Psapi& psapi = BindPsapi();
  if (!psapi.getProcessImageFileNameW) return Missing();
  std::vector<wchar_t> buffer(capacity + 1u, L'\0');
  const DWORD length = psapi.getProcessImageFileNameW(ToHandle(process), buffer.data(), capacity);
  if (length == 0) return false;
  path = NarrowZ(buffer.data());
  return true;
}

bool QueryWorkingSet(Handle process, uint32_t bufferBytes, std::vector<uint64_t>& entries) {
  entries.clear();
  const Psapi& psapi = BindPsapi();
  if (!psapi.queryWorkingSet) return Missing();
  // PSAPI_WORKING_SET_INFORMATION: a pointer-sized count, then pointer-sized entries.
  std::vector<ULONG_PTR> buffer(bufferBytes / sizeof(ULONG_PTR) + 1, 0);
  if (!psapi.queryWorkingSet(ToHandle(process), buffer.data(), bufferBytes)) return false;
  const size_t count = std::min<size_t>(buffer[0], buffer.size() - 1);
  entries.assign(buffer.begin() + 1, buffer.begin() + 1 + static_cast<ptrdiff_t>(count));
  return true;
}

// ---------------------------------------------------------------- drives

bool GetLogicalDriveStringsW(uint32_t capacity, std::vector<std::string>& drives) {
  drives.clear();
  std::vector<wchar_t> buffer(capacity + 2u, L'\0');
  const DWORD length = ::GetLogicalDriveStringsW(capacity, buffer.data());
  if (length == 0) return false;
  if (length > capacity) {
    ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  for (const wchar_t* p = buffer.data(); *p; p += ::lstrlenW(p) + 1)
    drives.push_back(NarrowZ(p));
  return true;
}

bool QueryDosDeviceW(const std::string& device, std::string& target, uint32_t capacity) {
  target.clear();
  std::vector<wchar_t> buffer(capacity + 2u, L'\0');
  if (::QueryDosDeviceW(Widen(device).c_str(), buffer.data(), capacity) == 0) return false;
  target = NarrowZ(buffer.data());
  return true;
}

bool GetProcessTimes(Handle process, uint64_t& creationTime) {
  FILETIME created{}, exited{}, kernel{}, user{};
  const bool ok = ::GetProcessTimes(ToHandle(process), &created, &exited, &kernel, &user) != FALSE;
  creationTime =
      ok ? (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime : 0;
  return ok;
}

// ---------------------------------------------------------------- starting programs

namespace {

STARTUPINFOW StartupInfo(int show) {
  STARTUPINFOW startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(show);
  return startup;
}

// Closes the handles of a started process; its identifier stays.
bool Started(const PROCESS_INFORMATION& info, uint32_t& pid) {
  KeepLastError keep;
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  pid = info.dwProcessId;
  return true;
}

}  // namespace

bool CreateProcessW(const std::string& commandLine, const std::string& currentDirectory, int show,
                    uint32_t& pid, const std::string& applicationName) {
  pid = 0;
  STARTUPINFOW startup = StartupInfo(show);
  PROCESS_INFORMATION info;
  ZeroMemory(&info, sizeof info);
  std::wstring line = Widen(commandLine);  // CreateProcessW may write into the command line
  line.push_back(L'\0');
  const std::wstring folder = Widen(currentDirectory);
  const std::wstring application = Widen(applicationName);
  if (!::CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr,
                        nullptr, FALSE, 0, nullptr, folder.empty() ? nullptr : folder.c_str(),
                        &startup, &info)) {
    return false;
  }
  return Started(info, pid);
}

bool CreateProcessWithTokenW(Handle token, const std::string& applicationName,
                             const std::string& commandLine, const std::string& currentDirectory,
                             int show, uint32_t& pid) {
  pid = 0;
  STARTUPINFOW startup = StartupInfo(show);
  PROCESS_INFORMATION info;
  ZeroMemory(&info, sizeof info);
  std::wstring line = Widen(commandLine);
  line.push_back(L'\0');
  const std::wstring folder = Widen(currentDirectory);
  const std::wstring application = Widen(applicationName);
  if (!::CreateProcessWithTokenW(
          ToHandle(token), 0, application.empty() ? nullptr : application.c_str(), line.data(), 0,
          nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  return Started(info, pid);
}

}  // namespace plat
