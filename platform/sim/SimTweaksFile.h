// The machine-file keys of the memory figures, the clipboard, the random number source
// and the desktop windows' state: sections [memory], [clipboard] and [random] and the
// state keys of [window CLASS].
// Values arrive unquoted and leave unquoted; the machine-file reader and writer
// handle quoting and line numbers.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/sim/SimMachine.h"

namespace sim {

struct FileEntry {
  std::string name;
  std::string value;
};
using FileSection = std::pair<std::string, std::vector<FileEntry>>;  // kind, entries

// Reads [memory], [clipboard] or [random]; false with a message (without line) on a bad key.
bool ParseTweakSection(const std::string& kind, const std::vector<FileEntry>& entries, Machine& m,
                       std::string& error);
// The sections to write, in order (only those that differ from a fresh machine).
std::vector<FileSection> TweakSections(const Machine& m);
// A state key of [window CLASS] (pid, visible, iconic, rect, parent, lastShow):
// false when the name is not one; a bad value sets error.
bool ParseWindowKey(const FileEntry& e, MachineWindow& w, std::string& error);
// The state keys of a window that differ from a fresh one.
std::vector<FileEntry> WindowKeys(const MachineWindow& w);

}  // namespace sim
