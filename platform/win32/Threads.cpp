// Win32 backend: threads, waiting, events, the named mutex and named file mappings.
#include <windows.h>
// windows.h first: the headers below build on it.
#include <process.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "platform/win32/Wide.h"
// windows.h maps DrawText to DrawTextW; the seam's display-list record has that name.
#undef DrawText
#include "platform/Gui.h"

namespace plat {

using win32::FromHandle;
using win32::ToHandle;
using win32::Widen;

namespace {

unsigned __stdcall ThreadStart(void* parameter) {
  std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
  try {
    (*body)();
  } catch (...) {
    // An error that leaves the body ends the program through its terminate handler,
    // with the exception still current.
    std::terminate();
  }
  return 0;
}

// Name argument of the Create/Open functions: no name for an empty text.
const wchar_t* NameOrNull(const std::wstring& name) {
  return name.empty() ? nullptr : name.c_str();
}

}  // namespace

// ---------------------------------------------------------------- threads and waiting

Handle CreateThread(std::function<void()> body) {
  auto* heap = new std::function<void()>(std::move(body));
  unsigned threadId = 0;
  // _beginthreadex rather than the raw CreateThread: the C runtime sets up the thread.
  const uintptr_t thread = ::_beginthreadex(nullptr, 0, ThreadStart, heap, 0, &threadId);
  if (thread == 0) {
    win32::KeepLastError keep;
    delete heap;
    return 0;
  }
  return static_cast<Handle>(thread);
}

uint32_t WaitForSingleObject(Handle handle, uint32_t timeoutMs) {
  return ::WaitForSingleObject(ToHandle(handle), timeoutMs);
}

Handle CreateEventW(bool manualReset, bool initialState, const std::string& name) {
  const std::wstring wide = Widen(name);
  return FromHandle(::CreateEventW(nullptr, manualReset ? TRUE : FALSE, initialState ? TRUE : FALSE,
                                   NameOrNull(wide)));
}

Handle OpenEventW(const std::string& name) {
  const std::wstring wide = Widen(name);
  return FromHandle(::OpenEventW(EVENT_ALL_ACCESS, FALSE, wide.c_str()));
}

bool SetEvent(Handle event) {
  return ::SetEvent(ToHandle(event)) != FALSE;
}

Handle CreateMutexW(const std::string& name) {
  const std::wstring wide = Widen(name);
  return FromHandle(::CreateMutexW(nullptr, FALSE, NameOrNull(wide)));
}

Handle CreateFileMappingW(const std::string& name, uint32_t size) {
  const std::wstring wide = Widen(name);
  return FromHandle(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size,
                                         NameOrNull(wide)));
}

Handle OpenFileMappingW(const std::string& name) {
  const std::wstring wide = Widen(name);
  return FromHandle(::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, wide.c_str()));
}

void* MapViewOfFile(Handle mapping) {
  return ::MapViewOfFile(ToHandle(mapping), FILE_MAP_ALL_ACCESS, 0, 0, 0);
}

bool UnmapViewOfFile(void* view) {
  return ::UnmapViewOfFile(view) != FALSE;
}

}  // namespace plat
