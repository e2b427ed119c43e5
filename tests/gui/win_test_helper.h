// Shared pieces of the Windows-only GUI tests: helper programs, message pumping
// with a deadline, unique names.
#pragma once

#include <windows.h>
#undef DrawText

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/WinProcess.h"

namespace guitest {

using test::HelperPath;
using test::Wide;

// Starts "<helper> <arguments>"; nullptr on failure.
inline HANDLE StartHelper(const std::string& name, const std::string& arguments) {
  return test::StartProgram(HelperPath(name), arguments);
}

// Waits for the process to end and closes its handle. The exit code, or -1 on time-out
// (the process is then terminated).
inline int64_t FinishHelper(HANDLE process, DWORD timeoutMs = 10000) {
  int64_t result = -1;
  if (::WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
    DWORD code = 0;
    ::GetExitCodeProcess(process, &code);
    result = code;
  } else {
    ::TerminateProcess(process, 99);
    ::WaitForSingleObject(process, 5000);
  }
  ::CloseHandle(process);
  return result;
}

// Dispatches this thread's messages until done() answers true or the time is up
// (done() is asked after every batch of messages and at least every 10 ms).
// Answers done()'s last answer.
inline bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
  const uint64_t end = plat::GetTickCount64() + timeoutMs;
  for (;;) {
    plat::Message msg;
    while (plat::PeekMessageW(msg))
      plat::DispatchMessageW(msg);
    if (done()) return true;
    const uint64_t now = plat::GetTickCount64();
    if (now >= end) return false;
    // Wakes for a message, or after a short while to ask done() again.
    const uint64_t wait = end - now < 10 ? end - now : 10;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(wait), QS_ALLINPUT);
  }
}

// Pumps messages for a while.
inline void PumpFor(uint32_t ms) {
  PumpUntil([] { return false; }, ms);
}

// A name no other test run uses.
inline std::string UniqueName(const std::string& stem) {
  return stem + "_" + std::to_string(plat::GetCurrentProcessId()) + "_" +
         std::to_string(plat::GetTickCount());
}

}  // namespace guitest
