// Test double of the product's host and tray programs, for the end-to-end suite.
//
// Window mode: a top-level window of a given class and caption that writes every
// message it receives from WM_USER on, and WM_CLOSE, to a record file, one line
// per message:
//   <message> <wParam> <lParam> <sent|posted>
// (decimal numbers; "sent" when the message came through SendMessageW from
// another thread or process). Sent messages are answered with 1. WM_CLOSE is
// recorded and then closes the window (exit code 0); without a WM_CLOSE the helper
// ends by itself after its lifetime (exit code 3).
//
//   e2e_window_helper <class> <caption> <record file> [lifetime ms]
//
// Wait mode: no window; the process only waits out its lifetime and ends with exit
// code 3, so a test can tell a process that was ended from outside (exit code 0
// from the program's TerminateProcess) from one that ran out.
//
//   e2e_window_helper wait [lifetime ms]
//
// The executable carries the product's version resource (e2e_window_helper.rc), so
// its copies pass for "VlxMain.exe" and "VlxTray.exe" in the installation check.
#include <windows.h>
#undef DrawText

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/support/RecordingWindow.h"

namespace {

constexpr uint32_t kDefaultLifetimeMs = 120000;

uint32_t Lifetime(const char* text) {
  return text ? static_cast<uint32_t>(std::atoi(text)) : kDefaultLifetimeMs;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && argc <= 3 && std::strcmp(argv[1], "wait") == 0) {
    ::Sleep(Lifetime(argc == 3 ? argv[2] : nullptr));
    return test::kRecordingWindowLifetimeOver;
  }
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr,
                 "usage: e2e_window_helper <class> <caption> <record file> [lifetime ms]\n"
                 "       e2e_window_helper wait [lifetime ms]\n");
    return 2;
  }
  return test::RunRecordingWindow(argv[1], argv[2], argv[3],
                                  Lifetime(argc == 5 ? argv[4] : nullptr));
}
