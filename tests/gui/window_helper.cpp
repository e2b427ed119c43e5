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
#ifdef _WIN32
#include <windows.h>
#undef DrawText
#endif

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"

namespace {

constexpr uintptr_t kLifetimeTimer = 1;
constexpr int kExitLifetime = 3;

bool WasSent() {
#ifdef _WIN32
  return ::InSendMessage() != FALSE;
#else
  return false;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr, "usage: window_helper <class> <caption> <record file> [lifetime ms]\n");
    return 2;
  }
  const std::string record = argv[3];
  const uint32_t lifetime = argc == 5 ? static_cast<uint32_t>(std::atoi(argv[4])) : 30000;

  int exitCode = 0;
  plat::WindowSpec layout;
  layout.className = argv[1];
  layout.caption = argv[2];
  layout.x = 0;
  layout.y = 0;
  layout.width = 160;
  layout.height = 60;
  layout.toolWindow = true;
  plat::WindowProc proc = [&](plat::Hwnd hwnd, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) -> intptr_t {
    if (message >= plat::kWM_USER || message == plat::kWM_CLOSE) {
      const bool sent = WasSent();
      fileutil::AppendFileBytes(record, std::to_string(message) + " " + std::to_string(wParam) +
                                            " " + std::to_string(lParam) +
                                            (sent ? " sent\n" : " posted\n"));
      if (message == plat::kWM_CLOSE) {
        plat::DestroyWindow(hwnd);
        return 0;
      }
      return 1;
    }
    if (message == plat::kWM_TIMER && wParam == kLifetimeTimer) {
      exitCode = kExitLifetime;
      plat::DestroyWindow(hwnd);
      return 0;
    }
    if (message == plat::kWM_DESTROY) {
      plat::PostQuitMessage(0);
      return 0;
    }
    return plat::DefaultWindowProc(hwnd, message, wParam, lParam);
  };
  const plat::Hwnd hwnd = plat::CreateAppWindow(layout, proc);
  if (!hwnd) {
    std::fprintf(stderr, "window_helper: no window (error %u)\n", plat::GetLastError());
    return 1;
  }
  plat::SetTimer(hwnd, kLifetimeTimer, lifetime);
  plat::Message msg;
  while (plat::GetMessageW(msg))
    plat::DispatchMessageW(msg);
  return exitCode;
}
