#include "display/uMonitorInfo.h"

#include <algorithm>

#include "diag/uMonitorAppLog.h"
#include "engine/uBoostBase.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

constexpr int kVcpAttempts = 5;
constexpr uint32_t kVcpWaitMs = 50;
constexpr int kCapsAttempts = 50;
constexpr uint32_t kCapsAttemptWaitMs = 10;
constexpr uint32_t kCapsWaitMs = 50;
constexpr uint32_t kDisplayModeWaitMs = 100;
constexpr uint32_t kResetWaitMs = 1000;

constexpr uint8_t kVcpBrightness = 0x10;
constexpr uint8_t kVcpContrast = 0x12;
constexpr uint8_t kVcpColorPreset = 0x14;
constexpr uint8_t kVcpSettings = 0xB0;
constexpr uint8_t kVcpDisplayMode = 0xDC;

}  // namespace

bool SetVCPWithRetry(plat::PhysicalHandle Handle, uint8_t Code, uint32_t Value) {
  for (int i = 0; i < kVcpAttempts; ++i) {
    plat::Sleep(kVcpWaitMs);
    const bool ok = plat::SetVCPFeature(Handle, Code, Value);
    plat::Sleep(kVcpWaitMs);
    if (ok) return true;
  }
  return false;
}

bool GetVCPWithRetry(plat::PhysicalHandle Handle, uint8_t Code, uint32_t& Current,
                     uint32_t& Maximum) {
  for (int i = 0; i < kVcpAttempts; ++i) {
    plat::Sleep(kVcpWaitMs);
    const bool ok = plat::GetVCPFeatureAndVCPFeatureReply(Handle, Code, Current, Maximum);
    plat::Sleep(kVcpWaitMs);
    if (ok) return true;
  }
  return false;
}

TMonitorInfo::~TMonitorInfo() {
  if (OwnsHandle && PhysicalMonitor.handle != 0)
    plat::DestroyPhysicalMonitor(PhysicalMonitor.handle);
}

const TNameValueList& TMonitorInfo::DisplayModeList() const {
  return UseCommonLists ? CommonDisplayModes : DisplayModes;
}

const TNameValueList& TMonitorInfo::ColorPresetList() const {
  return UseCommonLists ? CommonColorPresets : ColorPresets;
}

void TMonitorInfo::Init() {
  MonitorLogInfo("TMonitorInfo.Init start " + ManufacturerID + "  " + MonitorName);
  if (QuickInit) {
    QuickInit = false;
    Unsupported = false;
  } else {
    MonitorLogInfo("FVCPCode_All " + PhysicalMonitor.description);
    Capabilities = CapabilitiesRequestAndCapabilitiesReplyEx();
    MonitorLogInfo("CapabilitiesRequestAndCapabilitiesReplyEx  " + Capabilities);
    if (!Capabilities.empty()) {
      TCapabilityFacts facts = ReadCapabilities(Capabilities);
      if (facts.TimedOut) MonitorLogInfo("AnalyzeVCP  TimeOut");
      // A reply that lists no VCP code (garbage on the bus) does not make a monitor drivable.
      Unsupported = !facts.Supported();
      VCPCodes = std::move(facts.VCPCodes);
      DisplayModes = std::move(facts.DisplayModes);
      ColorPresets = std::move(facts.ColorPresets);
      CommonDisplayModes = DisplayModes;
      CommonColorPresets = ColorPresets;
    }
  }
  MonitorLogInfo("TMonitorInfo.Init end");
}

std::string TMonitorInfo::CapabilitiesRequestAndCapabilitiesReplyEx() {
  MonitorLogInfo("CapabilitiesRequestAndCapabilitiesReplyEx start");
  std::string result;
  const plat::PhysicalHandle h = PhysicalMonitor.handle;
  plat::Sleep(kCapsWaitMs);
  uint32_t length = 0;
  bool haveLength = false;
  for (int i = 0; i < kCapsAttempts && !haveLength; ++i) {
    length = 0;
    // A length of 0 is no answer; a monitor cannot make the program take more than the cap.
    haveLength = plat::GetCapabilitiesStringLength(h, length) && length > 0;
    plat::Sleep(kCapsAttemptWaitMs);
    ProcessMessages();
  }
  if (haveLength) {
    length = std::min(length, kMaxCapabilitiesLength);
    std::string buffer(length, '\0');
    plat::Sleep(kCapsWaitMs);
    bool ok = false;
    for (int i = 0; i < kCapsAttempts && !ok; ++i) {
      ok = plat::CapabilitiesRequestAndCapabilitiesReply(h, buffer);
      plat::Sleep(kCapsAttemptWaitMs);
      ProcessMessages();
    }
    if (ok) {
      const size_t end = buffer.find('\0');
      result = txt::AnsiToUtf8(buffer.substr(0, end));
    }
  }
  MonitorLogInfo("CapabilitiesRequestAndCapabilitiesReplyEx end");
  return result;
}

bool TMonitorInfo::SetVCP(uint8_t Code, uint32_t Value, const std::string& Name, bool Hex) {
  const bool ok = SetVCPWithRetry(PhysicalMonitor.handle, Code, Value);
  const std::string value = Hex ? txt::IntToHex(Value, 2) : std::to_string(Value);
  MonitorLogInfo("Set " + Name + (ok ? " Success  " : " Fail  ") + value);
  return ok;
}

bool TMonitorInfo::GetVCP(uint8_t Code, uint32_t& Current, uint32_t& Maximum,
                          const std::string& Name, bool LogFailure) {
  const bool ok = GetVCPWithRetry(PhysicalMonitor.handle, Code, Current, Maximum);
  if (ok || LogFailure) MonitorLogInfo("Get " + Name + (ok ? " Success" : " Fail"));
  return ok;
}

bool TMonitorInfo::SetDisplayMode(uint32_t Value) {
  const bool ok = SetVCP(kVcpDisplayMode, Value, "VCP_DC", true);
  plat::Sleep(kDisplayModeWaitMs);
  return ok;
}

bool TMonitorInfo::GetDisplayMode(uint32_t& Current, uint32_t& Maximum) {
  return GetVCP(kVcpDisplayMode, Current, Maximum, "VCP_DC", true);
}

bool TMonitorInfo::SetColorPreset(uint32_t Value) {
  return SetVCP(kVcpColorPreset, Value, "VCP_14", true);
}

bool TMonitorInfo::GetColorPreset(uint32_t& Current, uint32_t& Maximum) {
  return GetVCP(kVcpColorPreset, Current, Maximum, "VCP_14", true);
}

bool TMonitorInfo::SetBrightness(uint32_t Value) {
  return SetVCP(kVcpBrightness, Value, "Brightness", false);
}

bool TMonitorInfo::GetBrightness(uint32_t& Current, uint32_t& Maximum) {
  return GetVCP(kVcpBrightness, Current, Maximum, "Brightness", false);
}

bool TMonitorInfo::SetContrast(uint32_t Value) {
  return SetVCP(kVcpContrast, Value, "Contrast", false);
}

bool TMonitorInfo::GetContrast(uint32_t& Current, uint32_t& Maximum) {
  return GetVCP(kVcpContrast, Current, Maximum, "Contrast", true);
}

bool TMonitorInfo::StoreSettings() {
  return SetVCP(kVcpSettings, 1, "StoreSetting", false);
}

bool TMonitorInfo::ResetFactory() {
  const bool ok = plat::RestoreMonitorFactoryColorDefaults(PhysicalMonitor.handle);
  MonitorLogInfo(ok ? "Get ResetFactory Success" : "Get ResetFactory Fail");
  plat::Sleep(kResetWaitMs);
  return ok;
}
