// Sim backend: windows and messages, timers on the machine clock, the windows of
// other programs (the machine's desktop), screen facts and the terminal line the
// program's window draws.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <deque>
#include <map>

#include "platform/Gui.h"
#include "platform/Text.h"
#include "platform/sim/SimGuiInternal.h"
#include "platform/sim/SimInternal.h"
#include "platform/sim/SimSched.h"

namespace sim {
namespace {

using plat::Hwnd;
using plat::Message;

// Own windows count up from here; the machine's windows of other programs are
// kMachineWindowBase + 16 * their index.
constexpr Hwnd kOwnWindowBase = 0x00100010;
constexpr Hwnd kMachineWindowBase = 0x00F00010;

struct Window {
  Hwnd hwnd = 0;
  uint32_t thread = 0;
  plat::WindowProc proc;
  std::string className, caption;
  bool visible = false, iconic = false, invalid = false;
  plat::WindowContent content;
};

struct Sent {
  Message msg;
  intptr_t result = 0;
  bool done = false;
};

struct Queue {
  std::deque<Message> posted;
  std::deque<std::shared_ptr<Sent>> sent;
  bool quit = false;
  int quitCode = 0;
};

struct Timer {
  Hwnd hwnd = 0;
  uintptr_t id = 0;
  uint32_t interval = 0;
  uint64_t due = 0;
};

// All of it under sched::Lock().
struct Desktop {
  std::map<Hwnd, std::shared_ptr<Window>> windows;
  std::map<uint32_t, Queue> queues;
  std::vector<Timer> timers;
  Hwnd nextHwnd = kOwnWindowBase;
  Hwnd foreground = 0;
};
Desktop& D() {
  static auto* d = new Desktop;
  return *d;
}

std::shared_ptr<Window> FindOwn(Hwnd hwnd) {
  auto it = D().windows.find(hwnd);
  return it == D().windows.end() ? nullptr : it->second;
}

// The machine's window of a handle; -1 when the handle is not one.
int MachineIndex(const Machine& m, Hwnd hwnd) {
  if (hwnd < kMachineWindowBase || (hwnd - kMachineWindowBase) % 16 != 0) return -1;
  const size_t index = (hwnd - kMachineWindowBase) / 16;
  return index < m.windows.size() ? static_cast<int>(index) : -1;
}

// Logs a message to a window of another program; false when hwnd is not one.
bool LogMachineMessage(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam, bool sent) {
  Op op;
  Machine& m = op.m();
  const int index = MachineIndex(m, hwnd);
  if (index < 0 || !m.windows[static_cast<size_t>(index)].present) return false;
  LoggedMessage rec;
  rec.className = m.windows[static_cast<size_t>(index)].className;
  rec.message = message;
  rec.wParam = wParam;
  rec.lParam = lParam;
  rec.sent = sent;
  rec.tick = plat::GetTickCount64();  // the machine clock, manual or real
  m.messageLog.push_back(rec);
  op.Changed();
  return true;
}

intptr_t CallProc(std::unique_lock<std::mutex>& lk, const Message& msg) {
  auto w = FindOwn(msg.hwnd);
  if (!w) return 0;
  plat::WindowProc proc = w->proc;
  lk.unlock();
  const intptr_t result =
      proc ? proc(msg.hwnd, msg.message, msg.wParam, msg.lParam)
           : plat::DefaultWindowProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  lk.lock();
  return result;
}

// Handles messages other threads sent to this thread; true when it handled one.
bool HandleOneSent(std::unique_lock<std::mutex>& lk, uint32_t tid) {
  Queue& q = D().queues[tid];
  if (q.sent.empty()) return false;
  std::shared_ptr<Sent> s = q.sent.front();
  q.sent.pop_front();
  s->result = CallProc(lk, s->msg);
  s->done = true;
  sched::Kick();
  return true;
}

// The next message of the thread's queue, or none (then `wake` is when a timer is due).
bool TakeMessage(std::unique_lock<std::mutex>& lk, uint32_t tid, Message& msg,
                 std::optional<uint64_t>& wake) {
  while (HandleOneSent(lk, tid)) {
  }
  Queue& q = D().queues[tid];
  if (!q.posted.empty()) {
    msg = q.posted.front();
    q.posted.pop_front();
    return true;
  }
  if (q.quit) {
    q.quit = false;
    msg = Message{0, plat::kWM_QUIT, static_cast<uintptr_t>(q.quitCode), 0};
    return true;
  }
  const uint64_t now = sched::Now();
  wake.reset();
  Timer* due = nullptr;
  for (Timer& t : D().timers) {
    auto w = FindOwn(t.hwnd);
    if (!w || w->thread != tid) continue;
    if (t.due <= now && (!due || t.due < due->due)) due = &t;
    if (!wake || t.due < *wake) wake = t.due;
  }
  if (due) {
    msg = Message{due->hwnd, plat::kWM_TIMER, due->id, 0};
    due->due = now + due->interval;
    return true;
  }
  for (auto& [hwnd, w] : D().windows) {
    if (w->thread == tid && w->invalid && w->visible) {
      w->invalid = false;
      msg = Message{hwnd, plat::kWM_PAINT, 0, 0};
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------- terminal line
std::mutex& TermMu() {
  static auto* m = new std::mutex;
  return *m;
}
std::string gDrawn;  // the line on the terminal now (under TermMu)

std::string LineOf(const Window& w) {
  std::string label = w.caption;
  for (const plat::DrawText& t : w.content.texts) {
    if (!t.text.empty()) {
      label = t.text;
      break;
    }
  }
  std::string line = label;
  const int pct = w.content.progressPercent;
  if (pct >= 0) {
    const int p = pct > 100 ? 100 : pct;
    const int filled = p * 20 / 100;
    line += " [" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(20 - filled), '.') + "] " + std::to_string(p) + "%";
  }
  return line;
}

// Redraws the terminal line from the window (lock held), or clears it when hidden.
void Draw(const Window& w) {
  if (!::isatty(1)) return;
  const std::string line = w.visible ? LineOf(w) : std::string();
  std::lock_guard<std::mutex> lk(TermMu());
  if (line == gDrawn) return;
  std::fputs("\r\033[K", stdout);
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
  gDrawn = line;
}

}  // namespace

void ClearTerminalLine() {
  std::lock_guard<std::mutex> lk(TermMu());
  if (gDrawn.empty()) return;
  std::fputs("\r\033[K", stdout);
  std::fflush(stdout);
  gDrawn.clear();
}

size_t OwnWindowCount() {
  std::lock_guard<std::mutex> lk(sched::Lock());
  return D().windows.size();
}

std::vector<OwnWindowFacts> OwnWindows() {
  std::lock_guard<std::mutex> lk(sched::Lock());
  std::vector<OwnWindowFacts> out;
  for (auto& [hwnd, w] : D().windows)
    out.push_back(OwnWindowFacts{hwnd, w->className, w->caption, w->visible, w->iconic});
  return out;
}

uint64_t MachineWindowHandle(size_t index) {
  return kMachineWindowBase + 16 * index;
}

int MachineWindowIndex(const Machine& m, plat::Hwnd hwnd) {
  return MachineIndex(m, hwnd);
}

}  // namespace sim

namespace plat {

using sim::D;

intptr_t DefaultWindowProc(Hwnd hwnd, uint32_t message, uintptr_t, intptr_t) {
  if (message == kWM_CLOSE) DestroyWindow(hwnd);
  return 0;
}

Hwnd CreateAppWindow(const WindowSpec& desc, WindowProc proc) {
  if (sim::InjectedFaults().failWindowCreation) {
    sim::SetError(kERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  auto w = std::make_shared<sim::Window>();
  w->thread = sim::sched::ThreadId();
  w->proc = std::move(proc);
  w->className = desc.className;
  w->caption = desc.caption;
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  w->hwnd = D().nextHwnd;
  D().nextHwnd += 16;
  D().windows[w->hwnd] = w;
  return w->hwnd;
}

bool DestroyWindow(Hwnd hwnd) {
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  auto w = sim::FindOwn(hwnd);
  if (!w) {
    sim::SetError(1400);  // ERROR_INVALID_WINDOW_HANDLE
    return false;
  }
  sim::CallProc(lk, Message{hwnd, kWM_DESTROY, 0, 0});
  D().windows.erase(hwnd);
  auto& timers = D().timers;
  for (size_t i = timers.size(); i-- > 0;)
    if (timers[i].hwnd == hwnd) timers.erase(timers.begin() + static_cast<long>(i));
  if (D().foreground == hwnd) D().foreground = 0;
  if (w->visible) {
    w->visible = false;
    sim::Draw(*w);
  }
  return true;
}

Hwnd FindWindowW(const std::optional<std::string>& className,
                 const std::optional<std::string>& caption) {
  auto matches = [&](const std::string& cls, const std::string& cap) {
    return (!className || txt::SameText(*className, cls)) &&
           (!caption || txt::SameText(*caption, cap));
  };
  {
    std::lock_guard<std::mutex> lk(sim::sched::Lock());
    for (auto& [hwnd, w] : D().windows)
      if (matches(w->className, w->caption)) return hwnd;
  }
  sim::Op op;
  const auto& windows = op.m().windows;
  for (size_t i = 0; i < windows.size(); ++i)
    if (windows[i].present && windows[i].parent.empty() &&
        matches(windows[i].className, windows[i].caption))
      return sim::kMachineWindowBase + 16 * i;
  return 0;
}

intptr_t SendMessageW(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  auto w = sim::FindOwn(hwnd);
  if (!w) {
    lk.unlock();
    if (!sim::LogMachineMessage(hwnd, message, wParam, lParam, true)) sim::SetError(1400);
    return 0;
  }
  const Message msg{hwnd, message, wParam, lParam};
  const uint32_t tid = sim::sched::ThreadId();
  if (w->thread == tid) return sim::CallProc(lk, msg);
  auto s = std::make_shared<sim::Sent>();
  s->msg = msg;
  D().queues[w->thread].sent.push_back(s);
  sim::sched::Kick();
  const std::string what = "SendMessageW(message " + std::to_string(message) +
                           ") to a window of thread " + std::to_string(w->thread);
  while (!s->done) {
    if (sim::HandleOneSent(lk, tid)) continue;
    if (!sim::FindOwn(hwnd)) return 0;  // destroyed meanwhile
    sim::sched::Block(lk, std::nullopt, what);
  }
  return s->result;
}

bool PostMessageW(Hwnd hwnd, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  if (hwnd == 0) {
    D().queues[sim::sched::ThreadId()].posted.push_back(Message{0, message, wParam, lParam});
    sim::sched::Kick();
    return true;
  }
  auto w = sim::FindOwn(hwnd);
  if (!w) {
    lk.unlock();
    if (sim::LogMachineMessage(hwnd, message, wParam, lParam, false)) return true;
    sim::SetError(1400);
    return false;
  }
  D().queues[w->thread].posted.push_back(Message{hwnd, message, wParam, lParam});
  sim::sched::Kick();
  return true;
}

uintptr_t SetTimer(Hwnd hwnd, uintptr_t id, uint32_t intervalMs) {
  const uint64_t now = sim::sched::Now();
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  if (!sim::FindOwn(hwnd)) {
    sim::SetError(1400);
    return 0;
  }
  if (intervalMs == 0) intervalMs = 10;  // USER_TIMER_MINIMUM
  for (sim::Timer& t : D().timers) {
    if (t.hwnd == hwnd && t.id == id) {
      t.interval = intervalMs;
      t.due = now + intervalMs;
      sim::sched::Kick();
      return id;
    }
  }
  D().timers.push_back(sim::Timer{hwnd, id, intervalMs, now + intervalMs});
  sim::sched::Kick();
  return id;
}

bool KillTimer(Hwnd hwnd, uintptr_t id) {
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  auto& timers = D().timers;
  for (size_t i = 0; i < timers.size(); ++i) {
    if (timers[i].hwnd == hwnd && timers[i].id == id) {
      timers.erase(timers.begin() + static_cast<long>(i));
      return true;
    }
  }
  sim::SetError(1402);  // ERROR_INVALID_TIMER... as Windows reports an unknown timer
  return false;
}

bool GetMessageW(Message& msg) {
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  const uint32_t tid = sim::sched::ThreadId();
  for (;;) {
    std::optional<uint64_t> wake;
    if (sim::TakeMessage(lk, tid, msg, wake)) return msg.message != kWM_QUIT;
    sim::sched::Block(lk, wake, "GetMessageW");
  }
}

bool PeekMessageW(Message& msg) {
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  std::optional<uint64_t> wake;
  return sim::TakeMessage(lk, sim::sched::ThreadId(), msg, wake);
}

void DispatchMessageW(const Message& msg) {
  if (msg.hwnd == 0) return;
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  sim::CallProc(lk, msg);
}

void PostQuitMessage(int exitCode) {
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  sim::Queue& q = D().queues[sim::sched::ThreadId()];
  q.quit = true;
  q.quitCode = exitCode;
  sim::sched::Kick();
}

bool ShowWindow(Hwnd hwnd, int command) {
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  auto w = sim::FindOwn(hwnd);
  if (!w) {
    lk.unlock();
    return sim::ShowMachineWindow(hwnd, command);
  }
  const bool was = w->visible;
  if (command == kSW_HIDE) {
    w->visible = false;
  } else {
    w->visible = true;
    w->invalid = true;
    if (command == kSW_RESTORE || command == kSW_SHOWNORMAL) w->iconic = false;
    if (command == 6 || command == 2 || command == 7) w->iconic = true;  // minimise commands
  }
  sim::Draw(*w);
  sim::sched::Kick();
  return was;
}

bool IsWindowVisible(Hwnd hwnd) {
  {
    std::lock_guard<std::mutex> lk(sim::sched::Lock());
    if (auto w = sim::FindOwn(hwnd)) return w->visible;
  }
  const auto facts = sim::MachineWindowFacts(hwnd);
  return facts && facts->visible;
}

bool IsIconic(Hwnd hwnd) {
  {
    std::lock_guard<std::mutex> lk(sim::sched::Lock());
    if (auto w = sim::FindOwn(hwnd)) return w->iconic;
  }
  const auto facts = sim::MachineWindowFacts(hwnd);
  return facts && facts->iconic;
}

bool InvalidateRect(Hwnd hwnd) {
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  auto w = sim::FindOwn(hwnd);
  if (!w) {
    lk.unlock();
    return sim::MachineWindowFacts(hwnd).has_value();
  }
  w->invalid = true;
  sim::sched::Kick();
  return true;
}

bool UpdateWindow(Hwnd hwnd) {
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  auto w = sim::FindOwn(hwnd);
  if (!w) return false;
  if (w->invalid && w->visible) {
    w->invalid = false;
    sim::CallProc(lk, Message{hwnd, kWM_PAINT, 0, 0});
  }
  return true;
}

Hwnd GetForegroundWindow() {
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  return D().foreground;
}

bool SetForegroundWindow(Hwnd hwnd) {
  bool locked = false;
  {
    sim::Op op;
    locked = op.m().foregroundLock && op.m().foregroundLockTimeout != 0;
  }
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  if (!sim::FindOwn(hwnd)) return false;
  // The foreground lock refuses to take the front from another window.
  if (locked && D().foreground != 0 && D().foreground != hwnd) return false;
  D().foreground = hwnd;
  return true;
}

uint32_t GetWindowThreadProcessId(Hwnd hwnd, uint32_t* processId) {
  {
    std::lock_guard<std::mutex> lk(sim::sched::Lock());
    if (auto w = sim::FindOwn(hwnd)) {
      if (processId) *processId = GetCurrentProcessId();
      return w->thread;
    }
  }
  sim::Op op;
  const int index = sim::MachineIndex(op.m(), hwnd);
  if (index < 0 || !op.m().windows[static_cast<size_t>(index)].present) {
    sim::SetError(1400);
    return 0;
  }
  if (processId) *processId = op.m().windows[static_cast<size_t>(index)].pid;
  return 0x7000 + static_cast<uint32_t>(index) * 4;
}

// The shell's desktop window is Explorer's "Progman".
Hwnd GetShellWindow() {
  sim::Op op;
  const auto& windows = op.m().windows;
  for (size_t i = 0; i < windows.size(); ++i)
    if (windows[i].present && txt::SameText(windows[i].className, "Progman"))
      return sim::kMachineWindowBase + 16 * i;
  return 0;
}

bool AttachThreadInput(uint32_t, uint32_t, bool) {
  return true;
}

bool ReleaseCapture() {
  return true;
}

bool GetForegroundLockTimeout(uint32_t& ms) {
  if (sim::InjectedFaults().failForegroundLockRead) {
    sim::SetError(kERROR_ACCESS_DENIED);
    return false;
  }
  sim::Op op;
  ms = op.m().foregroundLockTimeout;
  return true;
}

bool SetForegroundLockTimeout(uint32_t ms) {
  const sim::ChangeCall change;
  sim::Op op;
  op.m().foregroundLockTimeout = ms;
  op.Changed();
  return true;
}

void SetWindowContent(Hwnd hwnd, const WindowContent& content) {
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  auto w = sim::FindOwn(hwnd);
  if (!w) return;
  w->content = content;
  w->invalid = true;
  sim::Draw(*w);
}

// Tahoma approximated by character classes: the width of a character is a share of
// the font's pixel height (narrow letters 0.30, capitals 0.68, M and W 0.90,
// digits 0.56, other letters and signs 0.55, a blank 0.32), summed and rounded.
// A 50-character caption at height -14 measures about 370 pixels.
int MeasureTextWidth(const std::string& text, const std::string&, int fontHeight) {
  const double h = std::abs(fontHeight);
  double width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) == 0x80) continue;  // continuation bytes of one character
    double share = 0.55;
    if (c == ' ') {
      share = 0.32;
    } else if (std::string_view("iljtfrI!.,:;'|").find(static_cast<char>(c)) !=
               std::string_view::npos) {
      share = 0.30;
    } else if (c == 'M' || c == 'W' || c == 'm' || c == 'w') {
      share = 0.90;
    } else if (c >= 'A' && c <= 'Z') {
      share = 0.68;
    } else if (c >= '0' && c <= '9') {
      share = 0.56;
    }
    width += share * h;
  }
  return static_cast<int>(std::lround(width));
}

Rect GetWorkArea() {
  sim::Op op;
  const sim::Machine& m = op.m();
  return Rect{0, 0, m.screenWidth, m.screenHeight - m.taskbarHeight};
}

int GetScreenLogPixelsY() {
  sim::Op op;
  return op.m().logPixelsY;
}

bool IsProcessDPIAware(bool& aware) {
  sim::Op op;
  if (!op.m().hasDpiFunctions) return false;
  aware = op.m().dpiAwareness != 0;
  return true;
}

bool GetProcessDpiAwareness(int& awareness) {
  sim::Op op;
  if (!op.m().hasDpiFunctions) return false;
  awareness = op.m().dpiAwareness;
  return true;
}

bool SetProcessDpiAwareness(int awareness) {
  sim::Op op;
  if (!op.m().hasDpiFunctions) return false;
  if (op.m().dpiAwareness != 0) return false;  // E_ACCESSDENIED: set already
  op.m().dpiAwareness = awareness;
  return true;
}

bool SetProcessDPIAware() {
  sim::Op op;
  if (!op.m().hasDpiFunctions) return false;
  if (op.m().dpiAwareness == 0) op.m().dpiAwareness = 1;
  return true;
}

// GDI objects: 4 of the process plus 2 per window; USER objects: 1 plus 2 per window.
uint32_t GetGuiResources(uint32_t flags) {
  const uint32_t windows = static_cast<uint32_t>(sim::OwnWindowCount());
  return (flags == 1 || flags == 4) ? 1 + 2 * windows : 4 + 2 * windows;
}

bool TrimOwnWorkingSet() {
  return true;
}

}  // namespace plat
