// EDID blocks and capability strings as the program reads them: the edge cases of the
// formats, and real monitors' data from ../shared/monitor-data (skipped without it).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "display/uMonitorBaseInfo.h"
#include "display/uMonitorCaps.h"
#include "display/uMonitorReport.h"

namespace {

const std::filesystem::path kData =
    std::filesystem::path(VLX_SOURCE_DIR) / ".." / "shared" / "monitor-data";

std::string ReadHost(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

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
  TMonitorBaseInfo untouched;
  untouched.MonitorName = "kept";
  EXPECT_FALSE(DecodeEdid(std::string(127, '\0'), untouched));
  EXPECT_EQ(untouched.MonitorName, "kept");
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
  struct Row {
    const char* name;
    std::string caps;
    const char* report;  // CapsReport without its "vcp=" line when vcp is empty here
    const char* vcp;
  };
  const Row rows[] = {
      {"the format's example",
       "prot(monitor)type(LCD)vcp(10 12 14(05 08 0B) 60(01 03) DC(00 02 05) DF)mccs_ver(2.1)",
       "modes=00=Standard;02=Multimedia;05=Games\npresets=05=6500\u00B0 K;08=9300\u00B0 K;0B=User "
       "1\nmccs20=0\ntimeout=0\n",
       "10=;12=;14=05_08_0B;60=01_03;DC=00_02_05;DF="},
      {"MCCS 2.0 leaves modes 05 to 0A out, keeps F0; unknown 0B dropped; lower case 0a",
       "(vcp(DC(0a 05 F0 0B))mccs_ver(2.0))",
       "modes=00=Standard;F0=Dynamic\npresets=\nmccs20=1\n"
       "timeout=0\n",
       "DC=0a_05_F0_0B"},
      {"no display mode list", "vcp(10)", "modes=00=Standard\npresets=\nmccs20=0\ntimeout=0\n",
       "10="},
      {"blanks between entries, doubled parentheses, surplus closing one",
       "((prot(monitor) type(LCD) vcp (10 14 (05 08)))) mccs_ver( 2.0 ))",
       "modes=00=Standard\npresets=05=6500\u00B0 K;08=9300\u00B0 K\nmccs20=1\ntimeout=0\n",
       "10=;14=05_08"},
      {"codes and values without blanks, nested value groups", "vcp(1012DC(00(00 10)0102)14(0508))",
       "modes=00=Standard;01=Office;02=Multimedia\npresets=05=6500\u00B0 K;08=9300\u00B0 "
       "K\nmccs20=0\ntimeout=0\n",
       "10=;12=;DC=00_01_02;14=05_08"},
      {"only page 0 of a paged list", "vcp(page0(10 12) page1(DC(05)))",
       "modes=00=Standard\npresets=\nmccs20=0\ntimeout=0\n", "10=;12="},
      {"a reply that lists no VCP code cannot be driven", "\x9A\x01garbage(",
       "modes=\npresets=\nmccs20=0\ntimeout=0\n", ""},
      {"doubled parentheses 16,000 deep", Nested("(", "vcp(10)", ")"),
       "modes=00=Standard\npresets=\nmccs20=0\ntimeout=0\n", "10="},
      {"groups without a name nested deeper than any monitor's are not read",
       Nested("(", "vcp(10)", ")(z)"), "modes=\npresets=\nmccs20=0\ntimeout=0\n", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(CapsReport(row.caps), std::string("vcp=") + row.vcp + "\n" + row.report);
  }
  // A list closed before it opens, or never closed, is still read as far as it goes.
  bool timedOut = false;
  EXPECT_EQ(AnalyzeVCP("10 ) 12 (14", &timedOut), (TNameValueList{"10=", "12=14"}));
  EXPECT_TRUE(timedOut);
}

// Real monitors' files: characteristic ones, and every file read without a failure.
TEST(MonitorData, RealMonitorsDecodeAndParse) {
  if (!std::filesystem::is_directory(kData)) GTEST_SKIP() << "no " << kData;
  const struct {
    const char* folder;
    const char* file;
    const char* expected;  // lines the report holds
  } rows[] = {
      {"edid", "001-HB3200.bin",
       "manufacturer=HB\nproduct=3200\nserial=0\nweek=6\nyear=2013\n"
       "width_cm=100\nheight_cm=61\nnative_width=1360\nnative_height=768\n"
       "name=HBTV-32L06HD\nserial_text=\ndata_text=\n"},
      {"edid", "010-PKB02F3.bin", "name=Maestro 235DL\nserial_text=D2FEE0012400\n"},
      {"edid", "018-HSD1512.bin", "name=\u00B7FZ\\x01\\x03\\x0C\\x11P\u00A0\\x0F\\x13!\n"},
      {"edid", "002-Q0057.bin", "manufacturer=Q\n"},
      {"caps", "033.txt",
       "vcp=02=;03=10_00;04=;05=;08=;0B=;0C=;10=;12=;14=05_07_08_0B;16=;18=;1A="},
      {"caps", "053.txt",
       "modes=00=Standard;01=Office;02=Multimedia;03=Movie;04=User;F0=Dynamic\n"},
      {"caps", "063.txt", "vcp=\nmodes=\npresets=\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file);
    const std::string bytes = ReadHost(kData / row.folder / row.file);
    const std::string report = row.folder[0] == 'e' ? EdidReport(bytes) : CapsReport(bytes);
    EXPECT_NE(report.find(row.expected), std::string::npos) << report;
  }
  for (const auto& entry : std::filesystem::directory_iterator(kData / "edid")) {
    if (entry.path().extension() != ".bin") continue;
    EXPECT_NE(EdidReport(ReadHost(entry.path())), "") << entry.path();
  }
  // Every capability reply but the binary one lists VCP codes.
  int caps = 0, supported = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kData / "caps"))
    if (entry.path().extension() == ".txt") {
      ++caps;
      supported += CapsReport(ReadHost(entry.path())).find("vcp=\n") == std::string::npos;
    }
  EXPECT_EQ(supported, caps - 1);
}

}  // namespace
