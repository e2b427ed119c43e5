// Shared pieces of the Windows-only GUI tests: helper programs, message pumping with
// a deadline.
#pragma once

#include <windows.h>
#undef DrawText

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Gui.h"
#include "platform/Platform.h"
#include "tests/support/WinProcess.h"

namespace guitest {

using test::HelperPath;

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

}  // namespace guitest
