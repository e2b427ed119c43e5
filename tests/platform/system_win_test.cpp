// System facts, run-time bindings, environment, session, code pages and version
// resources through the Win32 backend (processes: process_win_test.cpp).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace plat;

std::string ProgramFolder() {
  const std::string self = plat::GetModuleFileNameW();
  return self.substr(0, self.rfind('\\') + 1);
}

// UTF-16LE bytes of text with its terminator, as string values come back.
std::string Utf16Z(const std::string& text) {
  return txt::Utf8ToUtf16LeBytes(text) + std::string(2, '\0');
}

TEST(SystemWin, VersionFactsAndArchitecture) {
  OsVersionInfo version;
  ASSERT_TRUE(plat::GetVersionExW(version));
  EXPECT_GE(version.major, 5u);
  EXPECT_EQ(version.platformId, kVER_PLATFORM_WIN32_NT);
  EXPECT_EQ(version.productType, kVER_NT_WORKSTATION);

  EXPECT_TRUE(HasGetNativeSystemInfo() && Kernel32HasExport("IsWow64Process"));
  EXPECT_FALSE(Kernel32HasExport("NoSuchFunctionAnywhere"));
  EXPECT_EQ(plat::GetLastError(), kERROR_PROC_NOT_FOUND);

  const SystemInfo native = plat::GetNativeSystemInfo();
  const SystemInfo own = plat::GetSystemInfo();
  EXPECT_EQ(native.pageSize, 4096u);
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
}

TEST(SystemWin, EnvironmentVariables) {
  const std::string name = "VLX_TEST_" + std::to_string(plat::GetCurrentProcessId());
  EXPECT_EQ(plat::GetEnvironmentVariableW(name), std::nullopt);
  // Longer than the first buffer the wrapper tries; names without case.
  const std::string value = "Ωmega Тест" + std::string(1000, 'v');
  ASSERT_TRUE(plat::SetEnvironmentVariableW(name, value));
  EXPECT_EQ(plat::GetEnvironmentVariableW(txt::LowerCase(name)), value);

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
  EXPECT_FALSE(plat::SHGetSpecialFolderPathW(0x7E, appData));

  std::string user;
  ASSERT_TRUE(plat::GetUserNameW(user, 257));
  EXPECT_FALSE(plat::GetUserNameW(user, static_cast<uint32_t>(user.size())));
  EXPECT_EQ(plat::GetLastError(), kERROR_INSUFFICIENT_BUFFER);

  EXPECT_TRUE(txt::EndsText("\\vlx_platform_tests.exe", plat::GetModuleFileNameW()));
  // System32 for a 64-bit program, SysWOW64 for a 32-bit one on 64-bit Windows.
  const std::string kernel32 = plat::GetModuleFileNameW("kernel32.dll");
  EXPECT_TRUE(txt::StartsText(windows + "\\", kernel32) &&
              txt::EndsText("\\kernel32.dll", kernel32))
      << kernel32;
  EXPECT_EQ(plat::GetModuleFileNameW("notloaded.dll"), "");
}

TEST(SystemWin, VersionResourceOfAHelperProgram) {
  const std::string helper = ProgramFolder() + "verres_helper.exe";
  const uint32_t size = plat::GetFileVersionInfoSizeW(helper);
  std::string block, value;
  ASSERT_TRUE(plat::GetFileVersionInfoW(helper, block));
  EXPECT_EQ(block.size(), size);
  ASSERT_TRUE(plat::VerQueryValueW(block, "\\", value));
  ASSERT_EQ(value.size(), 52u);
  // The signature, the structure version and the file version 1.2.3.4.
  EXPECT_EQ(test::Hex(value.substr(0, 16)), "BD 04 EF FE 00 00 01 00 02 00 01 00 04 00 03 00");
  // path, value; string tables and names are found without case.
  const std::pair<std::string, std::string> values[] = {
      {"\\VarFileInfo\\Translation", std::string("\x09\x04\xE4\x04\x07\x04\xB0\x04", 8)},
      {"\\StringFileInfo\\040904E4\\ProductName", Utf16Z("Velmora Ωmega Тест")},
      {"\\StringFileInfo\\040704B0\\FileDescription", Utf16Z("Hilfsprogramm für Versionsdaten")},
      {"\\StringFileInfo\\040904e4\\companyname", Utf16Z("Trevanic Test")},
      {"\\StringFileInfo\\040904E4", ""}};  // a table, not a value
  for (const auto& [path, bytes] : values) {
    ASSERT_TRUE(plat::VerQueryValueW(block, path, value)) << path;
    EXPECT_EQ(test::Hex(value), test::Hex(bytes)) << path;
  }
  EXPECT_FALSE(plat::VerQueryValueW(block, "\\StringFileInfo\\040904E4\\LegalCopyright", value));
  EXPECT_EQ(plat::GetLastError(), kERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_FALSE(plat::VerQueryValueW(block, "\\StringFileInfo\\04090000\\FileVersion", value));
}

}  // namespace
