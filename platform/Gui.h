// The platform seam, second half: windows and messages, timers, threads and
// waiting, named kernel objects, the shell, run-time libraries and the end of the
// process. Same rules as platform/Platform.h.
//
// Everything that blocks (GetMessageW, WaitForSingleObject, Sleep) goes through
// this seam, so that the simulated machine can run a whole program on its own
// controllable clock: its time moves only while every thread of the program waits.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Types.h"

#ifdef _WIN32
#define VLX_STDCALL __stdcall
#else
#define VLX_STDCALL
#endif

namespace plat {

using Hwnd = std::uintptr_t;
using Module = std::uintptr_t;

// ---------------------------------------------------------------- message numbers
inline constexpr uint32_t kWM_DESTROY = 0x0002;
inline constexpr uint32_t kWM_PAINT = 0x000F;
inline constexpr uint32_t kWM_CLOSE = 0x0010;
inline constexpr uint32_t kWM_QUIT = 0x0012;
inline constexpr uint32_t kWM_SHOWWINDOW = 0x0018;
inline constexpr uint32_t kWM_TIMER = 0x0113;
inline constexpr uint32_t kWM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t kWM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t kWM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t kWM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t kWM_USER = 0x0400;

inline constexpr int kSW_HIDE = 0;
inline constexpr int kSW_SHOWNORMAL = 1;
inline constexpr int kSW_SHOW = 5;
inline constexpr int kSW_RESTORE = 9;

inline constexpr uint32_t kINFINITE = 0xFFFFFFFFu;
inline constexpr uint32_t kWAIT_OBJECT_0 = 0;
inline constexpr uint32_t kWAIT_TIMEOUT = 258;
inline constexpr uint32_t kWAIT_FAILED = 0xFFFFFFFFu;

inline constexpr uint32_t kMB_OK = 0;
inline constexpr uint32_t kMB_ICONERROR = 0x10;
inline constexpr uint32_t kMB_ICONINFORMATION = 0x40;
inline constexpr int kIDOK = 1;

// ---------------------------------------------------------------- windows
struct Message {
  Hwnd hwnd = 0;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
};

// The window procedure of a window this program creates. Messages it does not
// handle go to DefaultWindowProc.
using WindowProc = std::function<intptr_t(Hwnd, uint32_t, uintptr_t, intptr_t)>;
intptr_t DefaultWindowProc(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);

struct WindowSpec {
  std::string className;
  std::string caption;
  int x = 0, y = 0, width = 0, height = 0;  // outer rectangle in pixels
  bool popup = true;                        // no border, no caption bar
  bool topMost = false;
  bool toolWindow = false;       // keep off the taskbar
  uint32_t backgroundColor = 0;  // 0x00BBGGRR
  std::string iconResource;      // icon resource of the program ("MAINICON"), or empty
};
// CreateWindowExW of a top-level window; the class is registered on first use.
// Returns 0 on failure.
Hwnd CreateAppWindow(const WindowSpec& layout, WindowProc proc);
bool DestroyWindow(Hwnd hwnd);

// FindWindowW: absent class or caption match any.
Hwnd FindWindowW(const std::optional<std::string>& className,
                 const std::optional<std::string>& caption);
intptr_t SendMessageW(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool PostMessageW(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam);

// Timers deliver WM_TIMER (wParam = id) to the window. SetTimer on an existing id
// replaces its interval.
uintptr_t SetTimer(Hwnd hwnd, uintptr_t id, uint32_t intervalMs);
bool KillTimer(Hwnd hwnd, uintptr_t id);

// The calling thread's message loop.
bool GetMessageW(Message& msg);   // false on WM_QUIT
bool PeekMessageW(Message& msg);  // removes the message when there is one
void DispatchMessageW(const Message& msg);
void PostQuitMessage(int exitCode);

bool ShowWindow(Hwnd hwnd, int command);
bool IsWindowVisible(Hwnd hwnd);
bool IsIconic(Hwnd hwnd);
bool InvalidateRect(Hwnd hwnd);  // whole client area
bool UpdateWindow(Hwnd hwnd);    // paint now when invalid
Hwnd GetForegroundWindow();
bool SetForegroundWindow(Hwnd hwnd);
uint32_t GetWindowThreadProcessId(Hwnd hwnd, uint32_t* processId);
// GetShellWindow: the shell's desktop window, 0 when no shell runs.
Hwnd GetShellWindow();
uint32_t GetCurrentThreadId();
bool AttachThreadInput(uint32_t attach, uint32_t attachTo, bool doAttach);
bool ReleaseCapture();
// SystemParametersInfoW SPI_GETFOREGROUNDLOCKTIMEOUT / SPI_SETFOREGROUNDLOCKTIMEOUT
// (the set broadcasts the change).
bool GetForegroundLockTimeout(uint32_t& ms);
bool SetForegroundLockTimeout(uint32_t ms);

// What a window shows: a display list the program computes and the backend draws
// (GDI on Windows, a terminal line on the sim). Coordinates are client pixels.
struct DrawRect {
  int left = 0, top = 0, width = 0, height = 0;
  uint32_t color = 0;  // 0x00BBGGRR
};
struct DrawText {
  int left = 0, top = 0, width = 0, height = 0;
  std::string text;
  std::string fontName = "Tahoma";
  int fontHeight = -11;  // LOGFONT height
  uint32_t color = 0;
  bool wordBreak = true;
};
struct WindowContent {
  std::vector<DrawRect> rects;  // painted first, in order
  std::vector<DrawText> texts;
  // The filled share of the window's progress bar in percent (-1: none), for
  // displays that draw text instead of pixels.
  int progressPercent = -1;
};
void SetWindowContent(Hwnd hwnd, const WindowContent& content);
// Width in pixels of text on one line in a font.
int MeasureTextWidth(const std::string& text, const std::string& fontName, int fontHeight);

// ---------------------------------------------------------------- screen and DPI
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
Rect GetWorkArea();         // SystemParametersInfoW(SPI_GETWORKAREA)
int GetScreenLogPixelsY();  // GetDeviceCaps(LOGPIXELSY) of a screen DC
// DPI functions looked up at run time; each returns false when the function is missing.
bool IsProcessDPIAware(bool& aware);          // user32
bool GetProcessDpiAwareness(int& awareness);  // shcore
bool SetProcessDpiAwareness(int awareness);   // shcore
bool SetProcessDPIAware();                    // user32

// GetGuiResources(GetCurrentProcess(), flags): 0 GDI, 1 USER, 2 GDI peak, 4 USER peak.
uint32_t GetGuiResources(uint32_t flags);
// SetProcessWorkingSetSize(GetCurrentProcess(), -1, -1).
bool TrimOwnWorkingSet();

// ---------------------------------------------------------------- threads and waiting
// A thread of this program. The function runs on the new thread; the thread ends
// when it returns. An exception that leaves the function calls std::terminate.
Handle CreateThread(std::function<void()> body);
uint32_t WaitForSingleObject(Handle handle, uint32_t timeoutMs);
// Events: unnamed when name is empty. A named event that already exists is
// opened and the last error is kERROR_ALREADY_EXISTS.
Handle CreateEventW(bool manualReset, bool initialState, const std::string& name);
Handle OpenEventW(const std::string& name);  // all access; 0 when missing
bool SetEvent(Handle event);
// Named mutex, not owned. The last error is kERROR_ALREADY_EXISTS when it existed.
Handle CreateMutexW(const std::string& name);

// Named file mappings backed by the paging file, read-write.
Handle CreateFileMappingW(const std::string& name, uint32_t size);
Handle OpenFileMappingW(const std::string& name);
// Maps the whole mapping; nullptr on failure. UnmapViewOfFile releases it.
void* MapViewOfFile(Handle mapping);
bool UnmapViewOfFile(void* view);

// ---------------------------------------------------------------- process and shell
// The command line as the program received it (GetCommandLineW).
std::string GetCommandLineW();
// ShellExecuteW; returns the instance value (> 32 on success).
intptr_t ShellExecuteW(Hwnd owner, const std::string& verb, const std::string& file,
                       const std::string& parameters, const std::string& directory,
                       int showCommand);
int MessageBoxW(Hwnd owner, const std::string& text, const std::string& caption, uint32_t type);
// Ends the process at once with the exit code; nothing after it runs.
[[noreturn]] void ExitProcess(uint32_t exitCode);
// SetUnhandledExceptionFilter: crash runs on the failing thread for a structured
// exception nothing handles, with the exception code and the failing stack as text
// (one "module+offset" line per frame, the faulting address first; offsets are
// module-relative). The simulated machine raises no structured exceptions.
using CrashFunc = void (*)(uint32_t code, const std::string& stack);
void SetCrashFilter(CrashFunc crash);

// ---------------------------------------------------------------- run-time libraries
Module LoadLibraryW(const std::string& path);  // 0 on failure
void* GetProcAddress(Module module, const std::string& name);
bool FreeLibrary(Module module);
// The data channel export of the host's "datastate.dll".
using DataStateFunc = int32_t(VLX_STDCALL*)(const char16_t* channel, const char16_t* text,
                                            int32_t textBytes, void* reply,
                                            uint32_t* replyCapacity);

// ---------------------------------------------------------------- windows of other programs
// EnumWindows: visits every top-level window until visit returns false.
bool EnumWindows(const std::function<bool(Hwnd)>& visit);
bool IsWindow(Hwnd hwnd);
// GetClassNameW / GetWindowTextW with a buffer of capacity characters (with the terminator).
std::string GetClassNameW(Hwnd hwnd, int capacity = 260);
std::string GetWindowTextW(Hwnd hwnd, int capacity = 260);
// GetWindowRect in screen coordinates.
bool GetWindowRect(Hwnd hwnd, Rect& rect);
// FindWindowExW: a child of parent after childAfter (0: the first); absent class or
// caption match any.
Hwnd FindWindowExW(Hwnd parent, Hwnd childAfter, const std::optional<std::string>& className,
                   const std::optional<std::string>& caption);
inline constexpr int kSW_SHOWNA = 8;

// ---------------------------------------------------------------- clipboard
// OpenClipboard fails (ERROR_ACCESS_DENIED) while another window holds it open.
bool OpenClipboard(Hwnd owner);
bool EmptyClipboard();
bool CloseClipboard();

}  // namespace plat
