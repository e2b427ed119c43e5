// Text helpers that depend on the machine: ANSI code page, decimal separator, clock.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "platform/sim/SimMachine.h"

namespace {

TEST(AnsiSim, Windows1252ByDefault) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  EXPECT_EQ(txt::Utf8ToAnsi("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
  EXPECT_EQ(txt::AnsiToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(txt::Utf8ToAnsi("\xD0\x96"), "?");  // Cyrillic Zhe is not in 1252
}

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

TEST(ClockSim, NowFollowsTheMachineClock) {
  const double t = txt::EncodeDateTime(2026, 12, 6, 12, 0, 0, 0);
  sim::ScopedMachine m{sim::MachineBuilder().LocalTime(t)};
  EXPECT_EQ(txt::FormatIniDateTime(txt::Now()), "12/06/2026 12:00:00:000");
  plat::Sleep(1500);
  EXPECT_EQ(txt::FormatIniDateTime(txt::Now()), "12/06/2026 12:00:01:500");
}

}  // namespace
