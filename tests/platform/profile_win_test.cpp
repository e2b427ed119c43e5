// The profile functions through the Win32 backend: the NULL arguments, the whole
// buffer handed back, deleting keys and sections.
#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace plat;

TEST(ProfileWin, ReadsWritesAndHandsBackTheWholeBuffer) {
  test::Sandbox box;
  box.Write("Temp.ini",
            test::Utf16File("[Boost]\r\nIsBoost=1\r\nName=Ωmega\r\n[RAM]\r\nFree=12\r\n"));
  const std::string file = box.Path("Temp.ini");

  std::u16string buffer;
  EXPECT_EQ(plat::GetPrivateProfileStringW(std::string("Boost"), std::string("Name"), "x", buffer,
                                           16, file),
            5u);
  EXPECT_EQ(buffer, std::u16string(u"\u03A9mega") + std::u16string(11, u'\0'));
  EXPECT_EQ(plat::GetPrivateProfileStringW(std::string("boost"), std::string("missing"), "def",
                                           buffer, 8, file),
            3u);
  EXPECT_EQ(buffer, std::u16string(u"def") + std::u16string(5, u'\0'));

  // No key: the section's key names, each with its terminator, then one more.
  EXPECT_EQ(
      plat::GetPrivateProfileStringW(std::string("Boost"), std::nullopt, "", buffer, 20, file),
      13u);
  EXPECT_EQ(buffer.substr(0, 15), std::u16string(u"IsBoost\0Name\0\0", 14) + u'\0');
  // No section: the section names.
  EXPECT_EQ(plat::GetPrivateProfileStringW(std::nullopt, std::nullopt, "", buffer, 20, file), 10u);
  EXPECT_EQ(buffer.substr(0, 12), std::u16string(u"Boost\0RAM\0\0\0", 12));
  EXPECT_EQ(plat::GetPrivateProfileSectionNamesW(buffer, 20, file), 10u);
  EXPECT_EQ(buffer.size(), 20u);
  EXPECT_EQ(buffer.substr(0, 11), std::u16string(u"Boost\0RAM\0\0", 11));

  // Writing, deleting a key, erasing a section, flushing.
  EXPECT_TRUE(plat::WritePrivateProfileStringW(std::string("RAM"), std::string("Used"),
                                               std::string("40"), file));
  EXPECT_TRUE(plat::WritePrivateProfileStringW(std::string("Boost"), std::string("IsBoost"),
                                               std::nullopt, file));
  EXPECT_TRUE(
      plat::WritePrivateProfileStringW(std::string("RAM"), std::nullopt, std::nullopt, file));
  plat::WritePrivateProfileStringW(std::nullopt, std::nullopt, std::nullopt, "");
  EXPECT_EQ(box.Read("Temp.ini"), test::Utf16File("[Boost]\r\nName=Ωmega\r\n"));
}

}  // namespace
