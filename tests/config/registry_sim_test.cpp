// The registry class on simulated machines: keys that allow only some access rights.
#include <gtest/gtest.h>

#include <string>

#include "config/RegistryClass.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora_is1";

TEST(RegistrySim, OpenForReadingFallsBackToNarrowerRights) {
  const std::string hklm = std::string("HKLM\\") + kUninstall;
  sim::ScopedMachine machine(sim::MachineBuilder()
                                 .RegKey("HKCU\\Software\\Full")
                                 .RegKey("HKCU\\Software\\NoNotify", 0x20009)
                                 .RegKey("HKCU\\Software\\QueryOnly", plat::kKEY_QUERY_VALUE)
                                 .RegKey("HKCU\\Software\\WriteOnly", plat::kKEY_WRITE)
                                 .RegSz(hklm, "DisplayVersion", "5.2")
                                 .RegKey(hklm, plat::kKEY_QUERY_VALUE));
  struct Case {
    const char* key;
    bool opens;
    uint32_t access;
  } cases[] = {
      {"Software\\Full", true, plat::kKEY_READ},
      {"Software\\NoNotify", true, 0x20009},
      {"Software\\QueryOnly", true, plat::kKEY_QUERY_VALUE},
      {"Software\\WriteOnly", false, plat::kKEY_ALL_ACCESS},
      {"Software\\Missing", false, plat::kKEY_ALL_ACCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    TRegistry reg;
    EXPECT_EQ(reg.OpenKeyReadOnly(c.key), c.opens);
    EXPECT_EQ(reg.Access(), c.access);
    EXPECT_EQ(reg.CurrentPath(), c.opens ? c.key : "");
  }

  // The view bits of the mask survive the fallbacks (the 64-bit view holds the key).
  TRegistry reg(plat::kKEY_ALL_ACCESS | plat::kKEY_WOW64_64KEY);
  reg.SetRootKey(plat::kHKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly(std::string("\\") + kUninstall));
  EXPECT_EQ(reg.Access(), plat::kKEY_QUERY_VALUE | plat::kKEY_WOW64_64KEY);
  EXPECT_EQ(reg.ReadString("DisplayVersion"), "5.2");
}

TEST(RegistrySim, RelativeOpenJoinsThePath) {
  sim::ScopedMachine machine(
      sim::MachineBuilder()
          .RegDword("HKCU\\Control Panel\\Desktop\\WindowMetrics", "AppliedDPI", 120)
          .RegQword("HKCU\\Software\\Q", "Big", 0xFFFFFFFFFFFFFFFEULL)
          .RegRaw("HKCU\\Software\\Q", "Odd", plat::kREG_DWORD_BIG_ENDIAN,
                  std::string("\0\0\0\1", 4)));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("Control Panel"));
  ASSERT_TRUE(reg.OpenKeyReadOnly("Desktop\\WindowMetrics"));
  EXPECT_EQ(reg.CurrentPath(), "Control Panel\\Desktop\\WindowMetrics");
  EXPECT_EQ(reg.ReadInteger("AppliedDPI"), 120);
  EXPECT_EQ(reg.ReadDWordOrQWord("AppliedDPI"), 120);

  ASSERT_TRUE(reg.OpenKey("\\Software\\Q", false));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Q");
  EXPECT_EQ(reg.ReadDWordOrQWord("Big"), -2);
  try {
    reg.ReadDWordOrQWord("Odd");
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Argument(), "Odd_type failed5");
  }
}

TEST(RegistrySim, WritesNeedTheRight) {
  sim::ScopedMachine machine(sim::MachineBuilder().RegDword("HKCU\\Software\\Microsoft\\GameBar",
                                                            "AutoGameModeEnabled", 0));
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Microsoft\\GameBar"));
  EXPECT_THROW(reg.WriteInteger("AutoGameModeEnabled", 1), ERegistryException);
  reg.SetAccess(plat::kKEY_ALL_ACCESS);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Microsoft\\GameBar", false));
  reg.WriteInteger("AutoGameModeEnabled", 1);
  EXPECT_EQ(reg.ReadInteger("AutoGameModeEnabled"), 1);
  reg.SetLazyWrite(false);
  reg.CloseKey();  // flushed and closed
  EXPECT_EQ(reg.CurrentKey(), 0u);
}

}  // namespace
