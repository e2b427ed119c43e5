// Threads on the real system (what both backends do alike with named objects is in
// kernel_objects_test.cpp; the single-instance mutex across two copies of the program:
// the end-to-end suite).
#include <gtest/gtest.h>

#include <exception>
#include <stdexcept>

#include "tests/gui/win_test_helper.h"

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

}  // namespace
