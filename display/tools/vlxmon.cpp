// vlxmon: shows monitor data the way the program reads it.
//
//   vlxmon edid FILE   the identity an EDID base block gives (texts in code page 1252)
//   vlxmon caps FILE   what a capability reply gives: VCP codes, display modes, colour
//                      presets, whether it declares MCCS 2.0 and whether its VCP list
//                      was malformed
#include <cstdio>
#include <string>

#include "display/uMonitorBaseInfo.h"
#include "display/uMonitorReport.h"

namespace {

bool ReadHostFile(const std::string& path, std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.append(buffer, n);
  std::fclose(f);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc != 3 || (command != "edid" && command != "caps")) {
    std::fprintf(stderr, "usage: vlxmon edid FILE\n       vlxmon caps FILE\n");
    return 2;
  }
  std::string bytes;
  if (!ReadHostFile(argv[2], bytes)) {
    std::fprintf(stderr, "vlxmon: cannot read %s\n", argv[2]);
    return 1;
  }
  const std::string report = command == "edid" ? EdidReport(bytes) : CapsReport(bytes);
  if (report.empty()) {
    std::fprintf(stderr, "vlxmon: not an EDID base block (%zu bytes, %zu needed)\n", bytes.size(),
                 kEdidBlockSize);
    return 1;
  }
  std::fputs(report.c_str(), stdout);
  return 0;
}
