// The service manager part of the platform seam (advapi32's service functions).
//
// Buffers are described by their size in bytes as the program would pass it; a call
// whose buffer is too small fails the Windows way (ERROR_MORE_DATA or
// ERROR_INSUFFICIENT_BUFFER) and reports the bytes it needs, so the callers keep the
// size-query protocol of the real functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace plat {

// Service manager and service access rights.
inline constexpr uint32_t kSC_MANAGER_CONNECT = 0x0001;
inline constexpr uint32_t kSC_MANAGER_ENUMERATE_SERVICE = 0x0004;
inline constexpr uint32_t kSERVICE_QUERY_CONFIG = 0x0001;
inline constexpr uint32_t kSERVICE_QUERY_STATUS = 0x0004;
inline constexpr uint32_t kSERVICE_ENUMERATE_DEPENDENTS = 0x0008;
inline constexpr uint32_t kSERVICE_START = 0x0010;
inline constexpr uint32_t kSERVICE_STOP = 0x0020;
// Service types, states and controls.
inline constexpr uint32_t kSERVICE_KERNEL_DRIVER = 0x01;
inline constexpr uint32_t kSERVICE_WIN32_OWN_PROCESS = 0x10;
inline constexpr uint32_t kSERVICE_WIN32_SHARE_PROCESS = 0x20;
inline constexpr uint32_t kSERVICE_WIN32 = 0x30;
inline constexpr uint32_t kSERVICE_ACTIVE = 1;
inline constexpr uint32_t kSERVICE_INACTIVE = 2;
inline constexpr uint32_t kSERVICE_STATE_ALL = 3;
inline constexpr uint32_t kSERVICE_STOPPED = 1;
inline constexpr uint32_t kSERVICE_START_PENDING = 2;
inline constexpr uint32_t kSERVICE_STOP_PENDING = 3;
inline constexpr uint32_t kSERVICE_RUNNING = 4;
inline constexpr uint32_t kSERVICE_CONTROL_STOP = 1;
inline constexpr uint32_t kSERVICE_CONTROL_INTERROGATE = 4;
inline constexpr uint32_t kSERVICE_ACCEPT_STOP = 1;
// Start types.
inline constexpr uint32_t kSERVICE_BOOT_START = 0;
inline constexpr uint32_t kSERVICE_SYSTEM_START = 1;
inline constexpr uint32_t kSERVICE_AUTO_START = 2;
inline constexpr uint32_t kSERVICE_DEMAND_START = 3;
inline constexpr uint32_t kSERVICE_DISABLED = 4;
// Service errors.
inline constexpr uint32_t kERROR_DEPENDENT_SERVICES_RUNNING = 1051;
inline constexpr uint32_t kERROR_INVALID_SERVICE_CONTROL = 1052;
inline constexpr uint32_t kERROR_SERVICE_REQUEST_TIMEOUT = 1053;
inline constexpr uint32_t kERROR_SERVICE_ALREADY_RUNNING = 1056;
inline constexpr uint32_t kERROR_SERVICE_DISABLED = 1058;
inline constexpr uint32_t kERROR_SERVICE_DOES_NOT_EXIST = 1060;
inline constexpr uint32_t kERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
inline constexpr uint32_t kERROR_SERVICE_NOT_ACTIVE = 1062;
inline constexpr uint32_t kERROR_SERVICE_DEPENDENCY_FAIL = 1068;

struct ServiceStatus {  // SERVICE_STATUS
  uint32_t type = 0;
  uint32_t state = 0;
  uint32_t controlsAccepted = 0;
  uint32_t win32ExitCode = 0;
  uint32_t serviceExitCode = 0;
  uint32_t checkPoint = 0;
  uint32_t waitHint = 0;
};
struct EnumServiceEntry {  // ENUM_SERVICE_STATUSW
  std::string name;
  std::string displayName;
  ServiceStatus status;
};
struct ServiceConfig {  // QUERY_SERVICE_CONFIGW
  uint32_t type = 0;
  uint32_t startType = 0;
  uint32_t errorControl = 0;
  std::string binaryPath;
  std::string loadOrderGroup;
  uint32_t tagId = 0;
  std::vector<std::string> dependencies;
  std::string startName;
  std::string displayName;
};

// OpenSCManagerW on the local machine, database "ServicesActive". 0 on failure.
Handle OpenSCManagerW(uint32_t access);
// OpenServiceW. 0 on failure (1060 for an unknown name, 5 for rights not granted).
Handle OpenServiceW(Handle manager, const std::string& name, uint32_t access);
bool CloseServiceHandle(Handle handle);
// EnumServicesStatusW from the first entry (resume handle 0) into a buffer of
// bufferBytes: fails with ERROR_MORE_DATA and the bytes still needed when the
// entries do not fit (entries then keeps those that fit).
bool EnumServicesStatusW(Handle manager, uint32_t type, uint32_t state, uint32_t bufferBytes,
                         std::vector<EnumServiceEntry>& entries, uint32_t& bytesNeeded);
bool QueryServiceStatus(Handle service, ServiceStatus& status);
// QueryServiceConfigW: ERROR_INSUFFICIENT_BUFFER and the size when it does not fit.
bool QueryServiceConfigW(Handle service, uint32_t bufferBytes, ServiceConfig& config,
                         uint32_t& bytesNeeded);
// Whether advapi32 exports QueryServiceConfig2W (looked up by name on first use).
bool HasQueryServiceConfig2W();
// QueryServiceConfig2W(SERVICE_CONFIG_DESCRIPTION): ERROR_INSUFFICIENT_BUFFER and the
// size when it does not fit, ERROR_PROC_NOT_FOUND when the function is missing. A
// service without description gives "".
bool QueryServiceDescription(Handle service, uint32_t bufferBytes, std::string& description,
                             uint32_t& bytesNeeded);
// EnumDependentServicesW: ERROR_MORE_DATA and the size when the entries do not fit.
bool EnumDependentServicesW(Handle service, uint32_t state, uint32_t bufferBytes,
                            std::vector<EnumServiceEntry>& entries, uint32_t& bytesNeeded);
// ControlService; status receives the latest status also when the call fails.
bool ControlService(Handle service, uint32_t control, ServiceStatus& status);
// StartServiceW without arguments.
bool StartServiceW(Handle service);

}  // namespace plat
