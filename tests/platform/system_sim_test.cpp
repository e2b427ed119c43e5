// What the simulated machine shows that a Wine prefix cannot: kernel functions an old
// system lacks, the controllable clock, other code pages; and process rights.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/ErrorOf.h"

namespace {

using namespace plat;
using test::ErrorOf;

TEST(SimSystem, MissingKernelFunctions) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .Os(5, 1, 2600)
                           .Architecture(kPROCESSOR_ARCHITECTURE_INTEL, false)
                           .With([](sim::Machine& x) {
                             x.hasIsWow64Process = false;
                             x.hasGetNativeSystemInfo = false;
                             x.missingExports = {"GetTickCount64"};
                           })};
  for (const char* name : {"IsWow64Process", "GetNativeSystemInfo", "GetTickCount64"})
    EXPECT_FALSE(Kernel32HasExport(name)) << name;
  EXPECT_TRUE(Kernel32HasExport("GetVersionExW"));
  EXPECT_FALSE(HasGetNativeSystemInfo());
  bool wow64 = true;
  EXPECT_EQ(ErrorOf(IsWow64Process(GetCurrentProcess(), wow64)), kERROR_PROC_NOT_FOUND);
}

TEST(SimClock, ManualClockMovesOnlyWhenTheProgramSleeps) {
  sim::ScopedMachine m{sim::MachineBuilder().Tick(1000).LocalTime(46362.5)};  // 2026-12-06 12:00
  EXPECT_EQ(GetTickCount(), 1000u);
  SystemTime t = GetLocalTime();
  EXPECT_EQ(txt::FormatLogTimestamp(t), "2026-12-06 12:00:00.000");
  EXPECT_EQ(t.dayOfWeek, 0);  // a Sunday
  Sleep(86400000 - 1);        // a day less a millisecond: no real waiting
  EXPECT_EQ(GetTickCount64(), 1000u + 86400000 - 1);
  EXPECT_EQ(txt::FormatLogTimestamp(GetLocalTime()), "2026-12-07 11:59:59.999");
  // The 32-bit count wraps like the real one.
  m.machine().tickMs = 0xFFFFFFFFull + 6;
  EXPECT_EQ(GetTickCount(), 5u);
}

TEST(SimLocale, LocaleFactsAndCodePages) {
  sim::ScopedMachine m{sim::MachineBuilder().CodePage(1250).Language(0x0415).DecimalSeparator(",")};
  EXPECT_EQ(GetACP(), 1250u);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x0415);
  EXPECT_EQ(GetUserDecimalSeparator(), ",");
  // code page (0: the machine's), bytes, characters; bytes a code page leaves undefined
  // still map, and back.
  const struct {
    uint32_t codePage;
    std::string bytes;
    std::u16string text;
  } both[] = {{0, "\xB3\xF3\xBF", u"\u0142\u00F3\u017C"},
              {1251, "\xC6\xE8\xE2", u"\u0416\u0438\u0432"},
              {1253, "\xD9\xE1", u"\u03A9\u03B1"},
              {1252, "\x81", u"\u0081"},
              {65001, "\xF0\x9F\x98\x80", u"\U0001F600"}};
  for (const auto& row : both) {
    EXPECT_EQ(MultiByteToWideChar(row.codePage, row.bytes), row.text) << row.codePage;
    EXPECT_EQ(WideCharToMultiByte(row.codePage, row.text), row.bytes) << row.codePage;
  }
  // One "?" for a character the code page lacks, also outside the BMP.
  EXPECT_EQ(WideCharToMultiByte(1253, u"\u03A9\u00E9"), "\xD9?");
  EXPECT_EQ(WideCharToMultiByte(1252, u"a\U0001F600b"), "a?b");
  EXPECT_EQ(MultiByteToWideChar(932, "abc"), u"");  // unknown code pages fail
  EXPECT_EQ(GetLastError(), kERROR_INVALID_PARAMETER);
}

TEST(SimProcesses, SnapshotOpenAndTerminate) {
  sim::Process locked;
  locked.exeFile = "anticheat.exe";
  locked.canOpen = false;
  sim::Process stubborn;
  stubborn.exeFile = "stubborn.exe";
  stubborn.canTerminate = false;
  sim::ScopedMachine m{sim::MachineBuilder().AddProcess(locked).AddProcess(stubborn)};
  std::vector<ProcessEntry> entries;
  ASSERT_TRUE(SnapshotProcesses(entries));
  ASSERT_EQ(entries.size(), m.machine().processes.size());
  EXPECT_EQ(entries[1].exeFile, "System");
  EXPECT_EQ(entries[1].pid, 4u);
  const uint32_t lockedPid = m.machine().processes[m.machine().processes.size() - 2].pid;
  const uint32_t stubbornPid = m.machine().processes.back().pid;
  EXPECT_EQ(ErrorOf(OpenProcess(kPROCESS_TERMINATE, false, 123456) != 0), kERROR_INVALID_PARAMETER);
  EXPECT_EQ(ErrorOf(OpenProcess(kPROCESS_TERMINATE, false, lockedPid) != 0), kERROR_ACCESS_DENIED);
  Handle h = OpenProcess(kPROCESS_TERMINATE, false, stubbornPid);
  EXPECT_EQ(ErrorOf(TerminateProcess(h, 1)), kERROR_ACCESS_DENIED);
  EXPECT_TRUE(CloseHandle(h));

  // Spotify.exe of the default machine: the handle needs PROCESS_TERMINATE.
  h = OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, 7016);
  EXPECT_EQ(ErrorOf(TerminateProcess(h, 1)), kERROR_ACCESS_DENIED);
  CloseHandle(h);
  h = OpenProcess(kPROCESS_TERMINATE, false, 7016);
  ASSERT_TRUE(TerminateProcess(h, 1));
  EXPECT_FALSE(TerminateProcess(h, 1));  // already gone
  CloseHandle(h);
  ASSERT_TRUE(SnapshotProcesses(entries));
  for (const ProcessEntry& e : entries)
    EXPECT_NE(e.exeFile, "Spotify.exe");

  EXPECT_EQ(GetCurrentProcessId(), 9120u);  // VlxMini.exe in the default table
  EXPECT_TRUE(CloseHandle(GetCurrentProcess()));
  // explorer.exe is a 64-bit process, VlxMain.exe a 32-bit one.
  for (const auto& [pid, expected] : {std::pair{4712u, false}, std::pair{8604u, true}}) {
    bool wow64 = !expected;
    h = OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, pid);
    ASSERT_TRUE(IsWow64Process(h, wow64));
    EXPECT_EQ(wow64, expected) << pid;
    CloseHandle(h);
  }
  EXPECT_EQ(ErrorOf(CloseHandle(h)), kERROR_INVALID_HANDLE);
}

}  // namespace
