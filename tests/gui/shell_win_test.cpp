// The command line, the shell and run-time libraries on the real system (message
// boxes and the end of the process: the end-to-end suite).
#include <gtest/gtest.h>

#include "tests/gui/win_test_helper.h"
#include "tests/support/Sandbox.h"

namespace {

TEST(ShellWin, CommandLineNamesTheProgram) {
  const std::string line = plat::GetCommandLineW();
  EXPECT_NE(line.find("vlx_gui_tests"), std::string::npos) << line;
}

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
  const std::string className = guitest::UniqueName("VlxGuiTest.Shell");
  const std::string helper = guitest::HelperPath("window_helper");
  const intptr_t started = plat::ShellExecuteW(
      0, "open", helper, className + " Tray record.txt 20000", box.dir(), plat::kSW_SHOWNORMAL);
  EXPECT_GT(started, 32);
  const plat::Hwnd hwnd = guitest::WaitForWindow(className, std::string("Tray"));
  ASSERT_NE(hwnd, 0u);
  EXPECT_TRUE(plat::PostMessageW(hwnd, 1027, 0, 123));
  EXPECT_TRUE(plat::PostMessageW(hwnd, plat::kWM_CLOSE, 0, 0));
  EXPECT_TRUE(
      guitest::PumpUntil([&] { return plat::FindWindowW(className, std::nullopt) == 0; }, 10000));
  // The relative record file landed in the working folder given.
  EXPECT_TRUE(guitest::PumpUntil([&] { return box.Exists("record.txt"); }, 2000));
  EXPECT_EQ(box.Read("record.txt"), "1027 0 123 posted\n16 0 0 posted\n");

  const intptr_t missing =
      plat::ShellExecuteW(0, "open", box.Path("missing.exe"), "", "", plat::kSW_SHOWNORMAL);
  EXPECT_LE(missing, 32);
}

}  // namespace
