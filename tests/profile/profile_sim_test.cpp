// The sim's profile functions where Windows and Wine part ways (the sim follows
// Windows), and the sim-only matters: the machine's code page, sharing with open
// handles, two threads on one file.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/profile/ProfileSequence.h"
#include "tests/support/Sandbox.h"

namespace {

using profiletest::kNull;
using profiletest::Opt;

constexpr const char* kIni = "C:\\test.ini";

struct Read {
  uint32_t result = 0;
  std::u16string buffer;
  uint32_t error = 0;
};

Read Get(const Opt& section, const Opt& key, const std::string& def, uint32_t size,
         const std::string& file = kIni) {
  Read r;
  plat::SetLastError(0xDEAD);
  r.result = plat::GetPrivateProfileStringW(section, key, def, r.buffer, size, file);
  r.error = plat::GetLastError();
  return r;
}

Read Names(uint32_t size, const std::string& file = kIni) {
  Read r;
  plat::SetLastError(0xDEAD);
  r.result = plat::GetPrivateProfileSectionNamesW(r.buffer, size, file);
  r.error = plat::GetLastError();
  return r;
}

bool Write(const Opt& section, const Opt& key, const Opt& value, const std::string& file = kIni) {
  return plat::WritePrivateProfileStringW(section, key, value, file);
}

std::u16string U(const char16_t* text, size_t size) {
  return std::u16string(text, size);
}

}  // namespace

TEST(ProfileSim, TruncatedReadsSetMoreDataCompleteReadsClearTheError) {
  sim::MachineBuilder builder;
  builder.File(kIni, "[Main]\r\nName=Beta\r\nCount=42\r\n[Second]\r\nKey=v\r\n");
  sim::ScopedMachine machine(builder);

  Read r = Get("Main", "Name", "", 64);
  EXPECT_EQ(r.result, 4u);
  EXPECT_EQ(r.error, 0u);
  r = Get("Main", "Name", "", 5);  // value and terminator fit exactly
  EXPECT_EQ(r.result, 4u);
  EXPECT_EQ(r.error, 0u);
  r = Get("Main", "Name", "", 3);
  EXPECT_EQ(r.result, 2u);
  EXPECT_EQ(r.buffer, U(u"Be\0", 3));
  EXPECT_EQ(r.error, plat::kERROR_MORE_DATA);
  r = Get("Main", "Nope", "defaultvalue", 5);
  EXPECT_EQ(r.result, 4u);
  EXPECT_EQ(r.buffer, U(u"defa\0", 5));
  EXPECT_EQ(r.error, plat::kERROR_MORE_DATA);
  r = Get("Main", "Nope", "dflt", 64);
  EXPECT_EQ(r.result, 4u);
  EXPECT_EQ(r.error, plat::kERROR_FILE_NOT_FOUND);

  // Key names "Name\0Count\0" + final zero: complete only when shorter than the buffer.
  r = Get("Main", kNull, "", 13);
  EXPECT_EQ(r.result, 11u);
  EXPECT_EQ(r.error, 0u);
  r = Get("Main", kNull, "", 12);
  EXPECT_EQ(r.result, 10u);
  EXPECT_EQ(r.buffer, U(u"Name\0Count\0\0", 12));
  EXPECT_EQ(r.error, plat::kERROR_MORE_DATA);
  r = Get("Main", kNull, "", 8);
  EXPECT_EQ(r.result, 6u);
  EXPECT_EQ(r.buffer, U(u"Name\0C\0\0", 8));
  EXPECT_EQ(r.error, plat::kERROR_MORE_DATA);

  r = Names(64);
  EXPECT_EQ(r.result, 12u);
  EXPECT_EQ(r.error, 0u);
  r = Names(8);
  EXPECT_EQ(r.result, 6u);
  EXPECT_EQ(r.buffer, U(u"Main\0S\0\0", 8));
  EXPECT_EQ(r.error, plat::kERROR_MORE_DATA);
}

TEST(ProfileSim, EditsInPlaceKeepEveryOtherLineByteForByte) {
  const std::string original =
      "; settings\r\n[Q]\r\nsp  =   spaced value   \r\n   lead=x\r\nnoeq\r\n;note=1\r\n\r\n"
      "[Other]\n k = o \n";
  sim::MachineBuilder builder;
  builder.File(kIni, original);
  sim::ScopedMachine machine(builder);

  // The value after "=" and its blanks is replaced; the name and the blanks around "=" stay.
  ASSERT_TRUE(Write("q", "SP", "new"));
  std::string expected =
      "; settings\r\n[Q]\r\nsp  =   new\r\n   lead=x\r\nnoeq\r\n;note=1\r\n\r\n[Other]\n k = o \n";
  EXPECT_EQ(machine.ReadFile(kIni), expected);
  // A new key goes after the section's last non-blank line, before the blank line.
  ASSERT_TRUE(Write("Q", "added", "1"));
  expected =
      "; settings\r\n[Q]\r\nsp  =   new\r\n   lead=x\r\nnoeq\r\n;note=1\r\nadded=1\r\n\r\n"
      "[Other]\n k = o \n";
  EXPECT_EQ(machine.ReadFile(kIni), expected);
  // Lines with LF ends keep them; the new line has CR LF.
  ASSERT_TRUE(Write("Other", "j", "2"));
  expected += "j=2\r\n";
  EXPECT_EQ(machine.ReadFile(kIni), expected);
  ASSERT_TRUE(Write("Other", "K", "p"));
  expected =
      "; settings\r\n[Q]\r\nsp  =   new\r\n   lead=x\r\nnoeq\r\n;note=1\r\nadded=1\r\n\r\n"
      "[Other]\n k = p\nj=2\r\n";
  EXPECT_EQ(machine.ReadFile(kIni), expected);
  // Deleting a section takes its header and every line up to the next header.
  ASSERT_TRUE(Write("Q", kNull, kNull));
  EXPECT_EQ(machine.ReadFile(kIni), "; settings\r\n[Other]\n k = p\nj=2\r\n");
}

TEST(ProfileSim, ReadOnlyFileIsNotWritten) {
  sim::MachineBuilder builder;
  builder.File(kIni, "[R]\r\nk=v\r\n").Attributes(kIni, plat::kFILE_ATTRIBUTE_READONLY);
  sim::ScopedMachine machine(builder);
  EXPECT_FALSE(Write("R", "k", "w"));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ACCESS_DENIED);
  EXPECT_FALSE(Write("R", "k", kNull));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ACCESS_DENIED);
  EXPECT_EQ(machine.ReadFile(kIni), "[R]\r\nk=v\r\n");
  EXPECT_EQ(Get("R", "k", "", 64).result, 1u);
}

TEST(ProfileSim, OpenHandlesShareTheFileLikeAnyOtherAccess) {
  sim::MachineBuilder builder;
  builder.File(kIni, "[S]\r\nk=v\r\n");
  sim::ScopedMachine machine(builder);

  // Held for reading, shared for reading only: reads work, writes fail.
  plat::Handle held =
      plat::CreateFileW(kIni, plat::kGENERIC_READ, plat::kFILE_SHARE_READ, plat::kOPEN_EXISTING);
  ASSERT_NE(held, plat::kInvalidHandle);
  EXPECT_EQ(Get("S", "k", "", 64).result, 1u);
  EXPECT_FALSE(Write("S", "k", "w"));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_SHARING_VIOLATION);
  plat::CloseHandle(held);

  // Held without read sharing: reads give the default.
  held =
      plat::CreateFileW(kIni, plat::kGENERIC_WRITE, plat::kFILE_SHARE_WRITE, plat::kOPEN_EXISTING);
  ASSERT_NE(held, plat::kInvalidHandle);
  EXPECT_EQ(Get("S", "k", "dflt", 64).result, 4u);
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
  const Read r = Get("A", "\xD0\xB6", "", 64);  // ж: names compare without case
  EXPECT_EQ(r.result, 3u);
  EXPECT_EQ(r.buffer.substr(0, 4), U(u"\u0416\u0443\u043A\0", 4));
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
      const Read r = Get(i % 2 ? "Odd" : "Even", prefix + std::to_string(i), "missing", 64);
      EXPECT_EQ(txt::Utf16ToUtf8(r.buffer.substr(0, r.result)), std::to_string(i)) << prefix << i;
    }
  }
  const Read names = Names(64);
  EXPECT_EQ(names.result, 9u);  // "Even\0Odd\0" in whichever order the first writes came
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
  const std::map<std::string, std::string> windows = {
      {"lasterror read-short", "234"},
      {"lasterror read-one", "234"},
      {"lasterror keys-exact", "234"},
      {"lasterror keys-short", "234"},
      {"lasterror keys-boundary", "234"},
      {"lasterror keys-three", "234"},
      {"lasterror names-exact", "234"},
      {"lasterror names-short", "234"},
      {"lasterror names-boundary", "234"},
      {"lasterror default-short", "234"},
      {"lasterror utf16-short", "234"},
      {"file blanks",
       "pad.ini 21 bytes \"[P]\\r\\nPad=  padded  \\r\\n\" "
       "[5B 50 5D 0D 0A 50 61 64 3D 20 20 70 61 64 64 65 64 20 20 0D 0A]"},
      {"file delete-key-no-file", "gone1.ini 0 bytes \"\" []"},
      {"file delete-section-no-file", "gone2.ini 0 bytes \"\" []"},
      {"get utf8-first-section",
       "\"B\" \"k\" def=\"dflt\" size=64 utf8.ini -> 4 \"dflt\" [0064 0066 006C 0074]"},
      {"names utf8-names", "size=64 utf8.ini -> 2 \"C\" [0043]"},
      {"write read-only", "\"R\" \"k\" \"w\" readonly.ini -> 0"},
      {"lasterror read-only", "5"},
      {"file read-only",
       "readonly.ini 10 bytes \"[R]\\r\\nk=v\\r\\n\" [5B 52 5D 0D 0A 6B 3D 76 0D 0A]"},
      {"get non-ascii-other-case",
       "\"A\" \"CL\\xC3\\x89\" def=\"dflt\" size=64 ansi.ini -> 1 \"1\" [0031]"},
      {"get read-only-read", "\"R\" \"k\" def=\"\" size=64 readonly.ini -> 1 \"v\" [0076]"},
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
  EXPECT_EQ(differs.size(), windows.size() + 5);
}
