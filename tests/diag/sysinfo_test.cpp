// System information helpers on both backends.
#include <gtest/gtest.h>

#include <string>

#include "diag/uSysInfo.h"
#include "tests/support/Sandbox.h"

namespace {

TEST(ByteSize, Table) {
  const struct {
    int64_t bytes;
    const char* text;
  } cases[] = {
      {1023, "1023 Byte"},
      {1024, "1,0 KB"},
      {1075, "1,0 KB"},  // 1.0498...
      {1076, "1,1 KB"},  // 1.0507...
      {1048575, "1024,0 KB"},
      {1048576, "1,0 MB"},
      {1024LL * 1024 * 1024 - 1, "1024,0 MB"},
      {1024LL * 1024 * 1024, "1,0 GB"},
      {-1, "N/A"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatByteSize(c.bytes, ','), c.text) << c.bytes;
  EXPECT_EQ(FormatByteSize(1536, '.'), "1.5 KB");
}

TEST(SysInfo, NeutralAnswersOnThisMachine) {
  test::Sandbox box;
  EXPECT_FALSE(GetUserName().empty());
  EXPECT_GE(GetSpecialFolderPath(26).size(), 3u);
  EXPECT_FALSE(GetOSName().empty());
  box.Write("plain.bin", "no resource here");
  EXPECT_EQ(GetFileVersionText(box.Path("plain.bin"), 3, "Unknown"), "Unknown");
  EXPECT_EQ(GetFileVersionString(box.Path("missing.exe"), 1, "Unknown"), "Unknown");
  EXPECT_FALSE(KillProcessByName("no-such-program-here.exe"));
}

}  // namespace
