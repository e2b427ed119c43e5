// The command line, the shell, message boxes, run-time libraries and the end of
// the process on the real system.
#include <gtest/gtest.h>

#include <atomic>

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

TEST(ShellWin, MessageBoxAnswersTheButtonPressed) {
  const std::string caption = guitest::UniqueName("Velmora");
  std::atomic<bool> pressed{false};
  // Somebody presses OK once the box is up.
  const plat::Handle presser = plat::CreateThread([&] {
    for (int i = 0; i < 500 && !pressed; ++i) {
      const plat::Hwnd box = plat::FindWindowW(std::string("#32770"), caption);
      if (box && plat::IsWindowVisible(box)) {
        plat::PostMessageW(box, 0x0111 /* WM_COMMAND */, plat::kIDOK, 0);
        pressed = true;
      }
      plat::Sleep(20);
    }
  });
  ASSERT_NE(presser, 0u);
  EXPECT_EQ(
      plat::MessageBoxW(0, "An essential file is missing. Please reinstall Velmora and try again.",
                        caption, plat::kMB_OK | plat::kMB_ICONERROR),
      plat::kIDOK);
  EXPECT_TRUE(pressed);
  plat::WaitForSingleObject(presser, 10000);
  plat::CloseHandle(presser);
}

TEST(ShellWin, ExitProcessEndsAtOnceWithTheCode) {
  test::Sandbox box;
  HANDLE helper = guitest::StartHelper("seam_helper", "exit 7 \"" + box.Path("after.txt") + "\"");
  ASSERT_NE(helper, nullptr);
  EXPECT_EQ(guitest::FinishHelper(helper), 7);
  EXPECT_FALSE(box.Exists("after.txt"));
}

}  // namespace
