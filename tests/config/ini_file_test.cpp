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

TEST(IniFile, PreparesThePathAndClearsReadOnly) {
  test::Sandbox box;
  EXPECT_EQ(TIniFile::PrepareIniPath("Velmorix.ini"), ".\\Velmorix.ini");
  TIniFile deep(box.Path("x\\y\\cfg.ini"));
  EXPECT_EQ(deep.FileName(), box.Path("x\\y\\cfg.ini"));
  EXPECT_TRUE(box.Exists("x\\y"));

  const std::string path = box.Path("ro.ini");
  box.Write("ro.ini", Utf16File("[Main]\r\nCountdown=7\r\n"));
  ASSERT_TRUE(plat::SetFileAttributesW(path, plat::kFILE_ATTRIBUTE_READONLY));
  TIniFile ini(path);
  EXPECT_EQ(plat::GetFileAttributesW(path) & plat::kFILE_ATTRIBUTE_READONLY, 0u);
  ASSERT_TRUE(plat::SetFileAttributesW(path, plat::kFILE_ATTRIBUTE_READONLY));
  ini.UpdateFile();
  ini.WriteInteger("Main", "Countdown", 8);
  EXPECT_EQ(ini.ReadInteger("Main", "Countdown", 10), 8);
}

TEST(IniFile, ReadsAndWritesKeysInPlace) {
  test::Sandbox box;
  box.Write("OldCfgVX3.ini", Utf16File("[Main]\r\nCountdown=5\r\nAutoMinimize=0\r\nName=Ωmega\r\n"
                                       "[Proxy]\r\nHost=example\r\n"));
  const std::string path = box.Path("OldCfgVX3.ini");
  {
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("main", "name", "-"), "Ωmega");
    EXPECT_EQ(ini.ReadString("Main", "missing", "def"), "def");
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
  TSafeIniFile check(path);
  Lines sections;
  check.ReadSections(sections);
  EXPECT_EQ(sections, (Lines{"Main", "Extra"}));
  Lines values;
  check.ReadSectionValues("Main", values);
  EXPECT_EQ(values, (Lines{"AutoMinimize=1", "Name=Ωmega"}));
  EXPECT_EQ(check.ReadString("Extra", "Key", ""), "Value");

  TIniFile missing(box.Path("none.ini"));
  sections = {"stale"};
  missing.ReadSections(sections);
  EXPECT_TRUE(sections.empty());
  EXPECT_FALSE(box.Exists("none.ini"));
}

}  // namespace
