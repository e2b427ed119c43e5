// Code page conversion through the seam: Windows-1252, 1251 and UTF-8.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace plat;

TEST(CodePages, Windows1252BothWays) {
  test::Sandbox box;
  EXPECT_EQ(MultiByteToWideChar(1252, "caf\xE9 \x80 \x9F"), u"caf\u00E9 \u20AC \u0178");
  EXPECT_EQ(WideCharToMultiByte(1252, u"caf\u00E9 \u20AC \u0178"), "caf\xE9 \x80 \x9F");
  // Characters the code page cannot hold become "?", with no look-alikes.
  EXPECT_EQ(WideCharToMultiByte(1252, u"\u4E2D\u0416\u03A9"), "???");
  EXPECT_EQ(MultiByteToWideChar(1252, ""), u"");
  EXPECT_EQ(WideCharToMultiByte(1251, u"\u0416\u00E9"), "\xC6?");
  EXPECT_EQ(MultiByteToWideChar(1251, "\xC6"), u"\u0416");
  EXPECT_EQ(MultiByteToWideChar(0, "abc"), u"abc");  // CP_ACP
}

TEST(CodePages, Utf8BothWays) {
  test::Sandbox box;
  EXPECT_EQ(MultiByteToWideChar(65001, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAE"),
            u"\u00E9\u20AC\U0001F3AE");
  EXPECT_EQ(WideCharToMultiByte(65001, u"\u00E9\u20AC\U0001F3AE"),
            "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAE");
}

}  // namespace
