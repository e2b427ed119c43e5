// Text helpers that must give the same answers on Linux and on Windows.
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <vector>

namespace {

TEST(Utf, RoundTripsThroughUtf16) {
  const std::string samples[] = {"",         "plain",     "Grüße",
                                 "Ελληνικά", "Кириллица", "emoji \xF0\x9F\x8E\xAE"};
  for (const auto& s : samples)
    EXPECT_EQ(txt::Utf16ToUtf8(txt::Utf8ToUtf16(s)), s) << s;
  EXPECT_EQ(txt::Utf8ToUtf16("\xF0\x9F\x8E\xAE").size(), 2u);  // surrogate pair
  EXPECT_EQ(txt::Utf8ToUtf16LeBytes("A\xC3\xA9"), std::string("A\0\xE9\0", 4));
  EXPECT_EQ(txt::Utf16LeBytesToUtf8(std::string("A\0\xE9\0", 4)), "A\xC3\xA9");
}

TEST(Utf, InvalidInputBecomesReplacementCharacter) {
  EXPECT_EQ(txt::Utf16ToUtf8(txt::Utf8ToUtf16("a\xFF"
                                              "b")),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(txt::Utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
  EXPECT_EQ(txt::Utf8ToUtf16("\xE2\x82").size(), 2u);  // truncated sequence
  // Encoded surrogates, at both ends of their range, are no characters: each byte is
  // replaced.
  std::string replaced;
  for (int i = 0; i < 6; ++i)
    replaced += "\xEF\xBF\xBD";
  EXPECT_EQ(txt::Utf16ToUtf8(txt::Utf8ToUtf16("\xED\xA0\x80\xED\xBF\xBF")), replaced);
}

TEST(TextFile, ByteOrderMarksChooseTheEncoding) {
  EXPECT_EQ(txt::DecodeTextFile(std::string("\xFF\xFE"
                                            "A\0B\0",
                                            6)),
            "AB");
  EXPECT_EQ(txt::DecodeTextFile(std::string("\xFE\xFF\0A\0B", 6)), "AB");
  EXPECT_EQ(txt::DecodeTextFile("\xEF\xBB\xBF"
                                "x=\xC3\xA9"),
            "x=\xC3\xA9");
  EXPECT_EQ(txt::DecodeTextFile("plain"), "plain");
}

TEST(TextFile, SplitLinesAcceptsEveryLineEnd) {
  EXPECT_EQ(txt::SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(txt::SplitLines("a\r\n"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(txt::SplitLines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(txt::SplitLines("").empty());
}

TEST(Case, UpperAndLowerCoverLatinGreekCyrillic) {
  EXPECT_EQ(txt::UpperCase("explorer.exe"), "EXPLORER.EXE");
  EXPECT_EQ(txt::UpperCase("äöüéñÿ"), "ÄÖÜÉÑŸ");
  EXPECT_EQ(txt::UpperCase("łźćąę"), "ŁŹĆĄĘ");
  EXPECT_EQ(txt::UpperCase("αβγδεάώς"), "ΑΒΓΔΕΆΏΣ");
  EXPECT_EQ(txt::UpperCase("привет ёж"), "ПРИВЕТ ЁЖ");
  EXPECT_EQ(txt::LowerCase("ПРИВЕТ ЁЖ ΑΒΓ ÄÖÜ ŁŹ"), "привет ёж αβγ äöü łź");
  EXPECT_EQ(txt::UpperCase("ß"), "ß");  // no single-letter upper case
}

TEST(Case, ComparisonIgnoresCaseOnly) {
  EXPECT_TRUE(txt::SameText("VlxTray.exe", "vlxtray.EXE"));
  EXPECT_TRUE(txt::SameText("Ёлка", "ёЛКА"));
  EXPECT_TRUE(txt::SameText("Σοφία", "ΣΟΦΊΑ"));
  EXPECT_FALSE(txt::SameText("Smc.exe", "Smc.exe2"));
  EXPECT_LT(txt::CompareText("abc", "ABD"), 0);
  EXPECT_GT(txt::CompareText("abcd", "ABC"), 0);
  EXPECT_EQ(txt::CompareText("ÄB", "äb"), 0);
  EXPECT_TRUE(txt::ContainsText("C:\\Program Files\\Velmora\\VlxMain.exe", "\\velmora\\"));
  EXPECT_TRUE(txt::ContainsText("anything", ""));
  EXPECT_TRUE(txt::StartsText("c:\\prog", "C:\\Program Files"));
  EXPECT_TRUE(txt::EndsText(".EXE", "game.exe"));
  EXPECT_FALSE(txt::EndsText("game.exe.bak", ".exe"));
}

TEST(Case, TrimAndReplace) {
  EXPECT_EQ(txt::Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(txt::TrimLeft("  a "), "a ");
  EXPECT_EQ(txt::TrimRight("  a \x01"), "  a");
  EXPECT_EQ(txt::ReplaceAll("a<br>b<BR>c", "<br>", "\r\n", true), "a\r\nb\r\nc");
  EXPECT_EQ(txt::ReplaceAll("a<br>b<BR>c", "<br>", "|"), "a|b<BR>c");
}

TEST(Integers, IniIntegerForms) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"42", true, 42},
      {"-17", true, -17},
      {"+5", true, 5},
      {"  7", true, 7},
      {"$1F", true, 31},
      {"0x10", true, 16},
      {"0XfF", true, 255},
      {"$FFFFFFFF", true, -1},
      {"-$10", true, -16},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, INT32_MIN},
      {"2147483648", false, 0},
      {"1.5", false, 0},
      {"12abc", false, 0},
      {"", false, 0},
      {"$", false, 0},
      {"0x", false, 0},
      {"7 ", false, 0},
      {"$100000000", false, 0},
      {"- 1", false, 0},
  };
  for (const auto& c : cases) {
    int32_t v = 0;
    EXPECT_EQ(txt::TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
  }
  EXPECT_EQ(txt::StrToIntDef("x", -1), -1);
  EXPECT_EQ(txt::StrToInt64Def("9223372036854775807", 0), INT64_MAX);
  EXPECT_EQ(txt::StrToInt64Def("9223372036854775808", 3), 3);
  EXPECT_EQ(txt::IntToHex(0x1A2B, 8), "00001A2B");
  EXPECT_EQ(txt::IntToHex(0x409, 4), "0409");
}

TEST(Floats, GeneralFormHasAtMostFifteenDigits) {
  EXPECT_EQ(txt::FloatToStr(0, '.'), "0");
  EXPECT_EQ(txt::FloatToStr(1.5, '.'), "1.5");
  EXPECT_EQ(txt::FloatToStr(-2.25, ','), "-2,25");
  EXPECT_EQ(txt::FloatToStr(0.1 + 0.2, '.'), "0.3");
  EXPECT_EQ(txt::FloatToStr(1.0 / 3.0, '.'), "0.333333333333333");
  EXPECT_EQ(txt::FloatToStr(46000.5, '.'), "46000.5");
  EXPECT_EQ(txt::FloatToStr(123456789012345.0, '.'), "123456789012345");
  EXPECT_EQ(txt::FloatToStr(1e15, '.'), "1E15");
  EXPECT_EQ(txt::FloatToStr(1.5e-6, '.'), "1.5E-6");
  EXPECT_EQ(txt::FloatToStr(0.0001, '.'), "0.0001");
  EXPECT_EQ(txt::FloatToStr(0.00001, '.'), "1E-5");
}

TEST(Floats, FixedFormRoundsHalfAwayFromZero) {
  EXPECT_EQ(txt::FormatFixed(1.5, 1, '.'), "1.5");
  EXPECT_EQ(txt::FormatFixed(1.25, 1, '.'), "1.3");
  EXPECT_EQ(txt::FormatFixed(1023.9990234375, 1, '.'), "1024.0");
  EXPECT_EQ(txt::FormatFixed(-1.25, 1, ','), "-1,3");
  EXPECT_EQ(txt::FormatFixed(0.04, 1, '.'), "0.0");
  EXPECT_EQ(txt::FormatFixed(-0.04, 1, '.'), "0.0");
  EXPECT_EQ(txt::FormatFixed(9.96, 1, '.'), "10.0");
  EXPECT_EQ(txt::FormatFixed(5.0, 1, '.'), "5.0");
  EXPECT_EQ(txt::FormatFixed(0.5, 0, '.'), "1");
  double v = 0;
  EXPECT_TRUE(txt::TryStrToFloat("46000,25", v, ','));
  EXPECT_DOUBLE_EQ(v, 46000.25);
  EXPECT_FALSE(txt::TryStrToFloat("46000.25", v, ','));
  EXPECT_TRUE(txt::TryStrToFloat("1.5E-6", v, '.'));
  EXPECT_DOUBLE_EQ(v, 1.5e-6);
}

TEST(Dates, DaySerials) {
  EXPECT_EQ(txt::EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(txt::EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(txt::EncodeDate(2021, 3, 4), 44259.0);
  const double t = txt::EncodeDateTime(2021, 3, 4, 17, 5, 9, 42);
  const txt::DateTimeParts p = txt::DecodeDateTime(t);
  EXPECT_EQ((std::vector<int>{p.year, p.month, p.day, p.hour, p.minute, p.second, p.milliseconds,
                              p.dayOfWeek}),
            (std::vector<int>{2021, 3, 4, 17, 5, 9, 42, 4}));  // a Thursday
  EXPECT_EQ(txt::DecodeDateTime(txt::EncodeDateTime(2020, 2, 29, 23, 59, 59, 999)).day, 29);
  EXPECT_FALSE(txt::IsValidDate(2021, 2, 29));
  EXPECT_EQ(txt::FormatYyyymmdd(txt::EncodeDate(2016, 12, 5)), "20161205");
}

TEST(Dates, IniAndLogForms) {
  const double t = txt::EncodeDateTime(2021, 3, 4, 17, 5, 9, 42);
  EXPECT_EQ(txt::FormatIniDateTime(t), "03/04/2021 17:05:09:042");
  double back = 0;
  ASSERT_TRUE(txt::TryParseUsDateTime("03/04/2021 17:05:09:042", back));
  EXPECT_EQ(txt::FormatIniDateTime(back), "03/04/2021 17:05:09:042");
  ASSERT_TRUE(txt::TryParseUsDateTime("3/4/2021", back));
  EXPECT_EQ(back, txt::EncodeDate(2021, 3, 4));
  ASSERT_TRUE(txt::TryParseUsDateTime("12/31/1999 11:30 PM", back));
  EXPECT_EQ(txt::FormatIniDateTime(back), "12/31/1999 23:30:00:000");
  ASSERT_TRUE(txt::TryParseUsDateTime("1/2/2003 4:05:06.7", back));
  EXPECT_EQ(txt::FormatIniDateTime(back), "01/02/2003 04:05:06:700");
  for (const char* bad :
       {"", "2021-03-04", "13/01/2021", "02/30/2021", "1/2/2003 25:00", "1/2/2003 junk", "44259.5"})
    EXPECT_FALSE(txt::TryParseUsDateTime(bad, back)) << bad;
  plat::SystemTime st;
  st.year = 2021, st.month = 3, st.day = 4, st.hour = 17, st.minute = 5, st.second = 9,
  st.milliseconds = 42;
  EXPECT_EQ(txt::FormatLogTimestamp(st), "2021-03-04 17:05:09.042");
}

}  // namespace
