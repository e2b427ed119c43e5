// The registry class on simulated machines: keys that allow only some access rights.
#include <gtest/gtest.h>

#include <string>

#include "config/RegistryClass.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

TEST(RegistrySim, OpenForReadingFallsBackToNarrowerRights) {
  const std::string uninstall =
      "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora_is1";
  sim::ScopedMachine machine(sim::MachineBuilder()
                                 .RegKey("HKCU\\Software\\Full")
                                 .RegKey("HKCU\\Software\\NoNotify", 0x20009)
                                 .RegKey("HKCU\\Software\\QueryOnly", plat::kKEY_QUERY_VALUE)
                                 .RegKey("HKCU\\Software\\WriteOnly", plat::kKEY_WRITE)
                                 .RegSz("HKLM\\" + uninstall, "DisplayVersion", "5.2")
                                 .RegKey("HKLM\\" + uninstall, plat::kKEY_QUERY_VALUE));
  const struct {
    const char* key;
    bool opens;
    uint32_t access;
  } cases[] = {
      {"Software\\Full", true, plat::kKEY_READ},
      {"Software\\NoNotify", true, 0x20009},
      {"Software\\QueryOnly", true, plat::kKEY_QUERY_VALUE},
      {"Software\\WriteOnly", false, plat::kKEY_ALL_ACCESS},
  };
  for (const auto& c : cases) {
    TRegistry reg;
    EXPECT_EQ(reg.OpenKeyReadOnly(c.key), c.opens) << c.key;
    EXPECT_EQ(reg.Access(), c.access) << c.key;
  }
  // The view bits of the mask survive the fallbacks (the 64-bit view holds the key).
  TRegistry reg(plat::kKEY_ALL_ACCESS | plat::kKEY_WOW64_64KEY);
  reg.SetRootKey(plat::kHKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\" + uninstall));
  EXPECT_EQ(reg.Access(), plat::kKEY_QUERY_VALUE | plat::kKEY_WOW64_64KEY);
  EXPECT_EQ(reg.ReadString("DisplayVersion"), "5.2");
}

TEST(RegistrySim, WritesNeedTheRightAndOddTypesAreRefused) {
  sim::ScopedMachine machine(sim::MachineBuilder().RegRaw(
      "HKCU\\Software\\Q", "Odd", plat::kREG_DWORD_BIG_ENDIAN, std::string("\0\0\0\1", 4)));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Q"));
  EXPECT_THROW(reg.WriteInteger("New", 96), ERegistryException);
  reg.SetAccess(plat::kKEY_ALL_ACCESS);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Q", false));
  reg.WriteInteger("New", 1);
  EXPECT_EQ(reg.ReadInteger("New"), 1);
  try {
    reg.ReadDWordOrQWord("Odd");
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Odd_type failed5'");
  }
}

}  // namespace
