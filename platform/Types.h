// Basic types and Win32 constants shared by every layer above the platform seam.
//
// Constants carry the Win32 name with a leading "k": windows.h defines most of the
// plain names as macros, so the prefix keeps these usable in files that include it.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

// Opaque handle. On Windows it carries the real HANDLE value; in the simulated
// machine it is an index into the sim's handle table. Files report failure with
// kInvalidHandle, everything else with 0, as on Windows. As on Windows, the
// pseudo handle of the current process (GetCurrentProcess) has the same value as
// kInvalidHandle: compare file handles only against kInvalidHandle.
using Handle = std::uintptr_t;
inline constexpr Handle kInvalidHandle = static_cast<Handle>(-1);
inline constexpr Handle kCurrentProcessPseudoHandle = static_cast<Handle>(-1);

// Registry key handle; the predefined roots have their Win32 values.
using RegKey = std::uintptr_t;
inline constexpr RegKey kHKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr RegKey kHKEY_CURRENT_USER = 0x80000001u;
inline constexpr RegKey kHKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr RegKey kHKEY_USERS = 0x80000003u;

// System error codes.
inline constexpr uint32_t kERROR_SUCCESS = 0;
inline constexpr uint32_t kERROR_INVALID_FUNCTION = 1;
inline constexpr uint32_t kERROR_FILE_NOT_FOUND = 2;
inline constexpr uint32_t kERROR_PATH_NOT_FOUND = 3;
inline constexpr uint32_t kERROR_ACCESS_DENIED = 5;
inline constexpr uint32_t kERROR_INVALID_HANDLE = 6;
inline constexpr uint32_t kERROR_NOT_ENOUGH_MEMORY = 8;
inline constexpr uint32_t kERROR_SHARING_VIOLATION = 32;
inline constexpr uint32_t kERROR_LOCK_VIOLATION = 33;
inline constexpr uint32_t kERROR_DISK_FULL = 112;
inline constexpr uint32_t kERROR_FILENAME_EXCED_RANGE = 206;
inline constexpr uint32_t kERROR_FILE_TOO_LARGE = 223;
inline constexpr uint32_t kERROR_UNABLE_TO_REMOVE_REPLACED = 1175;
inline constexpr uint32_t kERROR_UNABLE_TO_MOVE_REPLACEMENT = 1176;
inline constexpr uint32_t kERROR_FILE_EXISTS = 80;
inline constexpr uint32_t kERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t kERROR_INSUFFICIENT_BUFFER = 122;
inline constexpr uint32_t kERROR_PROC_NOT_FOUND = 127;
inline constexpr uint32_t kERROR_DIR_NOT_EMPTY = 145;
inline constexpr uint32_t kERROR_ALREADY_EXISTS = 183;
inline constexpr uint32_t kERROR_MORE_DATA = 234;
inline constexpr uint32_t kERROR_NO_MORE_ITEMS = 259;
inline constexpr uint32_t kERROR_RESOURCE_DATA_NOT_FOUND = 1812;
inline constexpr uint32_t kERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
inline constexpr uint32_t kERROR_NO_UNICODE_TRANSLATION = 1113;

// File attributes.
inline constexpr uint32_t kINVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr uint32_t kFILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr uint32_t kFILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr uint32_t kFILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr uint32_t kFILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr uint32_t kFILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr uint32_t kFILE_ATTRIBUTE_NORMAL = 0x80;

// File access, sharing and creation.
inline constexpr uint32_t kGENERIC_READ = 0x80000000u;
inline constexpr uint32_t kGENERIC_WRITE = 0x40000000u;
inline constexpr uint32_t kGENERIC_EXECUTE = 0x20000000u;
inline constexpr uint32_t kGENERIC_ALL = 0x10000000u;
inline constexpr uint32_t kDELETE = 0x00010000u;
inline constexpr uint32_t kSYNCHRONIZE = 0x00100000u;
inline constexpr uint32_t kFILE_SHARE_READ = 0x1;
inline constexpr uint32_t kFILE_SHARE_WRITE = 0x2;
inline constexpr uint32_t kFILE_SHARE_DELETE = 0x4;
inline constexpr uint32_t kCREATE_NEW = 1;
inline constexpr uint32_t kCREATE_ALWAYS = 2;
inline constexpr uint32_t kOPEN_EXISTING = 3;
inline constexpr uint32_t kOPEN_ALWAYS = 4;
inline constexpr uint32_t kTRUNCATE_EXISTING = 5;
inline constexpr uint32_t kFILE_BEGIN = 0;
inline constexpr uint32_t kFILE_CURRENT = 1;
inline constexpr uint32_t kFILE_END = 2;

// Registry access rights, views and value types.
inline constexpr uint32_t kKEY_QUERY_VALUE = 0x0001;
inline constexpr uint32_t kKEY_SET_VALUE = 0x0002;
inline constexpr uint32_t kKEY_CREATE_SUB_KEY = 0x0004;
inline constexpr uint32_t kKEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr uint32_t kKEY_NOTIFY = 0x0010;
inline constexpr uint32_t kKEY_CREATE_LINK = 0x0020;
inline constexpr uint32_t kKEY_WOW64_64KEY = 0x0100;
inline constexpr uint32_t kKEY_WOW64_32KEY = 0x0200;
inline constexpr uint32_t kKEY_READ = 0x20019;
inline constexpr uint32_t kKEY_WRITE = 0x20006;
inline constexpr uint32_t kKEY_ALL_ACCESS = 0xF003F;
inline constexpr uint32_t kREG_NONE = 0;
inline constexpr uint32_t kREG_SZ = 1;
inline constexpr uint32_t kREG_EXPAND_SZ = 2;
inline constexpr uint32_t kREG_BINARY = 3;
inline constexpr uint32_t kREG_DWORD = 4;
inline constexpr uint32_t kREG_DWORD_BIG_ENDIAN = 5;
inline constexpr uint32_t kREG_MULTI_SZ = 7;
inline constexpr uint32_t kREG_QWORD = 11;

// Process access rights.
inline constexpr uint32_t kPROCESS_TERMINATE = 0x0001;
inline constexpr uint32_t kPROCESS_SET_QUOTA = 0x0100;
inline constexpr uint32_t kPROCESS_SET_INFORMATION = 0x0200;
inline constexpr uint32_t kPROCESS_QUERY_INFORMATION = 0x0400;
inline constexpr uint32_t kPROCESS_VM_READ = 0x0010;
inline constexpr uint32_t kPROCESS_QUERY_LIMITED_INFORMATION = 0x1000;
inline constexpr uint32_t kPROCESS_ALL_ACCESS = 0x1F0FFF;

// Token access rights and privilege attributes.
inline constexpr uint32_t kTOKEN_ASSIGN_PRIMARY = 0x0001;
inline constexpr uint32_t kTOKEN_DUPLICATE = 0x0002;
inline constexpr uint32_t kTOKEN_QUERY = 0x0008;
inline constexpr uint32_t kTOKEN_ADJUST_PRIVILEGES = 0x0020;
inline constexpr uint32_t kTOKEN_ADJUST_DEFAULT = 0x0080;
inline constexpr uint32_t kTOKEN_ADJUST_SESSIONID = 0x0100;
// TOKEN_ELEVATION_TYPE: default (UAC does not split the token), full (the
// elevated half of a split token), limited (the filtered half).
inline constexpr uint32_t kTokenElevationTypeDefault = 1;
inline constexpr uint32_t kTokenElevationTypeFull = 2;
inline constexpr uint32_t kTokenElevationTypeLimited = 3;
inline constexpr uint32_t kSE_PRIVILEGE_ENABLED = 0x0002;
inline constexpr uint32_t kERROR_NOT_ALL_ASSIGNED = 1300;
inline constexpr uint32_t kERROR_BAD_LENGTH = 24;
inline constexpr uint32_t kERROR_NONE_MAPPED = 1332;
inline constexpr uint32_t kERROR_PRIVILEGE_NOT_HELD = 1314;

// Priority classes (GetPriorityClass / SetPriorityClass).
inline constexpr uint32_t kIDLE_PRIORITY_CLASS = 0x0040;
inline constexpr uint32_t kBELOW_NORMAL_PRIORITY_CLASS = 0x4000;
inline constexpr uint32_t kNORMAL_PRIORITY_CLASS = 0x0020;
inline constexpr uint32_t kABOVE_NORMAL_PRIORITY_CLASS = 0x8000;
inline constexpr uint32_t kHIGH_PRIORITY_CLASS = 0x0080;
inline constexpr uint32_t kREALTIME_PRIORITY_CLASS = 0x0100;

// Processor architectures (SYSTEM_INFO.wProcessorArchitecture).
inline constexpr uint16_t kPROCESSOR_ARCHITECTURE_INTEL = 0;
inline constexpr uint16_t kPROCESSOR_ARCHITECTURE_IA64 = 6;
inline constexpr uint16_t kPROCESSOR_ARCHITECTURE_AMD64 = 9;

// OSVERSIONINFOEXW.wProductType and platform id.
inline constexpr uint8_t kVER_NT_WORKSTATION = 1;
inline constexpr uint8_t kVER_NT_DOMAIN_CONTROLLER = 2;
inline constexpr uint8_t kVER_NT_SERVER = 3;
inline constexpr uint32_t kVER_PLATFORM_WIN32_NT = 2;

// GetSystemMetrics indexes.
inline constexpr int kSM_CXSCREEN = 0;
inline constexpr int kSM_CYSCREEN = 1;
inline constexpr int kSM_SERVERR2 = 89;

// Shell special folders (CSIDL values).
inline constexpr int kCSIDL_DESKTOP = 0;
inline constexpr int kCSIDL_PERSONAL = 5;
inline constexpr int kCSIDL_MYVIDEO = 14;
inline constexpr int kCSIDL_APPDATA = 26;
inline constexpr int kCSIDL_LOCAL_APPDATA = 28;
inline constexpr int kCSIDL_COMMON_APPDATA = 35;
inline constexpr int kCSIDL_WINDOWS = 36;
inline constexpr int kCSIDL_SYSTEM = 37;
inline constexpr int kCSIDL_PROGRAM_FILES = 38;
inline constexpr int kCSIDL_MYPICTURES = 39;
inline constexpr int kCSIDL_PROFILE = 40;
inline constexpr int kCSIDL_PROGRAM_FILES_COMMON = 43;

}  // namespace plat
