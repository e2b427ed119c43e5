// The registry through the Win32 backend: the 32/64-bit views and the predefined roots,
// on scratch keys of the real registry (values, enumeration and deletion are in
// registry_test.cpp, which runs on both backends).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace {

using namespace plat;

std::string UniqueKeyName() {
  return "VlxTest_" + std::to_string(GetCurrentProcessId()) + "_" +
         std::to_string(GetTickCount64());
}

int32_t Set(RegKey key, const std::string& name, uint32_t type, const std::string& data) {
  return RegSetValueExW(key, name, type, reinterpret_cast<const uint8_t*>(data.data()),
                        static_cast<uint32_t>(data.size()));
}

// Reads a value whole: asks for the size first, then the data.
bool Get(RegKey key, const std::string& name, uint32_t& type, std::string& data) {
  uint32_t size = 0;
  if (RegQueryValueExW(key, name, &type, nullptr, &size) != 0) return false;
  data.assign(size, '\0');
  if (RegQueryValueExW(key, name, &type, reinterpret_cast<uint8_t*>(data.data()), &size) != 0) {
    return false;
  }
  data.resize(size);
  return true;
}

// A scratch key below a root, deleted (with its subkeys) at the end.
class ScratchKey {
 public:
  ScratchKey(RegKey root, const std::string& parent, uint32_t view)
      : root_(root), path_(parent + "\\" + UniqueKeyName()), view_(view) {}
  ~ScratchKey() {
    RegKey key = 0;
    if (RegOpenKeyExW(root_, path_, kKEY_ALL_ACCESS | view_, &key) == 0) {
      std::string name;
      std::vector<std::string> subkeys;
      for (uint32_t i = 0; RegEnumKeyExW(key, i, &name) == 0; ++i)
        subkeys.push_back(name);
      for (const auto& sub : subkeys)
        RegDeleteKeyExW(key, sub, view_);
      RegCloseKey(key);
    }
    RegDeleteKeyExW(root_, path_, view_);
  }
  const std::string& path() const { return path_; }

 private:
  RegKey root_;
  std::string path_;
  uint32_t view_;
};

TEST(RegistryWin, ThirtyTwoAndSixtyFourBitViewsOfSoftware) {
  ScratchKey scratch(kHKEY_LOCAL_MACHINE, "SOFTWARE", kKEY_WOW64_32KEY);
  const std::string leaf = scratch.path().substr(std::strlen("SOFTWARE\\"));
  RegKey key = 0;
  ASSERT_EQ(RegCreateKeyExW(kHKEY_LOCAL_MACHINE, scratch.path(), kKEY_ALL_ACCESS | kKEY_WOW64_32KEY,
                            &key),
            0);
  const uint32_t one = 1;
  EXPECT_EQ(Set(key, "View", kREG_DWORD, std::string(reinterpret_cast<const char*>(&one), 4)), 0);
  RegCloseKey(key);

  // The 32-bit view of HKLM\SOFTWARE is WOW6432Node in the 64-bit view.
  EXPECT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, scratch.path(), kKEY_READ | kKEY_WOW64_64KEY, &key),
            static_cast<int32_t>(kERROR_FILE_NOT_FOUND));
  ASSERT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node\\" + leaf,
                          kKEY_READ | kKEY_WOW64_64KEY, &key),
            0);
  uint32_t type = 0;
  std::string data;
  EXPECT_TRUE(Get(key, "View", type, data));
  EXPECT_EQ(type, kREG_DWORD);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, scratch.path(), kKEY_READ | kKEY_WOW64_32KEY, &key),
            0);
  RegCloseKey(key);

  // Deleting from the 64-bit view does not reach the 32-bit key.
  EXPECT_EQ(RegDeleteKeyExW(kHKEY_LOCAL_MACHINE, scratch.path(), kKEY_WOW64_64KEY),
            static_cast<int32_t>(kERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegDeleteKeyExW(kHKEY_LOCAL_MACHINE, scratch.path(), kKEY_WOW64_32KEY), 0);
  EXPECT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, scratch.path(), kKEY_READ | kKEY_WOW64_32KEY, &key),
            static_cast<int32_t>(kERROR_FILE_NOT_FOUND));
}

TEST(RegistryWin, PredefinedRootsWorkInEveryBuild) {
  // The roots are the 32-bit Win32 values whatever the pointer width.
  RegKey key = 0;
  ASSERT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                          kKEY_READ, &key),
            0);
  uint32_t type = 0;
  std::string data;
  EXPECT_TRUE(Get(key, "ProductName", type, data));
  EXPECT_EQ(type, kREG_SZ);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExW(kHKEY_CURRENT_USER, "Software", kKEY_READ, &key), 0);
  RegCloseKey(key);
  ASSERT_EQ(RegOpenKeyExW(kHKEY_USERS, ".DEFAULT", kKEY_READ, &key), 0);
  RegCloseKey(key);
  // "CLSID" exists in every prefix; file-type keys such as ".txt" depend on what the
  // prefix had installed.
  ASSERT_EQ(RegOpenKeyExW(kHKEY_CLASSES_ROOT, "CLSID", kKEY_READ, &key), 0);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyExW(0x12345678u, "x", kKEY_READ, &key),
            static_cast<int32_t>(kERROR_INVALID_HANDLE));
}

}  // namespace
