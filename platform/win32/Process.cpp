// Win32 backend: the process snapshot and process handles.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <tlhelp32.h>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace plat {

using win32::FromHandle;
using win32::KeepLastError;
using win32::NarrowZ;
using win32::ToHandle;

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

bool TerminateProcess(Handle process, uint32_t exitCode) {
  return ::TerminateProcess(ToHandle(process), exitCode) != FALSE;
}

Handle GetCurrentProcess() {
  return FromHandle(::GetCurrentProcess());
}

uint32_t GetCurrentProcessId() {
  return ::GetCurrentProcessId();
}

}  // namespace plat
