// Timers and the foreground over the simulated machine: the timer cadence the program's
// progress display relies on, and the foreground lock (a worker's sleeps and its sent
// messages meeting the timer: the app suite).
#include <gtest/gtest.h>

#include <vector>

#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

TEST(SimWindows, TimerCadenceOnTheMachineClockAndTheForegroundLock) {
  sim::MachineBuilder desktop;
  desktop.Tick(0).With([](sim::Machine& m) {
    m.windows.clear();
    m.foregroundLock = true;
  });
  sim::ScopedMachine machine{desktop};
  std::vector<uint64_t> ticks;
  plat::WindowSpec mini;
  mini.className = "TfrmMiniBoost";
  const plat::Hwnd hwnd =
      plat::CreateAppWindow(mini, [&](plat::Hwnd h, uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg != plat::kWM_TIMER || w != 7) return plat::DefaultWindowProc(h, msg, w, l);
        ticks.push_back(plat::GetTickCount64());
        if (ticks.size() == 3) plat::SetTimer(h, 7, 500);  // restarts with the new interval
        if (ticks.size() == 5) {
          plat::KillTimer(h, 7);
          plat::PostQuitMessage(3);
        }
        return intptr_t{0};
      });
  ASSERT_NE(hwnd, 0u);
  plat::SetTimer(hwnd, 7, 180);
  plat::Message msg;
  while (plat::GetMessageW(msg))
    plat::DispatchMessageW(msg);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_EQ(ticks, (std::vector<uint64_t>{180, 360, 540, 1040, 1540}));

  // The foreground lock holds while its time-out is not zero; a window that goes takes
  // the front with it.
  const plat::Hwnd second = plat::CreateAppWindow(mini, nullptr);
  EXPECT_TRUE(plat::SetForegroundWindow(hwnd));  // nothing in front yet
  EXPECT_FALSE(plat::SetForegroundWindow(second));
  EXPECT_TRUE(plat::SetForegroundLockTimeout(0));
  EXPECT_TRUE(plat::SetForegroundWindow(second));
  plat::DestroyWindow(second);
  EXPECT_EQ(plat::GetForegroundWindow(), 0u);
  plat::DestroyWindow(hwnd);
}

}  // namespace
