// Log files written into a scratch folder, on the simulated and the real file system.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "diag/uLog.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"

namespace {

// The messages of a log file, checked to be whole entries "yyyy-mm-dd hh:nn:ss.zzz  msg".
std::vector<std::string> Messages(const std::string& bytes) {
  std::vector<std::string> messages;
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  static const std::regex kEntry(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (.*)$)");
  for (const std::string& line : txt::SplitLines(txt::Utf16LeBytesToUtf8(bytes.substr(2)))) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(line, match, kEntry)) << line;
    if (!match.empty()) messages.push_back(match[1]);
  }
  return messages;
}

TEST(LogFile, EntriesAreTimestampedUtf16LinesInAFolderMadeForThem) {
  test::Sandbox box;
  TLogManage run;
  run.SetFileName(box.Path("Logs\\Deep\\run.log"));
  run.Write("TBoost.Execute 1");
  run.Write("Caf\xC3\xA9");
  const std::string bytes = box.Read("Logs\\Deep\\run.log");
  EXPECT_EQ(bytes.size(), 2u + 2u * (25 + 16 + 2) + 2u * (25 + 4 + 2));
  EXPECT_EQ(Messages(bytes), (std::vector<std::string>{"TBoost.Execute 1", "Caf\xC3\xA9"}));
  {
    TLogObj empty(box.Path("empty.log"));
    EXPECT_TRUE(box.Exists("empty.log"));
  }
  EXPECT_FALSE(box.Exists("empty.log"));
}

TEST(LogFile, HeldFileDivertsToNumberedName) {
  test::Sandbox box;
  box.Write("run.log", "");
  const plat::Handle held =
      plat::CreateFileW(box.Path("run.log"), plat::kGENERIC_READ | plat::kGENERIC_WRITE,
                        plat::kFILE_SHARE_READ, plat::kOPEN_EXISTING);
  ASSERT_NE(held, plat::kInvalidHandle);
  TLogManage run;
  run.SetFileName(box.Path("run.log"));
  run.Write("diverted");
  plat::CloseHandle(held);
  EXPECT_EQ(Messages(box.Read("run_1.log")), std::vector<std::string>{"diverted"});
  run.Write("back");
  EXPECT_EQ(Messages(box.Read("run.log")), std::vector<std::string>{"back"});
}

TEST(LogFile, LegacyFileConvertedAndRotation) {
  test::Sandbox box;
  box.Write("old.log", "abc\r\n");
  TLogManage log;
  log.SetFileName(box.Path("old.log"));
  log.SetMaxSize(100);
  log.Write("one");    // 12 + 60 bytes
  log.Write("two");    // 132 bytes
  log.Write("three");  // rotates
  const std::string bak = box.Read("old.log.bak1");
  EXPECT_EQ(bak.substr(0, 12), test::Utf16File("abc\r\n"));
  EXPECT_EQ(Messages(bak.substr(0, 2) + bak.substr(12)), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(Messages(box.Read("old.log")), std::vector<std::string>{"three"});
}

}  // namespace
