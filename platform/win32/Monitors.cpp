// Monitors on Windows: SetupAPI, display devices and monitors, and the
// monitor-configuration library bound at run time. Records are passed with the sizes
// of the real structures of the build (PHYSICAL_MONITOR is 260 bytes in the i686 build,
// 264 in the x86_64 one).
#include "platform/Monitors.h"

#include <windows.h>
// clang-format off
#include <setupapi.h>
// clang-format on

#include <cstring>

#include "platform/win32/Wide.h"

namespace plat {
namespace {

// The record of the monitor-configuration functions.
struct PhysicalMonitorRecord {
  HANDLE hPhysicalMonitor;
  WCHAR szPhysicalMonitorDescription[128];
};
static_assert(sizeof(PhysicalMonitorRecord) == (sizeof(void*) == 8 ? 264 : 260),
              "PHYSICAL_MONITOR: a handle and 128 UTF-16 characters");

using GetNumberFn = BOOL(WINAPI*)(HMONITOR, DWORD*);
using GetPhysicalFn = BOOL(WINAPI*)(HMONITOR, DWORD, PhysicalMonitorRecord*);
using DestroyFn = BOOL(WINAPI*)(HANDLE);
using CapsLengthFn = BOOL(WINAPI*)(HANDLE, DWORD*);
using CapsReplyFn = BOOL(WINAPI*)(HANDLE, LPSTR, DWORD);
using GetVcpFn = BOOL(WINAPI*)(HANDLE, BYTE, LPVOID, DWORD*, DWORD*);
using SetVcpFn = BOOL(WINAPI*)(HANDLE, BYTE, DWORD);
using ResetFn = BOOL(WINAPI*)(HANDLE);

struct Library {
  HMODULE module = nullptr;
  GetNumberFn getNumber = nullptr;
  GetPhysicalFn getPhysical = nullptr;
  DestroyFn destroy = nullptr;
  CapsLengthFn capsLength = nullptr;
  CapsReplyFn capsReply = nullptr;
  GetVcpFn getVcp = nullptr;
  SetVcpFn setVcp = nullptr;
  ResetFn reset = nullptr;
};
Library gLib;

template <typename Fn>
Fn Bind(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(gLib.module, name)));
}

// False with 127 when the function is not bound.
template <typename Fn>
bool Bound(Fn fn) {
  if (fn) return true;
  ::SetLastError(ERROR_PROC_NOT_FOUND);
  return false;
}

HANDLE ToPhysical(PhysicalHandle h) {
  return reinterpret_cast<HANDLE>(h);
}

MonitorRect FromRect(const RECT& r) {
  return MonitorRect{r.left, r.top, r.right, r.bottom};
}

}  // namespace

bool EnumMonitorDevices(std::vector<std::string>& instanceIds) {
  instanceIds.clear();
  static const GUID kMonitorClass = {
      0x4D36E96E, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
  HDEVINFO list = ::SetupDiGetClassDevsW(&kMonitorClass, nullptr, nullptr, DIGCF_PRESENT);
  if (list == INVALID_HANDLE_VALUE) return false;
  SP_DEVINFO_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD i = 0; ::SetupDiEnumDeviceInfo(list, i, &data); ++i) {
    wchar_t id[4096] = {};
    if (::SetupDiGetDeviceInstanceIdW(list, &data, id, 4096, nullptr))
      instanceIds.push_back(win32::NarrowZ(id));
  }
  ::SetupDiDestroyDeviceInfoList(list);
  return true;
}

bool EnumDisplayDevicesW(uint32_t index, DisplayDevice& device) {
  DISPLAY_DEVICEW dd{};
  // The record up to and including the state flags.
  dd.cb = offsetof(DISPLAY_DEVICEW, DeviceID);
  if (!::EnumDisplayDevicesW(nullptr, index, &dd, 0)) return false;
  device.deviceName = win32::NarrowZ(dd.DeviceName);
  device.stateFlags = dd.StateFlags;
  return true;
}

using MonitorVisit = std::function<bool(MonitorHandle, const MonitorRect&)>;

namespace {

BOOL CALLBACK VisitMonitor(HMONITOR monitor, HDC, LPRECT rc, LPARAM data) {
  const auto* visit = reinterpret_cast<const MonitorVisit*>(data);
  return (*visit)(reinterpret_cast<MonitorHandle>(monitor), rc ? FromRect(*rc) : MonitorRect{})
             ? TRUE
             : FALSE;
}

}  // namespace

bool EnumDisplayMonitors(const MonitorVisit& visit) {
  return ::EnumDisplayMonitors(nullptr, nullptr, VisitMonitor, reinterpret_cast<LPARAM>(&visit)) !=
         FALSE;
}

bool GetMonitorInfoW(MonitorHandle monitor, MonitorInfo& info) {
  MONITORINFOEXW mi{};
  mi.cbSize = sizeof mi;
  if (!::GetMonitorInfoW(reinterpret_cast<HMONITOR>(monitor), &mi)) return false;
  info.monitor = FromRect(mi.rcMonitor);
  info.work = FromRect(mi.rcWork);
  info.flags = mi.dwFlags;
  info.device = win32::NarrowZ(mi.szDevice);
  return true;
}

uintptr_t LoadMonitorConfiguration(const std::string& name) {
  if (gLib.module) return reinterpret_cast<uintptr_t>(gLib.module);
  gLib.module = ::LoadLibraryW(win32::Widen(name).c_str());
  if (!gLib.module) return 0;
  gLib.getNumber = Bind<GetNumberFn>("GetNumberOfPhysicalMonitorsFromHMONITOR");
  gLib.getPhysical = Bind<GetPhysicalFn>("GetPhysicalMonitorsFromHMONITOR");
  gLib.destroy = Bind<DestroyFn>("DestroyPhysicalMonitor");
  gLib.capsLength = Bind<CapsLengthFn>("GetCapabilitiesStringLength");
  gLib.capsReply = Bind<CapsReplyFn>("CapabilitiesRequestAndCapabilitiesReply");
  gLib.getVcp = Bind<GetVcpFn>("GetVCPFeatureAndVCPFeatureReply");
  gLib.setVcp = Bind<SetVcpFn>("SetVCPFeature");
  gLib.reset = Bind<ResetFn>("RestoreMonitorFactoryColorDefaults");
  return reinterpret_cast<uintptr_t>(gLib.module);
}

void FreeMonitorConfiguration() {
  if (gLib.module) ::FreeLibrary(gLib.module);
  gLib = Library{};
}

bool GetNumberOfPhysicalMonitorsFromHMONITOR(MonitorHandle monitor, uint32_t& count) {
  if (!Bound(gLib.getNumber)) return false;
  DWORD n = 0;
  const bool ok = gLib.getNumber(reinterpret_cast<HMONITOR>(monitor), &n) != FALSE;
  count = ok ? n : 0;
  return ok;
}

bool GetPhysicalMonitorsFromHMONITOR(MonitorHandle monitor,
                                     std::vector<PhysicalMonitor>& monitors) {
  for (PhysicalMonitor& p : monitors)
    p = PhysicalMonitor{};
  if (!Bound(gLib.getPhysical)) return false;
  std::vector<PhysicalMonitorRecord> records(monitors.size());
  std::memset(records.data(), 0, records.size() * sizeof(PhysicalMonitorRecord));
  const bool ok = gLib.getPhysical(reinterpret_cast<HMONITOR>(monitor),
                                   static_cast<DWORD>(records.size()), records.data()) != FALSE;
  win32::KeepLastError keep;
  for (size_t i = 0; i < records.size(); ++i) {
    records[i].szPhysicalMonitorDescription[127] = L'\0';
    monitors[i].handle = reinterpret_cast<PhysicalHandle>(records[i].hPhysicalMonitor);
    monitors[i].description = win32::NarrowZ(records[i].szPhysicalMonitorDescription);
  }
  return ok;
}

bool DestroyPhysicalMonitor(PhysicalHandle monitor) {
  return Bound(gLib.destroy) && gLib.destroy(ToPhysical(monitor)) != FALSE;
}

bool GetCapabilitiesStringLength(PhysicalHandle monitor, uint32_t& length) {
  if (!Bound(gLib.capsLength)) return false;
  DWORD n = 0;
  const bool ok = gLib.capsLength(ToPhysical(monitor), &n) != FALSE;
  length = ok ? n : 0;
  return ok;
}

bool CapabilitiesRequestAndCapabilitiesReply(PhysicalHandle monitor, std::string& reply) {
  if (!Bound(gLib.capsReply)) return false;
  if (reply.empty()) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  return gLib.capsReply(ToPhysical(monitor), reply.data(), static_cast<DWORD>(reply.size())) !=
         FALSE;
}

bool GetVCPFeatureAndVCPFeatureReply(PhysicalHandle monitor, uint8_t code, uint32_t& current,
                                     uint32_t& maximum) {
  if (!Bound(gLib.getVcp)) return false;
  DWORD cur = 0, max = 0;
  const bool ok = gLib.getVcp(ToPhysical(monitor), code, nullptr, &cur, &max) != FALSE;
  current = cur;
  maximum = max;
  return ok;
}

bool SetVCPFeature(PhysicalHandle monitor, uint8_t code, uint32_t value) {
  return Bound(gLib.setVcp) && gLib.setVcp(ToPhysical(monitor), code, value) != FALSE;
}

bool RestoreMonitorFactoryColorDefaults(PhysicalHandle monitor) {
  return Bound(gLib.reset) && gLib.reset(ToPhysical(monitor)) != FALSE;
}

}  // namespace plat
