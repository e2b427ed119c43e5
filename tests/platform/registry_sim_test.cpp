// The simulated registry: the 32/64-bit views of a 32-bit program on 64-bit Windows.
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

  // A key created in the 32-bit view lives below WOW6432Node.
  RegKey k = 0;
  ASSERT_EQ(RegCreateKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE\\VlxViews", kKEY_ALL_ACCESS, &k), 0);
  RegCloseKey(k);
  EXPECT_EQ(Open(kHKEY_LOCAL_MACHINE, "SOFTWARE\\VlxViews", kKEY_READ | kKEY_WOW64_64KEY),
            kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(kHKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node\\VlxViews", kKEY_WOW64_64KEY), 0);

  // Keys opened below a key stay in its view: in the 32-bit view HKLM\SOFTWARE lists
  // what WOW6432Node holds.
  RegKey software = 0;
  ASSERT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE", kKEY_READ, &software), 0);
  std::string name;
  ASSERT_EQ(RegEnumKeyExW(software, 3, &name), 0);
  EXPECT_EQ(name, "VlxViews");  // after "Microsoft", "Trevanic" and "Valve"
  EXPECT_EQ(Open(software, kUninstall + 9, kKEY_READ), 0);
  RegCloseKey(software);
  ASSERT_EQ(RegOpenKeyExW(kHKEY_LOCAL_MACHINE, "SOFTWARE", kKEY_READ | kKEY_WOW64_64KEY, &software),
            0);
  EXPECT_EQ(Open(software, "WOW6432Node\\Trevanic\\Velmora", kKEY_READ), 0);
  EXPECT_EQ(Open(software, "Trevanic\\Velmora", kKEY_READ), kERROR_FILE_NOT_FOUND);
  RegCloseKey(software);
}

}  // namespace
