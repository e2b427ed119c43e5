// The registry through the Win32 backend: every value type, sizes, enumeration,
// deletion and the 32/64-bit views, on scratch keys of the real registry.
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

// UTF-16LE bytes of text with its terminator, as string values are stored.
std::string Wide(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  bytes.append(2, '\0');
  return bytes;
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

TEST(RegistryWin, ValuesOfEveryTypeRoundTrip) {
  ScratchKey scratch(kHKEY_CURRENT_USER, "Software", 0);
  RegKey key = 0;
  bool created = false;
  ASSERT_EQ(RegCreateKeyExW(kHKEY_CURRENT_USER, scratch.path(), kKEY_ALL_ACCESS, &key, &created),
            0);
  EXPECT_TRUE(created);
  EXPECT_NE(key, 0u);

  const std::string sz = Wide(u"Velmora \u03a9 \u0416");
  const std::string expand = Wide(u"%APPDATA%\\Trevanic");
  const std::string binary("\x00\x01\xFE\xFF", 4);
  const uint32_t dword = 0x12345678;
  const uint64_t qword = 0x0102030405060708ull;
  std::string multi = Wide(u"one");
  multi += Wide(u"two");
  multi.append(2, '\0');
  EXPECT_EQ(Set(key, "Text", kREG_SZ, sz), 0);
  EXPECT_EQ(Set(key, "Path", kREG_EXPAND_SZ, expand), 0);
  EXPECT_EQ(Set(key, "Blob", kREG_BINARY, binary), 0);
  EXPECT_EQ(Set(key, "Count", kREG_DWORD, std::string(reinterpret_cast<const char*>(&dword), 4)),
            0);
  EXPECT_EQ(Set(key, "Big", kREG_QWORD, std::string(reinterpret_cast<const char*>(&qword), 8)), 0);
  EXPECT_EQ(Set(key, "List", kREG_MULTI_SZ, multi), 0);
  EXPECT_EQ(Set(key, "", kREG_SZ, Wide(u"default")), 0);

  uint32_t type = 0;
  std::string data;
  ASSERT_TRUE(Get(key, "text", type, data));  // names compare without case
  EXPECT_EQ(type, kREG_SZ);
  EXPECT_EQ(data, sz);
  ASSERT_TRUE(Get(key, "Path", type, data));
  EXPECT_EQ(type, kREG_EXPAND_SZ);
  EXPECT_EQ(data, expand);
  ASSERT_TRUE(Get(key, "Blob", type, data));
  EXPECT_EQ(type, kREG_BINARY);
  EXPECT_EQ(data, binary);
  ASSERT_TRUE(Get(key, "Count", type, data));
  EXPECT_EQ(type, kREG_DWORD);
  EXPECT_EQ(data, std::string(reinterpret_cast<const char*>(&dword), 4));
  ASSERT_TRUE(Get(key, "Big", type, data));
  EXPECT_EQ(type, kREG_QWORD);
  EXPECT_EQ(data, std::string(reinterpret_cast<const char*>(&qword), 8));
  ASSERT_TRUE(Get(key, "List", type, data));
  EXPECT_EQ(type, kREG_MULTI_SZ);
  EXPECT_EQ(data, multi);
  ASSERT_TRUE(Get(key, "", type, data));
  EXPECT_EQ(data, Wide(u"default"));

  // A buffer too small for the value: more data, and the size it needs.
  uint8_t small[4] = {};
  uint32_t size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key, "Text", &type, small, &size),
            static_cast<int32_t>(kERROR_MORE_DATA));
  EXPECT_EQ(size, sz.size());
  EXPECT_EQ(RegQueryValueExW(key, "Missing", &type, nullptr, &size),
            static_cast<int32_t>(kERROR_FILE_NOT_FOUND));

  // Enumeration lists every value by name with its type.
  std::vector<std::string> names;
  std::string name;
  for (uint32_t i = 0; RegEnumValueW(key, i, &name, &type) == 0; ++i)
    names.push_back(name);
  EXPECT_EQ(names.size(), 7u);
  EXPECT_EQ(RegEnumValueW(key, 7, &name, &type), static_cast<int32_t>(kERROR_NO_MORE_ITEMS));

  EXPECT_EQ(RegDeleteValueW(key, "Blob"), 0);
  EXPECT_EQ(RegDeleteValueW(key, "Blob"), static_cast<int32_t>(kERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegFlushKey(key), 0);
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST(RegistryWin, KeysOpenEnumerateAndDelete) {
  ScratchKey scratch(kHKEY_CURRENT_USER, "Software", 0);
  RegKey key = 0;
  ASSERT_EQ(
      RegCreateKeyExW(kHKEY_CURRENT_USER, scratch.path() + "\\Sub\\Deep", kKEY_ALL_ACCESS, &key),
      0);
  RegCloseKey(key);
  bool created = true;
  ASSERT_EQ(RegCreateKeyExW(kHKEY_CURRENT_USER, scratch.path() + "\\Sub", kKEY_ALL_ACCESS, &key,
                            &created),
            0);
  EXPECT_FALSE(created);  // opened, not created
  RegCloseKey(key);

  RegKey missing = 123;
  EXPECT_EQ(RegOpenKeyExW(kHKEY_CURRENT_USER, scratch.path() + "\\None", kKEY_READ, &missing),
            static_cast<int32_t>(kERROR_FILE_NOT_FOUND));
  EXPECT_EQ(missing, 0u);

  ASSERT_EQ(RegOpenKeyExW(kHKEY_CURRENT_USER, scratch.path(), kKEY_READ, &key), 0);
  std::string name;
  ASSERT_EQ(RegEnumKeyExW(key, 0, &name), 0);
  EXPECT_EQ(name, "Sub");
  EXPECT_EQ(RegEnumKeyExW(key, 1, &name), static_cast<int32_t>(kERROR_NO_MORE_ITEMS));
  RegCloseKey(key);

  // A key with subkeys cannot be deleted; its leaves first.
  EXPECT_NE(RegDeleteKeyExW(kHKEY_CURRENT_USER, scratch.path() + "\\Sub", 0), 0);
  EXPECT_EQ(RegDeleteKeyExW(kHKEY_CURRENT_USER, scratch.path() + "\\Sub\\Deep", 0), 0);
  EXPECT_EQ(RegDeleteKeyExW(kHKEY_CURRENT_USER, scratch.path() + "\\Sub", 0), 0);
  EXPECT_EQ(RegOpenKeyExW(kHKEY_CURRENT_USER, scratch.path() + "\\Sub", kKEY_READ, &key),
            static_cast<int32_t>(kERROR_FILE_NOT_FOUND));
}

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
