// Test helper: writes entries "<tag> <i>" for i = 0 ... count-1 into one log file
// through a log channel (open, append, close per entry). With a start file given,
// it first waits (up to 60 s) until that file exists, so that several helpers
// start writing together.
//   logwriter_helper <log file> <tag> <count> [<start file>]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "diag/uLog.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: logwriter_helper <log file> <tag> <count> [<start file>]\n");
    return 2;
  }
  const std::string tag = argv[2];
  const int count = std::atoi(argv[3]);
  if (argc == 5) {
    for (int waited = 0; !fileutil::FileExists(argv[4]); ++waited) {
      if (waited > 60000) return 3;
      plat::Sleep(1);
    }
  }
  TLogManage channel;
  channel.SetFileName(argv[1]);
  for (int i = 0; i < count; ++i)
    channel.Write(tag + " " + std::to_string(i));
  return 0;
}
