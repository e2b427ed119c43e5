// Test helper: a child process to look at from outside.
//   process_wait_helper MS [FILE]
// writes its command line and current directory (UTF-8, one per line) to FILE
// when given, then waits MS milliseconds (at most 60 seconds) and exits with 0.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>

#include "platform/Platform.h"
#include "platform/Text.h"
#endif

int main(int argc, char** argv) {
  const long ms = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  if (argc > 2) {
    const std::string temp = std::string(argv[2]) + ".tmp";
    {
      std::ofstream out(temp, std::ios::binary);
#ifdef _WIN32
      out << txt::Utf16ToUtf8(reinterpret_cast<const char16_t*>(::GetCommandLineW())) << "\n"
          << plat::GetCurrentDirectoryW() << "\n";
#endif
    }
    std::rename(temp.c_str(), argv[2]);  // the reader sees the whole file or none
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms < 0 ? 0 : ms > 60000 ? 60000 : ms));
  return 0;
}
