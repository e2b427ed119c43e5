#include "modules/service/uServiceControl.h"

#include <array>
#include <cmath>

#include "config/PSafeIniFile.h"
#include "modules/service/WinSvcEx.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

const char* const kFailFile = "ServiceBoost.ini";
const char* const kFailSection = "StopServiceFail";

// The remote procedure call and COM launchers, the event log, the security accounts
// and local security services, Plug and Play and power, the firewall and its filtering
// engine, the antivirus and security centre services, the profile, policy, broker and
// management services the desktop runs on, and the Secondary Logon service that the
// process restore needs to start programs as the user.
const std::array<const char*, 27> kNeverStop = {
    "BFE",
    "BrokerInfrastructure",
    "CoreMessagingRegistrar",
    "CryptSvc",
    "DcomLaunch",
    "EventLog",
    "gpsvc",
    "KeyIso",
    "LSM",
    "mpssvc",
    "PlugPlay",
    "Power",
    "ProfSvc",
    "RpcEptMapper",
    "RpcSs",
    "SamSs",
    "Schedule",
    "seclogon",
    "SecurityHealthService",
    "Sense",
    "SgrmBroker",
    "SystemEventsBroker",
    "WdNisSvc",
    "WinDefend",
    "Winmgmt",
    "wscsvc",
    "MsMpSvc",
};

// Waits until the service reaches Target: gives up after more than 500 ms, or when
// its check point stops moving (for a start: goes back or is 0).
bool WaitForState(plat::Handle Service, uint32_t Target, bool Starting) {
  plat::ServiceStatus status;
  if (!plat::QueryServiceStatus(Service, status)) return false;
  uint16_t waited = 0;
  while (status.state != Target) {
    const uint32_t checkPoint = status.checkPoint;
    if (waited > 500) break;
    const uint32_t pause = status.waitHint <= 100 ? status.waitHint : 100;
    plat::Sleep(pause);
    waited = static_cast<uint16_t>(waited + pause);
    if (!plat::QueryServiceStatus(Service, status)) return false;
    const bool moving = Starting ? status.checkPoint >= checkPoint && status.checkPoint != 0
                                 : status.checkPoint > checkPoint;
    if (!moving) break;
  }
  return status.state == Target;
}

}  // namespace

uint32_t GetServiceState(const std::string& Name) {
  TScHandle manager(OpenManager(plat::kSC_MANAGER_CONNECT));
  if (!manager) return plat::kSERVICE_STOPPED;
  TScHandle service(OpenService(manager, Name, plat::kSERVICE_QUERY_STATUS));
  plat::ServiceStatus status;
  if (!service || !plat::QueryServiceStatus(service.Get(), status)) return 0;
  return status.state;
}

bool IsServiceRunning(const std::string& Name) {
  return GetServiceState(Name) == plat::kSERVICE_RUNNING;
}

bool StopService(const std::string& Name) {
  TScHandle manager(OpenManager(plat::kSC_MANAGER_CONNECT));
  TScHandle service(OpenService(manager, Name, plat::kSERVICE_STOP | plat::kSERVICE_QUERY_STATUS));
  plat::ServiceStatus status;
  if (!service || !plat::ControlService(service.Get(), plat::kSERVICE_CONTROL_STOP, status))
    return false;
  return WaitForState(service.Get(), plat::kSERVICE_STOPPED, false);
}

bool StartService(const std::string& Name) {
  TScHandle manager(OpenManager(plat::kSC_MANAGER_CONNECT));
  TScHandle service(OpenService(manager, Name, plat::kSERVICE_START | plat::kSERVICE_QUERY_STATUS));
  if (!service || !plat::StartServiceW(service.Get())) return false;
  return WaitForState(service.Get(), plat::kSERVICE_RUNNING, true);
}

bool IsWin32Service(const std::string& Name) {
  TScHandle manager(OpenManager(plat::kSC_MANAGER_CONNECT));
  TScHandle service(OpenService(manager, Name, plat::kSERVICE_QUERY_CONFIG));
  plat::ServiceConfig config;
  bool sizeKnown = false;
  return service && QueryConfig(service, config, sizeKnown) &&
         (config.type & plat::kSERVICE_WIN32) != 0;
}

bool IsNeverStopService(const std::string& Name) {
  for (const char* name : kNeverStop)
    if (txt::SameText(Name, name)) return true;
  return false;
}

int32_t TodayNumber() {
  return static_cast<int32_t>(std::floor(txt::Now()));
}

void MarkStopFail(const std::string& Folder, const std::string& Name) {
  TSafeIniFile ini(Folder + kFailFile);
  ini.WriteInteger(kFailSection, Name, TodayNumber());
}

bool StopFailedToday(const std::string& Folder, const std::string& Name) {
  TSafeIniFile ini;
  ini.LoadFromFile(Folder + kFailFile);
  return ini.ReadInteger(kFailSection, Name, -1) == TodayNumber();
}
