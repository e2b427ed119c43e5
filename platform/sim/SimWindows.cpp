// Sim backend: what this program can ask and do to the windows of other programs
// (the machine's desktop): enumeration, class names and titles, rectangles, child
// windows, showing and hiding. The program's own windows answer too.
#include "platform/Gui.h"
#include "platform/Text.h"
#include "platform/sim/SimGuiInternal.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

std::string Clip(const std::string& text, int capacity) {
  if (capacity <= 0) return {};
  const std::u16string wide = txt::Utf8ToUtf16(text);
  const size_t keep = static_cast<size_t>(capacity - 1);
  return wide.size() <= keep ? text : txt::Utf16ToUtf8(wide.substr(0, keep));
}

}  // namespace

std::optional<MachineWindow> MachineWindowFacts(plat::Hwnd hwnd) {
  Op op;
  const int index = MachineWindowIndex(op.m(), hwnd);
  if (index < 0 || !op.m().windows[static_cast<size_t>(index)].present) return std::nullopt;
  return op.m().windows[static_cast<size_t>(index)];
}

bool ShowMachineWindow(plat::Hwnd hwnd, int command) {
  const sim::ChangeCall change;
  Op op;
  const int index = MachineWindowIndex(op.m(), hwnd);
  if (index < 0 || !op.m().windows[static_cast<size_t>(index)].present) {
    SetError(1400);
    return false;
  }
  MachineWindow& w = op.m().windows[static_cast<size_t>(index)];
  const bool was = w.visible;
  w.visible = command != plat::kSW_HIDE;
  if (command == plat::kSW_RESTORE || command == plat::kSW_SHOWNORMAL) w.iconic = false;
  if (command == 2 || command == 6 || command == 7) w.iconic = true;  // minimise commands
  w.lastShow = command;
  op.Changed();
  return was;
}

}  // namespace sim

namespace plat {

bool EnumWindows(const std::function<bool(Hwnd)>& visit) {
  std::vector<Hwnd> handles;
  for (const sim::OwnWindowFacts& w : sim::OwnWindows())
    handles.push_back(w.hwnd);
  {
    sim::Op op;
    const auto& windows = op.m().windows;
    for (size_t i = 0; i < windows.size(); ++i)
      if (windows[i].present && windows[i].parent.empty())
        handles.push_back(sim::MachineWindowHandle(i));
  }
  for (Hwnd h : handles)
    if (!visit(h)) break;
  return true;
}

bool IsWindow(Hwnd hwnd) {
  for (const sim::OwnWindowFacts& w : sim::OwnWindows())
    if (w.hwnd == hwnd) return true;
  return sim::MachineWindowFacts(hwnd).has_value();
}

std::string GetClassNameW(Hwnd hwnd, int capacity) {
  for (const sim::OwnWindowFacts& w : sim::OwnWindows())
    if (w.hwnd == hwnd) return sim::Clip(w.className, capacity);
  const auto facts = sim::MachineWindowFacts(hwnd);
  if (!facts) sim::SetError(1400);
  return facts ? sim::Clip(facts->className, capacity) : std::string();
}

std::string GetWindowTextW(Hwnd hwnd, int capacity) {
  for (const sim::OwnWindowFacts& w : sim::OwnWindows())
    if (w.hwnd == hwnd) return sim::Clip(w.caption, capacity);
  const auto facts = sim::MachineWindowFacts(hwnd);
  return facts ? sim::Clip(facts->caption, capacity) : std::string();
}

bool GetWindowRect(Hwnd hwnd, Rect& rect) {
  rect = Rect{};
  for (const sim::OwnWindowFacts& w : sim::OwnWindows())
    if (w.hwnd == hwnd) return true;
  const auto facts = sim::MachineWindowFacts(hwnd);
  if (!facts) {
    sim::SetError(1400);
    return false;
  }
  rect = Rect{facts->left, facts->top, facts->right, facts->bottom};
  return true;
}

Hwnd FindWindowExW(Hwnd parent, Hwnd childAfter, const std::optional<std::string>& className,
                   const std::optional<std::string>& caption) {
  sim::Op op;
  const auto& windows = op.m().windows;
  const int parentIndex = sim::MachineWindowIndex(op.m(), parent);
  if (parentIndex < 0) return 0;
  const std::string& parentClass = windows[static_cast<size_t>(parentIndex)].className;
  const int afterIndex = childAfter ? sim::MachineWindowIndex(op.m(), childAfter) : -1;
  for (size_t i = afterIndex < 0 ? 0 : static_cast<size_t>(afterIndex) + 1; i < windows.size();
       ++i) {
    const sim::MachineWindow& w = windows[i];
    // A child belongs to the first window of its parent's class.
    if (!w.present || w.parent.empty() || !txt::SameText(w.parent, parentClass)) continue;
    bool first = true;
    for (size_t j = 0; j < windows.size() && static_cast<int>(j) < parentIndex; ++j)
      if (txt::SameText(windows[j].className, parentClass)) first = false;
    if (!first) continue;
    if ((!className || txt::SameText(*className, w.className)) &&
        (!caption || txt::SameText(*caption, w.caption)))
      return sim::MachineWindowHandle(i);
  }
  return 0;
}

}  // namespace plat
