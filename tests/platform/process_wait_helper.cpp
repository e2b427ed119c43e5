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

namespace {
std::string Utf8(const wchar_t* text) {
  const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return {};
  std::string out(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
  out.pop_back();
  return out;
}
}  // namespace
#endif

int main(int argc, char** argv) {
  const long ms = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  if (argc > 2) {
    std::string commandLine, folder;
#ifdef _WIN32
    commandLine = Utf8(::GetCommandLineW());
    wchar_t buffer[1024] = {};
    ::GetCurrentDirectoryW(1024, buffer);
    folder = Utf8(buffer);
#endif
    const std::string temp = std::string(argv[2]) + ".tmp";
    {
      std::ofstream out(temp, std::ios::binary);
      out << commandLine << "\n" << folder << "\n";
    }
    std::rename(temp.c_str(), argv[2]);  // the reader sees the whole file or none
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(ms < 0 ? 0 : ms > 60000 ? 60000 : ms));
  return 0;
}
