// Events, named mutexes and threads as Windows has them (both backends).
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/Gui.h"
#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

std::string UniqueName(const std::string& base) {
  return base + "_" + std::to_string(plat::GetCurrentProcessId());
}

TEST(KernelObjects, AutoResetEventIsTakenByOneWaitManualResetStaysSet) {
  test::Sandbox sandbox;
  const plat::Handle autoEvent = plat::CreateEventW(false, true, "");
  const plat::Handle manualEvent = plat::CreateEventW(true, true, "");
  ASSERT_NE(autoEvent, 0u);
  ASSERT_NE(manualEvent, 0u);
  EXPECT_EQ(plat::WaitForSingleObject(autoEvent, 0), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(autoEvent, 0), plat::kWAIT_TIMEOUT);
  EXPECT_EQ(plat::WaitForSingleObject(manualEvent, 0), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(manualEvent, 0), plat::kWAIT_OBJECT_0);
  EXPECT_TRUE(plat::SetEvent(autoEvent));
  EXPECT_EQ(plat::WaitForSingleObject(autoEvent, 0), plat::kWAIT_OBJECT_0);
  plat::CloseHandle(autoEvent);
  plat::CloseHandle(manualEvent);
}

TEST(KernelObjects, NamedMutexCreatedTwiceReportsAlreadyExists) {
  test::Sandbox sandbox;
  const std::string name = UniqueName("VlxKernelObjectsTestMutex");
  plat::SetLastError(0);
  const plat::Handle first = plat::CreateMutexW(name);
  ASSERT_NE(first, 0u);
  EXPECT_EQ(plat::GetLastError(), 0u);
  const plat::Handle second = plat::CreateMutexW(name);
  ASSERT_NE(second, 0u);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ALREADY_EXISTS);
  plat::CloseHandle(second);
  plat::CloseHandle(first);
}

TEST(KernelObjects, ThreadHandleIsSignalledWhenTheThreadEnds) {
  test::Sandbox sandbox;
  std::atomic<bool> ran{false};
  const plat::Handle started = plat::CreateEventW(true, false, "");
  const plat::Handle thread = plat::CreateThread([&] {
    plat::WaitForSingleObject(started, plat::kINFINITE);
    ran = true;
  });
  ASSERT_NE(thread, 0u);
  EXPECT_EQ(plat::WaitForSingleObject(thread, 0), plat::kWAIT_TIMEOUT);
  plat::SetEvent(started);
  EXPECT_EQ(plat::WaitForSingleObject(thread, 10000), plat::kWAIT_OBJECT_0);
  EXPECT_TRUE(ran.load());
  plat::CloseHandle(thread);
  plat::CloseHandle(started);
}

}  // namespace
