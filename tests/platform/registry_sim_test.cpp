// The simulated registry: 32/64-bit views, and the machine's state after changes.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

using namespace plat;

constexpr const char* kUninstall =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora_is1";

int32_t Open(RegKey root, const std::string& path, uint32_t access) {
  RegKey k = 0;
  const int32_t rc = RegOpenKeyExW(root, path, access, &k);
  if (rc == 0) RegCloseKey(k);
  return rc;
}

bool InTree(sim::Machine& m, const std::vector<std::string>& path) {
  const sim::RegKeyNode* node = m.registry[kHKEY_LOCAL_MACHINE].get();
  for (const std::string& name : path) {
    const auto it = node->subkeys.find(name);
    if (it == node->subkeys.end()) return false;
    node = it->second.get();
  }
  return true;
}

TEST(SimRegistryViews, A32BitProgramSeesTheWow6432NodeUnlessItAsks) {
  sim::ScopedMachine m{sim::MachineBuilder()};  // the default: a 32-bit program on x64
  EXPECT_EQ(Open(kHKEY_LOCAL_MACHINE, kUninstall, kKEY_READ), 0);
  EXPECT_EQ(Open(kHKEY_LOCAL_MACHINE, kUninstall, kKEY_READ | kKEY_WOW64_32KEY), 0);
  EXPECT_EQ(Open(kHKEY_LOCAL_MACHINE, kUninstall, kKEY_READ | kKEY_WOW64_64KEY),
            kERROR_FILE_NOT_FOUND);
  // An explicit WOW6432Node path is not redirected a second time.
  EXPECT_EQ(
      Open(kHKEY_LOCAL_MACHINE, std::string("SOFTWARE\\WOW6432Node") + (kUninstall + 8), kKEY_READ),
      0);
  // Other hives are shared by both views.
  EXPECT_EQ(Open(kHKEY_CURRENT_USER, "Software\\Microsoft\\GameBar", kKEY_READ), 0);

  RegKey k = 0;
  ASSERT_EQ(RegCreateKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE\\VlxViews", kKEY_ALL_ACCESS, &k), 0);
  RegCloseKey(k);
  EXPECT_TRUE(InTree(m.machine(), {"SOFTWARE", "WOW6432Node", "VlxViews"}));
  EXPECT_FALSE(InTree(m.machine(), {"SOFTWARE", "VlxViews"}));
  ASSERT_EQ(RegCreateKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE\\VlxViews",
                            kKEY_ALL_ACCESS | kKEY_WOW64_64KEY, &k),
            0);
  RegCloseKey(k);
  EXPECT_TRUE(InTree(m.machine(), {"SOFTWARE", "VlxViews"}));
  EXPECT_EQ(RegDeleteKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE\\VlxViews", kKEY_WOW64_64KEY), 0);
  EXPECT_TRUE(InTree(m.machine(), {"SOFTWARE", "WOW6432Node", "VlxViews"}));

  // Keys opened below a key stay in its view: in the 32-bit view HKLM\SOFTWARE lists
  // what WOW6432Node holds.
  RegKey software = 0;
  ASSERT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE", kKEY_READ, &software), 0);
  std::vector<std::string> names;
  std::string name;
  for (uint32_t i = 0; RegEnumKeyExW(software, i, &name) == 0; ++i)
    names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"Microsoft", "Trevanic", "Valve", "VlxViews"}));
  EXPECT_EQ(Open(software, kUninstall + 9, kKEY_READ), 0);
  RegCloseKey(software);
  ASSERT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE", kKEY_READ | kKEY_WOW64_64KEY, &software),
            0);
  EXPECT_EQ(Open(software, "NVIDIA Corporation\\Global", kKEY_READ), 0);
  EXPECT_EQ(Open(software, "WOW6432Node\\Trevanic\\Velmora", kKEY_READ), 0);
  EXPECT_EQ(Open(software, "Trevanic\\Velmora", kKEY_READ), kERROR_FILE_NOT_FOUND);
  RegCloseKey(software);
}

TEST(SimRegistryState, ChangesShowInTheMachineAndDeletedKeysInHandles) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  RegKey k = 0;
  ASSERT_EQ(RegCreateKeyExW(kHKEY_CURRENT_USER, "Software\\VlxState", kKEY_ALL_ACCESS, &k), 0);
  const uint32_t one = 1;
  ASSERT_EQ(RegSetValueExW(k, "Flag", kREG_DWORD, reinterpret_cast<const uint8_t*>(&one), 4), 0);
  const sim::RegKeyNode& node =
      *m.machine().registry[kHKEY_CURRENT_USER]->subkeys["software"]->subkeys["vlxstate"];
  ASSERT_EQ(node.values.size(), 1u);
  EXPECT_EQ(node.values[0].name, "Flag");
  EXPECT_EQ(node.values[0].type, kREG_DWORD);
  EXPECT_EQ(node.values[0].data, std::string("\x01\0\0\0", 4));
  ASSERT_EQ(RegDeleteKeyExW(kHKEY_CURRENT_USER, "Software\\VlxState", 0), 0);
  uint32_t size = 4;
  EXPECT_EQ(RegQueryValueExW(k, "Flag", nullptr, nullptr, &size), 1018);  // ERROR_KEY_DELETED
  EXPECT_EQ(RegCloseKey(k), 0);
}

}  // namespace
