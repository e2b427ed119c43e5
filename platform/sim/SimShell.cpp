// Sim backend: the command line, the shell, message boxes, the end of the process
// and run-time libraries (simulated ones known by file name).
#include <cstdio>
#include <cstdlib>
#include <map>
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

// Loaded libraries: module value -> file name (lower case, no folder).
std::map<plat::Module, std::string>& Modules() {
  static auto* m = new std::map<plat::Module, std::string>;
  return *m;
}

std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return txt::LowerCase(slash == std::string::npos ? path : path.substr(slash + 1));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::u16string ZString(const char16_t* s) {
  std::u16string out;
  if (s)
    while (*s)
      out += *s++;
  return out;
}

// "Func" of "datastate.dll": records the call in the machine's data-channel log.
int32_t VLX_STDCALL DataStateFunc(const char16_t* channel, const char16_t* text, int32_t textBytes,
                                  void*, uint32_t* replyCapacity) {
  DataChannelCall call;
  call.channel = txt::Utf16ToUtf8(ZString(channel));
  if (text && textBytes > 0) {
    // The size counts the terminating zero: the text ends at the first zero within it.
    std::u16string units(text, static_cast<size_t>(textBytes) / 2);
    units.resize(std::u16string(units.c_str()).size());
    call.text = txt::Utf16ToUtf8(units);
  }
  if (replyCapacity) *replyCapacity = 0;
  Op op;
  op.m().dataChannel.push_back(call);
  op.Changed();
  return 0;
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

Module LoadLibraryW(const std::string& path) {
  std::string name = sim::FileNameOf(path);
  std::vector<std::string> candidates;
  if (path.find_first_of("\\/") != std::string::npos) {
    candidates.push_back(path);
  } else {
    std::string exePath, systemDir;
    {
      sim::Op op;
      exePath = op.m().exePath;
      systemDir = op.m().systemDir;
    }
    candidates.push_back(sim::FolderOf(exePath) + path);
    candidates.push_back(systemDir + "\\" + path);
  }
  for (const std::string& candidate : candidates) {
    const uint32_t attrs = GetFileAttributesW(candidate);
    if (attrs == kINVALID_FILE_ATTRIBUTES || (attrs & kFILE_ATTRIBUTE_DIRECTORY)) continue;
    std::lock_guard<std::mutex> lk(sim::ShellMu());
    for (auto& [module, file] : sim::Modules())
      if (file == name) return module;
    const Module module = 0x10000000 + 0x100000 * (sim::Modules().size() + 1);
    sim::Modules()[module] = name;
    return module;
  }
  sim::SetError(126);  // ERROR_MOD_NOT_FOUND
  return 0;
}

void* GetProcAddress(Module module, const std::string& name) {
  std::string file;
  {
    std::lock_guard<std::mutex> lk(sim::ShellMu());
    auto it = sim::Modules().find(module);
    if (it == sim::Modules().end()) {
      sim::SetError(kERROR_INVALID_HANDLE);
      return nullptr;
    }
    file = it->second;
  }
  if (file == "datastate.dll" && name == "Func") {
    DataStateFunc fn = &sim::DataStateFunc;
    return reinterpret_cast<void*>(fn);
  }
  sim::SetError(kERROR_PROC_NOT_FOUND);
  return nullptr;
}

bool FreeLibrary(Module module) {
  std::lock_guard<std::mutex> lk(sim::ShellMu());
  return sim::Modules().count(module) != 0;
}

}  // namespace plat
