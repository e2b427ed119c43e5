// Runs the fixed sequence of profile-function calls in a scratch folder and prints
// its transcript (see ProfileSequence.h).
//
//   profile_transcript_helper [OUTPUT]
//
// Without OUTPUT the transcript goes to standard output (binary, LF line ends);
// with it, into that file. The Windows build run under Wine gives the transcript
// of the real functions that the sim's is compared with.
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tests/profile/ProfileSequence.h"
#include "tests/support/Sandbox.h"

int main(int argc, char** argv) {
  std::string text;
  {
    test::Sandbox box;
    text = profiletest::RunProfileSequence(box);
  }
  std::FILE* out = stdout;
  if (argc > 1) {
    out = std::fopen(argv[1], "wb");
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", argv[1]);
      return 2;
    }
  } else {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
  }
  const bool ok = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (out != stdout) std::fclose(out);
  return ok ? 0 : 1;
}
