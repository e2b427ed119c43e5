// The settings record and the per-user settings file "Velmorix.ini".
//
// The host program writes most of the file; this program reads it at start-up into
// the record TGAConfig (one instance, GConfig), brings the legacy settings files
// "OldCfgVX3.ini" and "OldCfgSVX.ini" forward into it, fills in first-run values
// (install date, per-version flags) and gives every boost module one way to open
// the file for one access at a time (TGAConfig::OpenSettingsIni).
//
// Start-up runs InitAMD8Support and then InitConfigGlobals(false).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "config/PSafeIniFile.h"

// A hot key as RegisterHotKey takes it.
struct THotkeyInfo {
  int32_t nID = 0;
  int32_t nVK = 0;
  int32_t nMod = 0;
};

struct TGAPosition {
  int32_t X = -1;
  int32_t Y = -1;
};

// The modifier keys of a shortcut value.
enum TShiftStateFlag : uint8_t {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
};
using TShiftState = uint8_t;

// The record's values with their defaults (the first step of every load puts these
// back; CheckTemUnit then sets the temperature unit and thresholds).
struct TGAConfigFields {
  // ---- fields not in the file
  std::string FDefaultScreenDir;
  std::string FDefaultAVIDir;
  THotkeyInfo FHotkeyInfo;
  bool FOldOverClock = false;
  bool FShowNew = true;  // "CURI" / "HaveShowNew" reads 0
  bool FRedHint = true;  // "MonitorTune" / "Redhint" reads 0

  // ---- section "Config"
  bool FConfigApplyShowTip = true;
  bool FbTweakExportMode = false;
  double FdLastActiveStatTime = 0;
  bool FbShowDragHint = true;
  bool FbShowRecommad = true;
  bool FPopAlarmWindows = true;
  int32_t FBoostHootKey1 = 66, FBoostHootKey2 = 3;
  int32_t FRestoreHootKey1 = 82, FRestoreHootKey2 = 3;
  int32_t FExitGameDeskTop1 = 123, FExitGameDeskTop2 = 1;
  int32_t FDisplayFPS1 = 77, FDisplayFPS2 = 3;
  int32_t FScreenHotkey1 = 83, FScreenHotkey2 = 3;
  int32_t FRecordHotkey1 = 86, FRecordHotkey2 = 3;
  bool FbContextmenu = true;
  bool FStreamAuotoBoost = true;
  bool FBoostRestore = true;
  int32_t FAutoMinimizeTime = 10;
  bool FCheckAutoMinimizeTime = false;
  int32_t FEnableProxy = 0;  // 2 = manual proxy
  std::string FProxyServer;
  std::string FProxyUserName;
  std::string FProxyPort = "80";
  std::string FProxyPassword;
  uint8_t FGameSortType = 2;
  bool FOGClicked = false;
  bool FShowWahtInfo = false;
  bool FFastRun = true;
  bool FRunWithWindows = true;
  bool FShowNewsIcon = false;
  bool FGameAutoscan = true;
  bool FIsCelsiusTemp = true;
  bool FShowHotkeyError = true;
  bool FDisplayTempInGame = true;
  bool FShowNewfeature = true;
  bool FAutoAlarm = true;
  bool FAlarmSound = true;
  TGAPosition FGAPosition;
  int32_t FWarnTempCPU = 90;
  int32_t FWarnTempVGA = 90;
  int32_t FWarnTempBoard = 80;
  int32_t FWarnTempHD = 60;
  std::string FAlarmFile;
  std::string FLanguage = "English";
  bool FShowGameMode = true;
  int32_t FAlphaBlendValue = 0;
  int32_t FOverlayConer = 0;
  bool FAutoGameMode = true;
  bool FShowCategoryTips = true;
  bool FShowNoGameTips = true;
  bool FShowInGameTips = true;
  int32_t FnWarnProcessCPU = -1;
  int32_t FnWarnProcessMemory = 200;
  int32_t FTemColor0 = 13400340;  // 0x00BBGGRR
  int32_t FTemColor1 = 4692279;
  int32_t FTemColor2 = 1211827;
  bool FShowTem0 = true;
  bool FShowTem1 = true;
  bool FShowTem2 = true;
  std::string FPSScreenDir;
  std::string FSkinName = "classic";
  std::string FPSAVIDir;
  int32_t FNewUser = 0;  // key "NewUser" + own major version
  int32_t FPScolor = 0;
  int32_t FVideoQuality = 2;
  bool FRecordFullScreen = false;
  bool FRestoreProcesses = false;
  bool FRestoreServices = true;

  // ---- other sections
  std::string FUserMail;          // "Feedback"
  bool FAutoDriverEnable = true;  // "AutoDriverConfig"
  int32_t FAutoDriverMethod = 1;
  bool FAutoDriverAudio = true;
  bool FAutoDriverGraphics = true;
  int32_t FAutoDriverIdleTime = 5;
  bool FAutoDefragEnable = true;  // "AutoDefragConfig"
  int32_t FAutoDefragIdleTime = 5;
  int32_t FAutoDefragMethod = 1;
  bool FSilentModeEnable = true;  // "silentMode"
  int32_t FGPUNodeIndex = 0;      // "GPU"
  int32_t FOCLevel = 0;           // "Boost"
  int32_t FOC_GPU = 0;
  int32_t FOC_RAM = 0;
};

class TGAConfig : public TGAConfigFields {
 public:
  // Sets the file names, loads the record, and switches "FShowGameMode" off in the
  // file when both "FAutoGameMode" and "FShowGameMode" are on.
  TGAConfig();
  ~TGAConfig();
  TGAConfig(const TGAConfig&) = delete;
  TGAConfig& operator=(const TGAConfig&) = delete;

  // A fresh settings-file object (saved as UTF-16 LE with byte-order mark); the caller
  // releases it, and a modified object saves itself on release.
  std::unique_ptr<TSafeIniFile> OpenSettingsIni();

  void LoadConfig();
  // Writes every key that is not read-only (the flag has no effect).
  // True when the record is safely in the file.
  bool SaveConfig(bool flag);
  void SaveShowGameMode(bool value);
  void LoadHotkeyInfo();
  void SaveHotkeyInfo();

  // Steps of LoadConfig.
  void CheckTemUnit();
  void GetInstallDate();
  std::string GetPicturePath();
  std::string GetVideoPath();
  void MigrateOldConfig();

  std::string FIniFileName;       // full path of the settings file
  std::string FDefaultAlarmFile;  // program folder + "alarm.wav"

 private:
  void SetDefaults();
  void ReadKeys(TSafeIniFile& ini);
  void MigrateVX3(const std::string& fileName);
  void MigrateSVX(const std::string& fileName);

  // Set by a load that could not read the settings file: the record then holds
  // defaults, which must never replace the user's settings.
  bool fSettingsUnread = false;
};

// ---------------------------------------------------------------- unit globals
extern std::unique_ptr<TGAConfig> GConfig;
// The per-user settings folder, always ending in "\" ("...\Trevanic\Velmora\").
extern std::string GSettingsFolder;
// "Stat.ini" in the settings folder, open from start-up to shutdown; never written.
extern std::unique_ptr<TSafeIniFile> GStatIni;
extern int32_t GProgramCount;
// "YYYYMMDD".
extern std::string GInstallDate;

// Application-data folder + "\Trevanic\Velmora\".
std::string GetSettingsFolder();
// Creates the settings and log folders; unless skipObjects, opens GStatIni and
// creates GConfig.
void InitConfigGlobals(bool skipObjects);
// Releases GConfig and GStatIni and clears the folder strings; a second call
// without a new InitConfigGlobals does nothing.
void DoneConfigGlobals();
// Decides from "Update\Update.ini" whether the overclock library may use its AMD8
// interface with the installed host version, and records the answer in
// "AMD8API" / "Support" of the settings file.
void InitAMD8Support();

// ---------------------------------------------------------------- web links
// The address of the product's redirect page.
inline constexpr const char* kWebLinkBase = "https://www.trevanic.com/appgoto.php";
std::string GetLinkName();
std::string GetCustomLanguage();
// Base (or the redirect page) + "?name=...&ver=...&lan=...&".
std::string BuildWebLink(const std::string& Base);
// Whether links go to "IExplore.EXE" instead of the default browser: on Windows 10
// build 10586 and later while another vendor's security or advertising-filter
// product that takes over the default browser is installed.
bool UseInternetExplorerForLinks();
// Opens the link in the browser (ShellExecuteW "open"); a failure is retried once
// through "IExplore.EXE".
void OpenWebLink(const std::string& Url);

// ---------------------------------------------------------------- helpers
// Shift -> 4, Ctrl -> 2, Alt -> 1, added together.
int32_t ShiftStateToHotKeyMod(TShiftState shift);
// Splits a shortcut value (key code in the low byte; 0x2000 Shift, 0x4000 Ctrl,
// 0x8000 Alt) into key and modifiers.
void ShortCutToKey(int32_t shortCut, int32_t& key, TShiftState& shift);
// Truncation of c * 1.8 + 32.
int32_t CelsiusToFahrenheit(int32_t c);
// The major file version of the running program ("5"); empty without a version resource.
std::string GetOwnMajorVersion();
// The folder of the running program, with a trailing delimiter.
std::string GetOwnFolder();
