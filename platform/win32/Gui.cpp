// Win32 backend: windows and their procedures, messages, timers, the message loop,
// foreground handling, GDI painting of a window's display list, screen facts, the
// run-time DPI functions and the process's GUI resources.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/win32/Wide.h"
// windows.h maps DrawText to DrawTextW; the seam's display-list record has that name.
#undef DrawText
#include "platform/Gui.h"

namespace plat {

using win32::Widen;

namespace {

HWND ToHwnd(Hwnd hwnd) {
  return reinterpret_cast<HWND>(hwnd);
}
Hwnd FromHwnd(HWND hwnd) {
  return reinterpret_cast<Hwnd>(hwnd);
}

// What the program attached to one of its windows.
struct WindowData {
  WindowProc proc;
  COLORREF background = 0;
  std::mutex contentLock;  // SetWindowContent may run on another thread than the painting
  WindowContent content;
};

// The windows this program created, by handle. The procedure of a window runs on a
// copy of its shared pointer, so destroying the window inside its own procedure
// leaves the running procedure intact.
std::mutex gWindowsLock;
std::map<HWND, std::shared_ptr<WindowData>> gWindows;
std::set<std::wstring> gRegisteredClasses;

std::shared_ptr<WindowData> FindWindowData(HWND hwnd) {
  std::lock_guard<std::mutex> lock(gWindowsLock);
  auto it = gWindows.find(hwnd);
  return it == gWindows.end() ? nullptr : it->second;
}

HFONT MakeFont(const std::string& name, int height) {
  return ::CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, Widen(name).c_str());
}

// Draws the display list into dc (client coordinates).
void DrawContent(HDC dc, const RECT& client, COLORREF background, const WindowContent& content) {
  HBRUSH back = ::CreateSolidBrush(background);
  ::FillRect(dc, &client, back);
  ::DeleteObject(back);
  for (const DrawRect& r : content.rects) {
    if (r.width <= 0 || r.height <= 0) continue;
    RECT box{r.left, r.top, r.left + r.width, r.top + r.height};
    HBRUSH brush = ::CreateSolidBrush(r.color);
    ::FillRect(dc, &box, brush);
    ::DeleteObject(brush);
  }
  ::SetBkMode(dc, TRANSPARENT);
  for (const DrawText& t : content.texts) {
    if (t.text.empty()) continue;
    HFONT font = MakeFont(t.fontName, t.fontHeight);
    HGDIOBJ old = ::SelectObject(dc, font);
    ::SetTextColor(dc, t.color);
    RECT box{t.left, t.top, t.left + t.width, t.top + t.height};
    std::wstring text = Widen(t.text);
    UINT format = DT_LEFT | DT_TOP | DT_NOPREFIX;
    format |= t.wordBreak ? DT_WORDBREAK : DT_SINGLELINE;
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &box, format);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
  }
}

// WM_PAINT of a window of this program: the display list drawn into a memory
// bitmap, then copied to the window in one go.
void PaintWindow(HWND hwnd, WindowData& data) {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd, &ps);
  if (!dc) return;
  RECT client;
  ::GetClientRect(hwnd, &client);
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (width > 0 && height > 0) {
    WindowContent content;
    {
      std::lock_guard<std::mutex> lock(data.contentLock);
      content = data.content;
    }
    HDC memory = ::CreateCompatibleDC(dc);
    HBITMAP bitmap = memory ? ::CreateCompatibleBitmap(dc, width, height) : nullptr;
    if (bitmap) {
      HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap);
      DrawContent(memory, client, data.background, content);
      ::BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
      ::SelectObject(memory, oldBitmap);
      ::DeleteObject(bitmap);
    } else {
      DrawContent(dc, client, data.background, content);  // no memory for a buffer
    }
    if (memory) ::DeleteDC(memory);
  }
  ::EndPaint(hwnd, &ps);
}

LRESULT CALLBACK WindowThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  std::shared_ptr<WindowData> data;
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* handed = static_cast<std::shared_ptr<WindowData>*>(create->lpCreateParams);
    if (handed) {
      data = *handed;
      std::lock_guard<std::mutex> lock(gWindowsLock);
      gWindows[hwnd] = data;
    }
  } else {
    data = FindWindowData(hwnd);
  }
  if (!data || !data->proc) return ::DefWindowProcW(hwnd, message, wParam, lParam);

  const LRESULT result = data->proc(FromHwnd(hwnd), message, wParam, static_cast<intptr_t>(lParam));
  if (message == WM_PAINT && ::GetUpdateRect(hwnd, nullptr, FALSE)) {
    // The procedure took WM_PAINT without painting: draw the display list, or the
    // window would be asked to paint again and again.
    PaintWindow(hwnd, *data);
  } else if (message == WM_NCDESTROY) {
    std::lock_guard<std::mutex> lock(gWindowsLock);
    gWindows.erase(hwnd);
  }
  return result;
}

bool RegisterWindowClass(const std::wstring& className, const WindowSpec& layout) {
  std::lock_guard<std::mutex> lock(gWindowsLock);
  if (gRegisteredClasses.count(className)) return true;
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc;
  ZeroMemory(&wc, sizeof wc);
  wc.cbSize = sizeof wc;
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = WindowThunk;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = ::CreateSolidBrush(layout.backgroundColor);
  if (!layout.iconResource.empty()) {
    // A missing resource leaves the default icon.
    wc.hIcon = ::LoadIconW(instance, Widen(layout.iconResource).c_str());
    wc.hIconSm = wc.hIcon;
  }
  wc.lpszClassName = className.c_str();
  if (!::RegisterClassExW(&wc)) {
    const DWORD error = ::GetLastError();
    if (wc.hbrBackground) ::DeleteObject(wc.hbrBackground);
    if (error != ERROR_CLASS_ALREADY_EXISTS) {
      ::SetLastError(error);
      return false;
    }
  }
  gRegisteredClasses.insert(className);
  return true;
}

template <typename Fn>
Fn ModuleFunction(const wchar_t* module, const char* name, bool load) {
  HMODULE handle = ::GetModuleHandleW(module);
  if (!handle && load) handle = ::LoadLibraryW(module);
  if (!handle) return nullptr;
  // Through void(*)() so the compiler accepts the change of function type.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(handle, name)));
}

using IsProcessDPIAwareFn = BOOL(WINAPI*)();
using SetProcessDPIAwareFn = BOOL(WINAPI*)();
using GetProcessDpiAwarenessFn = HRESULT(WINAPI*)(HANDLE, int*);
using SetProcessDpiAwarenessFn = HRESULT(WINAPI*)(int);

}  // namespace

// ---------------------------------------------------------------- windows

intptr_t DefaultWindowProc(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HWND window = ToHwnd(hwnd);
  if (message == WM_PAINT || message == WM_ERASEBKGND) {
    if (std::shared_ptr<WindowData> data = FindWindowData(window)) {
      if (message == WM_PAINT) PaintWindow(window, *data);
      return 1;  // WM_ERASEBKGND: the paint fills the background itself
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

Hwnd CreateAppWindow(const WindowSpec& layout, WindowProc proc) {
  const std::wstring className = Widen(layout.className);
  if (className.empty() || !RegisterWindowClass(className, layout)) return 0;
  auto data = std::make_shared<WindowData>();
  data->proc = std::move(proc);
  data->background = layout.backgroundColor;
  DWORD exStyle = 0;
  if (layout.topMost) exStyle |= WS_EX_TOPMOST;
  if (layout.toolWindow) exStyle |= WS_EX_TOOLWINDOW;
  const DWORD style = layout.popup ? WS_POPUP : WS_OVERLAPPEDWINDOW;
  HWND hwnd = ::CreateWindowExW(exStyle, className.c_str(), Widen(layout.caption).c_str(), style,
                                layout.x, layout.y, layout.width, layout.height, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), &data);
  if (!hwnd) {
    // A refused creation may leave the entry made at WM_NCCREATE behind.
    win32::KeepLastError keep;
    std::lock_guard<std::mutex> lock(gWindowsLock);
    for (auto it = gWindows.begin(); it != gWindows.end();) {
      it = it->second == data ? gWindows.erase(it) : std::next(it);
    }
    return 0;
  }
  if (!layout.iconResource.empty()) {
    win32::KeepLastError keep;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (HICON icon = ::LoadIconW(instance, Widen(layout.iconResource).c_str())) {
      ::SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
      ::SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
  }
  return FromHwnd(hwnd);
}

bool DestroyWindow(Hwnd hwnd) {
  return ::DestroyWindow(ToHwnd(hwnd)) != FALSE;
}

Hwnd FindWindowW(const std::optional<std::string>& className,
                 const std::optional<std::string>& caption) {
  std::wstring wideClass = className ? Widen(*className) : std::wstring();
  std::wstring wideCaption = caption ? Widen(*caption) : std::wstring();
  return FromHwnd(::FindWindowW(className ? wideClass.c_str() : nullptr,
                                caption ? wideCaption.c_str() : nullptr));
}

intptr_t SendMessageW(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return ::SendMessageW(ToHwnd(hwnd), message, wParam, lParam);
}

bool PostMessageW(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return ::PostMessageW(ToHwnd(hwnd), message, wParam, lParam) != FALSE;
}

uintptr_t SetTimer(Hwnd hwnd, uintptr_t id, uint32_t intervalMs) {
  return ::SetTimer(ToHwnd(hwnd), id, intervalMs, nullptr);
}

bool KillTimer(Hwnd hwnd, uintptr_t id) {
  return ::KillTimer(ToHwnd(hwnd), id) != FALSE;
}

namespace {
void FromMsg(const MSG& msg, Message& out) {
  out.hwnd = FromHwnd(msg.hwnd);
  out.message = msg.message;
  out.wParam = msg.wParam;
  out.lParam = msg.lParam;
}
}  // namespace

bool GetMessageW(Message& msg) {
  MSG m;
  ZeroMemory(&m, sizeof m);
  const BOOL result = ::GetMessageW(&m, nullptr, 0, 0);
  if (result == -1) {  // invalid arguments: end the loop rather than spin
    msg = Message{};
    return false;
  }
  FromMsg(m, msg);
  return result != 0;
}

bool PeekMessageW(Message& msg) {
  MSG m;
  ZeroMemory(&m, sizeof m);
  if (!::PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) return false;
  FromMsg(m, msg);
  return true;
}

void DispatchMessageW(const Message& msg) {
  MSG m;
  ZeroMemory(&m, sizeof m);
  m.hwnd = ToHwnd(msg.hwnd);
  m.message = msg.message;
  m.wParam = msg.wParam;
  m.lParam = msg.lParam;
  m.time = static_cast<DWORD>(::GetMessageTime());
  const DWORD pos = ::GetMessagePos();
  m.pt.x = static_cast<short>(LOWORD(pos));
  m.pt.y = static_cast<short>(HIWORD(pos));
  ::TranslateMessage(&m);
  ::DispatchMessageW(&m);
}

void PostQuitMessage(int exitCode) {
  ::PostQuitMessage(exitCode);
}

// Like the real function, the answer is whether the window was visible before.
bool ShowWindow(Hwnd hwnd, int command) {
  return ::ShowWindow(ToHwnd(hwnd), command) != FALSE;
}

bool IsWindowVisible(Hwnd hwnd) {
  return ::IsWindowVisible(ToHwnd(hwnd)) != FALSE;
}

bool IsIconic(Hwnd hwnd) {
  return ::IsIconic(ToHwnd(hwnd)) != FALSE;
}

bool InvalidateRect(Hwnd hwnd) {
  return ::InvalidateRect(ToHwnd(hwnd), nullptr, TRUE) != FALSE;
}

bool UpdateWindow(Hwnd hwnd) {
  return ::UpdateWindow(ToHwnd(hwnd)) != FALSE;
}

Hwnd GetForegroundWindow() {
  return FromHwnd(::GetForegroundWindow());
}

bool SetForegroundWindow(Hwnd hwnd) {
  return ::SetForegroundWindow(ToHwnd(hwnd)) != FALSE;
}

uint32_t GetWindowThreadProcessId(Hwnd hwnd, uint32_t* processId) {
  DWORD pid = 0;
  const DWORD thread = ::GetWindowThreadProcessId(ToHwnd(hwnd), &pid);
  if (processId) *processId = pid;
  return thread;
}

Hwnd GetShellWindow() {
  return FromHwnd(::GetShellWindow());
}

uint32_t GetCurrentThreadId() {
  return ::GetCurrentThreadId();
}

bool AttachThreadInput(uint32_t attach, uint32_t attachTo, bool doAttach) {
  return ::AttachThreadInput(attach, attachTo, doAttach ? TRUE : FALSE) != FALSE;
}

bool ReleaseCapture() {
  return ::ReleaseCapture() != FALSE;
}

bool GetForegroundLockTimeout(uint32_t& ms) {
  DWORD value = 0;
  if (!::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &value, 0)) return false;
  ms = value;
  return true;
}

bool SetForegroundLockTimeout(uint32_t ms) {
  // The new value travels in the pointer argument itself.
  return ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                                 reinterpret_cast<PVOID>(static_cast<uintptr_t>(ms)),
                                 SPIF_SENDCHANGE) != FALSE;
}

void SetWindowContent(Hwnd hwnd, const WindowContent& content) {
  HWND window = ToHwnd(hwnd);
  std::shared_ptr<WindowData> data = FindWindowData(window);
  if (!data) return;
  {
    std::lock_guard<std::mutex> lock(data->contentLock);
    data->content = content;
  }
  ::InvalidateRect(window, nullptr, FALSE);
}

int MeasureTextWidth(const std::string& text, const std::string& fontName, int fontHeight) {
  if (text.empty()) return 0;
  win32::KeepLastError keep;
  HDC dc = ::GetDC(nullptr);
  if (!dc) return 0;
  HFONT font = MakeFont(fontName, fontHeight);
  HGDIOBJ old = font ? ::SelectObject(dc, font) : nullptr;
  const std::wstring wide = Widen(text);
  SIZE size{0, 0};
  ::GetTextExtentPoint32W(dc, wide.data(), static_cast<int>(wide.size()), &size);
  if (font) {
    ::SelectObject(dc, old);
    ::DeleteObject(font);
  }
  ::ReleaseDC(nullptr, dc);
  return size.cx;
}

// ---------------------------------------------------------------- screen and DPI

Rect GetWorkArea() {
  RECT area{0, 0, 0, 0};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  return Rect{area.left, area.top, area.right, area.bottom};
}

int GetScreenLogPixelsY() {
  HDC dc = ::GetDC(nullptr);
  if (!dc) return 0;
  const int value = ::GetDeviceCaps(dc, LOGPIXELSY);
  ::ReleaseDC(nullptr, dc);
  return value;
}

bool IsProcessDPIAware(bool& aware) {
  auto fn = ModuleFunction<IsProcessDPIAwareFn>(L"user32.dll", "IsProcessDPIAware", false);
  if (!fn) return false;
  aware = fn() != FALSE;
  return true;
}

bool GetProcessDpiAwareness(int& awareness) {
  auto fn = ModuleFunction<GetProcessDpiAwarenessFn>(L"shcore.dll", "GetProcessDpiAwareness", true);
  if (!fn) return false;
  int value = 0;
  if (FAILED(fn(nullptr, &value))) return false;
  awareness = value;
  return true;
}

bool SetProcessDpiAwareness(int awareness) {
  auto fn = ModuleFunction<SetProcessDpiAwarenessFn>(L"shcore.dll", "SetProcessDpiAwareness", true);
  if (!fn) return false;
  return SUCCEEDED(fn(awareness));
}

bool SetProcessDPIAware() {
  auto fn = ModuleFunction<SetProcessDPIAwareFn>(L"user32.dll", "SetProcessDPIAware", false);
  if (!fn) return false;
  return fn() != FALSE;
}

uint32_t GetGuiResources(uint32_t flags) {
  return ::GetGuiResources(::GetCurrentProcess(), flags);
}

bool TrimOwnWorkingSet() {
  return ::SetProcessWorkingSetSize(::GetCurrentProcess(), static_cast<SIZE_T>(-1),
                                    static_cast<SIZE_T>(-1)) != FALSE;
}

}  // namespace plat
