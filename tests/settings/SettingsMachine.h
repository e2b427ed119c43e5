// Simulated machines for the settings tests: a user with application-data, picture,
// video and profile folders, the program installed with version 5.2.1.154, and the
// program's logs in the usual place.
#pragma once

#include <string>

#include "config/PBoostLanguage.h"
#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "diag/uSysInfo.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/Sandbox.h"

namespace settingstest {

inline const std::string kProfile = "C:\\Users\\Gamer";
inline const std::string kRoaming = kProfile + "\\AppData\\Roaming";
inline const std::string kPictures = kProfile + "\\Pictures";
inline const std::string kVideos = kProfile + "\\Videos";
inline const std::string kData = kRoaming + "\\Trevanic\\Velmora\\";
inline const std::string kSettings = kData + "Velmorix.ini";
inline const std::string kLogs = kData + "Logs\\";
inline const std::string kProgram = "C:\\Program Files (x86)\\Velmora\\";
inline const std::string kExe = kProgram + "VlxMini.exe";
inline const std::string kMainExe = kProgram + "VlxMain.exe";
inline const std::string kUpdateIni = kProgram + "Update\\Update.ini";
inline const std::string kInstallKey = "HKLM\\SOFTWARE\\WOW6432Node\\Trevanic\\Velmora";
// 15 March 2024, 10:30.
inline const std::string kToday = "20240315";

inline sim::VersionResource Version(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
  sim::VersionResource v;
  v.fileVersion[0] = v.productVersion[0] = a;
  v.fileVersion[1] = v.productVersion[1] = b;
  v.fileVersion[2] = v.productVersion[2] = c;
  v.fileVersion[3] = v.productVersion[3] = d;
  return v;
}

// Removes what the default machine holds of the installed product that the tests set
// up themselves: the host program and the product's machine-wide registry key.
inline void WithoutProduct(sim::Machine& m) {
  m.files.erase(kMainExe);
  auto& hklm = m.registry[plat::kHKEY_LOCAL_MACHINE];
  if (!hklm) return;
  auto software = hklm->subkeys.find("SOFTWARE");
  if (software == hklm->subkeys.end()) return;
  auto wow = software->second->subkeys.find("WOW6432Node");
  if (wow == software->second->subkeys.end()) return;
  wow->second->subkeys.erase("Trevanic");
}

// The base machine; tests add their files and registry values.
inline sim::MachineBuilder Machine(uint16_t langId = 1033) {
  sim::MachineBuilder b;
  b.With(WithoutProduct)
      .User("Gamer")
      .Language(langId)
      .LocalTime(txt::EncodeDateTime(2024, 3, 15, 10, 30, 0, 0))
      .Folder(plat::kCSIDL_APPDATA, kRoaming)
      .Folder(plat::kCSIDL_PROFILE, kProfile)
      .Folder(plat::kCSIDL_MYPICTURES, kPictures)
      .Folder(plat::kCSIDL_MYVIDEO, kVideos)
      .ExePath(kExe)
      .File(kExe, "MZ")
      .Version(kExe, Version(5, 2, 1, 154))
      .File(kPictures + "\\desktop.ini", "")
      .File(kVideos + "\\desktop.ini", "");
  return b;
}

// Run log and error log in the log folder; everything released at the end.
struct Session {
  Session() {
    ResetSysInfoCache();
    InitAppLog(kLogs, "VlxMiniAppRun.log", "VlxMiniException.log");
  }
  ~Session() {
    DoneConfigGlobals();
    DoneBoostLanguage();
    DoneAppLog();
    SetDebugOutput(false);
    GInstallDate.clear();
    GProgramCount = 0;
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
};

// A session over a machine with the settings loaded (InitConfigGlobals).
struct Loaded : Session, sim::ScopedMachine {
  explicit Loaded(sim::MachineBuilder& b) : sim::ScopedMachine(b) { InitConfigGlobals(false); }
  explicit Loaded(sim::MachineBuilder&& b) : Loaded(b) {}
};

// A UTF-16 INI file as the program writes it.
inline std::string Ini(const std::string& text) {
  return test::Utf16File(text);
}

// The decoded text of a file the program wrote (UTF-16 with byte-order mark).
inline std::string Text(const sim::ScopedMachine& m, const std::string& path) {
  if (!m.Exists(path)) return "<missing>";
  return txt::DecodeTextFile(m.ReadFile(path));
}

}  // namespace settingstest
