#include "config/UnitGAConfig.h"

#include <climits>
#include <cstdint>
#include <exception>
#include <stdexcept>

#include "config/IniFiles.h"
#include "config/RegistryClass.h"
#include "diag/uAppLog.h"
#include "diag/uSysInfo.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"

std::unique_ptr<TGAConfig> GConfig;
std::string GSettingsFolder;
std::unique_ptr<TSafeIniFile> GStatIni;
int32_t GProgramCount = 0;
std::string GInstallDate;

namespace {

constexpr const char* kConfig = "Config";
constexpr const char* kBoost = "Boost";
constexpr const char* kSettingsFileName = "Velmorix.ini";
constexpr const char* kInstallDateKey = "SOFTWARE\\WOW6432Node\\Trevanic\\Velmora";

std::string WithDelimiter(const std::string& path) {
  return fileutil::IncludeTrailingPathDelimiter(path);
}

std::string BoolWord(bool value) {
  return value ? "True" : "False";
}

std::string Today() {
  return txt::FormatYyyymmdd(txt::Now());
}

// The settings file, saved as UTF-16 LE with byte-order mark.
std::unique_ptr<TSafeIniFile> OpenSettingsFile() {
  auto ini = std::make_unique<TSafeIniFile>(GetSettingsFolder() + kSettingsFileName);
  ini->SetEncoding(TEncoding::kUnicode);
  return ini;
}

// A data file of the program folder read into memory and never saved.
std::string ReadDataFile(const std::string& fileName, const std::string& section,
                         const std::string& ident, const std::string& defaultValue) {
  const std::string path = GetOwnFolder() + fileName;
  if (!fileutil::FileExists(path)) return defaultValue;
  TSafeIniFile ini;
  ini.LoadFromFile(path);
  return ini.ReadString(section, ident, defaultValue);
}

// The default picture or video folder.
std::string MediaFolder(int csidl, const char* oldName, const char* newName,
                        const char* logPrefix) {
  try {
    std::string path;
    if (!plat::SHGetSpecialFolderPathW(csidl, path)) path.clear();
    if (!path.empty() && fileutil::DirectoryExists(path)) return path;
    path = WithDelimiter(GetSpecialFolderPath(plat::kCSIDL_PROFILE)) + oldName;
    if (!fileutil::DirectoryExists(path) && !fileutil::ForceDirectories(path))
      throw std::runtime_error("Unable to create directory " + path);
    return path;
  } catch (const std::exception& e) {
    LogError(std::string(logPrefix) + e.what());
  }
  std::string path = WithDelimiter(GetSpecialFolderPath(plat::kCSIDL_PROFILE)) + newName;
  if (!fileutil::DirectoryExists(path)) fileutil::ForceDirectories(path);
  return path;
}

// The day serial as "YYYYMMDD"; raises for a serial outside the years 1 to 9999.
std::string FormatDaySerial(int64_t days) {
  constexpr int64_t kFirstDay = -693593;  // 1 January 0001
  constexpr int64_t kLastDay = 2958465;   // 31 December 9999
  if (days < kFirstDay || days > kLastDay)
    throw std::out_of_range("Invalid date serial " + txt::IntToStr(days));
  return txt::FormatYyyymmdd(static_cast<double>(days));
}

}  // namespace

// ---------------------------------------------------------------- helpers

std::string GetOwnFolder() {
  return fileutil::ExtractFilePath(plat::GetModuleFileNameW());
}

std::string GetSettingsFolder() {
  return GetSpecialFolderPath(plat::kCSIDL_APPDATA) + "\\Trevanic\\Velmora\\";
}

int32_t ShiftStateToHotKeyMod(TShiftState shift) {
  int32_t mod = 0;
  if (shift & ssShift) mod += 4;
  if (shift & ssCtrl) mod += 2;
  if (shift & ssAlt) mod += 1;
  return mod;
}

void ShortCutToKey(int32_t shortCut, int32_t& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = 0;
  if (shortCut & 0x2000) shift |= ssShift;
  if (shortCut & 0x4000) shift |= ssCtrl;
  if (shortCut & 0x8000) shift |= ssAlt;
}

int32_t CelsiusToFahrenheit(int32_t c) {
  // Degrees beyond what an Integer holds are clamped to its limits.
  const double f = c * 1.8 + 32;
  if (f >= static_cast<double>(INT32_MAX)) return INT32_MAX;
  if (f <= static_cast<double>(INT32_MIN)) return INT32_MIN;
  return static_cast<int32_t>(f);
}

std::string GetOwnMajorVersion() {
  TFileVersionRecord record;
  if (!ReadFileVersionRecord(plat::GetModuleFileNameW(), true, record)) return "";
  return txt::IntToStr(record.Fixed[2] >> 16);
}

// ---------------------------------------------------------------- TGAConfig

TGAConfig::TGAConfig() {
  FIniFileName = GetSettingsFolder() + kSettingsFileName;
  FDefaultAlarmFile = GetOwnFolder() + "alarm.wav";
  LoadConfig();
  if (FAutoGameMode && FShowGameMode) SaveShowGameMode(false);
}

TGAConfig::~TGAConfig() = default;

std::unique_ptr<TSafeIniFile> TGAConfig::OpenSettingsIni() {
  return OpenSettingsFile();
}

void TGAConfig::SetDefaults() {
  static_cast<TGAConfigFields&>(*this) = TGAConfigFields();
  FAlarmFile = FDefaultAlarmFile;
  GProgramCount = 0;
}

void TGAConfig::CheckTemUnit() {
  const uint16_t langId = plat::GetSystemDefaultLangID();
  LogDebug("CheckTemUnit : " + txt::IntToStr(langId));
  if (langId == 1033) {
    FIsCelsiusTemp = false;
    FWarnTempCPU = 194;
    FWarnTempVGA = 194;
    FWarnTempBoard = 176;
    FWarnTempHD = 140;
  } else {
    FIsCelsiusTemp = true;
    FWarnTempCPU = 90;
    FWarnTempVGA = 90;
    FWarnTempBoard = 80;
    FWarnTempHD = 60;
  }
}

std::string TGAConfig::GetPicturePath() {
  return MediaFolder(plat::kCSIDL_MYPICTURES, "My Pictures\\", "Pictures\\", "GetPicturePath:");
}

std::string TGAConfig::GetVideoPath() {
  return MediaFolder(plat::kCSIDL_MYVIDEO, "My Video\\", "Videos\\", "GetVideoPath:");
}

void TGAConfig::LoadHotkeyInfo() {
  FHotkeyInfo.nID = 4096;
  try {
    auto ini = OpenSettingsIni();
    FHotkeyInfo.nVK = ini->ReadInteger(kConfig, "FHotkeyInfo.nVK", 65);
    FHotkeyInfo.nMod = ini->ReadInteger(kConfig, "FHotkeyInfo.nMod", 1);
  } catch (...) {
    FHotkeyInfo.nVK = 65;
    FHotkeyInfo.nMod = 1;
  }
}

void TGAConfig::SaveHotkeyInfo() {
  try {
    auto ini = OpenSettingsIni();
    ini->WriteInteger(kConfig, "FHotkeyInfo.nVK", FHotkeyInfo.nVK);
    ini->WriteInteger(kConfig, "FHotkeyInfo.nMod", FHotkeyInfo.nMod);
  } catch (...) {
  }
}

void TGAConfig::GetInstallDate() {
  try {
    auto ini = OpenSettingsIni();
    GInstallDate = ini->ReadString(kConfig, "FInstallDate", "");
    if (txt::Utf8ToUtf16(GInstallDate).size() > 8)
      GInstallDate = txt::Utf16ToUtf8(txt::Utf8ToUtf16(GInstallDate).substr(0, 8));
    const std::string instTime = ini->ReadString(kConfig, "InstTime", "");
    if (!instTime.empty() && !GInstallDate.empty()) return;

    std::string date;
    try {
      TRegistry reg;
      reg.SetRootKey(plat::kHKEY_LOCAL_MACHINE);
      if (reg.OpenKeyReadOnly(kInstallDateKey))
        date = FormatDaySerial(reg.ReadInteger("InstallDate"));
    } catch (const std::exception& e) {
      LogError(std::string("GetInstallDate:") + e.what());
    }
    if (date.empty()) date = Today();
    if (instTime.empty()) ini->WriteString(kConfig, "InstTime", date);
    if (GInstallDate.empty()) {
      GInstallDate = date;
      ini->WriteString(kConfig, "FInstallDate", date);
    }
  } catch (...) {
    GInstallDate = Today();
  }
}

void TGAConfig::LoadConfig() {
  SetDefaults();
  fSettingsUnread = false;
  CheckTemUnit();
  FDefaultScreenDir = WithDelimiter(GetPicturePath()) + "Velmora\\";
  FDefaultAVIDir = WithDelimiter(GetVideoPath()) + "Velmora\\";
  FPSScreenDir = FDefaultScreenDir;
  FPSAVIDir = FDefaultAVIDir;
  LoadHotkeyInfo();
  GetInstallDate();
  try {
    {
      auto ini = OpenSettingsIni();
      ReadKeys(*ini);
      fSettingsUnread = ini->LoadFailed();
    }
    // Legacy values go over the file's own ones.
    MigrateOldConfig();
  } catch (...) {
    // The values read so far stay.
  }
}

void TGAConfig::ReadKeys(TSafeIniFile& ini) {
  auto readBool = [&](const char* section, const char* key, bool& field) {
    field = ini.ReadBool(section, key, field);
  };
  auto readInt = [&](const char* section, const char* key, int32_t& field) {
    field = ini.ReadInteger(section, key, field);
  };
  auto readStr = [&](const char* section, const char* key, std::string& field) {
    field = ini.ReadString(section, key, field);
  };

  readBool(kConfig, "FConfigApplyShowTip", FConfigApplyShowTip);
  readBool(kConfig, "FbTweakExportMode", FbTweakExportMode);
  FdLastActiveStatTime = ini.ReadFloat(kConfig, "FdLastActiveStatTime", FdLastActiveStatTime);
  readBool(kConfig, "FbShowDragHint", FbShowDragHint);
  readBool(kConfig, "FbShowRecommad", FbShowRecommad);
  readBool(kConfig, "FPopAlarmWindows", FPopAlarmWindows);
  readInt(kConfig, "DisplayFPS2", FDisplayFPS2);
  readInt(kConfig, "ExitGameDeskTop2", FExitGameDeskTop2);
  readInt(kConfig, "RestoreHootKey2", FRestoreHootKey2);
  readInt(kConfig, "BoostHootKey2", FBoostHootKey2);
  readInt(kConfig, "ScreenHotkey2", FScreenHotkey2);
  readInt(kConfig, "RecordHotkey2", FRecordHotkey2);
  readInt(kConfig, "RecordHotkey1", FRecordHotkey1);
  readInt(kConfig, "ScreenHotkey1", FScreenHotkey1);
  readInt(kConfig, "DisplayFPS1", FDisplayFPS1);
  readInt(kConfig, "ExitGameDeskTop1", FExitGameDeskTop1);
  readInt(kConfig, "RestoreHootKey1", FRestoreHootKey1);
  readInt(kConfig, "BoostHootKey1", FBoostHootKey1);
  readBool(kConfig, "FbContextmenu", FbContextmenu);
  readBool(kConfig, "FStreamAuotoBoost", FStreamAuotoBoost);
  readBool(kConfig, "FBoostRestore", FBoostRestore);
  readInt(kConfig, "FAutoMinimizeTime", FAutoMinimizeTime);
  readBool(kConfig, "FCheckAutoMinimizeTime", FCheckAutoMinimizeTime);
  readInt(kConfig, "FEnableProxy", FEnableProxy);
  readStr(kConfig, "FProxyServer", FProxyServer);
  readStr(kConfig, "FProxyUserName", FProxyUserName);
  readStr(kConfig, "FProxyPort", FProxyPort);
  readStr(kConfig, "FProxyPassword", FProxyPassword);
  FGameSortType = static_cast<uint8_t>(ini.ReadInteger(kConfig, "FGameSortType", FGameSortType));
  readBool(kConfig, "FOGClicked", FOGClicked);
  readBool(kConfig, "FShowWahtInfo", FShowWahtInfo);
  readBool(kConfig, "FFastRun", FFastRun);
  readBool(kConfig, "FRunWithWindows", FRunWithWindows);
  readBool(kConfig, "FShowNewsIcon", FShowNewsIcon);
  GProgramCount = ini.ReadInteger(kConfig, "FProgramCount", GProgramCount);
  readBool(kConfig, "GameAutoscan", FGameAutoscan);
  readBool(kConfig, "FIsCelsiusTemp", FIsCelsiusTemp);
  readBool(kConfig, "FShowHotkeyError", FShowHotkeyError);
  readBool(kConfig, "FDisplayTempInGame", FDisplayTempInGame);
  readBool(kConfig, "FShowNewfeature", FShowNewfeature);
  readBool(kConfig, "FAutoAlarm", FAutoAlarm);
  readBool(kConfig, "FAlarmSound", FAlarmSound);
  readInt(kConfig, "FGAPosition.X", FGAPosition.X);
  readInt(kConfig, "FGAPosition.Y", FGAPosition.Y);
  readInt(kConfig, "FWarnTempCPU", FWarnTempCPU);
  readInt(kConfig, "FWarnTempVGA", FWarnTempVGA);
  readInt(kConfig, "FWarnTempBoard", FWarnTempBoard);
  readInt(kConfig, "FWarnTempHD", FWarnTempHD);
  readStr(kConfig, "FAlarmFile", FAlarmFile);
  readStr(kConfig, "Language", FLanguage);
  readBool(kConfig, "FShowGameMode", FShowGameMode);
  readInt(kConfig, "FAlphaBlendValue", FAlphaBlendValue);
  readInt(kConfig, "FOverlayConer", FOverlayConer);
  if (FOverlayConer < 0) FOverlayConer = 0;
  readBool(kConfig, "FAutoGameMode", FAutoGameMode);
  readBool(kConfig, "FShowCategoryTips", FShowCategoryTips);
  readBool(kConfig, "FShowNoGameTips", FShowNoGameTips);
  readBool(kConfig, "FShowInGameTips", FShowInGameTips);
  readInt(kConfig, "FnWarnProcessCPU", FnWarnProcessCPU);
  readInt(kConfig, "FnWarnProcessMemory", FnWarnProcessMemory);
  readInt(kConfig, "FTemColor0", FTemColor0);
  readInt(kConfig, "FTemColor1", FTemColor1);
  readInt(kConfig, "FTemColor2", FTemColor2);
  readBool(kConfig, "FShowTem0", FShowTem0);
  readBool(kConfig, "FShowTem1", FShowTem1);
  readBool(kConfig, "FShowTem2", FShowTem2);
  readStr(kConfig, "FPSScreenDir", FPSScreenDir);
  readStr(kConfig, "FSkinName", FSkinName);
  readStr(kConfig, "FPSAVIDir", FPSAVIDir);
  fileutil::ForceDirectories(FPSScreenDir);
  fileutil::ForceDirectories(FPSAVIDir);

  readStr("Feedback", "UserMail", FUserMail);
  readBool("AutoDriverConfig", "Enable", FAutoDriverEnable);
  readInt("AutoDriverConfig", "Method", FAutoDriverMethod);
  readBool("AutoDriverConfig", "audio", FAutoDriverAudio);
  readBool("AutoDriverConfig", "graphics", FAutoDriverGraphics);
  readInt("AutoDriverConfig", "IdleTime", FAutoDriverIdleTime);
  readBool("AutoDefragConfig", "Enable", FAutoDefragEnable);
  readInt("AutoDefragConfig", "IdleTime", FAutoDefragIdleTime);
  readInt("AutoDefragConfig", "Method", FAutoDefragMethod);
  readBool("silentMode", "Enable", FSilentModeEnable);
  FNewUser = ini.ReadInteger(kConfig, "NewUser" + GetOwnMajorVersion(), FNewUser);

  // The legacy overclock switch becomes overclock level 2.
  if (ini.ValueExists(kBoost, "OverClock")) {
    FOldOverClock = ini.ReadBool(kBoost, "OverClock", false);
    ini.DeleteKey(kBoost, "OverClock");
  }
  FOCLevel = ini.ReadInteger(kBoost, "OCLevel", 1);
  if (FOldOverClock) {
    ini.WriteInteger(kBoost, "OCLevel", 2);
    FOCLevel = 2;
  }
  readInt(kBoost, "OC_GPU", FOC_GPU);
  readInt(kBoost, "OC_RAM", FOC_RAM);

  readInt(kConfig, "FPScolor", FPScolor);
  readInt(kConfig, "VideoQuality", FVideoQuality);
  readBool(kConfig, "RecordFullScreen", FRecordFullScreen);
  readBool(kConfig, "FRestoreProcesses", FRestoreProcesses);
  readBool(kConfig, "FRestoreServices", FRestoreServices);
  readInt("GPU", "GPUNodeIndex", FGPUNodeIndex);
  FShowNew = ini.ReadInteger("CURI", "HaveShowNew", 0) == 0;
  FRedHint = ini.ReadInteger("MonitorTune", "Redhint", 0) == 0;
}

void TGAConfig::MigrateOldConfig() {
  const std::string vx3 = GSettingsFolder + "OldCfgVX3.ini";
  const std::string svx = GSettingsFolder + "OldCfgSVX.ini";
  std::vector<std::string> migrated;
  if (fileutil::FileExists(vx3)) {
    MigrateVX3(vx3);
    migrated.push_back(vx3);
  }
  if (fileutil::FileExists(svx)) {
    MigrateSVX(svx);
    migrated.push_back(svx);
  }
  // A legacy file goes only once its values are safely in the settings file; else the
  // next run migrates it again.
  if (!migrated.empty() && SaveConfig(false)) {
    for (const std::string& file : migrated)
      plat::DeleteFileW(file);
  }
}

void TGAConfig::MigrateVX3(const std::string& fileName) {
  TIniFile ini(fileName);
  FEnableProxy = 0;
  if (ini.ReadBool("Proxy", "EnabeldProxy", false)) {
    FEnableProxy = 2;
    FProxyServer = ini.ReadString("Proxy", "Host", "");
    FProxyPort = txt::IntToStr(ini.ReadInteger("Proxy", "Port", 80));
    FProxyUserName = ini.ReadString("Proxy", "Username", "");
    FProxyPassword = ini.ReadString("Proxy", "Password", "");
  }
  auto hotKey = [&](const char* ident, int32_t defaultValue, int32_t& key, int32_t& mod) {
    TShiftState shift = 0;
    ShortCutToKey(ini.ReadInteger("HotKey", ident, defaultValue), key, shift);
    mod = ShiftStateToHotKeyMod(shift);
  };
  hotKey("Boost", 49218, FBoostHootKey1, FBoostHootKey2);
  hotKey("Restore", 49234, FRestoreHootKey1, FRestoreHootKey2);
  hotKey("CloseDeskKey", 32891, FExitGameDeskTop1, FExitGameDeskTop2);
  const int64_t alpha = 255 - static_cast<int64_t>(ini.ReadInteger("Main", "Transparency", 255));
  if (alpha > INT32_MAX) {
    LogError("TGAConfig.MigrateVX3: Transparency out of range, clamped");
    FAlphaBlendValue = INT32_MAX;
  } else {
    FAlphaBlendValue = alpha < 0 ? 0 : static_cast<int32_t>(alpha);
  }
  FbContextmenu = ini.ReadBool("ContextMenu", "Enable", true);
  FLanguage = ini.ReadString("Main", "Language", "English");
  FStreamAuotoBoost = ini.ReadBool("Main", "MonitorSteam", true);
  FBoostRestore = ini.ReadBool("Main", "AutoRecover", true);
  FAutoMinimizeTime = ini.ReadInteger("Main", "Countdown", 10);
  FCheckAutoMinimizeTime = ini.ReadBool("Main", "AutoMinimize", true);
  FFastRun = ini.ReadBool("Main", "CloseToTray", true);
  FRunWithWindows = ini.ReadBool("Main", "Startup", false);
}

void TGAConfig::MigrateSVX(const std::string& fileName) {
  TIniFile ini(fileName);
  FTemColor0 = ini.ReadInteger(kConfig, "FTemColor0", FTemColor0);
  FTemColor1 = ini.ReadInteger(kConfig, "FTemColor1", FTemColor1);
  FTemColor2 = ini.ReadInteger(kConfig, "FTemColor2", FTemColor2);
  // Proxy values the other legacy file brought stay unless this file has its own.
  FProxyServer = ini.ReadString(kConfig, "FProxyServer", FProxyServer);
  FProxyUserName = ini.ReadString(kConfig, "FProxyUserName", FProxyUserName);
  FProxyPort = ini.ReadString(kConfig, "FProxyPort", FProxyPort);
  FProxyPassword = ini.ReadString(kConfig, "FProxyPassword", FProxyPassword);
  FOverlayConer = ini.ReadInteger(kConfig, "FOverlayConer", FOverlayConer);
  if (FOverlayConer == 1) {
    FOverlayConer = 2;
  } else if (FOverlayConer == 2) {
    FOverlayConer = 1;
  }
  FDisplayTempInGame = ini.ReadBool(kConfig, "FDisplayTempInGame", FDisplayTempInGame);
  FAutoAlarm = ini.ReadBool(kConfig, "FAutoAlarm", FAutoAlarm);

  // The file keeps its thresholds in degrees Celsius; the record's own values are in
  // the unit the record had before this file was read.
  const bool recordInCelsius = FIsCelsiusTemp;
  struct Threshold {
    const char* key;
    int32_t* field;
    bool celsius;
  };
  Threshold thresholds[] = {{"FWarnTempCPU", &FWarnTempCPU, false},
                            {"FWarnTempVGA", &FWarnTempVGA, false},
                            {"FWarnTempBoard", &FWarnTempBoard, false},
                            {"FWarnTempHD", &FWarnTempHD, false}};
  for (Threshold& t : thresholds) {
    t.celsius = ini.ValueExists(kConfig, t.key) || recordInCelsius;
    *t.field = ini.ReadInteger(kConfig, t.key, *t.field);
  }
  FAlarmSound = ini.ReadBool(kConfig, "FAlarmSound", FAlarmSound);
  FAlarmFile = ini.ReadString(kConfig, "FAlarmFile", FAlarmFile);
  FIsCelsiusTemp = ini.ReadBool(kConfig, "FIsCelsiusTemp", FIsCelsiusTemp);
  if (!FIsCelsiusTemp) {
    for (Threshold& t : thresholds) {
      if (!t.celsius) continue;
      const int32_t c = *t.field;
      *t.field = CelsiusToFahrenheit(c);
      if (*t.field == INT32_MAX || *t.field == INT32_MIN)
        LogError(std::string("TGAConfig.MigrateSVX: ") + t.key + " " + std::to_string(c) +
                 " out of range, clamped");
    }
  }
  FAlphaBlendValue = ini.ReadInteger(kConfig, "FAlphaBlendValue", FAlphaBlendValue);
  FLanguage = ini.ReadString(kConfig, "Language", FLanguage);
  FFastRun = ini.ReadInteger(kConfig, "FFastRun", 1) == 1;
  FRunWithWindows = ini.ReadBool(kConfig, "FRunWithWindows", true);
}

bool TGAConfig::SaveConfig(bool /*flag*/) {
  if (fSettingsUnread) return false;
  if (!fileutil::FileExists(FAlarmFile)) FAlarmFile = FDefaultAlarmFile;
  SaveHotkeyInfo();
  auto ini = OpenSettingsIni();
  try {
    auto writeBool = [&](const char* section, const char* key, bool value) {
      ini->WriteBool(section, key, value);
    };
    auto writeInt = [&](const char* section, const char* key, int32_t value) {
      ini->WriteInteger(section, key, value);
    };
    auto writeStr = [&](const char* section, const char* key, const std::string& value) {
      ini->WriteString(section, key, value);
    };
    writeInt(kConfig, "FOverlayConer", FOverlayConer);
    writeInt(kConfig, "BoostHootKey1", FBoostHootKey1);
    writeInt(kConfig, "BoostHootKey2", FBoostHootKey2);
    writeInt(kConfig, "RestoreHootKey1", FRestoreHootKey1);
    writeInt(kConfig, "RestoreHootKey2", FRestoreHootKey2);
    writeInt(kConfig, "ExitGameDeskTop1", FExitGameDeskTop1);
    writeInt(kConfig, "ExitGameDeskTop2", FExitGameDeskTop2);
    writeInt(kConfig, "DisplayFPS1", FDisplayFPS1);
    writeInt(kConfig, "DisplayFPS2", FDisplayFPS2);
    writeInt(kConfig, "ScreenHotkey1", FScreenHotkey1);
    writeInt(kConfig, "ScreenHotkey2", FScreenHotkey2);
    writeInt(kConfig, "RecordHotkey1", FRecordHotkey1);
    writeInt(kConfig, "RecordHotkey2", FRecordHotkey2);
    writeBool(kConfig, "FbContextmenu", FbContextmenu);
    writeBool(kConfig, "FBoostRestore", FBoostRestore);
    writeInt(kConfig, "FAutoMinimizeTime", FAutoMinimizeTime);
    writeBool(kConfig, "FCheckAutoMinimizeTime", FCheckAutoMinimizeTime);
    writeInt(kConfig, "FEnableProxy", FEnableProxy);
    writeStr(kConfig, "FProxyServer", FProxyServer);
    writeStr(kConfig, "FProxyUserName", FProxyUserName);
    writeStr(kConfig, "FProxyPort", FProxyPort);
    writeStr(kConfig, "FProxyPassword", FProxyPassword);
    writeInt(kConfig, "FGameSortType", FGameSortType);
    writeBool(kConfig, "FOGClicked", FOGClicked);
    writeBool(kConfig, "FShowWahtInfo", FShowWahtInfo);
    writeBool(kConfig, "FFastRun", FFastRun);
    writeBool(kConfig, "FRunWithWindows", FRunWithWindows);
    writeBool(kConfig, "FIsCelsiusTemp", FIsCelsiusTemp);
    writeBool(kConfig, "FDisplayTempInGame", FDisplayTempInGame);
    writeBool(kConfig, "FShowNewfeature", FShowNewfeature);
    writeBool(kConfig, "FAutoAlarm", FAutoAlarm);
    writeBool(kConfig, "FAlarmSound", FAlarmSound);
    writeInt(kConfig, "FGAPosition.X", FGAPosition.X);
    writeInt(kConfig, "FGAPosition.Y", FGAPosition.Y);
    writeInt(kConfig, "FWarnTempCPU", FWarnTempCPU);
    writeInt(kConfig, "FWarnTempVGA", FWarnTempVGA);
    writeInt(kConfig, "FWarnTempHD", FWarnTempHD);
    writeInt(kConfig, "FWarnTempBoard", FWarnTempBoard);
    writeStr(kConfig, "FAlarmFile", FAlarmFile);
    writeStr(kConfig, "Language", FLanguage);
    writeInt(kConfig, "FAlphaBlendValue", FAlphaBlendValue);
    writeBool(kConfig, "FAutoGameMode", FAutoGameMode);
    writeInt(kConfig, "FnWarnProcessCPU", FnWarnProcessCPU);
    writeInt(kConfig, "FnWarnProcessMemory", FnWarnProcessMemory);
    writeInt(kConfig, "FTemColor0", FTemColor0);
    writeInt(kConfig, "FTemColor1", FTemColor1);
    writeInt(kConfig, "FTemColor2", FTemColor2);
    writeBool(kConfig, "FShowTem0", FShowTem0);
    writeBool(kConfig, "FShowTem1", FShowTem1);
    writeBool(kConfig, "FShowTem2", FShowTem2);
    writeStr(kConfig, "FPSScreenDir", FPSScreenDir);
    writeStr(kConfig, "FPSAVIDir", FPSAVIDir);
    writeStr(kConfig, "FSkinName", FSkinName);
    writeBool(kConfig, "GameAutoscan", FGameAutoscan);
    writeInt("AutoDriverConfig", "Method", FAutoDriverMethod);
    writeBool("AutoDriverConfig", "audio", FAutoDriverAudio);
    writeBool("AutoDriverConfig", "graphics", FAutoDriverGraphics);
    writeInt("AutoDriverConfig", "IdleTime", FAutoDriverIdleTime);
    writeInt("AutoDefragConfig", "IdleTime", FAutoDefragIdleTime);
    writeInt("AutoDefragConfig", "Method", FAutoDefragMethod);
    writeBool("silentMode", "Enable", FSilentModeEnable);
    ini->WriteInteger(kConfig, "NewUser" + GetOwnMajorVersion(), FNewUser);
    writeInt(kConfig, "VideoQuality", FVideoQuality);
    writeBool(kConfig, "RecordFullScreen", FRecordFullScreen);
    writeInt(kConfig, "FPScolor", FPScolor);
    writeBool(kConfig, "FRestoreProcesses", FRestoreProcesses);
    writeBool(kConfig, "FRestoreServices", FRestoreServices);
    writeInt("GPU", "GPUNodeIndex", FGPUNodeIndex);
    writeBool("AutoDriverConfig", "Enable", FAutoDriverEnable);
    writeBool("AutoDefragConfig", "Enable", FAutoDefragEnable);
    writeInt(kBoost, "OCLevel", FOCLevel);
    writeInt(kBoost, "OC_GPU", FOC_GPU);
    writeInt(kBoost, "OC_RAM", FOC_RAM);
    writeBool(kConfig, "FStreamAuotoBoost", FStreamAuotoBoost);
  } catch (...) {
    // Save errors are dropped; the object is still released.
    return false;
  }
  // Never over a file that could not be read.
  if (ini->LoadFailed()) return false;
  ini->UpdateFile();
  return ini->LastError() == 0;
}

void TGAConfig::SaveShowGameMode(bool value) {
  FShowGameMode = value;
  try {
    auto ini = OpenSettingsIni();
    ini->WriteBool(kConfig, "FShowGameMode", value);
  } catch (...) {
  }
}

// ---------------------------------------------------------------- unit globals

void InitConfigGlobals(bool skipObjects) {
  GSettingsFolder =
      WithDelimiter(GetSpecialFolderPath(plat::kCSIDL_APPDATA)) + "Trevanic\\Velmora\\";
  for (const std::string& folder : {GSettingsFolder, GSettingsFolder + "Logs"}) {
    if (!fileutil::ForceDirectories(folder))
      LogError("InitConfigGlobals: \"" + folder + "\" system error " +
               std::to_string(plat::GetLastError()));
  }
  if (skipObjects) return;
  GStatIni = std::make_unique<TSafeIniFile>(GSettingsFolder + "Stat.ini");
  GConfig = std::make_unique<TGAConfig>();
}

void DoneConfigGlobals() {
  GConfig.reset();
  GStatIni.reset();
  GSettingsFolder.clear();
}

void InitAMD8Support() {
  bool support = false;
  {
    TSafeIniFile update(GetOwnFolder() + "Update\\Update.ini");
    const std::string version = GetFileVersionText(GetOwnFolder() + "VlxMain.exe", 3, "0");
    auto common = [&] { return update.ReadBool("vlmx_config", "MISC_OCAMD8", false); };
    if (version == "0") {
      LogInfo("Get MainVer Failed,Use common");
      support = common();
    } else {
      int32_t value = update.ReadInteger("vlmx_config", "MISC_OCAMD8_" + version, -1);
      if (value != -1) {
        support = value == 1;
        LogInfo("InitAMD8Support 4 Support=" + BoolWord(support));
      } else {
        const size_t dot = version.rfind('.');
        if (dot == std::string::npos || dot == 0) {
          LogInfo("Get 3 Ver Failed,Use common");
          support = common();
        } else {
          value = update.ReadInteger("vlmx_config", "MISC_OCAMD8_" + version.substr(0, dot), -1);
          if (value != -1) {
            support = value == 1;
            LogInfo("InitAMD8Support 3 Support=" + BoolWord(support));
          } else {
            support = common();
            LogInfo("InitAMD8Support Common Support=" + BoolWord(support));
          }
        }
      }
    }
  }
  auto settings = OpenSettingsFile();
  settings->WriteBool("AMD8API", "Support", support);
  LogInfo("InitAMD8Support Save Support=" + BoolWord(support));
}

// ---------------------------------------------------------------- web links

std::string GetLinkName() {
  return ReadDataFile("PR.dat", "Option", "Name", "vlmx");
}

std::string GetCustomLanguage() {
  return ReadDataFile("Lang.dat", "CusLan", "Name", "");
}

std::string BuildWebLink(const std::string& Base) {
  std::string url = Base.empty() ? std::string(kWebLinkBase) : Base;
  url += "?";
  url += "name=" + GetLinkName() + "&";
  const std::string mainExe = GetOwnFolder() + "VlxMain.exe";
  const std::string version =
      fileutil::FileExists(mainExe) ? GetFileVersionText(mainExe, 3, "Unknown") : "4.2.0.0";
  url += "ver=" + version + "&";
  url += "lan=" + GetCustomLanguage() + "&";
  return url;
}

namespace {

// Other vendors' security and advertising-filter products that take over the
// default browser on Windows 10 (build 10586 and later).
const char* const kBrowserHijackers[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\360TotalSecurity",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MPC AdCleaner",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MPC",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\iSafe",
};

}  // namespace

bool UseInternetExplorerForLinks() {
  plat::OsVersionInfo os;
  if (!plat::GetVersionExW(os) || os.major < 10 || os.build < 10586) return false;
  for (const char* key : kBrowserHijackers) {
    try {
      TRegistry reg;
      reg.SetRootKey(plat::kHKEY_LOCAL_MACHINE);
      if (reg.OpenKeyReadOnly(key)) return true;
    } catch (...) {
    }
  }
  return false;
}
