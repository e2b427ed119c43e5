#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/ExtIniFiles.h"
#include "config/PSafeIniFile.h"
#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

using test::Utf16File;
using Lines = std::vector<std::string>;

TEST(ExtIniFile, ReadsWhileAnotherProgramWritesTheFileAndNeverSaves) {
  test::Sandbox box;
  const std::string path = box.Path("English.lng");
  const std::string bytes = Utf16File(
      "[Main]\r\nDisplayName=English\r\n[frmMiniBoost_M]\r\n"
      "M_Caption_Boost = Velmora is boosting into Gaming Mode...\r\n");
  box.Write("English.lng", bytes);
  // A writer that lets others read and write, as the host's updater does.
  plat::Handle writer =
      plat::CreateFileW(path, plat::kGENERIC_READ | plat::kGENERIC_WRITE,
                        plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE, plat::kOPEN_EXISTING);
  ASSERT_NE(writer, plat::kInvalidHandle);
  {
    TExtIniFile lang;
    EXPECT_TRUE(lang.LoadFromFile(path));
    EXPECT_EQ(lang.ReadString("frmMiniBoost_M", "m_caption_boost", ""),
              "Velmora is boosting into Gaming Mode...");
    // The saving class denies writers while it reads, so it cannot load the file now.
    EXPECT_EQ(TSafeIniFile(path).LastError(), plat::kERROR_SHARING_VIOLATION);
    plat::CloseHandle(writer);
    lang.WriteString("Main", "DisplayName", "Changed");
    EXPECT_EQ(lang.ReadString("Main", "DisplayName", ""), "Changed");
    lang.UpdateFile();
  }
  EXPECT_EQ(box.Read("English.lng"), bytes);
}

TEST(ExtIniFile, ReloadingReplacesTheContentUnlessTheFileCannotBeRead) {
  test::Sandbox box;
  box.Write("ansi.lng", "[S]\nText=plain\n[T]\nx=1\n");
  box.Write("utf16.lng", Utf16File("[S]\r\nText=Ωmega\r\n"));

  TExtIniFile lang(box.Path("ansi.lng"));
  EXPECT_EQ(lang.ReadString("S", "Text", ""), "plain");
  EXPECT_TRUE(lang.LoadFromFile(box.Path("utf16.lng")));
  Lines sections;
  lang.ReadSections(sections);
  EXPECT_EQ(sections, (Lines{"S"}));  // the previous sections are gone
  EXPECT_EQ(lang.ReadString("S", "Text", ""), "Ωmega");

  // A file that cannot be read leaves the content as it was.
  EXPECT_FALSE(lang.LoadFromFile(box.Path("missing.lng")));
  EXPECT_EQ(lang.ReadString("S", "Text", ""), "Ωmega");
}

}  // namespace
