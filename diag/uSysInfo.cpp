#include "diag/uSysInfo.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/VersionBlock.h"

#pragma push_macro("GetUserName")
#undef GetUserName

namespace {

// ---------------------------------------------------------------- remembered facts

// -1 not asked yet, 0 no, 1 yes.
std::atomic<int> gHasIsWow64Process{-1};
std::atomic<int> gSelfWow64{-1};

bool HasIsWow64Process() {
  int known = gHasIsWow64Process.load(std::memory_order_acquire);
  if (known < 0) {
    known = plat::Kernel32HasExport("IsWow64Process") ? 1 : 0;
    gHasIsWow64Process.store(known, std::memory_order_release);
  }
  return known == 1;
}

// ---------------------------------------------------------------- folders

std::string ExtractFileDrive(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // "\\server\share"
    size_t server = path.find('\\', 2);
    if (server == std::string::npos) return path;
    size_t share = path.find('\\', server + 1);
    return share == std::string::npos ? path : path.substr(0, share);
  }
  return std::string();
}

std::string EnvTrimmed(const std::string& name) {
  return txt::Trim(plat::GetEnvironmentVariableW(name).value_or(std::string()));
}

bool IsOldWindows() {
  plat::OsVersionInfo info;
  return plat::GetVersionExW(info) && info.major < 6;
}

std::string FolderFallback(int Csidl, const std::string& shortResult) {
  const std::string drive = ExtractFileDrive(plat::GetModuleFileNameW("kernel32.dll"));
  std::string path;
  switch (Csidl) {
    case plat::kCSIDL_APPDATA:
      path = EnvTrimmed("APPDATA");
      if (path.empty()) {
        path = IsOldWindows()
                   ? drive + "\\Documents and Settings\\" + GetUserName() + "\\Application Data"
                   : drive + "\\Users\\" + GetUserName() + "\\AppData\\Roaming";
      }
      return path;
    case plat::kCSIDL_LOCAL_APPDATA:
      path = EnvTrimmed("LOCALAPPDATA");
      if (path.empty()) {
        path = IsOldWindows() ? drive + "\\Documents and Settings\\" + GetUserName() +
                                    "\\Local Settings\\Application Data"
                              : drive + "\\Users\\" + GetUserName() + "\\AppData\\Local";
      }
      return path;
    case plat::kCSIDL_COMMON_APPDATA:
      path = EnvTrimmed("ProgramData");
      if (path.empty()) {
        path = IsOldWindows() ? drive + "\\Documents and Settings\\All Users\\Application Data"
                              : drive + "\\ProgramData";
      }
      return path;
    case plat::kCSIDL_PROGRAM_FILES: {
      const bool wow = IsWow64Self();
      path = EnvTrimmed(wow ? "ProgramFiles(x86)" : "ProgramFiles");
      if (path.empty()) path = drive + (wow ? "\\Program Files (x86)" : "\\Program Files");
      return path;
    }
    case plat::kCSIDL_PROFILE:
      path = EnvTrimmed("USERPROFILE");
      if (path.empty()) {
        path = IsOldWindows() ? drive + "\\Documents and Settings\\" + GetUserName()
                              : drive + "\\Users\\" + GetUserName();
      }
      return path;
    case plat::kCSIDL_PROGRAM_FILES_COMMON: {
      const bool wow = IsWow64Self();
      path = EnvTrimmed(wow ? "CommonProgramFiles(x86)" : "CommonProgramFiles");
      if (path.empty()) {
        path =
            drive + (wow ? "\\Program Files (x86)\\Common Files" : "\\Program Files\\Common Files");
      }
      return path;
    }
    default:
      return shortResult;
  }
}

// ---------------------------------------------------------------- version resources

uint32_t ReadU32(const std::string& bytes, size_t offset) {
  uint32_t value = 0;
  if (offset + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + offset, 4);
  return value;  // little-endian on every target of this program
}

bool QueryText(const std::string& block, const std::string& subBlock, std::string& text) {
  std::string value;
  if (!plat::VerQueryValueW(block, subBlock, value)) return false;
  text = verblock::ValueText(value);
  return true;
}

// "\StringFileInfo\LLLLCCCC\" of the first translation, or of the first string
// table when that one cannot be found; empty when there is no string table.
std::string StringTablePath(const std::string& block) {
  const std::string path = verblock::TranslationTablePath(block);
  std::string table;
  if (!path.empty() && plat::VerQueryValueW(block, path, table)) return path;
  const std::string key = verblock::FirstStringTableKey(block);
  if (key.empty()) return std::string();
  return "\\StringFileInfo\\" + key + "\\";
}

std::string VersionField(const std::string& FileName, int Index, const std::string& Default,
                         bool Numeric) {
  TFileVersionRecord record;
  if (!ReadFileVersionRecord(FileName, Numeric, record)) return Default;
  if (Index < 0 || Index >= static_cast<int>(record.Fields.size())) return std::string();
  return record.Fields[static_cast<size_t>(Index)];
}

}  // namespace

// ---------------------------------------------------------------- folders and names

std::string GetSpecialFolderPath(int Csidl) {
  try {
    std::string path;
    if (!plat::SHGetSpecialFolderPathW(Csidl, path)) path.clear();
    if (txt::Utf8ToUtf16(path).size() >= 3 || Csidl < 26 || Csidl > 43) return path;
    return FolderFallback(Csidl, path);
  } catch (...) {
    return std::string();
  }
}

std::string GetUserName() {
  try {
    std::string name;
    if (!plat::GetUserNameW(name, 256)) return std::string();
    return name;
  } catch (...) {
    return std::string();
  }
}

// ---------------------------------------------------------------- Windows version

std::string GetOSName() {
  plat::OsVersionInfo info;
  if (!plat::GetVersionExW(info) || info.platformId != plat::kVER_PLATFORM_WIN32_NT) return "";
  const plat::SystemInfo system =
      plat::HasGetNativeSystemInfo() ? plat::GetNativeSystemInfo() : plat::GetSystemInfo();
  switch (info.major) {
    case 3:
    case 4:
      return "Windows NT";
    case 5:
      switch (info.minor) {
        case 0:
          return "Windows 2000";
        case 1:
          return "Windows XP";
        case 2:
          if (info.productType == plat::kVER_NT_WORKSTATION &&
              system.processorArchitecture == plat::kPROCESSOR_ARCHITECTURE_AMD64) {
            return "Windows XP";
          }
          return "Windows 2003 Server";
        default:
          return "";
      }
    case 6:
      switch (info.minor) {
        case 0:
          return "Windows Vista";
        case 1:
          return "Windows 7";
        case 2:
        case 3:
          return "Windows 8";
        case 4:
          return "Windows 10";
        default:
          return "";
      }
    case 10:
      return "Windows 10";
    default:
      return "";
  }
}

int GetOSVersionCode() {
  plat::OsVersionInfo info;
  if (!plat::GetVersionExW(info) || info.platformId != plat::kVER_PLATFORM_WIN32_NT) return 0;
  const bool workstation = info.productType == plat::kVER_NT_WORKSTATION;
  switch (info.major) {
    case 3:
    case 4:
      return 1;
    case 5:
      switch (info.minor) {
        case 0:
          return 2;
        case 1:
          return 3;
        case 2: {
          const plat::SystemInfo system =
              plat::HasGetNativeSystemInfo() ? plat::GetNativeSystemInfo() : plat::GetSystemInfo();
          if (workstation && system.processorArchitecture == plat::kPROCESSOR_ARCHITECTURE_AMD64) {
            return 3;
          }
          if (plat::GetSystemMetrics(plat::kSM_SERVERR2) != 0) return 6;
          if ((info.suiteMask & 0x8000) == 0) return 4;
          return 5;
        }
        default:
          return 0;
      }
    case 6:
      switch (info.minor) {
        case 0:
          return workstation ? 7 : 8;
        case 1:
          return workstation ? 10 : 9;
        case 2:
          return 11;
        default:
          return 0;
      }
    default:
      return 0;
  }
}

// ---------------------------------------------------------------- WOW64

bool IsWow64(plat::Handle Process, bool& Wow) {
  Wow = false;
  if (!HasIsWow64Process()) return false;
  bool answer = false;
  if (!plat::IsWow64Process(Process, answer)) return false;
  Wow = answer;
  return true;
}

bool IsWow64Self() {
  int known = gSelfWow64.load(std::memory_order_acquire);
  if (known < 0) {
    bool wow = false;
    IsWow64(plat::GetCurrentProcess(), wow);
    known = wow ? 1 : 0;
    gSelfWow64.store(known, std::memory_order_release);
  }
  return known == 1;
}

void ResetSysInfoCache() {
  gHasIsWow64Process.store(-1, std::memory_order_release);
  gSelfWow64.store(-1, std::memory_order_release);
}

// ---------------------------------------------------------------- version resources

bool ReadFileVersionRecord(const std::string& FileName, bool Numeric, TFileVersionRecord& Record) {
  Record = TFileVersionRecord{};
  try {
    std::string block;
    if (!verblock::ReadFileBlock(FileName, block)) return false;

    std::string fixed;
    const bool hasFixed = plat::VerQueryValueW(block, "\\", fixed) && fixed.size() >= 52;
    if (Numeric && hasFixed) {
      const uint32_t ms = ReadU32(fixed, 8);
      const uint32_t ls = ReadU32(fixed, 12);
      char text[64];
      std::snprintf(text, sizeof text, "%u.%u.%u.%u", ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF);
      Record.Fields[3] = text;
    }

    const std::string path = StringTablePath(block);
    if (!path.empty()) {
      static const struct {
        int index;
        const char* key;
      } kKeys[] = {{1, "CompanyName"},      {2, "FileDescription"}, {3, "FileVersion"},
                   {4, "InternalName"},     {5, "LegalCopyright"},  {6, "LegalTrademarks"},
                   {7, "OriginalFileName"}, {8, "ProductName"},     {9, "ProductVersion"},
                   {0, "Comments"},         {10, "WOW Version"}};
      for (const auto& key : kKeys) {
        if (key.index == 3 && Numeric) continue;
        QueryText(block, path + key.key, Record.Fields[static_cast<size_t>(key.index)]);
      }
    }

    if (hasFixed) {
      for (size_t i = 0; i < Record.Fixed.size(); ++i)
        Record.Fixed[i] = ReadU32(fixed, i * 4);
    }
    return true;
  } catch (...) {
    Record = TFileVersionRecord{};
    return false;
  }
}

std::string GetFileVersionText(const std::string& FileName, int Index, const std::string& Default) {
  return VersionField(FileName, Index, Default, true);
}

std::string GetFileVersionString(const std::string& FileName, int Index,
                                 const std::string& Default) {
  return VersionField(FileName, Index, Default, false);
}

// ---------------------------------------------------------------- processes

bool KillProcessByName(const std::string& ExeName) {
  try {
    std::vector<plat::ProcessEntry> entries;
    if (!plat::SnapshotProcesses(entries)) return false;
    const std::string wanted = txt::UpperCase(ExeName);
    bool result = false;
    for (const plat::ProcessEntry& entry : entries) {
      if (txt::UpperCase(fileutil::ExtractFileName(entry.exeFile)) != wanted &&
          txt::UpperCase(entry.exeFile) != wanted) {
        continue;
      }
      const plat::Handle process = plat::OpenProcess(plat::kPROCESS_TERMINATE, false, entry.pid);
      if (process == 0) {
        result = false;
        continue;
      }
      result = plat::TerminateProcess(process, 0);
      plat::CloseHandle(process);
    }
    return result;
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------- byte counts

std::string FormatByteSize(int64_t Bytes, char DecimalSeparator) {
  if (Bytes < 0) return "N/A";
  if (Bytes / 1024 == 0) return std::to_string(Bytes) + " Byte";
  if (Bytes / 1024 / 1024 == 0) {
    return txt::FormatFixed(static_cast<double>(Bytes) / 1024.0, 1, DecimalSeparator) + " KB";
  }
  if (Bytes / (1024LL * 1024 * 1024) == 0) {
    return txt::FormatFixed(static_cast<double>(Bytes) / (1024.0 * 1024.0), 1, DecimalSeparator) +
           " MB";
  }
  return txt::FormatFixed(static_cast<double>(Bytes) / (1024.0 * 1024.0 * 1024.0), 1,
                          DecimalSeparator) +
         " GB";
}

std::string FormatByteSize(int64_t Bytes) {
  try {
    return FormatByteSize(Bytes, txt::DecimalSeparator());
  } catch (...) {
    return FormatByteSize(Bytes, '.');
  }
}

#pragma pop_macro("GetUserName")
