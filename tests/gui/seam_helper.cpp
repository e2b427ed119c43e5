// Test helper: a program the shell starts.
//
//   seam_helper cwd <file>
//       writes "here" to <file> (a relative name lands in the working folder).
#include <cstdio>
#include <string>

#include "platform/FileUtil.h"

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "cwd")
    return fileutil::WriteFileBytes(argv[2], "here") ? 0 : 1;
  std::fprintf(stderr, "usage: seam_helper cwd <file>\n");
  return 2;
}
