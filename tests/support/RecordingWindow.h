// A stand-in for another program's top-level window: a window of a given class
// and caption that writes every message it receives from WM_USER on, and
// WM_CLOSE, to a record file, one line per message:
//   <message> <wParam> <lParam> <sent|posted>
// (decimal numbers; "sent" when the message came through SendMessageW from
// another thread or process). Sent messages are answered with 1.
//
// WM_CLOSE is recorded and then closes the window: the result is 0. Without a
// WM_CLOSE the window closes itself after lifetimeMs and the result is
// kRecordingWindowLifetimeOver; 1 when the window cannot be created.
#pragma once

#include <cstdint>
#include <string>

namespace test {

inline constexpr int kRecordingWindowLifetimeOver = 3;

int RunRecordingWindow(const std::string& className, const std::string& caption,
                       const std::string& recordFile, uint32_t lifetimeMs);

}  // namespace test
