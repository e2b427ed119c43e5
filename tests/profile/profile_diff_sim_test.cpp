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

#include "tests/profile/ProfileSequence.h"
#include "tests/support/Sandbox.h"

using profiletest::Marked;
using profiletest::Step;

TEST(ProfileDiff, SimMatchesWineTranscript) {
  const char* path = std::getenv("VLX_WINE_PROFILE_TRANSCRIPT");
  if (path == nullptr || *path == '\0') {
    GTEST_SKIP() << "VLX_WINE_PROFILE_TRANSCRIPT is not set: no transcript of the real "
                    "functions to compare with. scripts/test.sh produces one under Wine "
                    "(build/win64/tests/profile_transcript_helper.exe) and runs this test.";
  }
  std::stringstream wineText;
  wineText << std::ifstream(path, std::ios::binary).rdbuf();
  const auto wine = profiletest::Lines(wineText.str());
  ASSERT_FALSE(wine.empty()) << path << " is missing or empty";
  ASSERT_EQ(wine.front(), profiletest::kTranscriptHeader) << path << " is not a transcript";
  ASSERT_EQ(wine.back(), profiletest::kTranscriptEnd) << path << " is cut short";

  std::string simText;
  {
    test::Sandbox box;
    simText = profiletest::RunProfileSequence(box);
  }
  const auto sim = profiletest::Lines(simText);
  ASSERT_EQ(sim.size(), wine.size()) << "the transcripts have different numbers of lines:\n"
                                     << "sim:\n"
                                     << simText << "wine:\n"
                                     << wineText.str();
  int compared = 0;
  for (size_t i = 0; i < sim.size(); ++i) {
    ASSERT_EQ(Marked(sim[i]), Marked(wine[i])) << "line " << i + 1 << " is marked differently";
    ASSERT_EQ(Step(sim[i]), Step(wine[i])) << "line " << i + 1 << " belongs to another step";
    if (Marked(sim[i])) continue;
    ++compared;
    EXPECT_EQ(sim[i], wine[i]) << "line " << i + 1;
  }
  EXPECT_GT(compared, 100);
}
