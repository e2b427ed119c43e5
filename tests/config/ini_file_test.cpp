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

TEST(IniFile, PreparesThePath) {
  test::Sandbox box;
  EXPECT_EQ(TIniFile::PrepareIniPath("Velmorix.ini"), ".\\Velmorix.ini");
  const std::string deep = box.Path("a\\b\\c\\old.ini");
  EXPECT_EQ(TIniFile::PrepareIniPath(deep), deep);
  EXPECT_TRUE(box.Exists("a\\b\\c"));

  TIniFile ini(box.Path("x\\y\\cfg.ini"));
  EXPECT_EQ(ini.FileName(), box.Path("x\\y\\cfg.ini"));
  EXPECT_TRUE(box.Exists("x\\y"));
}

TEST(IniFile, ClearsReadOnlyOnCreateAndOnUpdate) {
  test::Sandbox box;
  const std::string path = box.Path("ro.ini");
  box.Write("ro.ini", Utf16File("[Main]\r\nCountdown=7\r\n"));
  ASSERT_TRUE(plat::SetFileAttributesW(path, plat::kFILE_ATTRIBUTE_READONLY));
  TIniFile ini(path);
  EXPECT_EQ(plat::GetFileAttributesW(path) & plat::kFILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(ini.ReadInteger("Main", "Countdown", 10), 7);

  ASSERT_TRUE(plat::SetFileAttributesW(path, plat::kFILE_ATTRIBUTE_READONLY));
  ini.UpdateFile();
  EXPECT_EQ(plat::GetFileAttributesW(path) & plat::kFILE_ATTRIBUTE_READONLY, 0u);
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
    EXPECT_EQ(ini.ReadInteger("Main", "Countdown", 10), 5);
    EXPECT_FALSE(ini.ReadBool("Main", "AutoMinimize", true));
    EXPECT_TRUE(ini.ReadBool("Main", "Missing", true));

    Lines sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (Lines{"Main", "Proxy"}));
    Lines names;
    ini.ReadSection("Main", names);
    EXPECT_EQ(names, (Lines{"Countdown", "AutoMinimize", "Name"}));
    Lines values;
    ini.ReadSectionValues("Proxy", values);
    EXPECT_EQ(values, (Lines{"Host=example"}));
    EXPECT_TRUE(ini.SectionExists("Proxy"));
    EXPECT_FALSE(ini.SectionExists("Nope"));
    EXPECT_TRUE(ini.ValueExists("Main", "countdown"));
    EXPECT_FALSE(ini.ValueExists("Main", "Host"));

    ini.WriteBool("Main", "AutoMinimize", true);
    ini.WriteString("Extra", "Key", "Value");
    ini.WriteDateTime("Extra", "When", 44259.5);
    EXPECT_EQ(ini.ReadString("Extra", "When", ""), "03/04/2021 12:00:00:000");
    EXPECT_NEAR(ini.ReadDateTime("Extra", "When", 0), 44259.5, 1e-8);
    ini.DeleteKey("Main", "Countdown");
    ini.EraseSection("Proxy");
    ini.UpdateFile();
  }
  // The file as the in-memory class reads it.
  TSafeIniFile check(path);
  Lines sections;
  check.ReadSections(sections);
  EXPECT_EQ(sections, (Lines{"Main", "Extra"}));
  EXPECT_EQ(check.ReadString("Main", "AutoMinimize", ""), "1");
  EXPECT_FALSE(check.ValueExists("Main", "Countdown"));
  EXPECT_EQ(check.ReadString("Main", "Name", ""), "Ωmega");
  EXPECT_EQ(check.ReadString("Extra", "Key", ""), "Value");
}

TEST(IniFile, MissingFileReadsDefaults) {
  test::Sandbox box;
  TIniFile ini(box.Path("none.ini"));
  EXPECT_EQ(ini.ReadString("S", "K", "default"), "default");
  Lines sections{"stale"};
  ini.ReadSections(sections);
  EXPECT_TRUE(sections.empty());
  EXPECT_FALSE(box.Exists("none.ini"));
}

}  // namespace
