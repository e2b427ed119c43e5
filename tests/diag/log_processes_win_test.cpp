// Two processes writing one log at the same time: every file that results holds
// whole entries only, and no entry is lost.
#include <gtest/gtest.h>
#include <windows.h>

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

HANDLE StartHelper(const std::string& log, const std::string& tag, int count,
                   const std::string& startFile) {
  return test::StartProgram(
      test::HelperPath("logwriter_helper"),
      "\"" + log + "\" " + tag + " " + std::to_string(count) + " \"" + startFile + "\"");
}

TEST(LogProcessesWin, TwoWritersNeverInterleaveInsideAFile) {
  constexpr int kCount = 1000;
  test::Sandbox box;
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
  static const std::regex kEntry(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}  (alpha|beta) (\d+)$)");
  std::map<std::string, std::set<int>> seen;
  for (const plat::FindData& file : files) {
    SCOPED_TRACE(file.name);
    const std::string bytes = box.Read(file.name);
    ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::map<std::string, int> last{{"alpha", -1}, {"beta", -1}};
    for (const std::string& line : txt::SplitLines(txt::Utf16LeBytesToUtf8(bytes.substr(2)))) {
      std::smatch match;
      ASSERT_TRUE(std::regex_match(line, match, kEntry)) << "torn entry: " << line;
      const int index = std::stoi(match[2]);
      // Within one file a writer's entries keep their order.
      EXPECT_GT(index, last[match[1]]) << line;
      last[match[1]] = index;
      EXPECT_TRUE(seen[match[1]].insert(index).second) << "duplicate: " << line;
    }
  }
  EXPECT_EQ(seen["alpha"].size() + seen["beta"].size(), 2u * kCount);
}

}  // namespace
