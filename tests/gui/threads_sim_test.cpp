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
  EXPECT_EQ(plat::WaitForSingleObject(event, 0), plat::kWAIT_TIMEOUT);  // auto-reset
  EXPECT_EQ(plat::WaitForSingleObject(thread, 1000), plat::kWAIT_TIMEOUT);
  EXPECT_EQ(plat::GetTickCount64(), 1350u);
  EXPECT_EQ(plat::WaitForSingleObject(thread, plat::kINFINITE), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(wokeAt.load(), 30350u);
  EXPECT_EQ(plat::GetTickCount64(), 30350u);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
  plat::CloseHandle(thread);
  plat::CloseHandle(event);
}

TEST(SimThreads, NamedEventsAndMappingsAreSharedUntilTheLastHandleCloses) {
  sim::ScopedMachine machine{sim::MachineBuilder()};
  const plat::Handle a = plat::CreateEventW(true, true, "VlxTestEvent");
  plat::SetLastError(0);
  const plat::Handle b = plat::CreateEventW(false, false, "VlxTestEvent");
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ALREADY_EXISTS);
  EXPECT_EQ(plat::WaitForSingleObject(b, 0), plat::kWAIT_OBJECT_0);  // still manual, set
  EXPECT_EQ(plat::OpenEventW("VlxNoSuchEvent"), 0u);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_FILE_NOT_FOUND);
  plat::CloseHandle(a);
  plat::CloseHandle(b);
  EXPECT_EQ(plat::OpenEventW("VlxTestEvent"), 0u);

  const plat::Handle map = plat::CreateFileMappingW("VlxTestMap", 64);
  auto* va = static_cast<uint32_t*>(plat::MapViewOfFile(map));
  ASSERT_NE(va, nullptr);
  EXPECT_EQ(va[0], 0u);
  va[0] = 7;
  const plat::Handle other = plat::OpenFileMappingW("VlxTestMap");
  auto* vb = static_cast<uint32_t*>(plat::MapViewOfFile(other));
  EXPECT_EQ(vb[0], 7u);
  EXPECT_TRUE(plat::UnmapViewOfFile(vb));
  EXPECT_FALSE(plat::UnmapViewOfFile(vb));
  EXPECT_EQ(plat::OpenFileMappingW("VlxNoSuchMap"), 0u);
  plat::CloseHandle(map);
  plat::CloseHandle(other);
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

}  // namespace
