// Entry of the program: VlxMini.exe (wWinMain, GUI subsystem) on Windows, vlxmini
// (main) on Linux over the simulated machine. Both hand the command line, parameter 0
// being the program's own path, to RunVlxMini.
#include <string>
#include <vector>

#include "app/VlxMini.h"
#include "platform/Text.h"

namespace {

// An exception that leaves the program ends it through the bug report (RunVlxMini).
int Run(const std::vector<std::string>& params) {
  return RunVlxMini(params);
}

}  // namespace

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::vector<std::string> params;
  for (int i = 0; i < __argc; ++i) {
    params.push_back(txt::Utf16ToUtf8(reinterpret_cast<const char16_t*>(__wargv[i])));
  }
  return Run(params);
}
#else
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

int main(int argc, char** argv) {
  // Parameter 0 is the program's path on the simulated machine, as Windows gives it.
  std::vector<std::string> params(argv, argv + argc);
  params[0] = plat::GetModuleFileNameW();
  sim::SetCommandLineArgs(params);
  sim::CountChanges();  // the machine file may ask to end the program at a change
  return Run(params);
}
#endif
