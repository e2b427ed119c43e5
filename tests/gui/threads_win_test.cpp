// Threads and named kernel objects on the real system, across two processes (what
// both backends do alike is in kernel_objects_test.cpp; the single-instance mutex across
// two copies of the program: the end-to-end suite).
#include <gtest/gtest.h>

#include <exception>
#include <stdexcept>

#include "tests/gui/win_test_helper.h"
#include "tests/support/Sandbox.h"

namespace {

TEST(ThreadsWin, AnErrorInTheBodyGoesToTheTerminateHandler) {
  // A handler that ends only the failing thread, with a code that says it ran.
  const std::terminate_handler previous = std::set_terminate([] { ::ExitThread(7); });
  const plat::Handle thread = plat::CreateThread([] { throw std::runtime_error("module failed"); });
  ASSERT_NE(thread, 0u);
  ASSERT_EQ(plat::WaitForSingleObject(thread, 10000), plat::kWAIT_OBJECT_0);
  std::set_terminate(previous);
  DWORD code = 99;
  ASSERT_TRUE(::GetExitCodeThread(reinterpret_cast<HANDLE>(thread), &code));
  EXPECT_EQ(code, 7u);
  plat::CloseHandle(thread);
}

// The host's list of game processes: a global mapping guarded by a named event.
TEST(ThreadsWin, NamedMappingIsSeenByAnotherProcess) {
  test::Sandbox box;
  const std::string mappingName = "Global\\" + guitest::UniqueName("VlxGuiTest_Map");
  const std::string eventName = guitest::UniqueName("VlxGuiTest_MapLock");
  const plat::Handle lock = plat::CreateEventW(false, false, eventName);
  const plat::Handle mapping = plat::CreateFileMappingW(mappingName, 1028);
  auto* view = static_cast<uint32_t*>(plat::MapViewOfFile(mapping));
  ASSERT_NE(view, nullptr);
  view[0] = 2;
  view[1] = 4242;
  view[2] = 77;

  HANDLE helper = guitest::StartHelper("seam_helper", "mapping " + mappingName + " " + eventName +
                                                          " \"" + box.Path("seen.txt") + "\"");
  ASSERT_NE(helper, nullptr);
  const DWORD helperPid = ::GetProcessId(helper);
  ASSERT_TRUE(plat::SetEvent(lock));  // the helper may go on
  EXPECT_EQ(guitest::FinishHelper(helper), 0);
  EXPECT_EQ(box.Read("seen.txt"), "2 4242 77");
  EXPECT_EQ(plat::WaitForSingleObject(lock, 1000), plat::kWAIT_OBJECT_0) << "signalled again";
  EXPECT_EQ(view[0], 3u);
  EXPECT_EQ(view[3], helperPid);
  plat::UnmapViewOfFile(view);
  plat::CloseHandle(mapping);
  plat::CloseHandle(lock);
}

}  // namespace
