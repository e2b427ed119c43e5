// Win32 backend: the windows of other programs (enumeration, class names, titles,
// rectangles, child windows) and the clipboard.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <string>
#include <vector>

#include "platform/win32/Wide.h"
// windows.h maps DrawText to DrawTextW; the seam's display-list record has that name.
#undef DrawText
#include "platform/Gui.h"

namespace plat {
namespace {

HWND ToHwnd(Hwnd hwnd) {
  return reinterpret_cast<HWND>(hwnd);
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM list) {
  reinterpret_cast<std::vector<Hwnd>*>(list)->push_back(reinterpret_cast<Hwnd>(hwnd));
  return TRUE;
}

}  // namespace

bool EnumWindows(const std::function<bool(Hwnd)>& visit) {
  // Collected first, so that the visitor may call back into the window functions freely.
  std::vector<Hwnd> handles;
  if (!::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&handles))) return false;
  for (Hwnd h : handles)
    if (!visit(h)) break;
  return true;
}

bool IsWindow(Hwnd hwnd) {
  return ::IsWindow(ToHwnd(hwnd)) != FALSE;
}

std::string GetClassNameW(Hwnd hwnd, int capacity) {
  if (capacity <= 0) return {};
  std::wstring buffer(static_cast<size_t>(capacity), L'\0');
  const int n = ::GetClassNameW(ToHwnd(hwnd), buffer.data(), capacity);
  return n > 0 ? win32::Narrow(buffer.data(), static_cast<size_t>(n)) : std::string();
}

std::string GetWindowTextW(Hwnd hwnd, int capacity) {
  if (capacity <= 0) return {};
  std::wstring buffer(static_cast<size_t>(capacity), L'\0');
  const int n = ::GetWindowTextW(ToHwnd(hwnd), buffer.data(), capacity);
  return n > 0 ? win32::Narrow(buffer.data(), static_cast<size_t>(n)) : std::string();
}

bool GetWindowRect(Hwnd hwnd, Rect& rect) {
  RECT r{};
  rect = Rect{};
  if (!::GetWindowRect(ToHwnd(hwnd), &r)) return false;
  rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

Hwnd FindWindowExW(Hwnd parent, Hwnd childAfter, const std::optional<std::string>& className,
                   const std::optional<std::string>& caption) {
  const std::wstring wideClass = className ? win32::Widen(*className) : std::wstring();
  const std::wstring wideCaption = caption ? win32::Widen(*caption) : std::wstring();
  return reinterpret_cast<Hwnd>(::FindWindowExW(ToHwnd(parent), ToHwnd(childAfter),
                                                className ? wideClass.c_str() : nullptr,
                                                caption ? wideCaption.c_str() : nullptr));
}

bool OpenClipboard(Hwnd owner) {
  return ::OpenClipboard(ToHwnd(owner)) != FALSE;
}

bool EmptyClipboard() {
  return ::EmptyClipboard() != FALSE;
}

bool CloseClipboard() {
  return ::CloseClipboard() != FALSE;
}

}  // namespace plat
