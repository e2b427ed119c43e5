// The differential test: the transcript of the profile sequence on the sim must
// match, line for line, the transcript of the real functions produced under Wine
// by the Windows build of profile_transcript_helper. Lines marked "wine-differs"
// (where Wine is known to differ from Windows) are skipped; the sim follows
// Windows there, which profile_sim_test.cpp checks.
//
// The Wine transcript comes from the file named by VLX_WINE_PROFILE_TRANSCRIPT
// (scripts/test.sh writes it after running the helper under Wine).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/profile/ProfileSequence.h"
#include "tests/support/Sandbox.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool Differs(const std::string& line) {
  return line.rfind(profiletest::kDiffersPrefix, 0) == 0;
}

// The step a line belongs to: its first two words ("get read-short").
std::string Step(const std::string& line) {
  std::string rest =
      Differs(line) ? line.substr(std::string(profiletest::kDiffersPrefix).size()) : line;
  const size_t first = rest.find(' ');
  const size_t second = first == std::string::npos ? first : rest.find(' ', first + 1);
  return rest.substr(0, second);
}

}  // namespace

TEST(ProfileDiff, SimMatchesWineTranscript) {
  const char* path = std::getenv("VLX_WINE_PROFILE_TRANSCRIPT");
  if (path == nullptr || *path == '\0') {
    GTEST_SKIP() << "VLX_WINE_PROFILE_TRANSCRIPT is not set: no transcript of the real "
                    "functions to compare with. scripts/test.sh produces one under Wine "
                    "(build/win64/tests/profile_transcript_helper.exe) and runs this test.";
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in.good()) << "VLX_WINE_PROFILE_TRANSCRIPT names " << path
                         << ", which cannot be read: the Wine run did not produce it";
  std::stringstream wineText;
  wineText << in.rdbuf();
  const auto wine = Lines(wineText.str());
  ASSERT_FALSE(wine.empty()) << path << " is empty";
  ASSERT_EQ(wine.front(), profiletest::kTranscriptHeader) << path << " is not a transcript";
  ASSERT_EQ(wine.back(), profiletest::kTranscriptEnd) << path << " is cut short";

  std::string simText;
  {
    test::Sandbox box;
    simText = profiletest::RunProfileSequence(box);
  }
  const auto sim = Lines(simText);
  ASSERT_EQ(sim.size(), wine.size()) << "the transcripts have different numbers of lines:\n"
                                     << "sim:\n"
                                     << simText << "wine:\n"
                                     << wineText.str();

  int compared = 0;
  int skipped = 0;
  for (size_t i = 0; i < sim.size(); ++i) {
    ASSERT_EQ(Differs(sim[i]), Differs(wine[i])) << "line " << i + 1 << " is marked differently";
    ASSERT_EQ(Step(sim[i]), Step(wine[i])) << "line " << i + 1 << " belongs to another step";
    if (Differs(sim[i])) {
      ++skipped;
      continue;
    }
    ++compared;
    EXPECT_EQ(sim[i], wine[i]) << "line " << i + 1;
  }
  EXPECT_GT(compared, 100);
  RecordProperty("compared", compared);
  RecordProperty("wine_differs", skipped);
}
