// Runs the fixed sequence of profile-function calls in a scratch folder and prints
// its transcript (see ProfileSequence.h) to standard output (binary, LF line ends).
// The Windows build run under Wine gives the transcript of the real functions that
// the sim's is compared with.
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tests/profile/ProfileSequence.h"
#include "tests/support/Sandbox.h"

int main() {
  std::string text;
  {
    test::Sandbox box;
    text = profiletest::RunProfileSequence(box);
  }
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
