#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/IniFiles.h"
#include "config/PSafeIniFile.h"
#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

using test::Utf16File;
using Lines = std::vector<std::string>;

TEST(IniFile, PreparesThePathClearsReadOnlyAndEditsKeysInPlace) {
  test::Sandbox box;
  EXPECT_EQ(TIniFile::PrepareIniPath("Velmorix.ini"), ".\\Velmorix.ini");
  TIniFile deep(box.Path("x\\y\\cfg.ini"));
  EXPECT_TRUE(box.Exists("x\\y"));

  const std::string path = box.Path("OldCfgVX3.ini");
  box.Write("OldCfgVX3.ini", Utf16File("[Main]\r\nCountdown=5\r\nAutoMinimize=0\r\nName=Ωmega\r\n"
                                       "[Proxy]\r\nHost=example\r\n"));
  ASSERT_TRUE(plat::SetFileAttributesW(path, plat::kFILE_ATTRIBUTE_READONLY));
  {
    TIniFile ini(path);
    EXPECT_EQ(plat::GetFileAttributesW(path) & plat::kFILE_ATTRIBUTE_READONLY, 0u);
    ASSERT_TRUE(plat::SetFileAttributesW(path, plat::kFILE_ATTRIBUTE_READONLY));
    ini.UpdateFile();  // clears it again: the writes below would fail
    EXPECT_EQ(ini.ReadString("main", "name", "-"), "Ωmega");
    Lines names, values;
    ini.ReadSection("Main", names);
    EXPECT_EQ(names, (Lines{"Countdown", "AutoMinimize", "Name"}));
    ini.ReadSectionValues("Proxy", values);
    EXPECT_EQ(values, (Lines{"Host=example"}));
    EXPECT_TRUE(ini.ValueExists("Main", "countdown"));
    EXPECT_FALSE(ini.ValueExists("Main", "Host"));

    ini.WriteBool("Main", "AutoMinimize", true);
    ini.WriteString("Extra", "Key", "Value");
    ini.DeleteKey("Main", "Countdown");
    ini.EraseSection("Proxy");
  }
  // The file as the in-memory class reads it.
  EXPECT_EQ(TSafeIniFile(path).GetText(),
            "[Main]\r\nAutoMinimize=1\r\nName=Ωmega\r\n\r\n[Extra]\r\nKey=Value\r\n\r\n");

  TIniFile missing(box.Path("none.ini"));
  Lines sections{"stale"};
  missing.ReadSections(sections);
  EXPECT_TRUE(sections.empty());
  EXPECT_FALSE(box.Exists("none.ini"));
}

}  // namespace
