// What passes between this program and the product's host ("VlxMain.exe") and
// tray program ("VlxTray.exe"): window messages, the data channel of
// "datastate.dll", the single-instance mutex and the ways out of the process.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Gui.h"

// Host main window and tray window, found by class and caption.
inline constexpr const char* kHostWindowClass = "TfrmVelmorixMain";
inline constexpr const char* kHostWindowCaption = "Velmora";
inline constexpr const char* kTrayWindowClass = "TFormVX4Tray";
inline constexpr const char* kTrayWindowCaption = "Velmora_4_Tray_Form";

// Messages (decimal values; WM_USER = 1024).
inline constexpr uint32_t kMsgHostMiniBoost = 21025;   // to the host: (0,0) start, (1,0) end
inline constexpr uint32_t kMsgHostBoostOver = 6064;    // to the host, posted, lParam 123
inline constexpr uint32_t kMsgTrayDisableMenu = 7025;  // "-disablemenu"
inline constexpr uint32_t kMsgTrayEnableMenu = 7026;   // "-enablemenu"
inline constexpr uint32_t kMsgTrayConfig = 7027;       // "-config"
inline constexpr uint32_t kMsgTrayBaseFileFail = 6026;
inline constexpr uint32_t kMsgTrayNormal = 1026;
inline constexpr uint32_t kMsgTrayGame = 1027;
inline constexpr uint32_t kMsgTraySettingChange = 1028;
inline constexpr uint32_t kMsgTrayQuit = 16;
// Messages this program posts carry this lParam.
inline constexpr intptr_t kPostMarker = 123;

inline constexpr const char* kMiniBoostChannel = "VLMX4_MINIBOOST_20161205";
inline constexpr const char* kMiniBoostOverText = "/MiniBoostOver";
inline constexpr const char* kSingleInstanceMutex = "Velmora_4_Boost.exe";

plat::Hwnd FindHostWindow();
plat::Hwnd FindTrayWindow();

// The tray code of a host switch ("-normal" 1026, "-game" 1027, ...); 0 for others.
uint32_t TraySwitchCode(const std::string& Switch);
// Posts the switch's code (lParam 123) to the tray window; when the tray window is
// absent and the switch is not "-quit", starts the program folder's "VlxTray.exe"
// with the switch.
void NotifyTray(const std::string& Switch);
// Sends (and waits for) a message to the tray window; skipped when it is absent.
intptr_t SendTrayMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam);

// Calls Func of "datastate.dll" (bound at run time) with the channel and text.
// False when the library or its export is missing; the call's result is ignored.
bool SendHostData(const std::string& Channel, const std::string& Text);

// Sends "/MiniBoostOver" to the host's data channel and ends the process.
[[noreturn]] void ExitWithNotice(uint32_t ExitCode);
// Takes the single-instance mutex; ends the process silently (code 0) when
// another copy holds it.
void CheckPrevInst();
