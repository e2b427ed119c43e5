// The registry through the Win32 backend: the 32/64-bit views and the predefined roots,
// on scratch keys of the real registry (values, enumeration and deletion are in
// registry_test.cpp, which runs on both backends).
#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"

namespace {

using namespace plat;

// The type of a value, 0 when it cannot be read.
uint32_t TypeOf(RegKey key, const std::string& name) {
  uint32_t type = 0, size = 0;
  return RegQueryValueExW(key, name, &type, nullptr, &size) == 0 ? type : 0;
}

TEST(RegistryWin, ThirtyTwoAndSixtyFourBitViewsOfSoftware) {
  const std::string leaf =
      "VlxTest_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount64());
  const std::string path = "SOFTWARE\\" + leaf;
  RegKey key = 0;
  ASSERT_EQ(RegCreateKeyExW(kHKEY_LOCAL_MACHINE, path, kKEY_ALL_ACCESS | kKEY_WOW64_32KEY, &key),
            0);
  const uint32_t one = 1;
  EXPECT_EQ(RegSetValueExW(key, "View", kREG_DWORD, reinterpret_cast<const uint8_t*>(&one), 4), 0);
  RegCloseKey(key);

  // The 32-bit view of HKLM\SOFTWARE is WOW6432Node in the 64-bit view.
  EXPECT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, path, kKEY_READ | kKEY_WOW64_64KEY, &key),
            static_cast<int32_t>(kERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node\\" + leaf,
                          kKEY_READ | kKEY_WOW64_64KEY, &key),
            0);
  EXPECT_EQ(TypeOf(key, "View"), kREG_DWORD);
  RegCloseKey(key);
  // Deleting from the 64-bit view does not reach the 32-bit key.
  EXPECT_EQ(RegDeleteKeyExW(kHKEY_LOCAL_MACHINE, path, kKEY_WOW64_64KEY),
            static_cast<int32_t>(kERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegDeleteKeyExW(kHKEY_LOCAL_MACHINE, path, kKEY_WOW64_32KEY), 0);
  EXPECT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, path, kKEY_READ | kKEY_WOW64_32KEY, &key),
            static_cast<int32_t>(kERROR_FILE_NOT_FOUND));
}

TEST(RegistryWin, PredefinedRootsWorkInEveryBuild) {
  // The roots are the 32-bit Win32 values whatever the pointer width. "CLSID" exists in
  // every prefix; file-type keys such as ".txt" depend on what the prefix had installed.
  const std::pair<RegKey, const char*> keys[] = {
      {kHKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"},
      {kHKEY_CURRENT_USER, "Software"},
      {kHKEY_USERS, ".DEFAULT"},
      {kHKEY_CLASSES_ROOT, "CLSID"}};
  RegKey key = 0;
  for (const auto& [root, path] : keys) {
    ASSERT_EQ(RegOpenKeyExW(root, path, kKEY_READ, &key), 0) << path;
    EXPECT_EQ(TypeOf(key, "ProductName"), root == kHKEY_LOCAL_MACHINE ? kREG_SZ : 0u) << path;
    RegCloseKey(key);
  }
  EXPECT_EQ(RegOpenKeyExW(0x12345678u, "x", kKEY_READ, &key),
            static_cast<int32_t>(kERROR_INVALID_HANDLE));
}

}  // namespace
