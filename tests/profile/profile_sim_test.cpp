// The sim's profile functions where Windows and Wine part ways (the sim follows
// Windows: truncation errors, read-only files, in-place edits), and the sim-only
// matters: the machine's code page, sharing with open handles, two threads on one file.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/profile/ProfileSequence.h"
#include "tests/support/Sandbox.h"

namespace {

using profiletest::Opt;

constexpr const char* kIni = "C:\\test.ini";

// GetPrivateProfileStringW: the count returned and the buffer.
uint32_t Get(const Opt& section, const Opt& key, const std::string& def,
             std::u16string* buffer = nullptr) {
  std::u16string local;
  return plat::GetPrivateProfileStringW(section, key, def, buffer ? *buffer : local, 64, kIni);
}

bool Write(const Opt& section, const Opt& key, const Opt& value) {
  return plat::WritePrivateProfileStringW(section, key, value, kIni);
}

}  // namespace

TEST(ProfileSim, OpenHandlesShareTheFileLikeAnyOtherAccess) {
  sim::MachineBuilder builder;
  builder.File(kIni, "[S]\r\nk=v\r\n");
  sim::ScopedMachine machine(builder);

  // Held for reading, shared for reading only: reads work, writes fail.
  plat::Handle held =
      plat::CreateFileW(kIni, plat::kGENERIC_READ, plat::kFILE_SHARE_READ, plat::kOPEN_EXISTING);
  ASSERT_NE(held, plat::kInvalidHandle);
  EXPECT_EQ(Get("S", "k", ""), 1u);
  EXPECT_FALSE(Write("S", "k", "w"));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_SHARING_VIOLATION);
  plat::CloseHandle(held);

  // Held without read sharing: reads give the default.
  held =
      plat::CreateFileW(kIni, plat::kGENERIC_WRITE, plat::kFILE_SHARE_WRITE, plat::kOPEN_EXISTING);
  ASSERT_NE(held, plat::kInvalidHandle);
  EXPECT_EQ(Get("S", "k", "dflt"), 4u);
  plat::CloseHandle(held);

  // Shared for reading and writing: both work.
  held = plat::CreateFileW(kIni, plat::kGENERIC_READ | plat::kGENERIC_WRITE,
                           plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE, plat::kOPEN_EXISTING);
  ASSERT_NE(held, plat::kInvalidHandle);
  EXPECT_TRUE(Write("S", "k", "w"));
  plat::CloseHandle(held);
  EXPECT_EQ(machine.ReadFile(kIni), "[S]\r\nk=w\r\n");
}

TEST(ProfileSim, AnsiFilesUseTheMachinesCodePage) {
  sim::MachineBuilder builder;
  builder.CodePage(1251);
  sim::ScopedMachine machine(builder);
  ASSERT_TRUE(Write("A", "\xD0\x96", "\xD0\x96\xD1\x83\xD0\xBA"));  // Ж=Жук
  EXPECT_EQ(machine.ReadFile(kIni), "[A]\r\n\xC6=\xC6\xF3\xEA\r\n");
  std::u16string value;
  EXPECT_EQ(Get("A", "\xD0\xB6", "", &value), 3u);  // ж: names compare without case
  EXPECT_EQ(value.substr(0, 3), u"\u0416\u0443\u043A");
}

TEST(ProfileSim, TwoThreadsWritingOneFileLoseNothing) {
  sim::ScopedMachine machine{sim::MachineBuilder()};
  constexpr int kKeys = 60;
  auto writer = [](const std::string& prefix) {
    for (int i = 0; i < kKeys; ++i) {
      Write(i % 2 ? "Odd" : "Even", prefix + std::to_string(i), std::to_string(i));
    }
  };
  std::thread a(writer, "a");
  std::thread b(writer, "b");
  a.join();
  b.join();
  for (const char* prefix : {"a", "b"}) {
    for (int i = 0; i < kKeys; ++i) {
      std::u16string value;
      const uint32_t n = Get(i % 2 ? "Odd" : "Even", prefix + std::to_string(i), "missing", &value);
      EXPECT_EQ(txt::Utf16ToUtf8(value.substr(0, n)), std::to_string(i)) << prefix << i;
    }
  }
  std::u16string names;
  EXPECT_EQ(plat::GetPrivateProfileSectionNamesW(names, 64, kIni),
            9u);  // "Even\0Odd\0" in whichever order the first writes came
}

// The steps of the compared sequence that Wine gets wrong: the sim gives what
// Windows gives.
TEST(ProfileSim, SequenceFollowsWindowsWhereWineDiffers) {
  std::string transcript;
  {
    test::Sandbox box;
    transcript = profiletest::RunProfileSequence(box);
  }
  std::map<std::string, std::string> differs;  // line without the prefix and its tail
  std::istringstream in(transcript);
  std::string line;
  const std::string prefix = profiletest::kDiffersPrefix;
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) != 0) continue;
    line = line.substr(prefix.size());
    const size_t first = line.find(' ');
    const size_t second = line.find(' ', first + 1);
    differs[line.substr(0, second)] = line.substr(second + 1);
  }
  // Windows sets ERROR_MORE_DATA on every truncated read.
  for (const char* step :
       {"read-short", "read-one", "keys-exact", "keys-short", "keys-boundary", "keys-three",
        "names-exact", "names-short", "names-boundary", "default-short", "utf16-short"}) {
    EXPECT_EQ(differs[std::string("lasterror ") + step], "234") << step;
  }
  const std::map<std::string, std::string> windows = {
      {"file blanks",
       "pad.ini 21 bytes \"[P]\\r\\nPad=  padded  \\r\\n\" "
       "[5B 50 5D 0D 0A 50 61 64 3D 20 20 70 61 64 64 65 64 20 20 0D 0A]"},
      {"file delete-key-no-file", "gone1.ini 0 bytes \"\" []"},
      {"file delete-section-no-file", "gone2.ini 0 bytes \"\" []"},
      {"get utf8-first-section",
       "\"B\" \"k\" def=\"dflt\" size=64 utf8.ini -> 4 \"dflt\" [0064 0066 006C 0074] of 64"},
      {"names utf8-names", "size=64 utf8.ini -> 2 \"C\" [0043]"},
      {"write read-only", "\"R\" \"k\" \"w\" readonly.ini -> 0"},
      {"lasterror read-only", "5"},
      {"file read-only",
       "readonly.ini 10 bytes \"[R]\\r\\nk=v\\r\\n\" [5B 52 5D 0D 0A 6B 3D 76 0D 0A]"},
      {"get non-ascii-other-case",
       "\"A\" \"CL\\xC3\\x89\" def=\"dflt\" size=64 ansi.ini -> 1 \"1\" [0031] of 64"},
      {"get read-only-read", "\"R\" \"k\" def=\"\" size=64 readonly.ini -> 1 \"v\" [0076] of 64"},
  };
  for (const auto& [step, tail] : windows) {
    ASSERT_TRUE(differs.count(step)) << step;
    EXPECT_EQ(differs[step], tail) << step;
  }
  // The in-place edits keep the file's own formatting.
  EXPECT_NE(differs["file in-place-replace"].find("sp  =   new\\r\\n   lead=x\\r\\n"),
            std::string::npos);
  EXPECT_NE(differs["file in-place-add"].find(";note=1\\r\\nadded=1\\r\\n\\r\\n[Other]"),
            std::string::npos);
  EXPECT_NE(differs["file utf8-write"].find("\"\\xEF\\xBB\\xBF[B]\\r\\nk=v\\r\\n[C]\\r\\nk2=w\\r\\n"
                                            "k3=\\xE9\\r\\n\""),
            std::string::npos);
  EXPECT_NE(differs["file lf-add"].find("\"[L]\\nk=v\\nk2=x\\r\\n[M]\\rj=w\\r\""),
            std::string::npos);
  EXPECT_NE(
      differs["file blank-add"].find("\"[A]\\r\\nk=v\\r\\nk2=w\\r\\n\\r\\n[B]\\r\\nx=y\\r\\n\""),
      std::string::npos);
  EXPECT_EQ(differs.size(), windows.size() + 16);
}
