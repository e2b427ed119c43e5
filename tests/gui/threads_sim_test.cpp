// Threads and waiting over the simulated machine: with a manual clock the machine's
// time moves only while every thread of the program waits, so tests of long waits
// run in milliseconds.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

TEST(SimThreads, SleepMovesTheManualClockByTheTimeSlept) {
  sim::ScopedMachine machine(sim::MachineBuilder().Tick(1000));
  plat::Sleep(30000);
  EXPECT_EQ(plat::GetTickCount64(), 31000u);
  plat::Sleep(0);
  EXPECT_EQ(plat::GetTickCount64(), 31000u);
}

TEST(SimThreads, ThreadHandleIsSignalledAtTheEndAndTimeWaitsForTheSlowestThread) {
  sim::ScopedMachine machine(sim::MachineBuilder().Tick(0));
  std::atomic<uint64_t> wokeAt{0};
  const auto started = std::chrono::steady_clock::now();
  const plat::Handle thread = plat::CreateThread([&] {
    plat::Sleep(30000);
    wokeAt = plat::GetTickCount64();
  });
  ASSERT_NE(thread, 0u);
  // The first wait times out on the machine clock while the thread still sleeps.
  EXPECT_EQ(plat::WaitForSingleObject(thread, 1000), plat::kWAIT_TIMEOUT);
  EXPECT_EQ(plat::GetTickCount64(), 1000u);
  EXPECT_EQ(plat::WaitForSingleObject(thread, plat::kINFINITE), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(wokeAt.load(), 30000u);
  EXPECT_EQ(plat::GetTickCount64(), 30000u);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  EXPECT_TRUE(plat::CloseHandle(thread));
}

TEST(SimThreads, EventWaitTimesOutOrWakesWhenAnotherThreadSetsIt) {
  sim::ScopedMachine machine(sim::MachineBuilder().Tick(0));
  const plat::Handle event = plat::CreateEventW(false, false, "");
  EXPECT_EQ(plat::WaitForSingleObject(event, 250), plat::kWAIT_TIMEOUT);
  EXPECT_EQ(plat::GetTickCount64(), 250u);

  const plat::Handle setter = plat::CreateThread([&] {
    plat::Sleep(100);
    plat::SetEvent(event);
  });
  EXPECT_EQ(plat::WaitForSingleObject(event, 5000), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::GetTickCount64(), 350u);
  // Auto-reset: the wait took the signal.
  EXPECT_EQ(plat::WaitForSingleObject(event, 0), plat::kWAIT_TIMEOUT);
  EXPECT_EQ(plat::WaitForSingleObject(setter, plat::kINFINITE), plat::kWAIT_OBJECT_0);
  plat::CloseHandle(setter);
  plat::CloseHandle(event);
}

TEST(SimThreads, ManualResetAndNamedEvents) {
  sim::ScopedMachine machine{sim::MachineBuilder()};
  plat::SetLastError(0);
  const plat::Handle a = plat::CreateEventW(true, true, "VlxTestEvent");
  EXPECT_EQ(plat::GetLastError(), 0u);
  const plat::Handle b = plat::CreateEventW(false, false, "VlxTestEvent");
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ALREADY_EXISTS);
  const plat::Handle c = plat::OpenEventW("VlxTestEvent");
  ASSERT_NE(c, 0u);
  // The existing event keeps its manual reset and state.
  EXPECT_EQ(plat::WaitForSingleObject(b, 0), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(c, 0), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::OpenEventW("VlxNoSuchEvent"), 0u);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_FILE_NOT_FOUND);
  for (plat::Handle h : {a, b, c})
    plat::CloseHandle(h);
  // Once every handle is closed the name is gone.
  EXPECT_EQ(plat::OpenEventW("VlxTestEvent"), 0u);
}

TEST(SimThreads, NamedMappingIsSharedAndStartsZeroed) {
  sim::ScopedMachine machine{sim::MachineBuilder()};
  const plat::Handle a = plat::CreateFileMappingW("VlxTestMap", 64);
  ASSERT_NE(a, 0u);
  auto* va = static_cast<uint32_t*>(plat::MapViewOfFile(a));
  ASSERT_NE(va, nullptr);
  EXPECT_EQ(va[0], 0u);
  va[0] = 7;
  const plat::Handle b = plat::OpenFileMappingW("VlxTestMap");
  auto* vb = static_cast<uint32_t*>(plat::MapViewOfFile(b));
  ASSERT_NE(vb, nullptr);
  EXPECT_EQ(vb[0], 7u);
  EXPECT_TRUE(plat::UnmapViewOfFile(vb));
  EXPECT_FALSE(plat::UnmapViewOfFile(vb));
  EXPECT_EQ(plat::OpenFileMappingW("VlxNoSuchMap"), 0u);
  plat::CloseHandle(a);
  plat::CloseHandle(b);
}

TEST(SimThreadsDeathTest, EveryThreadWaitingWithoutTimeOutIsADeadlock) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        sim::ScopedMachine machine{sim::MachineBuilder()};
        const plat::Handle never = plat::CreateEventW(true, false, "VlxNeverSet");
        const plat::Handle t =
            plat::CreateThread([never] { plat::WaitForSingleObject(never, plat::kINFINITE); });
        plat::WaitForSingleObject(t, plat::kINFINITE);
      },
      "deadlock(.|\n)*event \"VlxNeverSet\"");
}

TEST(SimThreads, RealClockWaitsTakeRealTime) {
  sim::ScopedMachine machine(
      sim::MachineBuilder().With([](sim::Machine& m) { m.manualClock = false; }));
  const plat::Handle event = plat::CreateEventW(true, false, "");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(plat::WaitForSingleObject(event, 30), plat::kWAIT_TIMEOUT);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));
  plat::CloseHandle(event);
}

}  // namespace
