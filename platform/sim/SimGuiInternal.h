// What the sim's windows share with the rest of the sim backend.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/Gui.h"
#include "platform/sim/SimMachine.h"

namespace sim {

// Clears the program window's terminal line (when one is drawn).
void ClearTerminalLine();
// Windows this program has open.
size_t OwnWindowCount();

// Windows this program has open, as other programs see them.
struct OwnWindowFacts {
  plat::Hwnd hwnd = 0;
  std::string className, caption;
  bool visible = false, iconic = false;
};
std::vector<OwnWindowFacts> OwnWindows();

// The machine's window of a handle (MachineWindowHandle in SimMachine.h).
int MachineWindowIndex(const Machine& m, plat::Hwnd hwnd);  // -1: not one of them
// A present window of another program (SimWindows.cpp); nullopt when hwnd names none.
std::optional<MachineWindow> MachineWindowFacts(plat::Hwnd hwnd);
// ShowWindow on a window of another program: whether it was visible before.
bool ShowMachineWindow(plat::Hwnd hwnd, int command);

}  // namespace sim
