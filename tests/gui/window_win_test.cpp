// Windows of this program on the real system: WM_CLOSE, painting of the display list,
// text measurement, minimising and DPI. (Timers, the foreground, messages to and from
// other programs' windows and the message loop are covered by the end-to-end suite.)
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/gui/win_test_helper.h"

namespace {

using guitest::PumpUntil;

// A window whose procedure counts WM_CLOSE and WM_DESTROY.
// closeHides: WM_CLOSE hides the window (as the mini window does) instead of reaching
// the default procedure, which destroys it.
class TestWindow {
 public:
  explicit TestWindow(const std::string& className, bool closeHides = true) {
    // A popup, top-most tool window; the icon is absent from the test program: the
    // default icon.
    const plat::WindowSpec layout{className, className,       40,        40, 380, 110, true, true,
                                  true,      RGB(10, 10, 10), "MAINICON"};
    hwnd_ = plat::CreateAppWindow(layout, [this, closeHides](plat::Hwnd hwnd, uint32_t message,
                                                             uintptr_t wParam, intptr_t lParam) {
      if (message == plat::kWM_CLOSE || message == plat::kWM_DESTROY) ++count[message];
      if (message == plat::kWM_CLOSE && closeHides) {
        plat::ShowWindow(hwnd, plat::kSW_HIDE);
        return intptr_t{0};
      }
      if (message == plat::kWM_PAINT && swallowPaint) return intptr_t{0};
      return plat::DefaultWindowProc(hwnd, message, wParam, lParam);
    });
  }
  ~TestWindow() {
    if (::IsWindow(reinterpret_cast<HWND>(hwnd_))) plat::DestroyWindow(hwnd_);
  }
  plat::Hwnd hwnd() const { return hwnd_; }

  std::map<uint32_t, size_t> count;
  bool swallowPaint = false;

 private:
  plat::Hwnd hwnd_ = 0;
};

TEST(WindowWin, CloseHidesWhenTheProcedureSaysSoAndDestroysOtherwise) {
  TestWindow hiding("VlxGuiTest.CloseHides", true);
  TestWindow closing("VlxGuiTest.CloseDestroys", false);
  EXPECT_FALSE(plat::ShowWindow(hiding.hwnd(), plat::kSW_SHOW)) << "was hidden before";
  EXPECT_EQ(plat::SendMessageW(hiding.hwnd(), plat::kWM_CLOSE, 0, 0), 0);
  EXPECT_TRUE(::IsWindow(reinterpret_cast<HWND>(hiding.hwnd())));
  EXPECT_FALSE(plat::IsWindowVisible(hiding.hwnd()));

  ASSERT_TRUE(plat::PostMessageW(closing.hwnd(), plat::kWM_CLOSE, 0, 0));
  ASSERT_TRUE(PumpUntil([&] { return closing.count[plat::kWM_DESTROY] == 1; }, 2000));
  EXPECT_EQ(closing.count[plat::kWM_CLOSE], 1u);
  EXPECT_FALSE(plat::PostMessageW(closing.hwnd(), 6024, 0, 123)) << "the window is gone";
}

// The colour of a client pixel as the window shows it.
COLORREF PixelOf(plat::Hwnd hwnd, int x, int y) {
  HWND window = reinterpret_cast<HWND>(hwnd);
  HDC dc = ::GetDC(window);
  const COLORREF color = ::GetPixel(dc, x, y);
  ::ReleaseDC(window, dc);
  return color;
}

TEST(WindowWin, PaintsTheDisplayListOverTheBackground) {
  TestWindow window("VlxGuiTest.Paint");
  plat::WindowContent content;
  content.rects.push_back({0, 0, 380, 60, RGB(30, 60, 90)});
  content.rects.push_back({20, 62, 170, 10, RGB(200, 0, 0)});
  content.rects.push_back({0, 0, 0, 10, RGB(0, 255, 0)});  // empty: nothing
  content.texts.push_back({20, 25, 345, 41, "Velmora is boosting into Gaming Mode... \xE2\x9C\x93",
                           "Tahoma", -14, RGB(255, 255, 255)});
  content.progressPercent = 50;
  plat::SetWindowContent(window.hwnd(), content);
  plat::ShowWindow(window.hwnd(), plat::kSW_SHOW);
  EXPECT_TRUE(plat::UpdateWindow(window.hwnd()));
  // The window can take a while to show (under Wine on a fresh display).
  EXPECT_TRUE(PumpUntil([&] { return PixelOf(window.hwnd(), 30, 66) == RGB(200, 0, 0); }, 3000));
  EXPECT_EQ(PixelOf(window.hwnd(), 2, 2), RGB(30, 60, 90)) << "empty rect drew nothing";
  EXPECT_EQ(PixelOf(window.hwnd(), 300, 100), RGB(10, 10, 10)) << "background";

  // New content shows after the next paint, also when the procedure takes WM_PAINT
  // without painting (and is not asked to paint again and again).
  window.swallowPaint = true;
  content.rects[1].width = 340;
  content.rects[1].color = RGB(0, 0, 200);
  plat::SetWindowContent(window.hwnd(), content);
  EXPECT_TRUE(plat::InvalidateRect(window.hwnd()));
  EXPECT_TRUE(plat::UpdateWindow(window.hwnd()));
  EXPECT_FALSE(::GetUpdateRect(reinterpret_cast<HWND>(window.hwnd()), nullptr, FALSE));
  EXPECT_EQ(PixelOf(window.hwnd(), 300, 66), RGB(0, 0, 200));
}

TEST(WindowWin, TextWidthForTheCaptionLayout) {
  const int one = plat::MeasureTextWidth("W", "Tahoma", -11);
  EXPECT_EQ(plat::MeasureTextWidth("", "Tahoma", -11), 0);
  EXPECT_GT(plat::MeasureTextWidth("W", "Tahoma", -28), one);
  // The default caption fits on one line of 345 pixels, a longer one does not.
  const int caption =
      plat::MeasureTextWidth("Velmora is boosting into Gaming Mode...", "Tahoma", -14);
  EXPECT_GT(caption, 100);
  EXPECT_LT(caption, 345);
  EXPECT_GT(plat::MeasureTextWidth(
                "Velmora is boosting into Gaming Mode... and a good deal more text", "Tahoma", -14),
            345);
}

TEST(WindowWin, MinimiseRestoreAndDpi) {
  TestWindow window("VlxGuiTest.Minimise");
  plat::ShowWindow(window.hwnd(), plat::kSW_SHOWNORMAL);
  plat::ShowWindow(window.hwnd(), 6 /* SW_MINIMIZE */);
  EXPECT_TRUE(PumpUntil([&] { return plat::IsIconic(window.hwnd()); }, 3000));
  plat::ShowWindow(window.hwnd(), plat::kSW_RESTORE);
  EXPECT_TRUE(PumpUntil([&] { return !plat::IsIconic(window.hwnd()); }, 3000));
  // A thread cannot attach its input to itself.
  const uint32_t self = plat::GetCurrentThreadId();
  EXPECT_FALSE(plat::AttachThreadInput(self, self, true));
  bool aware = false;
  EXPECT_TRUE(plat::SetProcessDPIAware());
  ASSERT_TRUE(plat::IsProcessDPIAware(aware));
  EXPECT_TRUE(aware);
}

}  // namespace
