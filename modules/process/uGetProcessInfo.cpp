#include "modules/process/uGetProcessInfo.h"

#include "diag/uAppLog.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/VersionBlock.h"

namespace {

constexpr uint32_t kPathChars = 512;
constexpr uint32_t kDriveStringChars = 258;
constexpr uint32_t kAccountChars = 260;
constexpr uint32_t kUserNameChars = 512;

// Windows 2000 has no GetProcessImageFileNameW: the main module's path instead.
bool IsWindows2000() {
  plat::OsVersionInfo os;
  return plat::GetVersionExW(os) && os.major == 5 && os.minor == 0;
}

// "\Device\HarddiskVolume3\Windows\explorer.exe" -> "C:\Windows\explorer.exe".
std::string DevicePathToDosPath(const std::string& devicePath) {
  std::vector<std::string> drives;
  if (!plat::GetLogicalDriveStringsW(kDriveStringChars, drives)) return {};
  for (const std::string& drive : drives) {
    if (drive.size() < 2) continue;
    std::string device;
    if (!plat::QueryDosDeviceW(drive.substr(0, 2), device, kPathChars) || device.empty()) continue;
    if (devicePath.size() <= device.size() || devicePath[device.size()] != '\\') continue;
    if (!txt::StartsText(device, devicePath)) continue;
    std::string root = drive;
    if (root.back() != '\\') root += '\\';
    return root + devicePath.substr(device.size() + 1);
  }
  return {};
}

std::string QueryString(const std::string& block, const std::string& prefix,
                        const std::string& key) {
  std::string value;
  if (prefix.empty() || !plat::VerQueryValueW(block, prefix + key, value)) return {};
  return verblock::ValueText(value);
}

}  // namespace

std::string GetProcessPath(uint32_t pid) {
  const plat::Handle process = plat::OpenProcess(plat::kPROCESS_ALL_ACCESS, false, pid);
  if (!process) return {};
  std::string path = GetProcessImagePath(process);
  plat::CloseHandle(process);
  return path;
}

std::string GetProcessImagePath(plat::Handle process) {
  std::string path;
  if (IsWindows2000()) {
    if (!plat::GetModuleFileNameExW(process, path, kPathChars)) path.clear();
  } else if (plat::HasPsapiFunction("GetProcessImageFileNameW")) {
    std::string devicePath;
    if (plat::GetProcessImageFileNameW(process, devicePath, kPathChars))
      path = DevicePathToDosPath(devicePath);
  }
  return path;
}

uint64_t GetProcessCreationTime(uint32_t pid) {
  const plat::Handle process = plat::OpenProcess(plat::kPROCESS_QUERY_INFORMATION, false, pid);
  if (!process) return 0;
  uint64_t created = 0;
  if (!plat::GetProcessTimes(process, created)) created = 0;
  plat::CloseHandle(process);
  return created;
}

std::string GetFileVersionString(const std::string& path, const std::string& key) {
  std::string block;
  if (!verblock::ReadFileBlock(path, block)) return {};
  return QueryString(block, verblock::TranslationTablePath(block), key);
}

TFileVersionStrings GetFileVersionStrings(const std::string& path) {
  TFileVersionStrings out;
  std::string block;
  if (!verblock::ReadFileBlock(path, block)) return out;
  const std::string prefix = verblock::TranslationTablePath(block);
  out.company = QueryString(block, prefix, "CompanyName");
  out.description = QueryString(block, prefix, "FileDescription");
  out.product = QueryString(block, prefix, "ProductName");
  out.version = QueryString(block, prefix, "ProductVersion");
  return out;
}

uint32_t GetProcessPriority(uint32_t pid) {
  const plat::Handle process = plat::OpenProcess(plat::kPROCESS_ALL_ACCESS, true, pid);
  if (!process) return 0;
  const uint32_t priority = plat::GetPriorityClass(process);
  plat::CloseHandle(process);
  return priority;
}

std::string GetProcessUser(uint32_t pid) {
  const plat::Handle process = plat::OpenProcess(plat::kPROCESS_QUERY_INFORMATION, false, pid);
  if (!process) return {};
  std::string user;
  plat::Handle token = 0;
  if (plat::OpenProcessToken(process, plat::kTOKEN_QUERY, token)) {
    std::string sid;
    uint32_t needed = 0;
    // The size query must fail for want of room before the real read.
    if (!plat::GetTokenInformationUser(token, 0, sid, needed) &&
        plat::GetLastError() == plat::kERROR_INSUFFICIENT_BUFFER &&
        plat::GetTokenInformationUser(token, needed, sid, needed)) {
      std::string name, domain;
      if (plat::LookupAccountSidW(sid, name, domain, kAccountChars, kAccountChars)) user = name;
    }
    plat::CloseHandle(token);
  }
  plat::CloseHandle(process);
  return user;
}

std::string GetCurrentUserName() {
  std::string name;
  if (!plat::GetUserNameW(name, kUserNameChars)) return {};
  return name;
}

bool EnablePrivilege(const std::string& name, bool enable) {
  plat::Handle token = 0;
  if (!plat::OpenProcessToken(plat::GetCurrentProcess(), plat::kTOKEN_ADJUST_PRIVILEGES, token))
    return false;
  bool ok = false;
  uint64_t luid = 0;
  if (plat::LookupPrivilegeValueW(name, luid)) {
    plat::SetLastError(0);
    plat::AdjustTokenPrivileges(token, luid, enable ? plat::kSE_PRIVILEGE_ENABLED : 0);
    ok = plat::GetLastError() == 0;
  }
  plat::CloseHandle(token);
  return ok;
}

bool BindProcessImageFileName() {
  if (plat::HasPsapiFunction("GetProcessImageFileNameW")) return true;
  LogInfo("GetProcessImageFileName is null");
  return false;
}
