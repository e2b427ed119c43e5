// The platform seam for monitors: the monitor devices of SetupAPI, the display
// outputs (EnumDisplayDevicesW), the display monitors (EnumDisplayMonitors,
// GetMonitorInfoW) and the monitor-configuration functions of the system library
// "Dxva2.dll", which is loaded by name and whose functions are bound at run time.
// Same rules as platform/Platform.h: C++ types in and out, failures with the last error.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace plat {

using MonitorHandle = std::uintptr_t;   // HMONITOR
using PhysicalHandle = std::uintptr_t;  // the handle of a PHYSICAL_MONITOR

struct MonitorRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Device instance identifiers of the present monitor devices (SetupDiGetClassDevsW of
// GUID_DEVCLASS_MONITOR with DIGCF_PRESENT, SetupDiEnumDeviceInfo,
// SetupDiGetDeviceInstanceIdW). False when the device list cannot be had.
bool EnumMonitorDevices(std::vector<std::string>& instanceIds);

inline constexpr uint32_t kDISPLAY_DEVICE_ATTACHED_TO_DESKTOP = 0x1;
inline constexpr uint32_t kDISPLAY_DEVICE_PRIMARY_DEVICE = 0x4;
inline constexpr uint32_t kDISPLAY_DEVICE_MIRRORING_DRIVER = 0x8;
struct DisplayDevice {
  std::string deviceName;  // \\.\DISPLAY1
  uint32_t stateFlags = 0;
};
// EnumDisplayDevicesW(no device, index, flags 0); false past the last device.
bool EnumDisplayDevicesW(uint32_t index, DisplayDevice& device);

inline constexpr uint32_t kMONITORINFOF_PRIMARY = 0x1;
struct MonitorInfo {
  MonitorRect monitor, work;
  uint32_t flags = 0;
  std::string device;
};
// EnumDisplayMonitors(no DC, no clip): Visit(monitor, its rectangle) until it returns false.
bool EnumDisplayMonitors(const std::function<bool(MonitorHandle, const MonitorRect&)>& visit);
bool GetMonitorInfoW(MonitorHandle monitor, MonitorInfo& info);

// ---------------------------------------------------------------- monitor configuration
// Loads the library (LoadLibraryW of Name) and binds its functions by name; the module
// handle, 0 when it cannot be loaded. Until it is loaded, every function below fails
// with 127 (ERROR_PROC_NOT_FOUND); so does one the library does not export.
uintptr_t LoadMonitorConfiguration(const std::string& name);
void FreeMonitorConfiguration();

struct PhysicalMonitor {
  PhysicalHandle handle = 0;
  std::string description;  // at most 128 UTF-16 characters
};
bool GetNumberOfPhysicalMonitorsFromHMONITOR(MonitorHandle monitor, uint32_t& count);
// Fills monitors (resized to count beforehand by the caller) with zero-filled records
// first, then with what the library hands out.
bool GetPhysicalMonitorsFromHMONITOR(MonitorHandle monitor, std::vector<PhysicalMonitor>& monitors);
bool DestroyPhysicalMonitor(PhysicalHandle monitor);
bool GetCapabilitiesStringLength(PhysicalHandle monitor, uint32_t& length);
// The reply into a buffer of reply.size() bytes (at least 1).
bool CapabilitiesRequestAndCapabilitiesReply(PhysicalHandle monitor, std::string& reply);
bool GetVCPFeatureAndVCPFeatureReply(PhysicalHandle monitor, uint8_t code, uint32_t& current,
                                     uint32_t& maximum);
bool SetVCPFeature(PhysicalHandle monitor, uint8_t code, uint32_t value);
bool RestoreMonitorFactoryColorDefaults(PhysicalHandle monitor);

}  // namespace plat
