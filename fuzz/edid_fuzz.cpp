// EDID blocks as the display driver hands them over; a byte after the base block picks
// the code page the descriptor texts are read in.
#include "display/uMonitorBaseInfo.h"
#include "fuzz/FuzzHarness.h"

namespace {
const uint32_t kCodePages[] = {0, 1252, 932, 936, 949, 950, 1251, 65001};
}

const fuzz::Target fuzz::kTarget = {
    {std::string(kEdidBlockSize + 1, '\0'),
     std::string("\0\0\xFF\xFF\xFF\xFF\xFF\xFF\0\x04\x43", 11) + std::string(117, '\xFC')},
    "edid",
    [](const std::string& input) {
      const uint8_t cp = input.size() > kEdidBlockSize ? input[kEdidBlockSize] : 0;
      fuzz::Machine();
      TMonitorBaseInfo info;
      DecodeEdid(input, info, kCodePages[cp % std::size(kCodePages)]);
    },
};
