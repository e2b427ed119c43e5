// Stand-in for the shell's desktop window (Explorer's "Progman"), which Wine does
// not have: a window of that class made the shell window with SetShellWindow, so
// that GetShellWindow names this process. Ends on WM_CLOSE or after its lifetime
// (exit code 0), or with exit code 2 when it cannot become the shell window.
//
//   shell_helper [lifetime ms]
#include <windows.h>

#include <cstdlib>

namespace {

LRESULT CALLBACK ShellProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER) ::DestroyWindow(hwnd);
  if (message == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  const UINT lifetime = argc > 1 ? static_cast<UINT>(std::atoi(argv[1])) : 120000;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = ShellProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"Progman";
  ::RegisterClassW(&windowClass);
  const HWND shell = ::CreateWindowExW(0, L"Progman", L"Program Manager", WS_POPUP, 0, 0, 1, 1,
                                       nullptr, nullptr, windowClass.hInstance, nullptr);
  using SetShell = BOOL(WINAPI*)(HWND);
  const auto setShellWindow = reinterpret_cast<SetShell>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetShellWindow")));
  if (!shell || !setShellWindow || !setShellWindow(shell)) return 2;
  ::SetTimer(shell, 1, lifetime, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0)
    ::DispatchMessageW(&msg);
  return 0;
}
