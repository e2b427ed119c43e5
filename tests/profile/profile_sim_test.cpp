// The sim's profile functions against the real ones. The differential test: the
// transcript of the profile sequence on the sim must match, line for line, the transcript
// of the real functions produced under Wine by the Windows build of
// profile_transcript_helper (the file named by VLX_WINE_PROFILE_TRANSCRIPT, which
// scripts/test.sh writes). Lines marked "wine-differs" (where Wine is known to differ
// from Windows) are skipped there; the sim follows Windows (truncation errors, read-only
// files, in-place edits), which the tests after it check, with the sim-only matters: the
// machine's code page and sharing with open handles.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/profile/ProfileSequence.h"
#include "tests/support/Sandbox.h"

namespace {

using profiletest::Marked;
using profiletest::Opt;
using profiletest::Step;

constexpr const char* kIni = "C:\\test.ini";

// GetPrivateProfileStringW: the value read, as UTF-8.
std::string Get(const Opt& section, const Opt& key, const std::string& def) {
  std::u16string buffer;
  const uint32_t n = plat::GetPrivateProfileStringW(section, key, def, buffer, 64, kIni);
  return txt::Utf16ToUtf8(buffer.substr(0, n));
}

bool Write(const Opt& section, const Opt& key, const Opt& value) {
  return plat::WritePrivateProfileStringW(section, key, value, kIni);
}

}  // namespace

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

TEST(ProfileSim, OpenHandlesShareTheFileLikeAnyOtherAccess) {
  const struct {
    uint32_t access, share;
    const char* read;  // what a read gives
    bool writes;
  } rows[] = {
      {plat::kGENERIC_READ, plat::kFILE_SHARE_READ, "v", false},
      {plat::kGENERIC_WRITE, plat::kFILE_SHARE_WRITE, "dflt", false},
      {plat::kGENERIC_READ | plat::kGENERIC_WRITE, plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE,
       "v", true},
  };
  for (const auto& row : rows) {
    sim::ScopedMachine machine(sim::MachineBuilder().File(kIni, "[S]\r\nk=v\r\n"));
    const plat::Handle held = plat::CreateFileW(kIni, row.access, row.share, plat::kOPEN_EXISTING);
    ASSERT_NE(held, plat::kInvalidHandle);
    EXPECT_EQ(Get("S", "k", "dflt"), row.read) << row.share;
    EXPECT_EQ(Write("S", "k", "w"), row.writes) << row.share;
    EXPECT_EQ(plat::GetLastError(), row.writes ? 0u : plat::kERROR_SHARING_VIOLATION);
    plat::CloseHandle(held);
    EXPECT_EQ(machine.ReadFile(kIni), row.writes ? "[S]\r\nk=w\r\n" : "[S]\r\nk=v\r\n");
  }
}

TEST(ProfileSim, AnsiFilesUseTheMachinesCodePage) {
  sim::ScopedMachine machine(sim::MachineBuilder().CodePage(1251));
  ASSERT_TRUE(Write("A", "Ж", "Жук"));
  EXPECT_EQ(machine.ReadFile(kIni), "[A]\r\n\xC6=\xC6\xF3\xEA\r\n");
  EXPECT_EQ(Get("A", "ж", ""), "Жук");  // names compare without case
}

// The steps of the compared sequence that Wine gets wrong: the sim gives what
// Windows gives.
TEST(ProfileSim, SequenceFollowsWindowsWhereWineDiffers) {
  std::string transcript;
  {
    test::Sandbox box;
    transcript = profiletest::RunProfileSequence(box);
  }
  std::map<std::string, std::string> differs;  // step and the rest of its line
  for (const std::string& line : profiletest::Lines(transcript)) {
    if (!Marked(line)) continue;
    const std::string step = Step(line);
    differs[step] = line.substr(line.find(step) + step.size() + 1);
  }
  // Windows sets ERROR_MORE_DATA on every truncated read.
  for (const char* step : {"read-full", "read-short", "read-one", "keys-exact", "keys-short",
                           "keys-boundary", "keys-three", "names-exact", "names-short",
                           "names-boundary", "default-short", "utf16-short"}) {
    EXPECT_EQ(differs[std::string("lasterror ") + step], "234") << step;
  }
  const std::map<std::string, std::string> windows = {
      {"file blanks", R"("[P]\x0D\x0APad=  padded  \x0D\x0A")"},
      {"file delete-key-no-file", R"(gone1.ini "")"},
      {"file delete-section-no-file", R"(gone2.ini "")"},
      {"get utf8-first-section", R"(-> 4 "dflt")"},
      {"names utf8-names", R"(-> 2 "C")"},
      {"write read-only", "-> 0"},
      {"lasterror read-only", "5"},
      {"file read-only", R"(readonly.ini "[R]\x0D\x0Ak=v\x0D\x0A")"},
      {"get non-ascii-other-case", R"(-> 1 "1")"},
      {"get read-only-read", R"(-> 1 "v")"},
      // The in-place edits keep the file's own formatting.
      {"file in-place-replace", R"(sp  =   new\x0D\x0A   lead=x\x0D\x0A)"},
      {"file in-place-add", R"(;note=1\x0D\x0Aadded=1\x0D\x0A\x0D\x0A[Other])"},
      {"file utf8-write",
       R"("\xEF\xBB\xBF[B]\x0D\x0Ak=v\x0D\x0A[C]\x0D\x0Ak2=w\x0D\x0Ak3=\xE9\x0D\x0A")"},
      {"file lf-add", R"("[L]\x0Ak=v\x0Ak2=x\x0D\x0A[M]\x0Dj=w\x0D")"},
      {"file blank-add", R"("[A]\x0D\x0Ak=v\x0D\x0Ak2=w\x0D\x0A\x0D\x0A[B]\x0D\x0Ax=y\x0D\x0A")"},
  };
  for (const auto& [step, text] : windows)
    EXPECT_NE(differs[step].find(text), std::string::npos) << step << ": " << differs[step];
  EXPECT_EQ(differs.size(), 12 + windows.size());
}
