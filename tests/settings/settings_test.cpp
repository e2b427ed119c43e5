// Settings helpers that need no machine: hot-key modifiers, shortcut values and the
// temperature conversion.
#include <gtest/gtest.h>

#include "config/UnitGAConfig.h"

namespace {

TEST(SettingsHelpers, ShiftStateBecomesRegisterHotKeyFlags) {
  EXPECT_EQ(ShiftStateToHotKeyMod(0), 0);
  EXPECT_EQ(ShiftStateToHotKeyMod(ssAlt), 1);
  EXPECT_EQ(ShiftStateToHotKeyMod(ssCtrl), 2);
  EXPECT_EQ(ShiftStateToHotKeyMod(ssShift), 4);
  EXPECT_EQ(ShiftStateToHotKeyMod(ssCtrl | ssAlt), 3);
  EXPECT_EQ(ShiftStateToHotKeyMod(ssShift | ssCtrl | ssAlt), 7);
}

TEST(SettingsHelpers, ShortcutValuesSplitIntoKeyAndModifiers) {
  struct Case {
    int32_t shortcut, key, mod;
  };
  for (const Case& c : {Case{49218, 66, 3},    // Ctrl+Alt+B
                        Case{49234, 82, 3},    // Ctrl+Alt+R
                        Case{32891, 123, 1},   // Alt+F12
                        Case{0x2041, 65, 4},   // Shift+A
                        Case{0x0070, 112, 0},  // F1
                        Case{0xE05A, 90, 7}}) {
    int32_t key = -1;
    TShiftState shift = 0;
    ShortCutToKey(c.shortcut, key, shift);
    EXPECT_EQ(key, c.key) << c.shortcut;
    EXPECT_EQ(ShiftStateToHotKeyMod(shift), c.mod) << c.shortcut;
  }
}

TEST(SettingsHelpers, CelsiusToFahrenheitTruncates) {
  EXPECT_EQ(CelsiusToFahrenheit(0), 32);
  EXPECT_EQ(CelsiusToFahrenheit(90), 194);
  EXPECT_EQ(CelsiusToFahrenheit(80), 176);
  EXPECT_EQ(CelsiusToFahrenheit(60), 140);
  EXPECT_EQ(CelsiusToFahrenheit(37), 98);  // 98.6
  EXPECT_EQ(CelsiusToFahrenheit(-40), -40);
  EXPECT_EQ(CelsiusToFahrenheit(-18), 0);  // -0.4 truncates toward zero
}

}  // namespace
