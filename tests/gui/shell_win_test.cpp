// The shell and run-time libraries on the real system (the command line, message boxes
// and the end of the process: the end-to-end suite).
#include <gtest/gtest.h>

#include "tests/gui/win_test_helper.h"
#include "tests/support/Sandbox.h"

namespace {

TEST(ShellWin, LibrariesLoadResolveAndFail) {
  EXPECT_EQ(plat::LoadLibraryW("vlx_no_such_library.dll"), 0u);
  EXPECT_EQ(plat::GetLastError(), 126u);  // ERROR_MOD_NOT_FOUND

  const plat::Module kernel32 = plat::LoadLibraryW("kernel32.dll");
  ASSERT_NE(kernel32, 0u);
  void* tick = plat::GetProcAddress(kernel32, "GetTickCount");
  ASSERT_NE(tick, nullptr);
  EXPECT_GT(reinterpret_cast<DWORD(WINAPI*)()>(tick)(), 0u);
  EXPECT_EQ(plat::GetProcAddress(kernel32, "VlxNoSuchFunction"), nullptr);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(plat::FreeLibrary(kernel32));
}

TEST(ShellWin, ShellExecuteStartsAProgramInItsFolder) {
  test::Sandbox box;
  EXPECT_GT(plat::ShellExecuteW(0, "open", guitest::HelperPath("seam_helper"), "cwd seen.txt",
                                box.dir(), plat::kSW_SHOWNORMAL),
            32);
  // The relative file landed in the working folder given.
  EXPECT_TRUE(guitest::PumpUntil(
      [&] { return box.Exists("seen.txt") && box.Read("seen.txt") == "here"; }, 10000));
  EXPECT_LE(plat::ShellExecuteW(0, "open", box.Path("missing.exe"), "", "", plat::kSW_SHOWNORMAL),
            32);
}

}  // namespace
