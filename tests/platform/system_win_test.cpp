// System facts, run-time bindings, environment, session, code pages and version
// resources through the Win32 backend (processes: process_win_test.cpp).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"

namespace wintest {

// Whether the tests run under Wine rather than Windows.
bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace wintest

namespace {

using namespace plat;

std::string ProgramFolder() {
  const std::string self = plat::GetModuleFileNameW();
  return self.substr(0, self.rfind('\\') + 1);
}

std::string HelperPath() {
  return ProgramFolder() + "verres_helper.exe";
}

uint32_t Word(const std::string& bytes, size_t offset) {
  return static_cast<uint8_t>(bytes[offset]) | static_cast<uint8_t>(bytes[offset + 1]) << 8;
}

uint32_t Dword(const std::string& bytes, size_t offset) {
  return Word(bytes, offset) | Word(bytes, offset + 2) << 16;
}

// UTF-16LE bytes of text with its terminator, as string values come back.
std::string Utf16Z(const std::string& text) {
  std::string bytes = txt::Utf8ToUtf16LeBytes(text);
  bytes.append(2, '\0');
  return bytes;
}

TEST(SystemWin, VersionFactsAndArchitecture) {
  OsVersionInfo version;
  ASSERT_TRUE(plat::GetVersionExW(version));
  EXPECT_GE(version.major, 5u);
  EXPECT_EQ(version.platformId, kVER_PLATFORM_WIN32_NT);
  EXPECT_GT(version.build, 0u);
  EXPECT_TRUE(version.productType == kVER_NT_WORKSTATION || version.productType == kVER_NT_SERVER ||
              version.productType == kVER_NT_DOMAIN_CONTROLLER);

  EXPECT_TRUE(HasGetNativeSystemInfo());
  EXPECT_TRUE(Kernel32HasExport("GetNativeSystemInfo"));
  EXPECT_TRUE(Kernel32HasExport("IsWow64Process"));
  EXPECT_FALSE(Kernel32HasExport("NoSuchFunctionAnywhere"));
  EXPECT_EQ(plat::GetLastError(), kERROR_PROC_NOT_FOUND);

  const SystemInfo native = plat::GetNativeSystemInfo();
  const SystemInfo own = plat::GetSystemInfo();
  EXPECT_GE(native.numberOfProcessors, 1u);
  EXPECT_EQ(native.pageSize, 4096u);
  EXPECT_EQ(native.allocationGranularity, 65536u);
  EXPECT_LT(own.minimumApplicationAddress, own.maximumApplicationAddress);
  bool wow64 = true;
  ASSERT_TRUE(plat::IsWow64Process(plat::GetCurrentProcess(), wow64));
#ifdef _WIN64
  EXPECT_EQ(native.processorArchitecture, kPROCESSOR_ARCHITECTURE_AMD64);
  EXPECT_EQ(own.processorArchitecture, kPROCESSOR_ARCHITECTURE_AMD64);
  EXPECT_FALSE(wow64);
#else
  EXPECT_EQ(own.processorArchitecture, kPROCESSOR_ARCHITECTURE_INTEL);
  EXPECT_EQ(wow64, native.processorArchitecture == kPROCESSOR_ARCHITECTURE_AMD64);
#endif
  bool unchanged = true;
  EXPECT_FALSE(plat::IsWow64Process(0, unchanged));
  EXPECT_FALSE(unchanged);

  EXPECT_GT(plat::GetSystemMetrics(kSM_CXSCREEN), 0);
  EXPECT_EQ(plat::GetSystemMetrics(kSM_SERVERR2), 0);
}

TEST(SystemWin, EnvironmentVariables) {
  const std::string name = "VLX_TEST_" + std::to_string(plat::GetCurrentProcessId());
  EXPECT_EQ(plat::GetEnvironmentVariableW(name), std::nullopt);
  ASSERT_TRUE(plat::SetEnvironmentVariableW(name, std::string("Ωmega Тест")));
  EXPECT_EQ(plat::GetEnvironmentVariableW(name), "Ωmega Тест");
  EXPECT_EQ(plat::GetEnvironmentVariableW(txt::LowerCase(name)), "Ωmega Тест");

  // Longer than the first buffer the wrapper tries.
  const std::string longValue(1000, 'v');
  ASSERT_TRUE(plat::SetEnvironmentVariableW(name, longValue));
  EXPECT_EQ(plat::GetEnvironmentVariableW(name), longValue);

  // A variable set to nothing exists and is empty; a successful read keeps the
  // caller's last error as the real function does.
  ASSERT_TRUE(plat::SetEnvironmentVariableW(name, std::string()));
  plat::SetLastError(4321);
  EXPECT_EQ(plat::GetEnvironmentVariableW(name), std::string());
  EXPECT_EQ(plat::GetLastError(), 4321u);

  ASSERT_TRUE(plat::SetEnvironmentVariableW(name, std::nullopt));
  EXPECT_EQ(plat::GetEnvironmentVariableW(name), std::nullopt);
  EXPECT_EQ(plat::GetLastError(), 203u);  // ERROR_ENVVAR_NOT_FOUND
}

TEST(SystemWin, ShellFoldersUserAndModules) {
  std::string appData;
  ASSERT_TRUE(plat::SHGetSpecialFolderPathW(kCSIDL_APPDATA, appData));
  EXPECT_NE(plat::GetFileAttributesW(appData) & kFILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_NE(appData.back(), '\\');
  std::string windows;
  ASSERT_TRUE(plat::SHGetSpecialFolderPathW(kCSIDL_WINDOWS, windows));
  EXPECT_TRUE(txt::SameText(windows, "C:\\windows"));
  std::string unknown = "unchanged";
  EXPECT_FALSE(plat::SHGetSpecialFolderPathW(0x7E, unknown));

  std::string user;
  ASSERT_TRUE(plat::GetUserNameW(user, 257));
  EXPECT_FALSE(user.empty());
  std::string tooSmall;
  EXPECT_FALSE(plat::GetUserNameW(tooSmall, 1));
  EXPECT_EQ(plat::GetLastError(), kERROR_INSUFFICIENT_BUFFER);
  EXPECT_TRUE(plat::GetUserNameW(tooSmall, static_cast<uint32_t>(user.size()) + 1));
  EXPECT_EQ(tooSmall, user);

  EXPECT_TRUE(txt::EndsText("\\vlx_platform_tests.exe", plat::GetModuleFileNameW()));
  // System32 for a 64-bit program, SysWOW64 for a 32-bit one on 64-bit Windows.
  const std::string kernel32 = plat::GetModuleFileNameW("kernel32.dll");
  EXPECT_TRUE(txt::StartsText(windows + "\\", kernel32)) << kernel32;
  EXPECT_TRUE(txt::EndsText("\\kernel32.dll", kernel32)) << kernel32;
  EXPECT_EQ(plat::GetModuleFileNameW("notloaded.dll"), "");
  plat::OutputDebugStringW("vlx test: debug output Ω");
}

TEST(SystemWin, VersionResourceOfAHelperProgram) {
  const std::string helper = HelperPath();
  const uint32_t size = plat::GetFileVersionInfoSizeW(helper);
  ASSERT_GT(size, 0u);
  std::string block;
  ASSERT_TRUE(plat::GetFileVersionInfoW(helper, block));
  EXPECT_EQ(block.size(), size);

  std::string fixed;
  ASSERT_TRUE(plat::VerQueryValueW(block, "\\", fixed));
  ASSERT_EQ(fixed.size(), 52u);
  EXPECT_EQ(Dword(fixed, 0), 0xFEEF04BDu);   // signature
  EXPECT_EQ(Dword(fixed, 8), 0x00010002u);   // file version 1.2
  EXPECT_EQ(Dword(fixed, 12), 0x00030004u);  // .3.4
  EXPECT_EQ(Dword(fixed, 16), 0x00050006u);  // product version 5.6
  EXPECT_EQ(Dword(fixed, 20), 0x00070008u);  // .7.8
  EXPECT_EQ(Dword(fixed, 28), 0u);           // flags
  EXPECT_EQ(Dword(fixed, 36), 1u);           // VFT_APP

  std::string translations;
  ASSERT_TRUE(plat::VerQueryValueW(block, "\\VarFileInfo\\Translation", translations));
  ASSERT_EQ(translations.size(), 8u);
  EXPECT_EQ(Word(translations, 0), 0x0409u);
  EXPECT_EQ(Word(translations, 2), 1252u);
  EXPECT_EQ(Word(translations, 4), 0x0407u);
  EXPECT_EQ(Word(translations, 6), 1200u);

  std::string text;
  ASSERT_TRUE(plat::VerQueryValueW(block, "\\StringFileInfo\\040904E4\\FileVersion", text));
  EXPECT_EQ(text, Utf16Z("1.2.3.4"));
  ASSERT_TRUE(plat::VerQueryValueW(block, "\\StringFileInfo\\040904E4\\ProductName", text));
  EXPECT_EQ(text, Utf16Z("Velmora Ωmega Тест"));
  ASSERT_TRUE(plat::VerQueryValueW(block, "\\StringFileInfo\\040704B0\\FileDescription", text));
  EXPECT_EQ(text, Utf16Z("Hilfsprogramm für Versionsdaten"));
  ASSERT_TRUE(plat::VerQueryValueW(block, "\\StringFileInfo\\040904e4\\companyname", text));
  EXPECT_EQ(text, Utf16Z("Trevanic Test"));
  ASSERT_TRUE(plat::VerQueryValueW(block, "\\StringFileInfo\\040904E4\\Comments", text));
  EXPECT_EQ(test::Hex(text), test::Hex(Utf16Z("")));
  ASSERT_TRUE(plat::VerQueryValueW(block, "\\StringFileInfo\\040904E4", text));
  EXPECT_EQ(text, "");  // a table, not a value
  EXPECT_FALSE(plat::VerQueryValueW(block, "\\StringFileInfo\\040904E4\\LegalCopyright", text));
  EXPECT_EQ(plat::GetLastError(), kERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_FALSE(plat::VerQueryValueW(block, "\\StringFileInfo\\04090000\\FileVersion", text));
}

}  // namespace
