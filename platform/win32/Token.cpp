// Win32 backend: process tokens, account look-ups and privileges.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace plat {

using win32::FromHandle;
using win32::NarrowZ;
using win32::ToHandle;
using win32::Widen;

bool OpenProcessToken(Handle process, uint32_t access, Handle& token) {
  HANDLE handle = nullptr;
  const bool ok = ::OpenProcessToken(ToHandle(process), access, &handle) != FALSE;
  token = ok ? FromHandle(handle) : 0;
  return ok;
}

bool GetTokenInformationUser(Handle token, uint32_t bufferBytes, std::string& sid,
                             uint32_t& needed) {
  sid.clear();
  needed = 0;
  // A vector of pointer-sized words keeps TOKEN_USER aligned.
  std::vector<ULONG_PTR> buffer(bufferBytes / sizeof(ULONG_PTR) + 1);
  DWORD returned = 0;
  const BOOL ok =
      ::GetTokenInformation(ToHandle(token), TokenUser, buffer.data(), bufferBytes, &returned);
  needed = returned;
  if (!ok) return false;
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  const DWORD length = ::GetLengthSid(user->User.Sid);
  sid.assign(static_cast<const char*>(user->User.Sid), length);
  return true;
}

bool LookupAccountSidW(const std::string& sid, std::string& name, std::string& domain,
                       uint32_t nameChars, uint32_t domainChars) {
  name.clear();
  domain.clear();
  // Checked before the bytes go to Windows: a SID states its own length.
  if (sid.size() < 8 || sid.size() != ::GetSidLengthRequired(static_cast<UCHAR>(sid[1]))) {
    ::SetLastError(ERROR_INVALID_SID);
    return false;
  }
  std::vector<ULONG_PTR> copy(sid.size() / sizeof(ULONG_PTR) + 1);
  std::memcpy(copy.data(), sid.data(), sid.size());
  if (!::IsValidSid(copy.data())) {
    ::SetLastError(ERROR_INVALID_SID);
    return false;
  }
  std::vector<wchar_t> nameBuffer(nameChars + 1u, L'\0'), domainBuffer(domainChars + 1u, L'\0');
  DWORD nameSize = nameChars, domainSize = domainChars;
  SID_NAME_USE use;
  if (!::LookupAccountSidW(nullptr, copy.data(), nameBuffer.data(), &nameSize, domainBuffer.data(),
                           &domainSize, &use)) {
    return false;
  }
  name = NarrowZ(nameBuffer.data());
  domain = NarrowZ(domainBuffer.data());
  return true;
}

bool LookupPrivilegeValueW(const std::string& name, uint64_t& luid) {
  luid = 0;
  LUID value{};
  if (!::LookupPrivilegeValueW(nullptr, Widen(name).c_str(), &value)) return false;
  luid = (static_cast<uint64_t>(static_cast<uint32_t>(value.HighPart)) << 32) | value.LowPart;
  return true;
}

bool GetTokenInformationElevationType(Handle token, uint32_t& type) {
  TOKEN_ELEVATION_TYPE value = TokenElevationTypeDefault;
  DWORD returned = 0;
  const bool ok = ::GetTokenInformation(ToHandle(token), TokenElevationType, &value, sizeof value,
                                        &returned) != FALSE;
  type = ok ? static_cast<uint32_t>(value) : 0;
  return ok;
}

bool GetTokenInformationElevation(Handle token, bool& elevated) {
  TOKEN_ELEVATION value{};
  DWORD returned = 0;
  const bool ok = ::GetTokenInformation(ToHandle(token), TokenElevation, &value, sizeof value,
                                        &returned) != FALSE;
  elevated = ok && value.TokenIsElevated != 0;
  return ok;
}

bool GetTokenInformationSessionId(Handle token, uint32_t& session) {
  DWORD value = 0;
  DWORD returned = 0;
  const bool ok = ::GetTokenInformation(ToHandle(token), TokenSessionId, &value, sizeof value,
                                        &returned) != FALSE;
  session = ok ? value : 0;
  return ok;
}

bool DuplicateTokenEx(Handle token, uint32_t access, Handle& primary) {
  HANDLE handle = nullptr;
  const bool ok = ::DuplicateTokenEx(ToHandle(token), access, nullptr, SecurityImpersonation,
                                     TokenPrimary, &handle) != FALSE;
  primary = ok ? FromHandle(handle) : 0;
  return ok;
}

bool AdjustTokenPrivileges(Handle token, uint64_t luid, uint32_t attributes) {
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Luid.LowPart = static_cast<DWORD>(luid & 0xFFFFFFFFu);
  privileges.Privileges[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
  privileges.Privileges[0].Attributes = attributes;
  // Windows sets the last error itself on success: 0, or ERROR_NOT_ALL_ASSIGNED.
  return ::AdjustTokenPrivileges(ToHandle(token), FALSE, &privileges, sizeof privileges, nullptr,
                                 nullptr) != FALSE;
}

}  // namespace plat
