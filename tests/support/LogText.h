// Reading the program's logs in tests.
#pragma once

#include <string>
#include <vector>

#include "platform/Text.h"

namespace test {

// The messages of a log's text, one per entry, without the time stamp in front
// ("2026-12-06 15:37:49.263  ") and without the GDI counts some entries end with.
inline std::vector<std::string> LogMessages(const std::string& text) {
  std::vector<std::string> out;
  for (std::string line : txt::SplitLines(text)) {
    if (line.size() < 25) continue;
    line = line.substr(25);
    const size_t gdi = line.find(" GDI:");
    if (gdi != std::string::npos) line.erase(gdi);
    out.push_back(line);
  }
  return out;
}

}  // namespace test
