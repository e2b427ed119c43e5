// Entry of the program: VlxMini.exe (wWinMain, GUI subsystem) on Windows, vlxmini
// (main) on Linux over the simulated machine. Both hand the command line, parameter 0
// being the program's own path, to the same RunVlxMini.
#include <string>
#include <vector>

#include "diag/uAppLog.h"
#include "platform/Text.h"

namespace {

int RunVlxMini(const std::vector<std::string>& params) {
  InitDefaultAppLog();
  LogRun("ParamStr(1) : " + (params.size() > 1 ? params[1] : std::string()));
  DoneAppLog();
  return 0;
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
  return RunVlxMini(params);
}
#else
int main(int argc, char** argv) {
  std::vector<std::string> params(argv, argv + argc);
  return RunVlxMini(params);
}
#endif
