#include "modules/service/WinSvcEx.h"

#include "platform/Platform.h"

TScHandle::~TScHandle() {
  if (fHandle) plat::CloseServiceHandle(fHandle);
}

plat::Handle OpenManager(uint32_t Access) {
  return plat::OpenSCManagerW(Access);
}

plat::Handle OpenService(const TScHandle& Manager, const std::string& Name, uint32_t Access) {
  return Manager ? plat::OpenServiceW(Manager.Get(), Name, Access) : 0;
}

bool EnumServices(const TScHandle& Manager, uint32_t Type, uint32_t State,
                  std::vector<plat::EnumServiceEntry>& Entries) {
  Entries.clear();
  uint32_t needed = 0;
  if (plat::EnumServicesStatusW(Manager.Get(), Type, State, 0, Entries, needed)) return true;
  if (plat::GetLastError() != plat::kERROR_MORE_DATA) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    uint32_t more = 0;
    if (plat::EnumServicesStatusW(Manager.Get(), Type, State, needed, Entries, more)) return true;
    if (plat::GetLastError() != plat::kERROR_MORE_DATA) break;
    needed += more;  // services started since the size was taken
  }
  Entries.clear();
  return false;
}

bool QueryConfig(const TScHandle& Service, plat::ServiceConfig& Config, bool& SizeKnown) {
  uint32_t needed = 0;
  SizeKnown = !plat::QueryServiceConfigW(Service.Get(), 0, Config, needed) &&
              plat::GetLastError() == plat::kERROR_INSUFFICIENT_BUFFER;
  return SizeKnown && plat::QueryServiceConfigW(Service.Get(), needed, Config, needed);
}

std::string QueryDescription(const TScHandle& Service) {
  std::string text;
  uint32_t needed = 0;
  if (!plat::HasQueryServiceConfig2W() ||
      plat::QueryServiceDescription(Service.Get(), 0, text, needed) ||
      plat::GetLastError() != plat::kERROR_INSUFFICIENT_BUFFER ||
      !plat::QueryServiceDescription(Service.Get(), needed, text, needed))
    return {};
  return text;
}

std::vector<plat::EnumServiceEntry> QueryDependents(const TScHandle& Service) {
  std::vector<plat::EnumServiceEntry> list;
  uint32_t needed = 0;
  if (plat::EnumDependentServicesW(Service.Get(), plat::kSERVICE_STATE_ALL, 0, list, needed) ||
      plat::GetLastError() != plat::kERROR_MORE_DATA ||
      !plat::EnumDependentServicesW(Service.Get(), plat::kSERVICE_STATE_ALL, needed, list, needed))
    list.clear();
  return list;
}
