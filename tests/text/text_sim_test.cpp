// Text helpers that depend on the machine: ANSI code page and decimal separator.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "platform/sim/SimMachine.h"

namespace {

TEST(AnsiSim, MachineCodePageIsHonoured) {
  sim::ScopedMachine m{sim::MachineBuilder().CodePage(1251)};
  EXPECT_EQ(txt::Utf8ToAnsi("\xD0\x96"), "\xC6");
  EXPECT_EQ(txt::AnsiToUtf8("\xC6"), "\xD0\x96");
  EXPECT_EQ(txt::DecodeTextFile("[\xC6]"), "[\xD0\x96]");
}

TEST(LocaleSim, UserDecimalSeparator) {
  sim::ScopedMachine m{sim::MachineBuilder().DecimalSeparator(",")};
  EXPECT_EQ(txt::DecimalSeparator(), ',');
  EXPECT_EQ(txt::FloatToStr(2.5), "2,5");
  EXPECT_EQ(txt::FormatFixed(1.25, 1), "1,3");
}

}  // namespace
