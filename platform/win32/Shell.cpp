// Win32 backend: the command line, the shell, message boxes, the end of the
// process and run-time libraries.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <shellapi.h>

#include <string>

#include "platform/win32/Wide.h"
// windows.h maps DrawText to DrawTextW; the seam's display-list record has that name.
#undef DrawText
#include "platform/Gui.h"

namespace plat {

using win32::NarrowZ;
using win32::Widen;

namespace {
// Optional text arguments: no argument for an empty text.
const wchar_t* OrNull(const std::wstring& text) {
  return text.empty() ? nullptr : text.c_str();
}
}  // namespace

// ---------------------------------------------------------------- process and shell

std::string GetCommandLineW() {
  return NarrowZ(::GetCommandLineW());
}

intptr_t ShellExecuteW(Hwnd owner, const std::string& verb, const std::string& file,
                       const std::string& parameters, const std::string& directory,
                       int showCommand) {
  const std::wstring wideVerb = Widen(verb);
  const std::wstring wideFile = Widen(file);
  const std::wstring wideParameters = Widen(parameters);
  const std::wstring wideDirectory = Widen(directory);
  HINSTANCE result =
      ::ShellExecuteW(reinterpret_cast<HWND>(owner), OrNull(wideVerb), wideFile.c_str(),
                      OrNull(wideParameters), OrNull(wideDirectory), showCommand);
  return reinterpret_cast<intptr_t>(result);
}

int MessageBoxW(Hwnd owner, const std::string& text, const std::string& caption, uint32_t type) {
  const std::wstring wideText = Widen(text);
  const std::wstring wideCaption = Widen(caption);
  return ::MessageBoxW(reinterpret_cast<HWND>(owner), wideText.c_str(), wideCaption.c_str(), type);
}

void ExitProcess(uint32_t exitCode) {
  ::ExitProcess(exitCode);
  __builtin_unreachable();
}

// ---------------------------------------------------------------- run-time libraries

Module LoadLibraryW(const std::string& path) {
  const std::wstring wide = Widen(path);
  return reinterpret_cast<Module>(::LoadLibraryW(wide.c_str()));
}

void* GetProcAddress(Module module, const std::string& name) {
  FARPROC proc = ::GetProcAddress(reinterpret_cast<HMODULE>(module), name.c_str());
  return reinterpret_cast<void*>(proc);
}

bool FreeLibrary(Module module) {
  return ::FreeLibrary(reinterpret_cast<HMODULE>(module)) != FALSE;
}

}  // namespace plat
