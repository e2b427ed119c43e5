// Version resources through the seam: the failures a program meets on files that
// are not programs, and on files that are missing.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace plat;

TEST(VersionInfo, PlainAndMissingFilesHaveNone) {
  test::Sandbox box;
  box.Write("plain.txt", "just text, no program\r\n");
  SetLastError(0);
  EXPECT_EQ(GetFileVersionInfoSizeW(box.Path("plain.txt")), 0u);
  EXPECT_EQ(GetLastError(), kERROR_RESOURCE_DATA_NOT_FOUND);
  std::string block;
  EXPECT_FALSE(GetFileVersionInfoW(box.Path("plain.txt"), block));

  SetLastError(0);
  EXPECT_EQ(GetFileVersionInfoSizeW(box.Path("missing.exe")), 0u);
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(GetFileVersionInfoW(box.Path("missing.exe"), block));
}

TEST(VersionInfo, KernelHasABlockWithAFixedPart) {
  test::Sandbox box;  // over the sim: the default machine
  const std::string self = GetModuleFileNameW();
  ASSERT_FALSE(self.empty());
  EXPECT_NE(GetFileAttributesW(self), kINVALID_FILE_ATTRIBUTES);
  // kernel32.dll always carries a version resource.
  std::string block;
  ASSERT_TRUE(GetFileVersionInfoW(GetModuleFileNameW("kernel32.dll"), block));
  std::string fixed;
  ASSERT_TRUE(VerQueryValueW(block, "\\", fixed));
  ASSERT_EQ(fixed.size(), 52u);
  EXPECT_EQ(fixed.substr(0, 4), std::string("\xBD\x04\xEF\xFE", 4));  // VS_FFI_SIGNATURE
  std::string translation;
  ASSERT_TRUE(VerQueryValueW(block, "\\VarFileInfo\\Translation", translation));
  EXPECT_EQ(translation.size() % 4, 0u);
  std::string missing;
  EXPECT_FALSE(VerQueryValueW(block, "\\StringFileInfo\\040904B0\\NoSuchName", missing));
}

}  // namespace
