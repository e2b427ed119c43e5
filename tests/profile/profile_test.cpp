// The profile functions through the seam, on both backends: what Windows, Wine
// and the sim all do alike. (The full call-by-call comparison is the transcript
// test; the Windows-only behaviours are pinned in profile_sim_test.cpp.)
#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/profile/ProfileSequence.h"
#include "tests/support/Sandbox.h"

namespace {

using profiletest::kNull;
using profiletest::Opt;

class Profile : public ::testing::Test {
 protected:
  std::string Get(const Opt& section, const Opt& key, const std::string& def = "",
                  uint32_t size = 256, uint32_t* result = nullptr) {
    std::u16string buffer;
    const uint32_t count =
        plat::GetPrivateProfileStringW(section, key, def, buffer, size, box_.Path("t.ini"));
    if (result) *result = count;
    return txt::Utf16ToUtf8(buffer.substr(0, count));
  }
  // A double-zero list as "a|b|c".
  static std::string List(const std::u16string& buffer, uint32_t count) {
    std::string out;
    for (uint32_t i = 0; i < count; ++i)
      out += buffer[i] == u'\0' ? '|' : static_cast<char>(buffer[i]);
    return out;
  }
  bool Write(const Opt& section, const Opt& key, const Opt& value) {
    return plat::WritePrivateProfileStringW(section, key, value, box_.Path("t.ini"));
  }
  std::string File() const { return box_.Read("t.ini"); }

  test::Sandbox box_;
};

}  // namespace

TEST_F(Profile, WritesBuildAnAnsiFileSectionBySection) {
  EXPECT_TRUE(Write("Main", "Name", "Alpha"));
  EXPECT_TRUE(Write("Other", "x", "1"));
  EXPECT_TRUE(Write("Main", "Caf\xC3\xA9", "2"));  // code page 1252 on both
  EXPECT_EQ(File(), "[Main]\r\nName=Alpha\r\nCaf\xE9=2\r\n[Other]\r\nx=1\r\n");
  // Names compare without case and keep the case they were written with.
  EXPECT_TRUE(Write("MAIN", "name", "Beta"));
  EXPECT_EQ(File(), "[Main]\r\nName=Beta\r\nCaf\xE9=2\r\n[Other]\r\nx=1\r\n");
  EXPECT_EQ(Get("main", "NAME"), "Beta");
  EXPECT_EQ(Get("Main", "caf\xC3\xA9"), "2");
}

TEST_F(Profile, DeletesKeysAndSections) {
  box_.Write("t.ini", "[A]\r\na=1\r\nb=2\r\n[B]\r\nc=3\r\n[C]\r\nd=4\r\n");
  EXPECT_TRUE(Write("A", "a", kNull));
  EXPECT_TRUE(Write("b", kNull, kNull));
  EXPECT_TRUE(Write("A", "missing", kNull));
  EXPECT_TRUE(Write("Missing", kNull, kNull));
  EXPECT_EQ(File(), "[A]\r\nb=2\r\n[C]\r\nd=4\r\n");
}

TEST_F(Profile, ReadsTrimBlanksAndStripMatchingQuotes) {
  box_.Write("t.ini",
             "[S]\r\n  a  =  one two  \r\nb=\"quoted\"\r\nc='single'\r\nd=\"odd'\r\nnoeq\r\n"
             ";c=comment\r\n");
  EXPECT_EQ(Get("S", "a"), "one two");
  EXPECT_EQ(Get("S", "b"), "quoted");
  EXPECT_EQ(Get("S", "c"), "single");
  EXPECT_EQ(Get("S", "d"), "\"odd'");
  EXPECT_EQ(Get("S", "noeq", "dflt"), "dflt");
  EXPECT_EQ(Get("S", "missing", "dflt  "), "dflt");
  std::u16string buffer;
  const uint32_t count =
      plat::GetPrivateProfileStringW("S", kNull, "", buffer, 64, box_.Path("t.ini"));
  EXPECT_EQ(List(buffer, count + 1), "a|b|c|d||");
}

TEST_F(Profile, TooSmallBuffersTruncate) {
  box_.Write("t.ini", "[First]\r\nkey=value\r\nother=1\r\n[Second]\r\n");
  uint32_t result = 0;
  EXPECT_EQ(Get("First", "key", "", 4, &result), "val");
  EXPECT_EQ(result, 3u);
  std::u16string buffer;
  result = plat::GetPrivateProfileSectionNamesW(buffer, 64, box_.Path("t.ini"));
  EXPECT_EQ(List(buffer, result + 1), "First|Second||");
  result = plat::GetPrivateProfileSectionNamesW(buffer, 10, box_.Path("t.ini"));
  EXPECT_EQ(result, 8u);
  EXPECT_EQ(List(buffer, 10), "First|Se||");
  result = plat::GetPrivateProfileStringW("First", kNull, "", buffer, 8, box_.Path("t.ini"));
  EXPECT_EQ(result, 6u);
  EXPECT_EQ(List(buffer, 8), "key|ot||");
}

TEST_F(Profile, Utf16FilesStayUtf16) {
  box_.Write("t.ini", test::Utf16File("[U]\r\nname=\xD0\x96\r\n"));
  EXPECT_EQ(Get("U", "name"), "\xD0\x96");
  EXPECT_TRUE(Write("U", "new", "\xCE\xA9"));
  EXPECT_EQ(File(), test::Utf16File("[U]\r\nname=\xD0\x96\r\nnew=\xCE\xA9\r\n"));
}

TEST_F(Profile, FailuresReportTheirCause) {
  EXPECT_FALSE(plat::WritePrivateProfileStringW("S", "k", "v", box_.Path("none\\t.ini")));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(Write(kNull, "k", "v"));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(box_.Exists("t.ini"));
  EXPECT_EQ(Get("S", "k", "dflt"), "dflt");
}
