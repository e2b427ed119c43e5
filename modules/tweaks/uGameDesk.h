// The game desktop module: hides the desktop icons and every visible or minimised
// top-level window on screen that belongs neither to a game (the host's shared list
// of game processes, or a child of one) nor to the product, and shows them again on
// restore. Switch: key "Game Desktop" of section "Boost", default false.
//
// Records, each written before its window is hidden: section "Game Desktop" ("Hide"
// = 1, "DeskTopHandle" = the desktop icon view); section "Hide", one key per hidden
// window (its handle in decimal, value 0); section "HideClass", the same keys with the
// window's class, so that a restore shows a handle only while it still names a window
// of that class.
#pragma once

#include <cstdint>
#include <string>

#include "engine/uBoostBase.h"
#include "platform/Gui.h"

class TSessionShareMemory;

class TGameDesk : public TBoostBase {
 public:
  using TBoostBase::TBoostBase;

  bool IsEnabled() override;
  void SetEnabled(bool Value) override;
  bool Boost() override;
  void Restore() override;
  bool HasRestoreData() override;

  void HideDeskApp();
  void ShowDeskApp();
  void HideDesktopIcons();
  void ShowDesktopIcons();
  // True when the window's process, or its parent process, is in the host's game
  // list, and also when the list cannot be read in time (a game is never hidden).
  bool IsGameWindow(plat::Hwnd Window);
  static bool IsOnScreen(plat::Hwnd Window);
  // True only when the window was visible and is hidden now.
  static bool HideWindow(plat::Hwnd Window);
  static void ShowWindowIfHidden(plat::Hwnd Window);
  // The shell's desktop icon view ("SHELLDLL_DefView" under "Progman"), or 0.
  static plat::Hwnd DesktopView();

  static constexpr const char* kSection = "Game Desktop";
  static constexpr const char* kHideSection = "Hide";
  static constexpr const char* kClassSection = "HideClass";

 private:
  bool IsCandidate(plat::Hwnd Window);

  TSessionShareMemory* fGameList = nullptr;  // open during the window walk
};
