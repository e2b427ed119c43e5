// What the sim's windows share with the rest of the sim backend.
#pragma once

#include <cstddef>
#include <string>

namespace sim {

// Clears the program window's terminal line (when one is drawn).
void ClearTerminalLine();
// Windows this program has open.
size_t OwnWindowCount();

}  // namespace sim
