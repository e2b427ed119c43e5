#include "app/uCheckBaseFile.h"

#include <memory>

#include "config/PBoostLanguage.h"
#include "config/PSafeIniFile.h"
#include "config/RegistryClass.h"
#include "config/UnitGAConfig.h"
#include "diag/uSysInfo.h"
#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Text.h"

bool FilesComplete() {
  const std::string folder = GetOwnFolder();
  for (const char* name : kCompanionFiles)
    if (!fileutil::FileExists(folder + name)) return false;
  return true;
}

bool VersionsConsistent() {
  std::string installed;
  try {
    TRegistry reg;
    reg.SetRootKey(plat::kHKEY_LOCAL_MACHINE);
    if (!reg.OpenKeyReadOnly(kUninstallKey)) return false;
    installed = reg.ReadString("DisplayVersion");
  } catch (const std::exception&) {
    return false;
  }
  if (installed.empty()) return false;
  const std::string folder = GetOwnFolder();
  const auto cut = [&](const std::string& file) {
    const std::string version = GetFileVersionText(folder + file, 3, "Unknown");
    return version.substr(0, std::min(version.size(), installed.size()));
  };
  return txt::SameText(cut("VlxMain.exe"), installed) &&
         txt::SameText(cut("VlxTray.exe"), installed);
}

bool CheckBaseFiles() {
  const bool complete = FilesComplete();
  const bool consistent = VersionsConsistent();
  if (complete && consistent) return true;

  std::string language = "English";
  {
    // Read without creating or ever saving the settings file.
    TSafeIniFile settings;
    settings.LoadFromFile(GetSettingsFolder() + "Velmorix.ini");
    language = settings.ReadString("Config", "Language", "English");
  }
  TBoostLanguage lang("Velmorix");
  lang.LoadLanguage(language);
  const std::string text =
      complete ? lang.GetMessage("M_BaseFileDamaged",
                                 "An essential file is damaged. Please reinstall Velmora and try "
                                 "again.")
               : lang.GetMessage("M_BaseFileMiss",
                                 "An essential file is missing. Please reinstall Velmora and try "
                                 "again.");
  plat::MessageBoxW(0, text, "Velmora", plat::kMB_OK | plat::kMB_ICONERROR);
  OpenWebLink(BuildWebLink("") + "&st=filerupt&to=filerupt");
  return false;
}
