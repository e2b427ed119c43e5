// Sim backend: the command line, the shell, message boxes and the end of the process.
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/Gui.h"
#include "platform/Text.h"
#include "platform/sim/SimGuiInternal.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

std::mutex& ShellMu() {
  static auto* m = new std::mutex;
  return *m;
}
std::optional<std::string>& CommandLine() {
  static auto* c = new std::optional<std::string>;
  return *c;
}

}  // namespace

void SetCommandLine(const std::string& commandLine) {
  std::lock_guard<std::mutex> lk(ShellMu());
  if (commandLine.empty()) {
    CommandLine().reset();
  } else {
    CommandLine() = commandLine;
  }
}

void SetCommandLineArgs(const std::vector<std::string>& args) {
  std::string line;
  {
    Op op;
    line = "\"" + op.m().exePath + "\"";
  }
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    line += a.empty() || a.find_first_of(" \t") != std::string::npos ? " \"" + a + "\"" : " " + a;
  }
  SetCommandLine(line);
}

}  // namespace sim

namespace plat {

std::string GetCommandLineW() {
  {
    std::lock_guard<std::mutex> lk(sim::ShellMu());
    if (sim::CommandLine()) return *sim::CommandLine();
  }
  sim::Op op;
  return "\"" + op.m().exePath + "\"";
}

intptr_t ShellExecuteW(Hwnd, const std::string& verb, const std::string& file,
                       const std::string& parameters, const std::string& directory,
                       int showCommand) {
  const sim::ChangeCall change;
  sim::Op op;
  op.m().shellCalls.push_back(sim::ShellCall{verb, file, parameters, directory, showCommand});
  op.Changed();
  return 42;
}

int MessageBoxW(Hwnd, const std::string& text, const std::string& caption, uint32_t type) {
  sim::Op op;
  op.m().messageBoxes.push_back(sim::MessageBoxCall{text, caption, type});
  op.Changed();
  return op.m().messageBoxAnswer;
}

void SetCrashFilter(CrashFunc) {}

void ExitProcess(uint32_t exitCode) {
  {
    sim::Op op;
    op.m().exitCode = exitCode;
    op.Changed();
  }
  sim::ClearTerminalLine();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(static_cast<int>(exitCode));
}

}  // namespace plat
