#include "tests/support/RecordingWindow.h"

#ifdef _WIN32
#include <windows.h>
#undef DrawText
#endif

#include <cstdio>

#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"

namespace test {

namespace {

constexpr uintptr_t kLifetimeTimer = 1;

bool WasSent() {
#ifdef _WIN32
  return ::InSendMessage() != FALSE;
#else
  return false;
#endif
}

}  // namespace

int RunRecordingWindow(const std::string& className, const std::string& caption,
                       const std::string& recordFile, uint32_t lifetimeMs) {
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
      const bool sent = WasSent();
      fileutil::AppendFileBytes(recordFile, std::to_string(message) + " " + std::to_string(wParam) +
                                                " " + std::to_string(lParam) +
                                                (sent ? " sent\n" : " posted\n"));
      if (message == plat::kWM_CLOSE) {
        plat::DestroyWindow(hwnd);
        return 0;
      }
      return 1;
    }
    if (message == plat::kWM_TIMER && wParam == kLifetimeTimer) {
      exitCode = kRecordingWindowLifetimeOver;
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
    std::fprintf(stderr, "no window (error %u)\n", plat::GetLastError());
    return 1;
  }
  plat::SetTimer(hwnd, kLifetimeTimer, lifetimeMs);
  plat::Message msg;
  while (plat::GetMessageW(msg))
    plat::DispatchMessageW(msg);
  return exitCode;
}

}  // namespace test
