#include "modules/service/uServiceClass.h"

#include <exception>
#include <stdexcept>

#include "config/PSafeIniFile.h"
#include "diag/uAppLog.h"
#include "diag/uSysInfo.h"
#include "engine/uBoostBase.h"
#include "modules/service/WinSvcEx.h"
#include "modules/service/uGetSvcSection.h"
#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"

TServices::TServices(const std::string& IniFile, const std::string& WhiteListFile)
    : fWhiteListFile(WhiteListFile), fSection(GetSvcSection(GetOSName())) {
  Get3rdWhiteList(fWhiteListFile, fWhiteList);
  // Loaded without a file name: the host's file is never written back.
  auto ini = std::make_unique<TSafeIniFile>();
  if (fileutil::FileExists(IniFile)) ini->LoadFromFile(IniFile);
  fIni = std::move(ini);
}

TServices::~TServices() = default;

bool TServices::Get3rdWhiteList(const std::string& FileName, std::vector<std::string>& List) {
  if (!fileutil::FileExists(FileName)) return true;
  try {
    std::string bytes;
    if (!fileutil::ReadFileBytes(FileName, bytes))
      throw std::runtime_error("Cannot open file \"" + FileName + "\". System error " +
                               std::to_string(plat::GetLastError()));
    List = txt::SplitLines(txt::DecodeTextFile(bytes));
    return true;
  } catch (const std::exception& e) {
    LogInfo("TServices.Get3rdWhiteList " + std::string(e.what()));
    return false;
  }
}

TServiceList& TServices::LoadServices() {
  fList.clear();
  fWhiteList.clear();
  if (!Get3rdWhiteList(fWhiteListFile, fWhiteList)) return fList;
  TScHandle manager(OpenManager(plat::kGENERIC_READ));
  if (!manager) return fList;
  std::vector<plat::EnumServiceEntry> entries;
  if (!EnumServices(manager, plat::kSERVICE_WIN32, plat::kSERVICE_ACTIVE, entries)) {
    LogError("TServices.LoadServices: the services could not be enumerated (error " +
             std::to_string(plat::GetLastError()) + ")");
    return fList;
  }
  for (const plat::EnumServiceEntry& entry : entries) {
    TScHandle service(OpenService(manager, entry.name, plat::kGENERIC_READ));
    plat::ServiceStatus status;
    if (!service || !plat::QueryServiceStatus(service.Get(), status) ||
        status.state != plat::kSERVICE_RUNNING)
      continue;
    plat::ServiceConfig config;
    bool sizeKnown = false;
    const bool read = QueryConfig(service, config, sizeKnown);
    if (!sizeKnown) continue;
    const bool third = read ? IsThirdService(config.binaryPath) : true;
    if (third ? IsWhiteListed(entry.name) : IsNotInCatalogue(entry.name)) continue;

    auto record = std::make_unique<TServiceRecord>();
    record->name = entry.name;
    record->displayName = entry.displayName;
    record->isThird = third;
    record->selected = entry.status.state == plat::kSERVICE_RUNNING;
    record->description = QueryDescription(service);
    for (const plat::EnumServiceEntry& d : QueryDependents(service))
      record->dependents.emplace_back(d.name, d.displayName);
    record->dependentCount = static_cast<int32_t>(record->dependents.size());
    fList.push_back(std::move(record));
    ProcessMessages();
  }
  return fList;
}

bool TServices::IsThirdService(const std::string& ProgramPath) {
  std::string path = ProgramPath;
  if (!path.empty() && path[0] == '"') {
    const size_t close = path.find('"', 1);
    path = path.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  } else if (!fileutil::FileExists(path)) {
    const size_t blank = path.find(' ', 1);
    if (blank != std::string::npos) path = path.substr(0, blank);
  }
  if (!fileutil::FileExists(path)) return false;
  return GetFileVersionText(path, 1, "Unknown") != "Microsoft Corporation";
}

bool TServices::IsWhiteListed(const std::string& Name) const {
  for (auto it = fWhiteList.rbegin(); it != fWhiteList.rend(); ++it)
    if (txt::SameText(*it, Name)) return true;
  return false;
}

bool TServices::IsNotInCatalogue(const std::string& Name) const {
  return fSection.empty() || fIni->ReadInteger(fSection, Name, -1) == -1;
}
