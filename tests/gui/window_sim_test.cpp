// Windows, messages and timers over the simulated machine, and what the program
// does to the windows of other programs (the machine's message log).
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
  b.Tick(0)
      .With([](sim::Machine& m) { m.windows.clear(); })
      .Window("TfrmVelmorixMain", "Velmorix")
      .Window("TfrmTray", "Tray", false);
  return b;
}

plat::WindowSpec MiniWindow(const std::string& caption = "Mini") {
  plat::WindowSpec desc;
  desc.className = "TfrmMiniBoost";
  desc.caption = caption;
  desc.width = 345;
  desc.height = 90;
  return desc;
}

TEST(SimWindows, TimerFiresOnTheMachineClockAtItsExactCadence) {
  sim::ScopedMachine machine{Desktop()};
  std::vector<uint64_t> ticks;
  plat::Hwnd hwnd = 0;
  hwnd =
      plat::CreateAppWindow(MiniWindow(), [&](plat::Hwnd h, uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg == plat::kWM_TIMER && w == 7) {
          ticks.push_back(plat::GetTickCount64());
          if (ticks.size() == 3) plat::SetTimer(h, 7, 500);  // restarts with the new interval
          if (ticks.size() == 5) {
            plat::KillTimer(h, 7);
            plat::PostQuitMessage(3);
          }
          return intptr_t{0};
        }
        return plat::DefaultWindowProc(h, msg, w, l);
      });
  ASSERT_NE(hwnd, 0u);
  plat::SetTimer(hwnd, 7, 180);
  plat::Message msg;
  while (plat::GetMessageW(msg))
    plat::DispatchMessageW(msg);
  EXPECT_EQ(msg.message, plat::kWM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_EQ(ticks, (std::vector<uint64_t>{180, 360, 540, 1040, 1540}));
  EXPECT_TRUE(plat::DestroyWindow(hwnd));
}

TEST(SimWindows, WorkerSleepsThirtySecondsWhileTheWindowTimerRuns) {
  sim::ScopedMachine machine{Desktop()};
  int timers = 0;
  const plat::Hwnd hwnd =
      plat::CreateAppWindow(MiniWindow(), [&](plat::Hwnd h, uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg == plat::kWM_TIMER) ++timers;
        if (msg == kMsgPing) {
          plat::PostQuitMessage(0);
          return intptr_t{0};
        }
        return plat::DefaultWindowProc(h, msg, w, l);
      });
  plat::SetTimer(hwnd, 1, 180);
  const auto started = std::chrono::steady_clock::now();
  const plat::Handle worker = plat::CreateThread([hwnd] {
    plat::Sleep(30000);
    plat::PostMessageW(hwnd, kMsgPing, 0, 0);
  });
  plat::Message msg;
  while (plat::GetMessageW(msg))
    plat::DispatchMessageW(msg);
  EXPECT_EQ(plat::GetTickCount64(), 30000u);
  EXPECT_EQ(timers, 30000 / 180);
  EXPECT_EQ(plat::WaitForSingleObject(worker, plat::kINFINITE), plat::kWAIT_OBJECT_0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  plat::CloseHandle(worker);
  plat::DestroyWindow(hwnd);
}

TEST(SimWindows, SendMessageFromAnotherThreadRunsOnTheWindowThread) {
  sim::ScopedMachine machine{Desktop()};
  const uint32_t windowThread = plat::GetCurrentThreadId();
  std::atomic<uint32_t> handledOn{0};
  const plat::Hwnd hwnd =
      plat::CreateAppWindow(MiniWindow(), [&](plat::Hwnd h, uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg == kMsgPing) {
          handledOn = plat::GetCurrentThreadId();
          return static_cast<intptr_t>(w * 2);
        }
        return plat::DefaultWindowProc(h, msg, w, l);
      });
  uint32_t owner = 0;
  EXPECT_EQ(plat::GetWindowThreadProcessId(hwnd, &owner), windowThread);
  EXPECT_EQ(owner, plat::GetCurrentProcessId());
  std::atomic<intptr_t> reply{0};
  const plat::Handle worker = plat::CreateThread([&] {
    reply = plat::SendMessageW(hwnd, kMsgPing, 21, 0);
    plat::PostMessageW(hwnd, plat::kWM_CLOSE, 0, 0);
  });
  bool destroyed = false;
  plat::Message msg;
  while (!destroyed && plat::GetMessageW(msg)) {
    plat::DispatchMessageW(msg);
    destroyed = !plat::IsWindowVisible(hwnd) && plat::FindWindowW("TfrmMiniBoost", "Mini") == 0;
  }
  EXPECT_EQ(reply.load(), 42);
  EXPECT_EQ(handledOn.load(), windowThread);
  EXPECT_NE(plat::WaitForSingleObject(worker, plat::kINFINITE), plat::kWAIT_FAILED);
  plat::CloseHandle(worker);
  // Same thread: a direct call.
  EXPECT_EQ(plat::FindWindowW("TfrmMiniBoost", std::nullopt), 0u);
}

TEST(SimWindows, OwnWindowStateAndScreenFacts) {
  sim::ScopedMachine machine{Desktop()};
  const plat::Hwnd hwnd = plat::CreateAppWindow(MiniWindow(), nullptr);
  EXPECT_FALSE(plat::IsWindowVisible(hwnd));
  EXPECT_FALSE(plat::ShowWindow(hwnd, plat::kSW_SHOW));
  EXPECT_TRUE(plat::IsWindowVisible(hwnd));
  EXPECT_FALSE(plat::IsIconic(hwnd));
  EXPECT_TRUE(plat::SetForegroundWindow(hwnd));
  EXPECT_EQ(plat::GetForegroundWindow(), hwnd);
  EXPECT_EQ(plat::FindWindowW("tfrmminiboost", "MINI"), hwnd);
  EXPECT_EQ(plat::GetGuiResources(1), 3u);
  const plat::Rect area = plat::GetWorkArea();
  EXPECT_EQ(area.right, 1920);
  EXPECT_EQ(area.bottom, 1040);
  EXPECT_EQ(plat::GetScreenLogPixelsY(), 96);
  uint32_t lock = 0;
  EXPECT_TRUE(plat::SetForegroundLockTimeout(0));
  EXPECT_TRUE(plat::GetForegroundLockTimeout(lock));
  EXPECT_EQ(lock, 0u);
  EXPECT_TRUE(plat::ShowWindow(hwnd, plat::kSW_HIDE));
  EXPECT_TRUE(plat::DestroyWindow(hwnd));
  EXPECT_EQ(plat::GetForegroundWindow(), 0u);
  EXPECT_FALSE(plat::DestroyWindow(hwnd));
  EXPECT_EQ(plat::GetGuiResources(1), 1u);
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
  EXPECT_TRUE(plat::SetForegroundWindow(first));  // already in front
  EXPECT_TRUE(plat::SetForegroundLockTimeout(0));
  EXPECT_TRUE(plat::SetForegroundWindow(second));
  EXPECT_EQ(plat::GetForegroundWindow(), second);
  EXPECT_NE(machine.machine().foregroundLockTimeout, 200000u);
  plat::DestroyWindow(second);
  plat::DestroyWindow(first);
}

TEST(SimWindows, MessagesToOtherProgramsGoToTheMachineLog) {
  sim::ScopedMachine machine{Desktop()};
  plat::Sleep(250);
  const plat::Hwnd host = plat::FindWindowW("TfrmVelmorixMain", "Velmorix");
  ASSERT_NE(host, 0u);
  EXPECT_EQ(plat::FindWindowW("TfrmVelmorixMain", std::nullopt), host);
  EXPECT_EQ(plat::FindWindowW("TfrmTray", std::nullopt), 0u);  // not present
  EXPECT_EQ(plat::SendMessageW(host, plat::kWM_USER + 5, 1, 0), 0);
  EXPECT_TRUE(plat::PostMessageW(host, plat::kWM_USER + 6, 0, 0x4D494E49));
  EXPECT_FALSE(plat::SetForegroundWindow(host));
  const auto& log = machine.machine().messageLog;
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].className, "TfrmVelmorixMain");
  EXPECT_EQ(log[0].message, plat::kWM_USER + 5);
  EXPECT_EQ(log[0].wParam, 1u);
  EXPECT_TRUE(log[0].sent);
  EXPECT_EQ(log[0].tick, 250u);
  EXPECT_EQ(log[1].message, plat::kWM_USER + 6);
  EXPECT_EQ(log[1].lParam, 0x4D494E49);
  EXPECT_FALSE(log[1].sent);
}

TEST(SimWindows, TextWidthApproximatesTahoma) {
  sim::ScopedMachine machine{Desktop()};
  const std::string shortCaption = "Optimizing your PC";
  const std::string longCaption = "Optimizing your PC for Counter-Strike: Global Offensive now";
  EXPECT_LT(plat::MeasureTextWidth(shortCaption, "Tahoma", -14), 345);
  EXPECT_GT(plat::MeasureTextWidth(longCaption, "Tahoma", -14), 345);
  EXPECT_EQ(plat::MeasureTextWidth("", "Tahoma", -14), 0);
  EXPECT_LT(plat::MeasureTextWidth(shortCaption, "Tahoma", -11),
            plat::MeasureTextWidth(shortCaption, "Tahoma", -14));
}

}  // namespace
