// System information helpers: special folders, the user and Windows version, version
// resources of files, WOW64, ending processes by name and byte-count texts.
//
// Every helper returns a neutral value (an empty text, 0, false, the caller's
// default) instead of failing. Safe to call from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/Types.h"

// windows.h maps GetUserName to GetUserNameW; keep this program's helper apart.
#pragma push_macro("GetUserName")
#undef GetUserName

// A shell special folder (CSIDL), without a trailing delimiter. For the
// application-data, program-files and profile folders (CSIDL 26 ... 43) a failing
// shell is replaced by the environment or the usual location on the system drive.
std::string GetSpecialFolderPath(int Csidl);

// The logon name of the current user (up to 255 characters); empty on failure.
std::string GetUserName();

// "Windows NT", "Windows 2000", "Windows XP", "Windows 2003 Server",
// "Windows Vista", "Windows 7", "Windows 8", "Windows 10", or "".
std::string GetOSName();

// Windows version code: 0 not NT or not listed, 1 NT 3/4, 2 Windows 2000,
// 3 XP (and XP x64), 4 Server 2003, 5 Home Server, 6 Server 2003 R2,
// 7 Vista, 8 Server 2008, 9 Server 2008 R2, 10 Windows 7, 11 Windows 8.
int GetOSVersionCode();

// Whether Process runs under WOW64: true when the question could be answered
// (IsWow64Process exists and succeeded), with the answer in Wow.
bool IsWow64(plat::Handle Process, bool& Wow);
// IsWow64 for the running program, asked once and remembered.
bool IsWow64Self();

// The version resource of a file, as the version readers fill it.
struct TFileVersionRecord {
  // 0 Comments, 1 CompanyName, 2 FileDescription, 3 FileVersion, 4 InternalName,
  // 5 LegalCopyright, 6 LegalTrademarks, 7 OriginalFileName, 8 ProductName,
  // 9 ProductVersion, 10 "WOW Version".
  std::array<std::string, 11> Fields;
  // VS_FIXEDFILEINFO: signature, structure version, file version MS/LS, product
  // version MS/LS, flags mask, flags, OS, type, subtype, date MS/LS.
  std::array<uint32_t, 13> Fixed{};
};

// Reads a file's version resource. Numeric: the file version (field 3) is the
// fixed block's four numbers "a.b.c.d"; otherwise the "FileVersion" string.
// False (record cleared) when the file has no readable version resource.
bool ReadFileVersionRecord(const std::string& FileName, bool Numeric, TFileVersionRecord& Record);
// Field Index (0 ... 10) of the record with the numeric file version; Default
// when the file has no readable version resource; "" for another index.
std::string GetFileVersionText(const std::string& FileName, int Index, const std::string& Default);
// The same with the file version taken from the "FileVersion" string.
std::string GetFileVersionString(const std::string& FileName, int Index,
                                 const std::string& Default);

// Ends every process whose executable name equals ExeName (without regard to
// case, on the bare file name or the whole stored name) with exit code 0. The
// result is the success of the last termination; false when nothing matched.
bool KillProcessByName(const std::string& ExeName);

// "1023 Byte", "1.5 KB", "1024.0 KB", "1.0 MB", "5.0 GB" (one decimal, rounded,
// with the user's decimal separator); "N/A" for a negative count.
std::string FormatByteSize(int64_t Bytes);
std::string FormatByteSize(int64_t Bytes, char DecimalSeparator);

// Forgets the remembered IsWow64Process look-up and WOW64 answer (tests that
// switch simulated machines).
void ResetSysInfoCache();

#pragma pop_macro("GetUserName")
