// The temperature conversion, which needs no machine. (Shortcut values are read
// through the legacy settings file.)
#include <gtest/gtest.h>

#include "config/UnitGAConfig.h"

namespace {

TEST(SettingsHelpers, CelsiusToFahrenheitTruncates) {
  for (const auto& [c, f] : {std::pair{0, 32}, {37, 98}, {-40, -40}, {-18, 0}})
    EXPECT_EQ(CelsiusToFahrenheit(c), f) << c;
}

}  // namespace
