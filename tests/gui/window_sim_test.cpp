// Timers over the simulated machine: the cadence the program's progress display relies
// on (a worker's sleeps, its sent messages and the foreground lock: the app suite).
#include <gtest/gtest.h>

#include <vector>

#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

TEST(SimWindows, TimerFiresOnTheMachineClockAtItsExactCadence) {
  sim::MachineBuilder desktop;
  desktop.Tick(0).With([](sim::Machine& m) { m.windows.clear(); });
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
  plat::DestroyWindow(hwnd);
}

}  // namespace
