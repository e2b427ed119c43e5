// Two processes writing one log at the same time: every file that results holds
// whole entries only, and no entry is lost.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"
#include "tests/support/WinProcess.h"

namespace {

std::string HelperPath() {
  return test::HelperPath("logwriter_helper");
}

HANDLE StartHelper(const std::string& log, const std::string& tag, int count,
                   const std::string& startFile) {
  return test::StartProgram(HelperPath(), "\"" + log + "\" " + tag + " " + std::to_string(count) +
                                              " \"" + startFile + "\"");
}

TEST(LogProcessesWin, TwoWritersNeverInterleaveInsideAFile) {
  constexpr int kCount = 1000;
  test::Sandbox box;
  ASSERT_TRUE(fileutil::FileExists(HelperPath())) << HelperPath();
  const std::string log = box.Path("shared.log");

  const std::string go = box.Path("go");
  HANDLE processes[2] = {StartHelper(log, "alpha", kCount, go),
                         StartHelper(log, "beta", kCount, go)};
  ASSERT_NE(processes[0], nullptr);
  ASSERT_NE(processes[1], nullptr);
  box.Write("go", "");  // both start writing now
  ASSERT_EQ(::WaitForMultipleObjects(2, processes, TRUE, 120000), WAIT_OBJECT_0);
  for (HANDLE process : processes) {
    DWORD code = 1;
    ::GetExitCodeProcess(process, &code);
    EXPECT_EQ(code, 0u);
    ::CloseHandle(process);
  }

  std::vector<plat::FindData> files;
  ASSERT_TRUE(plat::FindFiles(box.Path("shared*.log"), files));
  ASSERT_FALSE(files.empty());
  static const std::regex kEntry(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (alpha|beta) (\d+)$)");
  static const std::regex kName(R"(^shared(_\d+)?\.log$)", std::regex::icase);
  std::map<std::string, std::set<int>> seen;
  int entries = 0;
  int switches = 0;  // neighbouring entries from different writers (shows they overlapped)
  for (const plat::FindData& file : files) {
    SCOPED_TRACE(file.name);
    EXPECT_TRUE(std::regex_match(file.name, kName));
    const std::string bytes = box.Read(file.name);
    ASSERT_GE(bytes.size(), 2u);
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    ASSERT_EQ(bytes.size() % 2, 0u);
    const std::string text = txt::Utf16LeBytesToUtf8(bytes.substr(2));
    ASSERT_TRUE(text.empty() || text.substr(text.size() - 2) == "\r\n");
    std::map<std::string, int> last{{"alpha", -1}, {"beta", -1}};
    std::string previous;
    for (const std::string& line : txt::SplitLines(text)) {
      std::smatch match;
      ASSERT_TRUE(std::regex_match(line, match, kEntry)) << "torn entry: " << line;
      const std::string tag = match[1];
      const int index = std::stoi(match[2]);
      // Within one file a writer's entries keep their order.
      EXPECT_GT(index, last[tag]) << line;
      last[tag] = index;
      if (!previous.empty() && previous != tag) ++switches;
      previous = tag;
      EXPECT_TRUE(seen[tag].insert(index).second) << "duplicate: " << line;
      ++entries;
    }
  }
  std::printf("  %d file(s), %d writer switches inside files\n", static_cast<int>(files.size()),
              switches);
  EXPECT_EQ(entries, 2 * kCount);
  EXPECT_EQ(seen["alpha"].size(), static_cast<size_t>(kCount));
  EXPECT_EQ(seen["beta"].size(), static_cast<size_t>(kCount));
}

}  // namespace
