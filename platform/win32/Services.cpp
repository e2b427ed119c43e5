// Service manager functions of advapi32. QueryServiceConfig2W is looked up by name
// on first use (older systems lack it).
#include "platform/Services.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/Wide.h"

namespace plat {

namespace {

SC_HANDLE Sc(Handle h) {
  return reinterpret_cast<SC_HANDLE>(h);
}

ServiceStatus FromStatus(const SERVICE_STATUS& s) {
  return ServiceStatus{s.dwServiceType,
                       s.dwCurrentState,
                       s.dwControlsAccepted,
                       s.dwWin32ExitCode,
                       s.dwServiceSpecificExitCode,
                       s.dwCheckPoint,
                       s.dwWaitHint};
}

std::string Text(const wchar_t* p) {
  return p ? win32::NarrowZ(p) : std::string();
}

// Runs a size-protocol call into an aligned buffer of bufferBytes bytes.
template <class Call>
bool WithBuffer(uint32_t bufferBytes, Call call) {
  std::vector<uint64_t> buffer((bufferBytes + 7) / 8 + 1);
  return call(reinterpret_cast<BYTE*>(buffer.data()));
}

void ReadEntries(const ENUM_SERVICE_STATUSW* items, DWORD count,
                 std::vector<EnumServiceEntry>& entries) {
  win32::KeepLastError keep;
  entries.clear();
  for (DWORD i = 0; i < count; ++i)
    entries.push_back(EnumServiceEntry{Text(items[i].lpServiceName), Text(items[i].lpDisplayName),
                                       FromStatus(items[i].ServiceStatus)});
}

using QueryConfig2 = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPBYTE, DWORD, LPDWORD);

QueryConfig2 BindQueryConfig2() {
  static const QueryConfig2 fn = [] {
    win32::KeepLastError keep;
    HMODULE advapi = ::GetModuleHandleW(L"advapi32.dll");
    if (!advapi) advapi = ::LoadLibraryW(L"advapi32.dll");
    return advapi ? reinterpret_cast<QueryConfig2>(reinterpret_cast<void (*)()>(
                        ::GetProcAddress(advapi, "QueryServiceConfig2W")))
                  : nullptr;
  }();
  return fn;
}

}  // namespace

Handle OpenSCManagerW(uint32_t access) {
  return reinterpret_cast<Handle>(::OpenSCManagerW(nullptr, L"ServicesActive", access));
}

Handle OpenServiceW(Handle manager, const std::string& name, uint32_t access) {
  return reinterpret_cast<Handle>(::OpenServiceW(Sc(manager), win32::Widen(name).c_str(), access));
}

bool CloseServiceHandle(Handle handle) {
  return ::CloseServiceHandle(Sc(handle)) != FALSE;
}

bool EnumServicesStatusW(Handle manager, uint32_t type, uint32_t state, uint32_t bufferBytes,
                         std::vector<EnumServiceEntry>& entries, uint32_t& bytesNeeded) {
  return WithBuffer(bufferBytes, [&](BYTE* buffer) {
    DWORD needed = 0, count = 0, resume = 0;
    const BOOL ok = ::EnumServicesStatusW(Sc(manager), type, state,
                                          reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer),
                                          bufferBytes, &needed, &count, &resume);
    bytesNeeded = needed;
    ReadEntries(reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer), count, entries);
    return ok != FALSE;
  });
}

bool QueryServiceStatus(Handle service, ServiceStatus& status) {
  SERVICE_STATUS s{};
  const BOOL ok = ::QueryServiceStatus(Sc(service), &s);
  status = FromStatus(s);
  return ok != FALSE;
}

bool QueryServiceConfigW(Handle service, uint32_t bufferBytes, ServiceConfig& config,
                         uint32_t& bytesNeeded) {
  return WithBuffer(bufferBytes, [&](BYTE* buffer) {
    auto* c = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    DWORD needed = 0;
    const BOOL ok =
        ::QueryServiceConfigW(Sc(service), bufferBytes ? c : nullptr, bufferBytes, &needed);
    bytesNeeded = needed;
    if (!ok) return false;
    win32::KeepLastError keep;
    config = ServiceConfig{};
    config.type = c->dwServiceType;
    config.startType = c->dwStartType;
    config.errorControl = c->dwErrorControl;
    config.binaryPath = Text(c->lpBinaryPathName);
    config.loadOrderGroup = Text(c->lpLoadOrderGroup);
    config.tagId = c->dwTagId;
    for (const wchar_t* d = c->lpDependencies; d && *d; d += ::lstrlenW(d) + 1)
      config.dependencies.push_back(win32::NarrowZ(d));
    config.startName = Text(c->lpServiceStartName);
    config.displayName = Text(c->lpDisplayName);
    return true;
  });
}

bool HasQueryServiceConfig2W() {
  return BindQueryConfig2() != nullptr;
}

bool QueryServiceDescription(Handle service, uint32_t bufferBytes, std::string& description,
                             uint32_t& bytesNeeded) {
  const QueryConfig2 query = BindQueryConfig2();
  if (!query) {
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return false;
  }
  return WithBuffer(bufferBytes, [&](BYTE* buffer) {
    DWORD needed = 0;
    const BOOL ok = query(Sc(service), SERVICE_CONFIG_DESCRIPTION, bufferBytes ? buffer : nullptr,
                          bufferBytes, &needed);
    bytesNeeded = needed;
    if (ok) description = Text(reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer)->lpDescription);
    return ok != FALSE;
  });
}

bool EnumDependentServicesW(Handle service, uint32_t state, uint32_t bufferBytes,
                            std::vector<EnumServiceEntry>& entries, uint32_t& bytesNeeded) {
  return WithBuffer(bufferBytes, [&](BYTE* buffer) {
    DWORD needed = 0, count = 0;
    const BOOL ok = ::EnumDependentServicesW(Sc(service), state,
                                             reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer),
                                             bufferBytes, &needed, &count);
    bytesNeeded = needed;
    ReadEntries(reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer), ok ? count : 0, entries);
    return ok != FALSE;
  });
}

bool ControlService(Handle service, uint32_t control, ServiceStatus& status) {
  SERVICE_STATUS s{};
  const BOOL ok = ::ControlService(Sc(service), control, &s);
  status = FromStatus(s);
  return ok != FALSE;
}

bool StartServiceW(Handle service) {
  return ::StartServiceW(Sc(service), 0, nullptr) != FALSE;
}

}  // namespace plat
