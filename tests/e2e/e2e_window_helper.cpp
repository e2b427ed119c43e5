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
#include <string>

#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"

namespace {

constexpr uintptr_t kLifetimeTimer = 1;
constexpr int kExitLifetime = 3;
constexpr uint32_t kDefaultLifetimeMs = 120000;

uint32_t Lifetime(const char* text) {
  return text ? static_cast<uint32_t>(std::atoi(text)) : kDefaultLifetimeMs;
}

int RunWindow(const std::string& className, const std::string& caption, const std::string& record,
              uint32_t lifetime) {
  int exitCode = 0;
  plat::WindowSpec layout;
  layout.className = className;
  layout.caption = caption;
  layout.x = 0;
  layout.y = 0;
  layout.width = 160;
  layout.height = 60;
  layout.toolWindow = true;
  plat::WindowProc proc = [&](plat::Hwnd hwnd, uint32_t message, uintptr_t wParam,
                              intptr_t lParam) -> intptr_t {
    if (message >= plat::kWM_USER || message == plat::kWM_CLOSE) {
      const bool sent = ::InSendMessage() != FALSE;
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
    std::fprintf(stderr, "e2e_window_helper: no window (error %u)\n", plat::GetLastError());
    return 1;
  }
  plat::SetTimer(hwnd, kLifetimeTimer, lifetime);
  plat::Message msg;
  while (plat::GetMessageW(msg))
    plat::DispatchMessageW(msg);
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && argc <= 3 && std::strcmp(argv[1], "wait") == 0) {
    ::Sleep(Lifetime(argc == 3 ? argv[2] : nullptr));
    return kExitLifetime;
  }
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr,
                 "usage: e2e_window_helper <class> <caption> <record file> [lifetime ms]\n"
                 "       e2e_window_helper wait [lifetime ms]\n");
    return 2;
  }
  return RunWindow(argv[1], argv[2], argv[3], Lifetime(argc == 5 ? argv[4] : nullptr));
}
