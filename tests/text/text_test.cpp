// Text helpers that must give the same answers on Linux and on Windows.
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <tuple>
#include <vector>

#include "tests/support/Sandbox.h"

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

TEST(Utf, InvalidInputBecomesReplacementCharacters) {
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  // Encoded surrogates, at both ends of their range, are no characters: each byte is
  // replaced; so is a truncated sequence.
  const std::pair<std::string, std::string> rows[] = {
      {"a\xFF"
       "b",
       "a" + bad + "b"},
      {"\xE2\x82", bad + bad},
      {"\xED\xA0\x80\xED\xBF\xBF", bad + bad + bad + bad + bad + bad}};
  for (const auto& [text, expected] : rows)
    EXPECT_EQ(txt::Utf16ToUtf8(txt::Utf8ToUtf16(text)), expected);
  EXPECT_EQ(txt::Utf16ToUtf8(std::u16string(1, u'\xD800')), bad);
}

TEST(TextFile, ByteOrderMarksChooseTheEncodingAndEveryLineEndSplits) {
  for (const std::string& bytes : {std::string("\xFF\xFE"
                                               "A\0\xE9\0",
                                               6),
                                   std::string("\xFE\xFF\0A\0\xE9", 6),
                                   std::string("\xEF\xBB\xBF"
                                               "A\xC3\xA9")})
    EXPECT_EQ(txt::DecodeTextFile(bytes), "A\xC3\xA9") << test::Hex(bytes);
  using Lines = std::vector<std::string>;
  EXPECT_EQ(txt::SplitLines("a\r\nb\nc\rd\r\n\r\ne\r\n"), (Lines{"a", "b", "c", "d", "", "e"}));
  EXPECT_TRUE(txt::SplitLines("").empty());
}

TEST(Case, UpperAndLowerCoverLatinGreekCyrillic) {
  EXPECT_EQ(txt::UpperCase("explorer.exe äöüéñÿ÷ łźćąę αβγδεάώς привет ёж ß"),
            "EXPLORER.EXE ÄÖÜÉÑŸ÷ ŁŹĆĄĘ ΑΒΓΔΕΆΏΣ ПРИВЕТ ЁЖ ß");  // ß has no single upper letter
  EXPECT_EQ(txt::LowerCase("ПРИВЕТ ЁЖ ΑΒΓ ÄÖÜ ŁŹ"), "привет ёж αβγ äöü łź");
}

TEST(Case, ComparisonIgnoresCaseOnly) {
  EXPECT_TRUE(txt::SameText("VlxTray.exe Ёлка Σοφία", "vlxtray.EXE ёЛКА ΣΟΦΊΑ"));
  EXPECT_FALSE(txt::SameText("Smc.exe", "Smc.exe2"));
  EXPECT_LT(txt::CompareText("abc", "ABD"), 0);
  EXPECT_GT(txt::CompareText("abcd", "ABC"), 0);
  EXPECT_EQ(txt::CompareText("ÄB", "äb"), 0);
  EXPECT_TRUE(txt::ContainsText("C:\\Program Files\\Velmora\\VlxMain.exe", "\\velmora\\"));
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
  // Each form read, "-" where it is refused.
  std::string read;
  for (const char* text :
       {"42",        "-17",  "+5",         "  7",         "$1F",        "0x10", "0XfF",
        "$FFFFFFFF", "-$10", "2147483647", "-2147483648", "2147483648", "1.5",  "12abc",
        "",          "$",    "0x",         "7 ",          "$100000000", "- 1"}) {
    int32_t v = 0;
    read += txt::TryStrToInt(text, v) ? std::to_string(v) + " " : "- ";
  }
  EXPECT_EQ(read, "42 -17 5 7 31 16 255 -1 -16 2147483647 -2147483648 - - - - - - - - - ");
  EXPECT_EQ(txt::StrToIntDef("x", -1), -1);
  EXPECT_EQ(txt::StrToInt64Def("9223372036854775807", 0), INT64_MAX);
  EXPECT_EQ(txt::StrToInt64Def("9223372036854775808", 3), 3);
  EXPECT_EQ(txt::IntToHex(0x1A2B, 8) + txt::IntToHex(0x409, 2), "00001A2B409");
}

TEST(Floats, GeneralFormHasAtMostFifteenDigitsFixedFormRoundsHalfAwayFromZero) {
  std::string general, fixed;
  for (double v : {0.0, -2.25, 0.1 + 0.2, 1.0 / 3.0, 46000.5, 123456789012345.0, 1e15, 1.5e-6,
                   0.0001, 0.00001})
    general += txt::FloatToStr(v, ',') + " ";
  EXPECT_EQ(general,
            "0 -2,25 0,3 0,333333333333333 46000,5 123456789012345 1E15 1,5E-6 0,0001 1E-5 ");
  for (double v : {1.25, -1.25, 1023.9990234375, 0.04, -0.04, 9.96, 5.0})
    fixed += txt::FormatFixed(v, 1, ',') + " ";
  EXPECT_EQ(fixed, "1,3 -1,3 1024,0 0,0 0,0 10,0 5,0 ");
  EXPECT_EQ(txt::FormatFixed(0.5, 0, '.'), "1");
  double v = 0;
  EXPECT_TRUE(txt::TryStrToFloat("46000,25", v, ','));
  EXPECT_DOUBLE_EQ(v, 46000.25);
  EXPECT_FALSE(txt::TryStrToFloat("46000.25", v, ','));
  EXPECT_TRUE(txt::TryStrToFloat("1.5E-6", v, '.'));
  EXPECT_DOUBLE_EQ(v, 1.5e-6);
}

TEST(Dates, DaySerials) {
  EXPECT_EQ(txt::EncodeDate(1899, 12, 30) + txt::EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(txt::EncodeDate(2021, 3, 4), 44259.0);
  const txt::DateTimeParts p = txt::DecodeDateTime(txt::EncodeDateTime(2021, 3, 4, 17, 5, 9, 42));
  EXPECT_EQ((std::vector<int>{p.year, p.month, p.day, p.hour, p.minute, p.second, p.milliseconds,
                              p.dayOfWeek}),
            (std::vector<int>{2021, 3, 4, 17, 5, 9, 42, 4}));  // a Thursday
  EXPECT_EQ(txt::FormatYyyymmdd(txt::EncodeDateTime(2000, 2, 29, 23, 59, 59, 999)), "20000229");
  EXPECT_TRUE(txt::IsValidDate(2000, 2, 29));
  EXPECT_FALSE(txt::IsValidDate(2100, 2, 29));
}

TEST(Dates, IniAndLogForms) {
  // text read, as written back
  const std::pair<const char*, const char*> forms[] = {
      {"03/04/2021 17:05:09:042", "03/04/2021 17:05:09:042"},
      {"3/4/2021", "03/04/2021 00:00:00:000"},
      {"12/31/1999 11:30 PM", "12/31/1999 23:30:00:000"},
      {"1/2/2003 4:05:06.7", "01/02/2003 04:05:06:700"}};
  double back = 0;
  for (const auto& [text, written] : forms) {
    EXPECT_TRUE(txt::TryParseUsDateTime(text, back)) << text;
    EXPECT_EQ(txt::FormatIniDateTime(back), written);
  }
  for (const char* bad :
       {"", "2021-03-04", "13/01/2021", "02/30/2021", "1/2/2003 25:00", "1/2/2003 junk", "44259.5"})
    EXPECT_FALSE(txt::TryParseUsDateTime(bad, back)) << bad;
  plat::SystemTime st;
  st.year = 2021, st.month = 3, st.day = 4, st.hour = 17, st.minute = 5, st.second = 9,
  st.milliseconds = 42;
  EXPECT_EQ(txt::FormatLogTimestamp(st), "2021-03-04 17:05:09.042");
}

}  // namespace
