// Body of the service doubles of the service scenario: a Win32 service of its own
// process whose command-line arguments say how it answers a stop:
//   now         stops at once (also without arguments)
//   delay MS    reports stop pending with check points, stopped MS milliseconds later
//   refuse      does not accept the stop control
//   block       its control handler never returns from the stop
#pragma once

#include <windows.h>
// (after windows.h)
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace servicedouble {

inline SERVICE_STATUS_HANDLE gStatusHandle = nullptr;
inline SERVICE_STATUS gStatus{};
inline HANDLE gStopped = nullptr;
inline std::wstring gMode = L"now";
inline DWORD gDelayMs = 0;

inline void Report(DWORD state, DWORD checkPoint = 0, DWORD waitHint = 0) {
  gStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  gStatus.dwCurrentState = state;
  gStatus.dwControlsAccepted =
      state == SERVICE_RUNNING && gMode != L"refuse" ? SERVICE_ACCEPT_STOP : 0;
  gStatus.dwCheckPoint = checkPoint;
  gStatus.dwWaitHint = waitHint;
  ::SetServiceStatus(gStatusHandle, &gStatus);
}

inline DWORD WINAPI DelayedStop(void*) {
  const DWORD steps = gDelayMs / 100 + 1;
  for (DWORD i = 1; i <= steps; ++i) {
    Report(SERVICE_STOP_PENDING, i, 200);
    ::Sleep(100);
  }
  ::SetEvent(gStopped);
  return 0;
}

inline DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_INTERROGATE) return NO_ERROR;
  if (control != SERVICE_CONTROL_STOP || gMode == L"refuse") return ERROR_CALL_NOT_IMPLEMENTED;
  if (gMode == L"block") {
    ::Sleep(INFINITE);
  } else if (gMode == L"delay") {
    Report(SERVICE_STOP_PENDING, 1, 200);
    ::CloseHandle(::CreateThread(nullptr, 0, DelayedStop, nullptr, 0, nullptr));
  } else {
    Report(SERVICE_STOP_PENDING, 1, 100);
    ::SetEvent(gStopped);
  }
  return NO_ERROR;
}

inline void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  // Registered under the name it was started with.
  gStatusHandle = ::RegisterServiceCtrlHandlerExW(argc > 0 ? argv[0] : L"", Handler, nullptr);
  if (!gStatusHandle) return;
  gStopped = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Report(SERVICE_RUNNING);
  ::WaitForSingleObject(gStopped, INFINITE);
  Report(SERVICE_STOPPED);
}

inline int Run() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argv && argc > 1) gMode = argv[1];
  if (argv && argc > 2) gDelayMs = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  if (argv) ::LocalFree(argv);
  wchar_t name[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}

}  // namespace servicedouble
