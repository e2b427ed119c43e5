// The registry through the seam, as Windows behaves, under a scratch key
// HKCU\Software\VlxTest_<unique> that each test removes again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace plat;

std::string Utf16Sz(const std::string& ascii) {
  std::string out;
  for (const char c : ascii)
    out += {c, '\0'};
  return out + std::string(2, '\0');
}

const uint8_t* Bytes(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
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
  test::Sandbox box_;  // over the sim: a fresh machine for each test
  std::string name_;
  RegKey key_ = 0;
};

TEST_F(RegistryTest, CreateOpensAnExistingKeyAgain) {
  RegKey again = 0;
  bool created = true;
  ASSERT_EQ(RegCreateKeyExW(kHKEY_CURRENT_USER, name_, kKEY_READ, &again, &created), 0);
  EXPECT_FALSE(created);
  RegCloseKey(again);
  RegKey deep = 0;
  ASSERT_EQ(RegCreateKeyExW(key_, "a\\b\\c", kKEY_ALL_ACCESS, &deep, &created), 0);
  EXPECT_TRUE(created);
  RegCloseKey(deep);
  ASSERT_EQ(RegOpenKeyExW(kHKEY_CURRENT_USER, name_ + "\\A\\B\\C", kKEY_READ, &deep), 0);
  RegCloseKey(deep);
  EXPECT_EQ(RegOpenKeyExW(key_, "a\\missing", kKEY_READ, &deep), kERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, StringValuesAndTheBufferSize) {
  const std::string hello = Utf16Sz("hello");  // 12 bytes with the terminator
  ASSERT_EQ(RegSetValueExW(key_, "Greeting", kREG_SZ, Bytes(hello), 12), 0);

  uint32_t type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExW(key_, "greeting", &type, nullptr, &size), 0);
  EXPECT_EQ(type, kREG_SZ);
  EXPECT_EQ(size, 12u);

  uint8_t small[4] = {};
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExW(key_, "Greeting", &type, small, &size), kERROR_MORE_DATA);
  EXPECT_EQ(size, 12u);

  uint8_t buffer[64] = {};
  size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key_, "Greeting", &type, buffer, &size), 0);
  EXPECT_EQ(size, 12u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), hello);

  EXPECT_EQ(RegQueryValueExW(key_, "Missing", &type, nullptr, &size), kERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegDeleteValueW(key_, "GREETING"), 0);
  EXPECT_EQ(RegQueryValueExW(key_, "Greeting", &type, nullptr, &size), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key_, "Greeting"), kERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, EveryValueTypeKeepsItsBytes) {
  const uint32_t dword = 0x12345678;
  const uint64_t qword = 0x0102030405060708ull;
  const std::string binary("\x00\x01\xFE\xFF", 4);
  const std::string multi = Utf16Sz("one").substr(0, 8) + Utf16Sz("two");  // "one\0two\0\0"
  const std::string expand = Utf16Sz("%TEMP%\\x");
  ASSERT_EQ(RegSetValueExW(key_, "D", kREG_DWORD, reinterpret_cast<const uint8_t*>(&dword), 4), 0);
  ASSERT_EQ(RegSetValueExW(key_, "Q", kREG_QWORD, reinterpret_cast<const uint8_t*>(&qword), 8), 0);
  ASSERT_EQ(RegSetValueExW(key_, "B", kREG_BINARY, Bytes(binary), 4), 0);
  ASSERT_EQ(
      RegSetValueExW(key_, "M", kREG_MULTI_SZ, Bytes(multi), static_cast<uint32_t>(multi.size())),
      0);
  ASSERT_EQ(RegSetValueExW(key_, "E", kREG_EXPAND_SZ, Bytes(expand),
                           static_cast<uint32_t>(expand.size())),
            0);
  ASSERT_EQ(RegSetValueExW(key_, "", kREG_SZ, Bytes(Utf16Sz("default")), 16), 0);

  const struct {
    const char* name;
    uint32_t type;
    std::string bytes;
  } expected[] = {{"D", kREG_DWORD, std::string(reinterpret_cast<const char*>(&dword), 4)},
                  {"Q", kREG_QWORD, std::string(reinterpret_cast<const char*>(&qword), 8)},
                  {"B", kREG_BINARY, binary},
                  {"M", kREG_MULTI_SZ, multi},
                  {"E", kREG_EXPAND_SZ, expand},
                  {"", kREG_SZ, Utf16Sz("default")}};
  for (const auto& e : expected) {
    uint8_t buffer[64] = {};
    uint32_t type = 0, size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExW(key_, e.name, &type, buffer, &size), 0) << e.name;
    EXPECT_EQ(type, e.type) << e.name;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), e.bytes) << e.name;
  }
  // Overwriting changes the type as well as the data.
  ASSERT_EQ(RegSetValueExW(key_, "D", kREG_SZ, Bytes(Utf16Sz("x")), 4), 0);
  uint32_t type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExW(key_, "D", &type, nullptr, &size), 0);
  EXPECT_EQ(type, kREG_SZ);
  EXPECT_EQ(size, 4u);
}

TEST_F(RegistryTest, EnumerationOfKeysAndValues) {
  for (const char* name : {"Gamma", "alpha", "Beta"}) {
    RegKey k = 0;
    ASSERT_EQ(RegCreateKeyExW(key_, name, kKEY_ALL_ACCESS, &k), 0);
    RegCloseKey(k);
  }
  std::vector<std::string> keys;
  std::string name;
  for (uint32_t i = 0; RegEnumKeyExW(key_, i, &name) == 0; ++i)
    keys.push_back(name);
  // Subkeys come in alphabetical order, without regard to case.
  EXPECT_EQ(keys, (std::vector<std::string>{"alpha", "Beta", "Gamma"}));
  EXPECT_EQ(RegEnumKeyExW(key_, 3, &name), kERROR_NO_MORE_ITEMS);

  const uint32_t one = 1;
  for (const char* value : {"Zed", "Amy", "Mid"}) {
    ASSERT_EQ(RegSetValueExW(key_, value, kREG_DWORD, reinterpret_cast<const uint8_t*>(&one), 4),
              0);
  }
  std::vector<std::string> values;
  uint32_t type = 0;
  for (uint32_t i = 0; RegEnumValueW(key_, i, &name, &type) == 0; ++i) {
    values.push_back(name);
    EXPECT_EQ(type, kREG_DWORD);
  }
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"Amy", "Mid", "Zed"}));
  EXPECT_EQ(RegEnumValueW(key_, 3, &name, &type), kERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, DeletingKeys) {
  RegKey k = 0;
  ASSERT_EQ(RegCreateKeyExW(key_, "parent\\child", kKEY_ALL_ACCESS, &k), 0);
  RegCloseKey(k);
  // A key with subkeys cannot be deleted.
  EXPECT_EQ(RegDeleteKeyExW(key_, "parent", 0), kERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyExW(key_, "parent\\child", 0), 0);
  EXPECT_EQ(RegDeleteKeyExW(key_, "parent", 0), 0);
  EXPECT_EQ(RegOpenKeyExW(key_, "parent", kKEY_READ, &k), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyExW(key_, "parent", 0), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(static_cast<RegKey>(0x7654320)), kERROR_INVALID_HANDLE);
}

}  // namespace
