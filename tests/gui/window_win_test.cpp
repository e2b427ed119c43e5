// Windows of this program on the real system: WM_CLOSE, timers, painting of the
// display list, text measurement, the foreground and DPI. (Messages to and from other
// programs' windows and the message loop are covered by the end-to-end suite.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/gui/win_test_helper.h"

namespace {

using guitest::PumpFor;
using guitest::PumpUntil;

struct Seen {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

// A window whose procedure keeps the messages from WM_USER on, WM_CLOSE, WM_DESTROY
// and WM_TIMER. closeHides: WM_CLOSE hides the window (as the mini window does)
// instead of reaching the default procedure, which destroys it.
class TestWindow {
 public:
  explicit TestWindow(const std::string& className, bool closeHides = true, int width = 200,
                      int height = 100) {
    plat::WindowSpec layout;
    layout.className = className;
    layout.caption = className + " caption";
    layout.x = 40;
    layout.y = 40;
    layout.width = width;
    layout.height = height;
    layout.topMost = true;
    layout.toolWindow = true;
    layout.backgroundColor = RGB(10, 10, 10);
    layout.iconResource = "MAINICON";  // absent from the test program: the default icon
    hwnd_ = plat::CreateAppWindow(layout, [this, closeHides](plat::Hwnd hwnd, uint32_t message,
                                                             uintptr_t wParam, intptr_t lParam) {
      if (message >= plat::kWM_USER || message == plat::kWM_CLOSE || message == plat::kWM_DESTROY ||
          message == plat::kWM_TIMER) {
        seen.push_back({message, wParam, lParam});
      }
      if (message >= plat::kWM_USER) return static_cast<intptr_t>(42);
      if (message == plat::kWM_CLOSE && closeHides) {
        plat::ShowWindow(hwnd, plat::kSW_HIDE);
        return static_cast<intptr_t>(0);
      }
      if (message == plat::kWM_PAINT && swallowPaint) return static_cast<intptr_t>(0);
      return plat::DefaultWindowProc(hwnd, message, wParam, lParam);
    });
  }
  ~TestWindow() {
    if (::IsWindow(reinterpret_cast<HWND>(hwnd_))) plat::DestroyWindow(hwnd_);
  }
  plat::Hwnd hwnd() const { return hwnd_; }
  size_t Count(uint32_t message) const {
    size_t n = 0;
    for (const Seen& s : seen)
      n += s.message == message;
    return n;
  }

  std::vector<Seen> seen;
  bool swallowPaint = false;

 private:
  plat::Hwnd hwnd_ = 0;
};

TEST(WindowWin, CloseHidesWhenTheProcedureSaysSoAndDestroysOtherwise) {
  TestWindow hiding("VlxGuiTest.CloseHides", true);
  TestWindow closing("VlxGuiTest.CloseDestroys", false);
  ASSERT_NE(hiding.hwnd(), 0u);
  ASSERT_NE(closing.hwnd(), 0u);
  EXPECT_FALSE(plat::ShowWindow(hiding.hwnd(), plat::kSW_SHOW)) << "was hidden before";
  EXPECT_TRUE(plat::IsWindowVisible(hiding.hwnd()));

  EXPECT_EQ(plat::SendMessageW(hiding.hwnd(), plat::kWM_CLOSE, 0, 0), 0);
  EXPECT_EQ(hiding.Count(plat::kWM_CLOSE), 1u);
  EXPECT_TRUE(::IsWindow(reinterpret_cast<HWND>(hiding.hwnd())));
  EXPECT_FALSE(plat::IsWindowVisible(hiding.hwnd()));

  ASSERT_TRUE(plat::PostMessageW(closing.hwnd(), plat::kWM_CLOSE, 0, 0));
  ASSERT_TRUE(PumpUntil([&] { return closing.Count(plat::kWM_DESTROY) == 1; }, 2000));
  EXPECT_EQ(closing.Count(plat::kWM_CLOSE), 1u);
  EXPECT_FALSE(::IsWindow(reinterpret_cast<HWND>(closing.hwnd())));
  // Messages to the destroyed window are refused.
  EXPECT_FALSE(plat::PostMessageW(closing.hwnd(), 6024, 0, 123));
}

TEST(WindowWin, TimerTicksEvery180MsAndTakesANewInterval) {
  TestWindow window("VlxGuiTest.Timer");
  ASSERT_NE(window.hwnd(), 0u);
  constexpr uintptr_t kId = 7;
  ASSERT_EQ(plat::SetTimer(window.hwnd(), kId, 180), kId);

  std::vector<uint64_t> ticks;
  const uint64_t start = plat::GetTickCount64();
  ASSERT_TRUE(PumpUntil(
      [&] {
        while (ticks.size() < window.Count(plat::kWM_TIMER))
          ticks.push_back(plat::GetTickCount64());
        return ticks.size() >= 4;
      },
      4000));
  for (const Seen& s : window.seen) {
    if (s.message == plat::kWM_TIMER) {
      EXPECT_EQ(s.wParam, kId);
    }
  }
  // Loose bounds (the machine may be busy): the first tick after about 180 ms, then
  // about 180 ms apart.
  EXPECT_GE(ticks[0] - start, 150u);
  EXPECT_LE(ticks[0] - start, 600u);
  const uint64_t average = (ticks[3] - ticks[0]) / 3;
  EXPECT_GE(average, 150u);
  EXPECT_LE(average, 400u);

  // The same id with 1 ms replaces the interval: the ticks now come fast.
  ASSERT_EQ(plat::SetTimer(window.hwnd(), kId, 1), kId);
  const size_t before = window.Count(plat::kWM_TIMER);
  const uint64_t fastStart = plat::GetTickCount64();
  ASSERT_TRUE(PumpUntil([&] { return window.Count(plat::kWM_TIMER) >= before + 5; }, 2000));
  EXPECT_LT(plat::GetTickCount64() - fastStart, 900u);

  ASSERT_TRUE(plat::KillTimer(window.hwnd(), kId));
  PumpFor(30);  // a tick already queued may still come
  const size_t after = window.Count(plat::kWM_TIMER);
  PumpFor(250);
  EXPECT_EQ(window.Count(plat::kWM_TIMER), after) << "no ticks once killed";
  EXPECT_FALSE(plat::KillTimer(window.hwnd(), kId));
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
  TestWindow window("VlxGuiTest.Paint", true, 380, 110);
  ASSERT_NE(window.hwnd(), 0u);
  plat::WindowContent content;
  content.rects.push_back({0, 0, 380, 60, RGB(30, 60, 90)});
  content.rects.push_back({20, 62, 170, 10, RGB(200, 0, 0)});
  content.rects.push_back({0, 0, 0, 10, RGB(0, 255, 0)});  // empty: nothing
  plat::DrawText caption;
  caption.left = 20;
  caption.top = 25;
  caption.width = 345;
  caption.height = 41;
  caption.text = "Velmora is boosting into Gaming Mode... \xE2\x9C\x93";
  caption.fontHeight = -14;
  caption.color = RGB(255, 255, 255);
  content.texts.push_back(caption);
  content.progressPercent = 50;
  plat::SetWindowContent(window.hwnd(), content);
  plat::ShowWindow(window.hwnd(), plat::kSW_SHOW);
  EXPECT_TRUE(plat::UpdateWindow(window.hwnd()));
  PumpFor(50);

  EXPECT_EQ(PixelOf(window.hwnd(), 5, 5), RGB(30, 60, 90));
  EXPECT_EQ(PixelOf(window.hwnd(), 30, 66), RGB(200, 0, 0));
  EXPECT_EQ(PixelOf(window.hwnd(), 300, 100), RGB(10, 10, 10)) << "background";
  EXPECT_EQ(PixelOf(window.hwnd(), 2, 2), RGB(30, 60, 90)) << "empty rect drew nothing";

  // New content replaces the old and shows after the next paint.
  content.rects[1].width = 340;
  plat::SetWindowContent(window.hwnd(), content);
  EXPECT_TRUE(plat::UpdateWindow(window.hwnd()));
  EXPECT_EQ(PixelOf(window.hwnd(), 300, 66), RGB(200, 0, 0));

  // A procedure that takes WM_PAINT without painting still gets the list drawn,
  // and the window is not asked to paint again and again.
  window.swallowPaint = true;
  content.rects[1].color = RGB(0, 0, 200);
  plat::SetWindowContent(window.hwnd(), content);
  EXPECT_TRUE(plat::InvalidateRect(window.hwnd()));
  EXPECT_TRUE(plat::UpdateWindow(window.hwnd()));
  EXPECT_FALSE(::GetUpdateRect(reinterpret_cast<HWND>(window.hwnd()), nullptr, FALSE));
  EXPECT_EQ(PixelOf(window.hwnd(), 30, 66), RGB(0, 0, 200));
}

TEST(WindowWin, TextWidthGrowsWithTextAndFont) {
  const int empty = plat::MeasureTextWidth("", "Tahoma", -11);
  const int one = plat::MeasureTextWidth("W", "Tahoma", -11);
  const int caption =
      plat::MeasureTextWidth("Velmora is boosting into Gaming Mode...", "Tahoma", -14);
  const int longer = plat::MeasureTextWidth(
      "Velmora is boosting into Gaming Mode... and a good deal more text", "Tahoma", -14);
  EXPECT_EQ(empty, 0);
  EXPECT_GT(one, 0);
  EXPECT_GT(caption, 100);
  EXPECT_LT(caption, 345) << "the default caption fits on one line";
  EXPECT_GT(longer, 345);
  EXPECT_GT(plat::MeasureTextWidth("W", "Tahoma", -28), one);
}

TEST(WindowWin, ForegroundMinimiseAndRestore) {
  TestWindow window("VlxGuiTest.Foreground");
  ASSERT_NE(window.hwnd(), 0u);
  plat::ShowWindow(window.hwnd(), plat::kSW_SHOWNORMAL);
  plat::SetForegroundWindow(window.hwnd());
  // The change can take a while to show (about half a second under Wine).
  EXPECT_TRUE(PumpUntil([&] { return plat::GetForegroundWindow() == window.hwnd(); }, 3000));

  EXPECT_FALSE(plat::IsIconic(window.hwnd()));
  plat::ShowWindow(window.hwnd(), 6 /* SW_MINIMIZE */);
  EXPECT_TRUE(plat::IsIconic(window.hwnd()));
  plat::ShowWindow(window.hwnd(), plat::kSW_RESTORE);
  EXPECT_FALSE(plat::IsIconic(window.hwnd()));

  // A thread cannot attach its input to itself.
  const uint32_t self = plat::GetCurrentThreadId();
  EXPECT_FALSE(plat::AttachThreadInput(self, self, true));
  EXPECT_TRUE(plat::ReleaseCapture());
}

TEST(WindowWin, DpiFunctionsAreFoundAndMakeTheProcessAware) {
  bool aware = true;
  ASSERT_TRUE(plat::IsProcessDPIAware(aware));
  int awareness = -1;
  if (plat::GetProcessDpiAwareness(awareness)) {
    EXPECT_GE(awareness, 0);
    EXPECT_LE(awareness, 2);
  }
  EXPECT_TRUE(plat::SetProcessDPIAware());
  ASSERT_TRUE(plat::IsProcessDPIAware(aware));
  EXPECT_TRUE(aware);
}

}  // namespace
