// Win32 backend: the command line, the shell, message boxes, the end of the
// process and run-time libraries.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <shellapi.h>

#include <cstdio>
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

namespace {

CrashFunc gCrash = nullptr;

// "module+offset" for an address: the module's file name and the address's distance
// from the module's base, so that the text is the same wherever the module is loaded.
std::string ModuleOffset(const void* address) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &module))
    return "?";
  wchar_t path[MAX_PATH] = {};
  const DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH);
  std::wstring name(path, n);
  const size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  char offset[32];
  std::snprintf(offset, sizeof offset, "+%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address) -
                                                reinterpret_cast<uintptr_t>(module)));
  return NarrowZ(name.c_str()) + offset;
}

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
  if (!gCrash) return EXCEPTION_CONTINUE_SEARCH;
  const EXCEPTION_RECORD* record = info->ExceptionRecord;
  std::string stack = ModuleOffset(record->ExceptionAddress);
  // The frames below the filter: the system's dispatch, then the faulting function's
  // callers.
  void* frames[48] = {};
  const USHORT count = ::RtlCaptureStackBackTrace(0, 48, frames, nullptr);
  for (USHORT i = 0; i < count; ++i)
    stack += "\r\n" + ModuleOffset(frames[i]);
  gCrash(record->ExceptionCode, stack);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void SetCrashFilter(CrashFunc crash) {
  gCrash = crash;
  ::SetUnhandledExceptionFilter(CrashFilter);
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
