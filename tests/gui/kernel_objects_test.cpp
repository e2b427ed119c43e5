// Events, named mutexes and mappings as Windows has them (both backends).
#include <gtest/gtest.h>

#include <string>

#include "platform/Gui.h"
#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

TEST(KernelObjects, AutoResetEventIsTakenByOneWaitManualResetStaysSet) {
  test::Sandbox sandbox;
  const plat::Handle autoEvent = plat::CreateEventW(false, true, "");
  const plat::Handle manualEvent = plat::CreateEventW(true, true, "");
  EXPECT_EQ(plat::WaitForSingleObject(autoEvent, 0), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(autoEvent, 0), plat::kWAIT_TIMEOUT);
  EXPECT_EQ(plat::WaitForSingleObject(manualEvent, 0), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(manualEvent, 0), plat::kWAIT_OBJECT_0);
  EXPECT_TRUE(plat::SetEvent(autoEvent));
  EXPECT_EQ(plat::WaitForSingleObject(autoEvent, 0), plat::kWAIT_OBJECT_0);
  plat::CloseHandle(autoEvent);
  plat::CloseHandle(manualEvent);
}

// A second create of a name opens the first object (ERROR_ALREADY_EXISTS); the name is
// gone with its last handle.
TEST(KernelObjects, NamedObjectsAreSharedUntilTheLastHandleCloses) {
  test::Sandbox sandbox;
  const std::string pid = std::to_string(plat::GetCurrentProcessId());
  const std::string event = "VlxKernelObjectsEvent_" + pid, mutex = "VlxKernelObjectsMutex_" + pid;
  const std::string map = "Global\\VlxKernelObjectsMap_" + pid;  // as the host's list
  plat::SetLastError(0);
  const plat::Handle a = plat::CreateEventW(true, true, event);
  EXPECT_EQ(plat::GetLastError(), 0u);
  const plat::Handle b = plat::CreateEventW(false, false, event);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ALREADY_EXISTS);
  EXPECT_EQ(plat::WaitForSingleObject(b, 0), plat::kWAIT_OBJECT_0);  // still manual, set
  const plat::Handle m1 = plat::CreateMutexW(mutex);
  const plat::Handle m2 = plat::CreateMutexW(mutex);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ALREADY_EXISTS);
  for (plat::Handle h : {a, b, m1, m2})
    plat::CloseHandle(h);
  EXPECT_EQ(plat::OpenEventW(event), 0u);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_FILE_NOT_FOUND);

  const plat::Handle mapping = plat::CreateFileMappingW(map, 1028);
  auto* view = static_cast<uint32_t*>(plat::MapViewOfFile(mapping));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[0], 0u) << "a new mapping is zero-filled";
  view[256] = 7;  // the last of the 1028 bytes are usable
  const plat::Handle other = plat::OpenFileMappingW(map);
  auto* same = static_cast<uint32_t*>(plat::MapViewOfFile(other));
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(same[256], 7u);
  EXPECT_TRUE(plat::UnmapViewOfFile(same));
  EXPECT_FALSE(plat::UnmapViewOfFile(same)) << "already released";
  plat::UnmapViewOfFile(view);  // the sim hands out one address for every view
  plat::CloseHandle(mapping);
  plat::CloseHandle(other);
  EXPECT_EQ(plat::OpenFileMappingW(map), 0u);
}

}  // namespace
