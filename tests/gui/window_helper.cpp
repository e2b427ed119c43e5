// Test helper: a top-level window of a given class and caption that writes every
// message it receives from WM_USER on, and WM_CLOSE, to a record file, one line
// per message:
//   <message> <wParam> <lParam> <sent|posted>
// (decimal numbers; "sent" when the message came through SendMessageW from
// another thread or process). Sent messages are answered with 1.
//
// WM_CLOSE is recorded and then closes the window; the helper ends with exit code 0.
// When no WM_CLOSE has come after <lifetime ms> (default 30000) it ends by itself
// with exit code 3, so a failed test never leaves it behind.
//
//   window_helper <class> <caption> <record file> [lifetime ms]
//
// It stands in for another program's window: the host's main window and the tray
// program's window are found by class and caption and told things by messages.
#include <cstdio>
#include <cstdlib>

#include "tests/support/RecordingWindow.h"

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: window_helper <class> <caption> <record file> [lifetime ms]\n");
    return 2;
  }
  const uint32_t lifetime = argc == 5 ? static_cast<uint32_t>(std::atoi(argv[4])) : 30000;
  return test::RunRecordingWindow(argv[1], argv[2], argv[3], lifetime);
}
