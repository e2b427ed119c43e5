// Threads and waiting over the simulated machine: with a manual clock the machine's
// time moves only while every thread of the program waits, so long waits and
// time-outs run in milliseconds.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

TEST(SimThreads, WaitsTimeOutOnTheMachineClockAndTimeWaitsForTheSlowestThread) {
  sim::ScopedMachine machine(sim::MachineBuilder().Tick(0));
  const auto started = std::chrono::steady_clock::now();
  const plat::Handle event = plat::CreateEventW(false, false, "");
  EXPECT_EQ(plat::WaitForSingleObject(event, 250), plat::kWAIT_TIMEOUT);
  EXPECT_EQ(plat::GetTickCount64(), 250u);
  std::atomic<uint64_t> wokeAt{0};
  const plat::Handle thread = plat::CreateThread([&] {
    plat::Sleep(100);
    plat::SetEvent(event);
    plat::Sleep(30000);
    wokeAt = plat::GetTickCount64();
  });
  EXPECT_EQ(plat::WaitForSingleObject(event, 5000), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::GetTickCount64(), 350u);
  EXPECT_EQ(plat::WaitForSingleObject(thread, 1000), plat::kWAIT_TIMEOUT);
  EXPECT_EQ(plat::GetTickCount64(), 1350u);
  EXPECT_EQ(plat::WaitForSingleObject(thread, plat::kINFINITE), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(wokeAt.load(), 30350u);
  EXPECT_EQ(plat::GetTickCount64(), 30350u);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  plat::CloseHandle(thread);
  plat::CloseHandle(event);
}

}  // namespace
