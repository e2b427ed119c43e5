#include "modules/tweaks/uGameDesk.h"

#include <algorithm>
#include <vector>

#include "config/IniFiles.h"
#include "diag/uAppLog.h"
#include "diag/uSessionShareMemory.h"
#include "modules/process/uGetProcessInfo.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

// Window classes that are never hidden.
const char* const kKeptClasses[] = {
    "SysShadow",        "Shell_TrayWnd",
    "TfrmLastNews",     "Button",
    "MSTaskListWClass", "CiceroUIWndFrame",
    "ToolbarWindow32",  "TrayClockWClass",
    "TrayNotifyWnd",    "TrayShowDesktopButtonWClass",
    "TAppBuilder",      "TfrmMiniBoost",
    "dbgviewClass",
};

bool IsKeptClass(const std::string& className) {
  return std::any_of(std::begin(kKeptClasses), std::end(kKeptClasses),
                     [&](const char* kept) { return txt::SameText(kept, className); });
}

bool ReadHandle(const std::string& text, plat::Hwnd& hwnd) {
  int64_t value = 0;
  if (!txt::TryStrToInt64(text, value) || value == 0) return false;
  hwnd = static_cast<plat::Hwnd>(value);
  return true;
}

std::string HandleText(plat::Hwnd hwnd) {
  return txt::UIntToStr(hwnd);
}

}  // namespace

bool TGameDesk::IsEnabled() {
  return ReadBoostFlag("Game Desktop", false);
}

void TGameDesk::SetEnabled(bool Value) {
  WriteBoostFlag("Game Desktop", Value);
}

bool TGameDesk::HasRestoreData() {
  return HasSectionKeys(kSection);
}

bool TGameDesk::Boost() {
  if (fStop || !IsEnabled()) return false;
  fTempIni->WriteBool(kSection, "Hide", true);
  LogDebug("TGameDesk.Boost");
  HideDeskApp();
  Notify(TProgressItemKind::Clipboard, "GameDesktop", true);
  return true;
}

void TGameDesk::Restore() {
  if (fStop || !HasRestoreData()) return;
  if (fTempIni->ReadBool(kSection, "Hide", false)) {
    ShowDeskApp();
    fTempIni->DeleteKey(kSection, "Hide");
    fTempIni->EraseSection(kHideSection);
    fTempIni->EraseSection(kClassSection);
  }
  Notify(TProgressItemKind::Clipboard, "GameDesktop", true);
  fTempIni->EraseSection(kSection);
}

bool TGameDesk::IsCandidate(plat::Hwnd Window) {
  if (!plat::IsWindow(Window) || !plat::IsWindowVisible(Window)) return false;
  const std::string className = plat::GetClassNameW(Window);
  const std::string title = plat::GetWindowTextW(Window);
  if (IsKeptClass(className)) return false;
  if (className == "TForm_BoostProgress" && title == "Form_BoostProgress") return false;
  uint32_t pid = 0;
  plat::GetWindowThreadProcessId(Window, &pid);
  if (pid != 0 && pid == plat::GetCurrentProcessId()) return false;  // this program's own windows
  if (IsGameWindow(Window)) return false;
  if (className == "TTrayTipForm" && title.empty()) return false;
  if (className == "Progman" && title == "Program Manager") return false;
  return true;
}

void TGameDesk::HideDeskApp() {
  std::vector<plat::Hwnd> collected;
  {
    TSessionShareMemory gameList;
    fGameList = &gameList;
    plat::EnumWindows([&](plat::Hwnd hwnd) {
      if (IsCandidate(hwnd) && (plat::IsIconic(hwnd) || IsOnScreen(hwnd)))
        collected.push_back(hwnd);
      return true;
    });
    fGameList = nullptr;
  }
  HideDesktopIcons();
  LogDebug("TGameDesk.HideDeskApp : " + std::to_string(collected.size()));
  for (plat::Hwnd hwnd : collected) {
    const std::string key = HandleText(hwnd);
    fTempIni->WriteBool(kHideSection, key, false);
    fTempIni->WriteString(kClassSection, key, plat::GetClassNameW(hwnd));
    if (!HideWindow(hwnd)) {
      fTempIni->DeleteKey(kHideSection, key);
      fTempIni->DeleteKey(kClassSection, key);
    }
  }
}

void TGameDesk::ShowDeskApp() {
  std::vector<std::string> keys;
  fTempIni->ReadSection(kHideSection, keys);
  for (const std::string& key : keys) {
    plat::Hwnd hwnd = 0;
    if (!ReadHandle(key, hwnd)) continue;
    // A handle recorded before a restart can name another program's window now.
    const std::string recordedClass = fTempIni->ReadString(kClassSection, key, "");
    if (!recordedClass.empty() && plat::IsWindow(hwnd) &&
        plat::GetClassNameW(hwnd) == recordedClass)
      ShowWindowIfHidden(hwnd);
    fTempIni->DeleteKey(kHideSection, key);
  }
  ShowDesktopIcons();
}

plat::Hwnd TGameDesk::DesktopView() {
  const plat::Hwnd progman = plat::FindWindowW("Progman", "Program Manager");
  return progman ? plat::FindWindowExW(progman, 0, "SHELLDLL_DefView", "") : 0;
}

void TGameDesk::HideDesktopIcons() {
  const plat::Hwnd view = DesktopView();
  if (view == 0) return;
  fTempIni->WriteString(kSection, "DeskTopHandle", HandleText(view));
  plat::ShowWindow(view, plat::kSW_HIDE);
}

void TGameDesk::ShowDesktopIcons() {
  plat::Hwnd recorded = 0;
  if (!ReadHandle(fTempIni->ReadString(kSection, "DeskTopHandle", "0"), recorded)) return;
  if (recorded == DesktopView()) plat::ShowWindow(recorded, plat::kSW_RESTORE);
}

bool TGameDesk::IsGameWindow(plat::Hwnd Window) {
  uint32_t pid = 0;
  plat::GetWindowThreadProcessId(Window, &pid);
  std::vector<uint32_t> games;
  if (!fGameList) return false;
  if (!fGameList->TryReadProcessIds(games)) return true;  // unknown: leave it alone
  auto listed = [&](uint32_t id) {
    return std::find(games.begin(), games.end(), id) != games.end();
  };
  if (listed(pid)) return true;
  EnablePrivilege("SeDebugPrivilege", true);
  std::vector<plat::ProcessEntry> entries;
  plat::SnapshotProcesses(entries);
  for (const plat::ProcessEntry& e : entries)
    if (e.pid == pid) return listed(e.parentPid);
  return false;
}

bool TGameDesk::IsOnScreen(plat::Hwnd Window) {
  plat::Rect r;
  plat::GetWindowRect(Window, r);
  const int width = plat::GetSystemMetrics(plat::kSM_CXSCREEN);
  const int height = plat::GetSystemMetrics(plat::kSM_CYSCREEN);
  return !(r.right == r.left || r.bottom == r.top || r.right < 0 || r.top > height ||
           r.left > width || r.bottom < 0);
}

bool TGameDesk::HideWindow(plat::Hwnd Window) {
  const bool wasVisible = plat::ShowWindow(Window, plat::kSW_HIDE);
  return wasVisible && !plat::IsWindowVisible(Window);
}

void TGameDesk::ShowWindowIfHidden(plat::Hwnd Window) {
  if (!plat::IsWindow(Window) || plat::IsWindowVisible(Window)) return;
  plat::ShowWindow(Window, plat::kSW_SHOWNA);
  plat::InvalidateRect(Window);
}
