// The platform seam: thin wrappers over the Windows functions the program uses.
//
// Everything above this header is identical on both backends:
//   platform/win32/  calls the real Win32 API (wide-character functions);
//   platform/sim/    runs the same calls against a simulated Windows machine.
//
// Rules for every function here:
//  - Text is UTF-8 std::string; the Win32 backend converts to UTF-16 at this line.
//    Where the exact UTF-16 buffer matters (profile functions) the buffer is
//    exposed as std::u16string.
//  - Paths are Windows paths with backslashes ("C:\Users\...").
//  - Failures are reported the Windows way (FALSE / 0 / kInvalidHandle / an error
//    code) and set the calling thread's last error, read with plat::GetLastError().
//  - No product logic: a wrapper only translates types.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace plat {

// ---------------------------------------------------------------- errors
uint32_t GetLastError();
void SetLastError(uint32_t code);

// ---------------------------------------------------------------- files
// The path under which a library with its own file access (SQLite) opens the
// file: the path itself on Windows, the mapped host file on the simulated
// machine (empty when the path lies outside every mapped drive).
std::string NativeFilePath(const std::string& path);
// CreateFileW. Returns kInvalidHandle on failure (last error: 2, 3, 5, 32, 80 ...).
Handle CreateFileW(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                   uint32_t attributes = kFILE_ATTRIBUTE_NORMAL);
bool ReadFile(Handle file, void* buffer, uint32_t toRead, uint32_t* read);
bool WriteFile(Handle file, const void* buffer, uint32_t toWrite, uint32_t* written);
// SetFilePointerEx: returns the new position, or -1 on failure.
int64_t SetFilePointerEx(Handle file, int64_t distance, uint32_t method);
bool SetEndOfFile(Handle file);
// GetFileSizeEx: -1 on failure.
int64_t GetFileSizeEx(Handle file);
bool FlushFileBuffers(Handle file);
// CloseHandle works for every kind of handle.
bool CloseHandle(Handle handle);

uint32_t GetFileAttributesW(const std::string& path);
bool SetFileAttributesW(const std::string& path, uint32_t attributes);
bool CreateDirectoryW(const std::string& path);  // one level
bool RemoveDirectoryW(const std::string& path);
bool DeleteFileW(const std::string& path);
// MoveFileExW with MOVEFILE_REPLACE_EXISTING when replace is true, and
// MOVEFILE_WRITE_THROUGH (returns once the move is on the disk) when writeThrough is.
bool MoveFileExW(const std::string& from, const std::string& to, bool replace,
                 bool writeThrough = false);
// ReplaceFileW(replaced, replacement, no backup, no flags): the replacement takes the
// place and name of the replaced file, which must exist, and keeps its attributes.
bool ReplaceFileW(const std::string& replaced, const std::string& replacement);
bool CopyFileW(const std::string& from, const std::string& to, bool failIfExists);
// FindFirstFileW/FindNextFileW over one pattern ("C:\dir\*" or "C:\dir\*.log").
struct FindData {
  std::string name;
  uint32_t attributes = 0;
  int64_t size = 0;
};
bool FindFiles(const std::string& pattern, std::vector<FindData>& out);
std::string GetCurrentDirectoryW();
bool SetCurrentDirectoryW(const std::string& path);
// GetFullPathNameW: resolves ".\", "..\" and relative paths against the current directory.
std::string GetFullPathNameW(const std::string& path);
// GetTempPathW, with trailing backslash.
std::string GetTempPathW();

// ---------------------------------------------------------------- registry
// All return a Win32 error code (0 = success) like the real functions.
int32_t RegOpenKeyExW(RegKey parent, const std::string& subKey, uint32_t access, RegKey* result);
int32_t RegCreateKeyExW(RegKey parent, const std::string& subKey, uint32_t access, RegKey* result,
                        bool* created = nullptr);
int32_t RegCloseKey(RegKey key);
int32_t RegFlushKey(RegKey key);
// RegQueryValueExW: data may be null to ask for type and size only; *size is in/out
// in bytes. A too-small buffer gives kERROR_MORE_DATA and the needed size.
// String values are raw UTF-16LE bytes with their terminator, as on Windows.
int32_t RegQueryValueExW(RegKey key, const std::string& name, uint32_t* type, uint8_t* data,
                         uint32_t* size);
int32_t RegSetValueExW(RegKey key, const std::string& name, uint32_t type, const uint8_t* data,
                       uint32_t size);
int32_t RegDeleteValueW(RegKey key, const std::string& name);
// RegDeleteKeyExW (the key must have no subkeys); view is kKEY_WOW64_32KEY/64KEY or 0.
int32_t RegDeleteKeyExW(RegKey parent, const std::string& subKey, uint32_t view);
int32_t RegEnumKeyExW(RegKey key, uint32_t index, std::string* name);
int32_t RegEnumValueW(RegKey key, uint32_t index, std::string* name, uint32_t* type = nullptr);

// ---------------------------------------------------------------- profile functions
// GetPrivateProfileStringW. section/key may be absent (the NULL arguments of the
// real function). buffer is resized to bufferChars, zero-filled, and receives
// exactly what the real function writes into its buffer. Returns the count the
// function returns.
uint32_t GetPrivateProfileStringW(const std::optional<std::string>& section,
                                  const std::optional<std::string>& key,
                                  const std::string& defaultValue, std::u16string& buffer,
                                  uint32_t bufferChars, const std::string& fileName);
uint32_t GetPrivateProfileSectionNamesW(std::u16string& buffer, uint32_t bufferChars,
                                        const std::string& fileName);
// WritePrivateProfileStringW. An absent key erases the section, an absent value
// deletes the key, all three absent flushes the cache (fileName may then be empty).
bool WritePrivateProfileStringW(const std::optional<std::string>& section,
                                const std::optional<std::string>& key,
                                const std::optional<std::string>& value,
                                const std::string& fileName);

// ---------------------------------------------------------------- system facts
struct OsVersionInfo {  // OSVERSIONINFOEXW
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platformId = 0;
  std::string csdVersion;
  uint16_t servicePackMajor = 0;
  uint16_t servicePackMinor = 0;
  uint16_t suiteMask = 0;
  uint8_t productType = 0;
};
bool GetVersionExW(OsVersionInfo& info);

struct SystemInfo {  // SYSTEM_INFO
  uint16_t processorArchitecture = 0;
  uint32_t pageSize = 4096;
  uint32_t numberOfProcessors = 1;
  uint32_t allocationGranularity = 65536;
  uint64_t minimumApplicationAddress = 0;
  uint64_t maximumApplicationAddress = 0;
};
// GetNativeSystemInfo is looked up at run time; HasGetNativeSystemInfo says whether it exists.
bool HasGetNativeSystemInfo();
SystemInfo GetNativeSystemInfo();
SystemInfo GetSystemInfo();
int GetSystemMetrics(int index);

// Whether kernel32.dll exports a function (the run-time bindings of the program).
bool Kernel32HasExport(const char* name);
// IsWow64Process; false when the call fails or the function is missing.
bool IsWow64Process(Handle process, bool& wow64);

// Environment (GetEnvironmentVariableW): nullopt when the variable is not set.
std::optional<std::string> GetEnvironmentVariableW(const std::string& name);
bool SetEnvironmentVariableW(const std::string& name, const std::optional<std::string>& value);

// SHGetSpecialFolderPathW (no create); false when the shell does not know the folder.
bool SHGetSpecialFolderPathW(int csidl, std::string& path);
// GetUserNameW with a buffer of capacity characters (including the terminator).
bool GetUserNameW(std::string& name, uint32_t capacity);

// Paths of modules: the running program (moduleName empty) or a loaded DLL
// ("kernel32.dll"). Empty when the module is not loaded.
std::string GetModuleFileNameW(const std::string& moduleName = {});

void OutputDebugStringW(const std::string& text);

// ---------------------------------------------------------------- time
uint32_t GetTickCount();
uint64_t GetTickCount64();
void Sleep(uint32_t milliseconds);
struct SystemTime {
  uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
  uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};
SystemTime GetLocalTime();

// ---------------------------------------------------------------- locale and code pages
uint32_t GetACP();
uint16_t GetSystemDefaultLangID();
// GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL).
std::string GetUserDecimalSeparator();
// MultiByteToWideChar / WideCharToMultiByte for a code page (CP_ACP = 0).
// Characters the code page cannot hold become its default character ("?").
std::u16string MultiByteToWideChar(uint32_t codePage, const std::string& bytes);
std::string WideCharToMultiByte(uint32_t codePage, const std::u16string& text);

// ---------------------------------------------------------------- version resources
// GetFileVersionInfoSizeW: 0 on failure (last error 2 for a missing file,
// 1812 for a file without a version resource).
uint32_t GetFileVersionInfoSizeW(const std::string& path);
// GetFileVersionInfoW: the raw VS_VERSIONINFO block.
bool GetFileVersionInfoW(const std::string& path, std::string& block);
// VerQueryValueW on a block from GetFileVersionInfoW. value receives the raw
// bytes of the value ("\" gives the 52-byte VS_FIXEDFILEINFO; a string value
// gives UTF-16LE text with its terminator; "\VarFileInfo\Translation" gives
// pairs of 16-bit words).
bool VerQueryValueW(const std::string& block, const std::string& subBlock, std::string& value);

// ---------------------------------------------------------------- processes
struct ProcessEntry {  // PROCESSENTRY32W
  uint32_t pid = 0;
  uint32_t parentPid = 0;
  uint32_t threads = 0;
  int32_t basePriority = 0;
  std::string exeFile;
};
// CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS) walked with Process32FirstW/NextW.
bool SnapshotProcesses(std::vector<ProcessEntry>& entries);
Handle OpenProcess(uint32_t access, bool inheritHandle, uint32_t pid);  // 0 on failure
bool TerminateProcess(Handle process, uint32_t exitCode);
// kSTILL_ACTIVE while the process runs; a handle keeps an ended process's object (and
// its identifier and image path) alive, so a successful OpenProcess alone proves nothing.
inline constexpr uint32_t kSTILL_ACTIVE = 259;
bool GetExitCodeProcess(Handle process, uint32_t& exitCode);
Handle GetCurrentProcess();  // pseudo handle
uint32_t GetCurrentProcessId();

// GetPriorityClass: 0 on failure. SetPriorityClass: false on failure (an
// unknown class, 0 among them, fails with ERROR_INVALID_PARAMETER).
uint32_t GetPriorityClass(Handle process);
bool SetPriorityClass(Handle process, uint32_t priorityClass);

// psapi.dll, loaded by name on first use and kept. HasPsapiFunction tells
// whether the library exports the function ("GetProcessImageFileNameW",
// "GetModuleFileNameExW", "QueryWorkingSet").
bool HasPsapiFunction(const std::string& name);
// GetModuleFileNameExW for the process's main module, capacity in characters.
bool GetModuleFileNameExW(Handle process, std::string& path, uint32_t capacity);
// GetProcessImageFileNameW: the image path in device form
// ("\Device\HarddiskVolume3\Windows\explorer.exe").
bool GetProcessImageFileNameW(Handle process, std::string& path, uint32_t capacity);
// QueryWorkingSet into a buffer of bufferBytes bytes (a pointer-sized entry
// count followed by pointer-sized entries). Fails with ERROR_BAD_LENGTH (24)
// when the working set holds more entries than fit; entries then stays empty.
// Each entry: bits 12 and up the page address, bit 8 the shared flag.
bool QueryWorkingSet(Handle process, uint32_t bufferBytes, std::vector<uint64_t>& entries);

// GetLogicalDriveStringsW with a buffer of capacity characters: the drive
// roots ("C:\", "D:\"). Returns false when the call fails or the buffer is
// too small.
bool GetLogicalDriveStringsW(uint32_t capacity, std::vector<std::string>& drives);
// QueryDosDeviceW for one device ("C:"): its first target
// ("\Device\HarddiskVolume3").
bool QueryDosDeviceW(const std::string& device, std::string& target, uint32_t capacity);

// Tokens, accounts and privileges.
bool OpenProcessToken(Handle process, uint32_t access, Handle& token);
// GetTokenInformation(TokenUser) with a buffer of bufferBytes bytes. When the
// buffer is too small the call fails with ERROR_INSUFFICIENT_BUFFER (122) and
// needed receives the size; on success sid receives the binary SID.
bool GetTokenInformationUser(Handle token, uint32_t bufferBytes, std::string& sid,
                             uint32_t& needed);
// LookupAccountSidW on the local machine with buffers of the given sizes.
bool LookupAccountSidW(const std::string& sid, std::string& name, std::string& domain,
                       uint32_t nameChars, uint32_t domainChars);
// LookupPrivilegeValueW on the local machine ("SeDebugPrivilege").
bool LookupPrivilegeValueW(const std::string& name, uint64_t& luid);
// GetTokenInformation(TokenElevationType): kTokenElevationType{Default,Full,Limited}.
bool GetTokenInformationElevationType(Handle token, uint32_t& type);
// GetTokenInformation(TokenElevation): whether the token is elevated.
bool GetTokenInformationElevation(Handle token, bool& elevated);
// GetTokenInformation(TokenSessionId).
bool GetTokenInformationSessionId(Handle token, uint32_t& session);
// DuplicateTokenEx(token, access, no security attributes, SecurityImpersonation,
// TokenPrimary): a primary token for CreateProcessWithTokenW. The source needs
// TOKEN_DUPLICATE.
bool DuplicateTokenEx(Handle token, uint32_t access, Handle& primary);
// AdjustTokenPrivileges for one privilege. Succeeds with last error
// ERROR_NOT_ALL_ASSIGNED (1300) when the token does not hold the privilege.
bool AdjustTokenPrivileges(Handle token, uint64_t luid, uint32_t attributes);

// GetProcessTimes: the creation time (FILETIME: 100 ns since 1601-01-01).
bool GetProcessTimes(Handle process, uint64_t& creationTime);

// CreateProcessW(applicationName (empty: NULL, the image is taken from the
// command line), commandLine, no inheritance, no creation flags, the caller's
// environment, currentDirectory (empty: the caller's), STARTUPINFO with
// STARTF_USESHOWWINDOW and show). Does not wait. pid receives the new process's
// identifier; both handles are closed. An application name is a path with its
// extension; it is not searched for.
bool CreateProcessW(const std::string& commandLine, const std::string& currentDirectory, int show,
                    uint32_t& pid, const std::string& applicationName = {});
// CreateProcessWithTokenW(token, no logon flags, applicationName, commandLine, no
// creation flags, the token user's environment, currentDirectory, STARTUPINFO as
// above): the process runs as the token's user. The token must be a primary one
// with TOKEN_QUERY, TOKEN_DUPLICATE and TOKEN_ASSIGN_PRIMARY; the caller needs
// SeImpersonatePrivilege and the Secondary Logon service.
bool CreateProcessWithTokenW(Handle token, const std::string& applicationName,
                             const std::string& commandLine, const std::string& currentDirectory,
                             int show, uint32_t& pid);

// ---------------------------------------------------------------- memory
struct MemoryStatus {       // MEMORYSTATUSEX, sizes in bytes
  uint32_t memoryLoad = 0;  // percentage of physical memory in use
  uint64_t totalPhys = 0, availPhys = 0;
  uint64_t totalPageFile = 0, availPageFile = 0;
  uint64_t totalVirtual = 0, availVirtual = 0;
};
// GlobalMemoryStatusEx, looked up in kernel32 by name on first use. False when the
// function is missing (status stays zero) or fails.
bool GlobalMemoryStatusEx(MemoryStatus& status);
// SetProcessWorkingSetSize on an opened process (PROCESS_SET_QUOTA); both sizes -1
// remove as many pages as possible from its working set.
bool SetProcessWorkingSetSize(Handle process, intptr_t minimumBytes, intptr_t maximumBytes);

// ---------------------------------------------------------------- errors as text
// The system's message for an error code (FormatMessageW, without the line break).
std::string SysErrorMessage(uint32_t code);

// ---------------------------------------------------------------- random numbers
// A uniform whole number from 0 to range - 1 (0 when range < 1): a clock-seeded
// generator on Windows, the machine's fixed value on the sim.
int32_t Random(int32_t range);

}  // namespace plat
