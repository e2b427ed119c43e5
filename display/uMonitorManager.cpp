#include "display/uMonitorManager.h"

#include <set>

#include "config/PSafeIniFile.h"
#include "config/RegistryClass.h"
#include "config/UnitGAConfig.h"
#include "diag/uMonitorAppLog.h"
#include "diag/uSysInfo.h"
#include "platform/Platform.h"
#include "platform/Text.h"

std::unique_ptr<TMonitorManager> GMonitorManager;

namespace {

uintptr_t gDxva2 = 0;

constexpr char kEnumKey[] = "System\\CurrentControlSet\\Enum\\";

bool IsWindowsXP() {
  return txt::SameText(GetOSName(), "Windows XP");
}

}  // namespace

bool LoadDxva2() {
  if (gDxva2) return true;
  gDxva2 = plat::LoadMonitorConfiguration("Dxva2.dll");
  MonitorLogInfo("LoadDxva2 start " + std::to_string(gDxva2));
  return gDxva2 != 0;
}

bool Dxva2Loaded() {
  return gDxva2 != 0;
}

void InitMonitorUnits() {
  InitDefaultMonitorAppLog();
  LoadDxva2();
  GMonitorManager = std::make_unique<TMonitorManager>(GetSettingsFolder());
}

void DoneMonitorUnits() {
  GMonitorManager.reset();
  if (gDxva2) plat::FreeMonitorConfiguration();
  gDxva2 = 0;
}

TMonitorManager::TMonitorManager(const std::string& Folder) : fFolder(Folder) {
  QuickRefresh = true;
  RefreshMonitors();
  QuickRefresh = false;
}

TMonitorManager::~TMonitorManager() {
  Clear();
}

void TMonitorManager::Clear() {
  SupportedMonitors.clear();
  UnsupportedMonitors.clear();
  PrimaryMonitor = nullptr;
  Monitors.clear();
}

void TMonitorManager::RefreshMonitors() {
  if (!gDxva2 || IsWindowsXP()) return;
  MonitorLogInfo("TMonitorManager.RefreshMonitors start");
  Clear();
  ReadEDID();
  if (!Monitors.empty()) Bind();
  {
    TSafeIniFile ini(MonitorIniName());
    if (ini.SectionExists("Test") && !Monitors.empty()) AddTestMonitors(ini);
    for (const auto& m : Monitors) {
      if (m->Unsupported) {
        UnsupportedMonitors.push_back(m.get());
      } else {
        SupportedMonitors.push_back(m.get());
        if (!QuickRefresh) CaptureOriginal(ini, *m);
      }
    }
    if (!QuickRefresh && SupportedMonitors.size() > 1) BuildCommonLists();
  }
  MonitorLogInfo("TMonitorManager.RefreshMonitors end");
}

void TMonitorManager::EnumMonitors() {
  MonitorLogInfo("TMonitorManager.EnumMonitors start");
  std::vector<std::string> ids;
  if (plat::EnumMonitorDevices(ids)) {
    for (const std::string& id : ids) {
      auto m = std::make_unique<TMonitorInfo>();
      m->QuickInit = QuickRefresh;
      m->InstanceID = id;
      Monitors.push_back(std::move(m));
    }
  }
  MonitorLogInfo("TMonitorManager.EnumMonitors end");
}

void TMonitorManager::ReadEDID() {
  MonitorLogInfo("TMonitorManager.ReadEDID start");
  EnumMonitors();
  TRegistry reg(plat::kKEY_READ);
  reg.SetRootKey(plat::kHKEY_LOCAL_MACHINE);
  for (const auto& m : Monitors) {
    reg.CloseKey();
    if (!reg.OpenKeyReadOnly(kEnumKey + m->InstanceID + "\\Device Parameters")) continue;
    uint32_t type = 0;
    if (!reg.GetDataType("EDID", type)) continue;
    const int32_t size = reg.GetDataSize("EDID");
    std::string bytes(static_cast<size_t>(std::max<int32_t>(size, 0)), '\0');
    if (type != plat::kREG_BINARY || size < static_cast<int32_t>(kEdidBlockSize)) {
      // A broken value costs this monitor its identity, never the start-up.
      MonitorLogInfo("TMonitorManager.ReadEDID unusable EDID of " + m->InstanceID + ": type " +
                     std::to_string(type) + ", " + std::to_string(size) + " bytes");
      continue;
    }
    try {
      bytes.resize(static_cast<size_t>(reg.ReadBinaryData("EDID", bytes.data(), size)));
    } catch (const std::exception& e) {
      MonitorLogError("TMonitorManager.ReadEDID: " + std::string(e.what()));
      continue;
    }
    MonitorLogInfo("TMonitorManager.DecodeEDID start");
    DecodeEdid(bytes, *m);
    MonitorLogInfo("TMonitorManager.DecodeEDID end");
  }
  MonitorLogInfo("TMonitorManager.ReadEDID end");
}

void TMonitorManager::Bind() {
  MonitorLogInfo("TMonitorManager.Bind start");
  size_t n = 0;
  plat::DisplayDevice dd;
  for (uint32_t i = 0; plat::EnumDisplayDevicesW(i, dd); ++i) {
    if (!(dd.stateFlags & plat::kDISPLAY_DEVICE_ATTACHED_TO_DESKTOP) ||
        (dd.stateFlags & plat::kDISPLAY_DEVICE_MIRRORING_DRIVER))
      continue;
    if (n < Monitors.size()) {
      Monitors[n]->DeviceName = dd.deviceName.substr(0, 32);
      if (dd.stateFlags & plat::kDISPLAY_DEVICE_PRIMARY_DEVICE) {
        Monitors[n]->IsPrimary = true;
        PrimaryMonitor = Monitors[n].get();
      }
    }
    ++n;
  }
  n = 0;
  plat::EnumDisplayMonitors([&](plat::MonitorHandle h, const plat::MonitorRect& rc) {
    DoMonitorEnum(h, rc, n);
    return true;
  });
  MonitorLogInfo("TMonitorManager.Bind end");
}

void TMonitorManager::DoMonitorEnum(plat::MonitorHandle Monitor, const plat::MonitorRect& Rect,
                                    size_t& N) {
  MonitorLogInfo("DoMonitorEnum start");
  plat::MonitorInfo info;
  plat::GetMonitorInfoW(Monitor, info);
  uint32_t count = 0;
  bool handedOut = false;
  std::vector<plat::PhysicalMonitor> physical;
  if (!plat::GetNumberOfPhysicalMonitorsFromHMONITOR(Monitor, count)) {
    MonitorLogInfo("TMonitorInfo.Init GetNumberOfPhysicalMonitorsFromHMONITOR" +
                   std::to_string(plat::GetLastError()));
    count = 0;
  } else {
    physical.resize(count);
    handedOut = plat::GetPhysicalMonitorsFromHMONITOR(Monitor, physical);
    if (!handedOut)
      MonitorLogInfo("TMonitorInfo.Init GetPhysicalMonitorsFromHMONITOR" +
                     std::to_string(plat::GetLastError()));
  }
  for (size_t i = physical.size(); i-- > 0;) {
    if (N >= Monitors.size()) {
      // No record takes this handle: close it here.
      if (physical[i].handle) plat::DestroyPhysicalMonitor(physical[i].handle);
      continue;
    }
    TMonitorInfo& m = *Monitors[N];
    m.PhysicalMonitor = physical[i];
    m.MonitorHandle = Monitor;
    // Zero-filled records of a failed call stay unsupported.
    if (handedOut) m.Init();
    m.MonitorRect = TRectL{Rect.left, Rect.top, Rect.right, Rect.bottom};
    m.WorkArea = TRectL{info.work.left, info.work.top, info.work.right, info.work.bottom};
    if (info.flags & plat::kMONITORINFOF_PRIMARY) m.IsPrimary = true;
    ++N;
  }
  MonitorLogInfo("DoMonitorEnum end");
}

void TMonitorManager::AddTestMonitors(TSafeIniFile& Ini) {
  std::vector<std::string> keys;
  Ini.ReadSection("Test", keys);
  const TMonitorInfo& first = *Monitors.front();
  for (const std::string& key : keys) {
    auto m = std::make_unique<TMonitorInfo>();
    m->PhysicalMonitor = first.PhysicalMonitor;
    m->OwnsHandle = false;  // the first record destroys the shared handle
    m->MonitorHandle = first.MonitorHandle;
    m->Init();
    const size_t bar = key.find('_');
    m->ManufacturerID = bar == std::string::npos ? std::string() : key.substr(0, bar);
    m->MonitorName = bar == std::string::npos ? key : key.substr(bar + 1);
    m->Unsupported = !Ini.ReadBool("Test", key, true);
    Monitors.push_back(std::move(m));
  }
}

void TMonitorManager::CaptureOriginal(TSafeIniFile& Ini, TMonitorInfo& M) {
  const std::string section = M.MonitorName + "_original";
  uint32_t cur = 0, max = 0;
  const auto capture = [&](const char* key, bool (TMonitorInfo::*read)(uint32_t&, uint32_t&)) {
    if (!Ini.ValueExists(section, key) && (M.*read)(cur, max))
      Ini.WriteInteger(section, key, static_cast<int32_t>(cur));
  };
  capture("Contrast", &TMonitorInfo::GetContrast);
  capture("Brightness", &TMonitorInfo::GetBrightness);
  capture("ColorTemp", &TMonitorInfo::GetColorPreset);
  capture("DCMode", &TMonitorInfo::GetDisplayMode);
}

void TMonitorManager::BuildCommonLists() {
  TMonitorInfo& first = *SupportedMonitors.front();
  const auto narrow = [&](TNameValueList TMonitorInfo::*common,
                          const TNameValueList& (TMonitorInfo::*list)() const) {
    TNameValueList& keep = first.*common;
    for (size_t r = 1; r < SupportedMonitors.size(); ++r) {
      const TNameValueList& other = (SupportedMonitors[r]->*list)();
      for (size_t i = keep.size(); i-- > 0;)
        if (!ListHasEntry(other, keep[i])) keep.erase(keep.begin() + static_cast<long>(i));
    }
    for (size_t r = 1; r < SupportedMonitors.size(); ++r)
      SupportedMonitors[r]->*common = keep;
  };
  narrow(&TMonitorInfo::CommonDisplayModes, &TMonitorInfo::DisplayModeList);
  narrow(&TMonitorInfo::CommonColorPresets, &TMonitorInfo::ColorPresetList);
}

std::vector<std::string> TMonitorManager::BoostSections() const {
  std::vector<std::string> out;
  std::set<std::string> taken;
  for (size_t k = 0; k < SupportedMonitors.size(); ++k) {
    const std::string& name = SupportedMonitors[k]->MonitorName;
    const bool fresh = taken.insert(txt::UpperCase(name)).second;
    out.push_back(fresh ? name + "_Boost" : name + "#" + std::to_string(k + 1) + "_Boost");
  }
  return out;
}
