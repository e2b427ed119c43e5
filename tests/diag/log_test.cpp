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

// Entries go into a folder made for them; a file held by another writer diverts them
// to a numbered name; a legacy ANSI file is converted; a full log rotates into ".bak1";
// a file left empty is removed.
TEST(LogFile, EntriesDivertsConversionRotationOnTheFileSystem) {
  test::Sandbox box;
  TLogManage run;
  run.SetFileName(box.Path("Logs\\Deep\\run.log"));
  run.Write("TBoost.Execute 1");
  run.Write("Caf\xC3\xA9");
  const std::string bytes = box.Read("Logs\\Deep\\run.log");
  EXPECT_EQ(bytes.size(), 2u + 2u * (25 + 16 + 2) + 2u * (25 + 4 + 2));
  EXPECT_EQ(Messages(bytes), (std::vector<std::string>{"TBoost.Execute 1", "Caf\xC3\xA9"}));

  const plat::Handle held =
      plat::CreateFileW(box.Path("Logs\\Deep\\run.log"), plat::kGENERIC_READ | plat::kGENERIC_WRITE,
                        plat::kFILE_SHARE_READ, plat::kOPEN_EXISTING);
  run.Write("diverted");
  plat::CloseHandle(held);
  EXPECT_EQ(Messages(box.Read("Logs\\Deep\\run_1.log")), std::vector<std::string>{"diverted"});

  box.Write("old.log", "abc\r\n");
  run.SetFileName(box.Path("old.log"));
  run.SetMaxSize(100);
  run.Write("one");    // 12 + 60 bytes
  run.Write("two");    // 132 bytes
  run.Write("three");  // rotates
  const std::string bak = box.Read("old.log.bak1");
  EXPECT_EQ(bak.substr(0, 12), test::Utf16File("abc\r\n"));
  EXPECT_EQ(Messages(bak.substr(0, 2) + bak.substr(12)), (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(Messages(box.Read("old.log")), std::vector<std::string>{"three"});
  {
    TLogObj empty(box.Path("empty.log"));
    EXPECT_TRUE(box.Exists("empty.log"));
  }
  EXPECT_FALSE(box.Exists("empty.log"));
}

}  // namespace
