// Test helper: writes entries "<tag> <i>" for i = 0 ... count-1 into one log file
// through a log channel (open, append, close per entry).
//   logwriter_helper <log file> <tag> <count>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "diag/uLog.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: logwriter_helper <log file> <tag> <count>\n");
    return 2;
  }
  const std::string tag = argv[2];
  const int count = std::atoi(argv[3]);
  TLogManage channel;
  channel.SetFileName(argv[1]);
  for (int i = 0; i < count; ++i)
    channel.Write(tag + " " + std::to_string(i));
  return 0;
}
