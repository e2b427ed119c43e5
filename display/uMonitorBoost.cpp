#include "display/uMonitorBoost.h"

#include "config/IniFiles.h"
#include "config/PSafeIniFile.h"
#include "diag/uAppLog.h"
#include "diag/uMonitorAppLog.h"
#include "diag/uSysInfo.h"
#include "display/uMonitorManager.h"
#include "platform/Text.h"

namespace {

constexpr int32_t kNoChoice = -1;
constexpr int32_t kFactoryReset = 0;
constexpr int32_t kKeepSettings = 256;
constexpr int32_t kFirstSeen = 3840;
// VCP values are 16 bits wide; anything else in "Monitor.ini" is not a setting.
constexpr int32_t kMaxVcpValue = 0xFFFF;

bool InVcpRange(int32_t v) {
  return v >= 0 && v <= kMaxVcpValue;
}

// Whether a gaming choice changes colour preset, brightness or contrast (the restore then
// puts them back as well as the display mode).
bool ChangesColours(int32_t choice) {
  return choice == kFactoryReset || choice == kFirstSeen ||
         (choice > kKeepSettings && InVcpRange(choice));
}

bool HasKeys(const TSafeIniFile& ini, const std::string& section) {
  std::vector<std::string> keys;
  ini.ReadSection(section, keys);
  return !keys.empty();
}

// Colour preset, brightness and contrast from Section, each only when it is a VCP value.
void SetColours(TMonitorInfo& m, const TSafeIniFile& ini, const std::string& section,
                int32_t defaultColor, int32_t defaultLevel) {
  const int32_t t = ini.ReadInteger(section, "ColorTemp", defaultColor);
  const int32_t b = ini.ReadInteger(section, "Brightness", defaultLevel);
  const int32_t c = ini.ReadInteger(section, "Contrast", defaultLevel);
  if (InVcpRange(t)) m.SetColorPreset(static_cast<uint32_t>(t));
  if (InVcpRange(b)) m.SetBrightness(static_cast<uint32_t>(b));
  if (InVcpRange(c)) m.SetContrast(static_cast<uint32_t>(c));
}

// Saves the monitor's current settings into a fresh section.
void SaveSettings(TMonitorInfo& m, TSafeIniFile& ini, const std::string& section) {
  uint32_t cur = 0, max = 0;
  ini.WriteInteger(section, "PresetMode",
                   m.GetDisplayMode(cur, max) ? static_cast<int32_t>(cur) : kNoChoice);
  if (m.GetBrightness(cur, max)) ini.WriteInteger(section, "Brightness", static_cast<int32_t>(cur));
  if (m.GetContrast(cur, max)) ini.WriteInteger(section, "Contrast", static_cast<int32_t>(cur));
  if (m.GetColorPreset(cur, max)) ini.WriteInteger(section, "ColorTemp", static_cast<int32_t>(cur));
}

void ApplyChoice(TMonitorInfo& m, const TSafeIniFile& ini, const std::string& base, int32_t value) {
  if (value == kFirstSeen) {
    const std::string original = m.MonitorName + "_original";
    int32_t mode = ini.ReadInteger(original, "DCMode", 0);
    if (mode < 0 || mode > 255) mode = 0;
    m.SetDisplayMode(static_cast<uint32_t>(mode));
    const int32_t b = ini.ReadInteger(original, "Brightness", 100);
    const int32_t c = ini.ReadInteger(original, "Contrast", 100);
    const int32_t t = ini.ReadInteger(original, "ColorTemp", 2);
    if (InVcpRange(b)) m.SetBrightness(static_cast<uint32_t>(b));
    if (InVcpRange(c)) m.SetContrast(static_cast<uint32_t>(c));
    if (InVcpRange(t)) m.SetColorPreset(static_cast<uint32_t>(t));
    m.StoreSettings();
  } else if (value == kFactoryReset) {
    m.ResetFactory();
    m.StoreSettings();
  } else if (value < kKeepSettings) {
    m.SetDisplayMode(static_cast<uint32_t>(value));
    m.StoreSettings();
  } else if (value > kKeepSettings) {
    const std::string preset = base + txt::IntToHex(static_cast<uint64_t>(value), 2);
    m.SetDisplayMode(0);
    SetColours(m, ini, preset, 2, 100);
    m.StoreSettings();
  }
}

// Opens "Monitor.ini"; null (and a log line) when it failed to load, so that nothing
// is changed that could not be recorded.
std::unique_ptr<TSafeIniFile> OpenMonitorIni(const std::string& name, const std::string& where) {
  auto ini = std::make_unique<TSafeIniFile>(name);
  if (!ini->LoadFailed()) return ini;
  MonitorLogInfo(where + " Monitor.ini not loaded, error " + std::to_string(ini->LastError()));
  return nullptr;
}

}  // namespace

void TMonitorManager::MonitorDDCBoost() {
  if (txt::SameText(GetOSName(), "Windows XP")) return;
  MonitorLogInfo("TFrameMonitorDDC.Boost start");
  if (SupportedCount() == 0) {
    QuickRefresh = true;
    RefreshMonitors();
    QuickRefresh = false;
  }
  if (auto ini = OpenMonitorIni(MonitorIniName(), "TFrameMonitorDDC.Boost")) {
    const bool matrix = ini->ReadBool("Main", "MatrixEnabled", false);
    const std::vector<std::string> sections = BoostSections();
    const int count = SupportedCount();
    for (int k = 0; k < count; ++k) {
      TMonitorInfo& m = *SupportedItems(k);
      const std::string base = matrix ? "All" : m.MonitorName;
      const int32_t value = ini->ReadInteger(base, "GamingModeValue", kNoChoice);
      if (!ini->ReadBool(base, "GamingModeEnabled", false) || value == kNoChoice) continue;
      if (!InVcpRange(value)) {
        MonitorLogInfo("TFrameMonitorDDC.Boost GamingModeValue out of range: " +
                       std::to_string(value));
        continue;
      }
      const std::string& section = sections[static_cast<size_t>(k)];
      // A section saved by an earlier boost holds the settings from before it.
      if (!HasKeys(*ini, section)) {
        SaveSettings(m, *ini, section);
        ini->WriteInteger(section, "BoostValue", value);
      } else if (ChangesColours(value) &&
                 !ChangesColours(ini->ReadInteger(section, "BoostValue", kNoChoice))) {
        ini->WriteInteger(section, "BoostValue", value);
      }
      // The record is on disk before the monitor is touched.
      ini->UpdateFile();
      if (ini->LastError() != 0) {
        MonitorLogInfo("TFrameMonitorDDC.Boost Monitor.ini not saved, error " +
                       std::to_string(ini->LastError()));
        continue;
      }
      ApplyChoice(m, *ini, base, value);
    }
  }
  MonitorLogInfo("TFrameMonitorDDC.Boost end");
}

void TMonitorManager::MonitorDDCRestore() {
  if (txt::SameText(GetOSName(), "Windows XP")) return;
  MonitorLogInfo("TFrameMonitorDDC.Resotre start");
  if (SupportedCount() == 0) {
    QuickRefresh = true;
    RefreshMonitors();
    QuickRefresh = false;
  }
  if (auto ini = OpenMonitorIni(MonitorIniName(), "TFrameMonitorDDC.Resotre")) {
    const std::vector<std::string> sections = BoostSections();
    const int count = SupportedCount();
    for (int k = 0; k < count; ++k) {
      TMonitorInfo& m = *SupportedItems(k);
      const std::string& section = sections[static_cast<size_t>(k)];
      if (!ini->SectionExists(section)) continue;
      const int32_t p = ini->ReadInteger(section, "PresetMode", kNoChoice);
      if (p >= 0 && p < kKeepSettings) m.SetDisplayMode(static_cast<uint32_t>(p));
      if (p > kKeepSettings) m.SetDisplayMode(0);
      if (p > kKeepSettings || p < 0 || (txt::SameText(m.ManufacturerID, "SAM") && p == 6) ||
          ChangesColours(ini->ReadInteger(section, "BoostValue", kNoChoice)))
        SetColours(m, *ini, section, kNoChoice, kNoChoice);
      ini->EraseSection(section);
      m.StoreSettings();
    }
  }
  MonitorLogInfo("TFrameMonitorDDC.Resotre end");
}

bool TMonitorBoost::Boost() {
  LogInfo("TMonitorBoost.Boost");
  if (fStop) return false;
  // The marker goes first: a pass cut short still leaves the restore to run.
  if (fTempIni) fTempIni->WriteBool("Monitor", "Monitor", true);
  if (GMonitorManager) GMonitorManager->MonitorDDCBoost();
  LogInfo("TMonitorBoost.Boost Leave");
  return true;
}

void TMonitorBoost::Restore() {
  if (fStop) return;
  if (GMonitorManager) GMonitorManager->MonitorDDCRestore();
  if (fTempIni) fTempIni->EraseSection("Monitor");
}

bool TMonitorBoost::HasRestoreData() {
  return HasSectionKeys("Monitor");
}
