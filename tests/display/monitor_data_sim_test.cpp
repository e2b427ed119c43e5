// EDID blocks and capability strings as the program reads them: the edge cases of the
// formats.
#include <gtest/gtest.h>

#include "display/uMonitorBaseInfo.h"
#include "display/uMonitorCaps.h"
#include "display/uMonitorReport.h"

namespace {

// A base block with bytes set at the given offsets.
std::string Block(std::initializer_list<std::pair<size_t, std::string>> parts) {
  std::string b(kEdidBlockSize, '\0');
  for (const auto& [offset, bytes] : parts)
    b.replace(offset, bytes.size(), bytes);
  return b;
}
std::string Descriptor(char tag, const std::string& text) {
  return std::string("\0\0\0", 3) + tag + '\0' + text;
}

TEST(Edid, FieldsAndDescriptorTexts) {
  struct Row {
    const char* name;
    std::string bytes;
    const char* manufacturer;
    const char* monitorName;
  };
  const Row rows[] = {
      {"letters", Block({{8, "\x04\x43"}}), "ABC", ""},
      {"letter code 0 ends the code", Block({{8, std::string("\x04\x03", 2)}}), "A", ""},
      {"reserved bit 7 of byte 8", Block({{8, "\x84\x43"}}), "ABC", ""},
      {"name ends at a line feed, blanks trimmed",
       Block({{108, Descriptor('\xFC', " MONITOR 24\n  ")}}), "", "MONITOR 24"},
      {"thirteen characters without a line feed",
       Block({{108, Descriptor('\xFC', "ABCDEFGHIJKLM")}}), "", "ABCDEFGHIJKLM"},
      {"carriage return ends it too", Block({{108, Descriptor('\xFC', "Panel\r\n     ")}}), "",
       "Panel"},
      {"the first of two names wins",
       Block({{72, Descriptor('\xFC', "First\n")}, {90, Descriptor('\xFC', "Second\n")}}), "",
       "First"},
      {"an empty first name does not hide a readable one",
       Block({{72, Descriptor('\xFC', "\n   ")}, {90, Descriptor('\xFC', "Second\n")}}), "",
       "Second"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TMonitorBaseInfo info;
    ASSERT_TRUE(DecodeEdid(row.bytes, info, 1252));
    EXPECT_EQ(info.ManufacturerID, row.manufacturer);
    EXPECT_EQ(info.MonitorName, row.monitorName);
  }
  TMonitorBaseInfo info;
  ASSERT_TRUE(DecodeEdid(Block({{10, "\x59\x40"}, {17, "\x1C"}}), info));
  EXPECT_EQ(info.ProductCode, "4059");
  EXPECT_EQ(info.ManufactureYear, 2018);
  EXPECT_FALSE(DecodeEdid(std::string(127, '\0'), info));  // too short
}

// A reply of the largest size read (32 KB) nesting as deep as it can: groups without a
// name inside each other, or doubled outer parentheses.
std::string Nested(const std::string& open, const std::string& inner, const std::string& close) {
  const size_t levels = (32 * 1024 - inner.size()) / (open.size() + close.size());
  std::string s;
  for (size_t i = 0; i < levels; ++i)
    s += open;
  s += inner;
  for (size_t i = 0; i < levels; ++i)
    s += close;
  return s;
}

TEST(Capabilities, ListsModesAndPresets) {
  const std::string k6500 = "05=6500\u00B0 K", k9300 = "08=9300\u00B0 K";
  const struct {
    const char* name;
    std::string caps, vcp, modes, presets;
    char mccs20;
  } rows[] = {
      // clang-format off
      {"the format's example",
       "prot(monitor)type(LCD)vcp(10 12 14(05 08 0B) 60(01 03) DC(00 02 05) DF)mccs_ver(2.1)",
       "10=;12=;14=05_08_0B;60=01_03;DC=00_02_05;DF=", "00=Standard;02=Multimedia;05=Games",
       k6500 + ";" + k9300 + ";0B=User 1", '0'},
      {"MCCS 2.0 leaves modes 05 to 0A out, keeps F0; unknown 0B dropped; lower case 0a",
       "(vcp(DC(0a 05 F0 0B))mccs_ver(2.0))", "DC=0a_05_F0_0B", "00=Standard;F0=Dynamic", "", '1'},
      {"no display mode list", "vcp(10)", "10=", "00=Standard", "", '0'},
      {"blanks between entries, doubled parentheses, surplus closing one",
       "((prot(monitor) type(LCD) vcp (10 14 (05 08)))) mccs_ver( 2.0 ))", "10=;14=05_08",
       "00=Standard", k6500 + ";" + k9300, '1'},
      {"codes and values without blanks, nested value groups", "vcp(1012DC(00(00 10)0102)14(0508))",
       "10=;12=;DC=00_01_02;14=05_08", "00=Standard;01=Office;02=Multimedia", k6500 + ";" + k9300,
       '0'},
      {"only page 0 of a paged list", "vcp(page0(10 12) page1(DC(05)))", "10=;12=", "00=Standard",
       "", '0'},
      {"a reply that lists no VCP code cannot be driven", "\x9A\x01garbage(", "", "", "", '0'},
      {"doubled parentheses 16,000 deep", Nested("(", "vcp(10)", ")"), "10=", "00=Standard", "",
       '0'},
      {"groups without a name nested deeper than any monitor's are not read",
       Nested("(", "vcp(10)", ")(z)"), "", "", "", '0'},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(CapsReport(row.caps), "vcp=" + row.vcp + "\nmodes=" + row.modes + "\npresets=" +
                                        row.presets + "\nmccs20=" + row.mccs20 + "\ntimeout=0\n");
  }
  // A list closed before it opens, or never closed, is still read as far as it goes.
  bool timedOut = false;
  EXPECT_EQ(AnalyzeVCP("10 ) 12 (14", &timedOut), (TNameValueList{"10=", "12=14"}));
  EXPECT_TRUE(timedOut);
}

}  // namespace
