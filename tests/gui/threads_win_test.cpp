// Threads and named kernel objects on the real system, across two processes (what
// both backends do alike is in kernel_objects_test.cpp).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
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

TEST(ThreadsWin, NamedAutoResetEventIsSharedAndLetsOneWaiterThrough) {
  const std::string name = guitest::UniqueName("VlxGuiTest_Event");
  plat::SetLastError(0);
  const plat::Handle first = plat::CreateEventW(false, true, name);
  ASSERT_NE(first, 0u);
  EXPECT_EQ(plat::GetLastError(), 0u);
  const plat::Handle second = plat::CreateEventW(false, true, name);
  ASSERT_NE(second, 0u);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ALREADY_EXISTS);
  const plat::Handle opened = plat::OpenEventW(name);
  ASSERT_NE(opened, 0u);

  // Created signalled; the first wait takes the signal, the next one times out.
  EXPECT_EQ(plat::WaitForSingleObject(opened, 0), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(first, 0), plat::kWAIT_TIMEOUT);
  EXPECT_TRUE(plat::SetEvent(second));
  EXPECT_EQ(plat::WaitForSingleObject(first, 0), plat::kWAIT_OBJECT_0);
  EXPECT_EQ(plat::WaitForSingleObject(opened, 20), plat::kWAIT_TIMEOUT);

  for (plat::Handle h : {first, second, opened})
    plat::CloseHandle(h);
  EXPECT_EQ(plat::OpenEventW(name), 0u) << "gone with its last handle";
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_FILE_NOT_FOUND);
}

TEST(ThreadsWin, NamedMutexIsSeenByAnotherProcessWhileAHandleIsOpen) {
  const std::string name = guitest::UniqueName("VlxGuiTest_Mutex");
  plat::SetLastError(0);
  const plat::Handle mutex = plat::CreateMutexW(name);
  ASSERT_NE(mutex, 0u);

  // Another process sees it while this one holds a handle, and not after.
  EXPECT_EQ(guitest::FinishHelper(guitest::StartHelper("seam_helper", "mutex " + name)), 183);
  plat::CloseHandle(mutex);
  EXPECT_EQ(guitest::FinishHelper(guitest::StartHelper("seam_helper", "mutex " + name)), 0);
}

TEST(ThreadsWin, NamedMappingOf1028BytesIsSeenByAnotherProcess) {
  test::Sandbox box;
  const std::string mappingName = "Global\\" + guitest::UniqueName("VlxGuiTest_Map");
  const std::string eventName = guitest::UniqueName("VlxGuiTest_MapLock");
  EXPECT_EQ(plat::OpenFileMappingW(mappingName), 0u);

  const plat::Handle lock = plat::CreateEventW(false, false, eventName);
  ASSERT_NE(lock, 0u);
  plat::SetLastError(0);
  const plat::Handle mapping = plat::CreateFileMappingW(mappingName, 1028);
  ASSERT_NE(mapping, 0u);
  EXPECT_EQ(plat::GetLastError(), 0u);
  auto* view = static_cast<uint32_t*>(plat::MapViewOfFile(mapping));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[0], 0u) << "a new mapping is zero-filled";
  view[0] = 2;
  view[1] = 4242;
  view[2] = 77;
  view[256] = 0xA5A5A5A5u;  // the last of the 1028 bytes are usable

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
  EXPECT_EQ(view[256], 0xA5A5A5A5u);

  // A second create of the same name opens the same memory.
  const plat::Handle same = plat::CreateFileMappingW(mappingName, 1028);
  ASSERT_NE(same, 0u);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ALREADY_EXISTS);
  const plat::Handle opened = plat::OpenFileMappingW(mappingName);
  ASSERT_NE(opened, 0u);
  auto* other = static_cast<uint32_t*>(plat::MapViewOfFile(opened));
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other[3], helperPid);
  EXPECT_TRUE(plat::UnmapViewOfFile(other));
  EXPECT_TRUE(plat::UnmapViewOfFile(view));
  EXPECT_FALSE(plat::UnmapViewOfFile(view)) << "already released";
  for (plat::Handle h : {same, opened, mapping, lock})
    plat::CloseHandle(h);
  EXPECT_EQ(plat::OpenFileMappingW(mappingName), 0u);
}

}  // namespace
