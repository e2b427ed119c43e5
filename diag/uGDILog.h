// Run-log lines that carry the program's GDI and USER object counts, so that a
// resource leak during a long pass shows in the log.
#pragma once

#include <string>

// The text followed by " GDI:" and the GDI, USER, peak GDI and peak USER object
// counts of this process, joined by "_".
std::string WithGdiCounts(const std::string& Text);
// One run-log entry of WithGdiCounts(Text).
void LogWithGdi(const std::string& Text);
