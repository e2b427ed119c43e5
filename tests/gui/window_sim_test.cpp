// Windows, messages and timers over the simulated machine: the timer cadence and the
// cross-thread messages the program's progress display relies on, and the foreground
// lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

constexpr uint32_t kMsgPing = plat::kWM_USER + 1;

sim::MachineBuilder Desktop() {
  sim::MachineBuilder b;
  b.Tick(0).With([](sim::Machine& m) { m.windows.clear(); });
  return b;
}

plat::WindowSpec MiniWindow() {
  plat::WindowSpec desc;
  desc.className = "TfrmMiniBoost";
  desc.caption = "Mini";
  return desc;
}

// Runs the message loop of a new window until its procedure posts the quit message.
plat::Message Loop(plat::Hwnd hwnd) {
  plat::Message msg;
  while (plat::GetMessageW(msg))
    plat::DispatchMessageW(msg);
  plat::DestroyWindow(hwnd);
  return msg;
}

TEST(SimWindows, TimerFiresOnTheMachineClockAtItsExactCadence) {
  sim::ScopedMachine machine{Desktop()};
  std::vector<uint64_t> ticks;
  const plat::Hwnd hwnd =
      plat::CreateAppWindow(MiniWindow(), [&](plat::Hwnd h, uint32_t msg, uintptr_t w, intptr_t l) {
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
  EXPECT_EQ(Loop(hwnd).wParam, 3u);
  EXPECT_EQ(ticks, (std::vector<uint64_t>{180, 360, 540, 1040, 1540}));
}

// A worker that sleeps 30 s while the window's timer runs, then asks the window thread
// (by a sent message) and ends the loop: the reply comes from the window's thread.
TEST(SimWindows, AWorkersLongSleepAndSentMessageMeetTheWindowTimer) {
  sim::ScopedMachine machine{Desktop()};
  const uint32_t windowThread = plat::GetCurrentThreadId();
  std::atomic<uint32_t> handledOn{0};
  int timers = 0;
  const plat::Hwnd hwnd =
      plat::CreateAppWindow(MiniWindow(), [&](plat::Hwnd h, uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg == plat::kWM_TIMER) ++timers;
        if (msg == kMsgPing) {
          handledOn = plat::GetCurrentThreadId();
          return static_cast<intptr_t>(w * 2);
        }
        if (msg == kMsgPing + 1) plat::PostQuitMessage(0);
        return plat::DefaultWindowProc(h, msg, w, l);
      });
  plat::SetTimer(hwnd, 1, 180);
  const auto started = std::chrono::steady_clock::now();
  std::atomic<intptr_t> reply{0};
  const plat::Handle worker = plat::CreateThread([&] {
    plat::Sleep(30000);
    reply = plat::SendMessageW(hwnd, kMsgPing, 21, 0);
    plat::PostMessageW(hwnd, kMsgPing + 1, 0, 0);
  });
  Loop(hwnd);
  EXPECT_EQ(plat::GetTickCount64(), 30000u);
  EXPECT_EQ(timers, 30000 / 180);
  EXPECT_EQ(reply.load(), 42);
  EXPECT_EQ(handledOn.load(), windowThread);
  EXPECT_EQ(plat::WaitForSingleObject(worker, plat::kINFINITE), plat::kWAIT_OBJECT_0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  plat::CloseHandle(worker);
}

TEST(SimWindows, TheForegroundLockHoldsWhileItsTimeOutIsNotZero) {
  sim::MachineBuilder builder = Desktop();
  builder.With([](sim::Machine& m) { m.foregroundLock = true; });
  sim::ScopedMachine machine{builder};
  const plat::Hwnd first = plat::CreateAppWindow(MiniWindow(), nullptr);
  const plat::Hwnd second = plat::CreateAppWindow(MiniWindow(), nullptr);
  EXPECT_TRUE(plat::SetForegroundWindow(first));  // nothing in front yet
  EXPECT_FALSE(plat::SetForegroundWindow(second));
  EXPECT_EQ(plat::GetForegroundWindow(), first);
  EXPECT_TRUE(plat::SetForegroundLockTimeout(0));
  EXPECT_TRUE(plat::SetForegroundWindow(second));
  EXPECT_EQ(plat::GetForegroundWindow(), second);
  plat::DestroyWindow(second);
  EXPECT_EQ(plat::GetForegroundWindow(), 0u);
  plat::DestroyWindow(first);
}

}  // namespace
