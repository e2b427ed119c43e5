// The registry through the seam, as Windows behaves, under a scratch key
// HKCU\Software\VlxTest_<unique> that each test removes again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace plat;

std::string Utf16Sz(const std::string& text) {
  return txt::Utf8ToUtf16LeBytes(text) + std::string(2, '\0');
}

int32_t Set(RegKey key, const std::string& name, uint32_t type, const std::string& bytes) {
  return RegSetValueExW(key, name, type, reinterpret_cast<const uint8_t*>(bytes.data()),
                        static_cast<uint32_t>(bytes.size()));
}

// Deletes a key and everything below it.
void DeleteTree(RegKey parent, const std::string& name) {
  RegKey k = 0;
  if (RegOpenKeyExW(parent, name, kKEY_ALL_ACCESS, &k) != 0) return;
  std::string child;
  while (RegEnumKeyExW(k, 0, &child) == 0)
    DeleteTree(k, child);
  RegCloseKey(k);
  RegDeleteKeyExW(parent, name, 0);
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = "Software\\VlxTest_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(GetTickCount64());
    bool created = false;
    ASSERT_EQ(RegCreateKeyExW(kHKEY_CURRENT_USER, name_, kKEY_ALL_ACCESS, &key_, &created), 0);
    ASSERT_TRUE(created);
  }
  void TearDown() override {
    RegCloseKey(key_);
    DeleteTree(kHKEY_CURRENT_USER, name_);
  }
  // Creates a key below the scratch key (and its parents); false when it existed.
  bool Create(const std::string& path) {
    RegKey k = 0;
    bool created = false;
    EXPECT_EQ(RegCreateKeyExW(key_, path, kKEY_ALL_ACCESS, &k, &created), 0) << path;
    RegCloseKey(k);
    return created;
  }
  test::Sandbox box_;  // over the sim: a fresh machine for each test
  std::string name_;
  RegKey key_ = 0;
};

TEST_F(RegistryTest, CreateOpensAnExistingKeyAgainAndDeletesOnlyLeaves) {
  EXPECT_TRUE(Create("a\\b\\c"));
  EXPECT_FALSE(Create("A\\B\\C"));
  RegKey k = 0;
  EXPECT_EQ(RegOpenKeyExW(key_, "a\\missing", kKEY_READ, &k), kERROR_FILE_NOT_FOUND);
  // A key with subkeys cannot be deleted.
  EXPECT_EQ(RegDeleteKeyExW(key_, "a\\b", 0), kERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyExW(key_, "a\\b\\c", 0), 0);
  EXPECT_EQ(RegDeleteKeyExW(key_, "a\\b", 0), 0);
  EXPECT_EQ(RegOpenKeyExW(key_, "a\\b", kKEY_READ, &k), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyExW(key_, "a\\b", 0), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(static_cast<RegKey>(0x7654320)), kERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, ValuesKeepTheirTypeAndBytesAndTheBufferSizeIsChecked) {
  const uint32_t dword = 0x12345678;
  const uint64_t qword = 0x0102030405060708ull;
  // name, type, bytes
  const std::tuple<const char*, uint32_t, std::string> values[] = {
      {"D", kREG_DWORD, std::string(reinterpret_cast<const char*>(&dword), 4)},
      {"Q", kREG_QWORD, std::string(reinterpret_cast<const char*>(&qword), 8)},
      {"B", kREG_BINARY, std::string("\x00\x01\xFE\xFF", 4)},
      {"M", kREG_MULTI_SZ, Utf16Sz("one").substr(0, 8) + Utf16Sz("two")},
      {"", kREG_SZ, Utf16Sz("default")},
      {"Greeting", kREG_EXPAND_SZ, Utf16Sz("hello")}};
  for (const auto& [name, type, bytes] : values) {
    ASSERT_EQ(Set(key_, name, type, bytes), 0) << name;
    uint8_t buffer[64] = {};
    uint32_t typeRead = 0, size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExW(key_, name, &typeRead, buffer, &size), 0) << name;
    EXPECT_EQ(typeRead, type) << name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), bytes) << name;
  }
  // The size alone, a buffer too small (the size needed comes back), names without case.
  uint32_t type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExW(key_, "greeting", &type, nullptr, &size), 0);
  EXPECT_EQ(size, 12u);
  uint8_t small[4] = {};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key_, "Greeting", &type, small, &size), kERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);
  ASSERT_EQ(RegDeleteValueW(key_, "GREETING"), 0);
  EXPECT_EQ(RegQueryValueExW(key_, "Greeting", &type, nullptr, &size), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key_, "Greeting"), kERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, EnumerationOfKeysAndValues) {
  for (const char* name : {"Gamma", "alpha", "Beta"})
    Create(name);
  std::vector<std::string> keys;
  std::string name;
  for (uint32_t i = 0; RegEnumKeyExW(key_, i, &name) == 0; ++i)
    keys.push_back(name);
  // Subkeys come in alphabetical order, without regard to case.
  EXPECT_EQ(keys, (std::vector<std::string>{"alpha", "Beta", "Gamma"}));
  EXPECT_EQ(RegEnumKeyExW(key_, 3, &name), kERROR_NO_MORE_ITEMS);

  for (const char* value : {"Zed", "Amy", "Mid"})
    ASSERT_EQ(Set(key_, value, kREG_DWORD, std::string(4, '\1')), 0);
  std::vector<std::string> values;
  uint32_t type = 0;
  for (uint32_t i = 0; RegEnumValueW(key_, i, &name, &type) == 0; ++i)
    values.push_back(name + (type == kREG_DWORD ? "" : "?"));
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"Amy", "Mid", "Zed"}));
}

}  // namespace
