// What the simulated machine shows that a Wine prefix cannot: kernel functions an old
// system lacks, the controllable clock, other code pages; the machine file, read and
// written back exactly, with errors that name their line.
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
  EXPECT_EQ(GetLocalTime().dayOfWeek, 0);  // a Sunday
  Sleep(86400000 - 1);                     // a day less a millisecond: no real waiting
  EXPECT_EQ(GetTickCount64(), 1000u + 86400000 - 1);
  EXPECT_EQ(txt::FormatLogTimestamp(GetLocalTime()), "2026-12-07 11:59:59.999");
  EXPECT_EQ(txt::FormatIniDateTime(txt::Now()), "12/07/2026 11:59:59:999");
  // The 32-bit count wraps like the real one.
  m.machine().tickMs = 0xFFFFFFFFull + 6;
  EXPECT_EQ(GetTickCount(), 5u);
}

TEST(SimLocale, LocaleFactsAndCodePages) {
  sim::ScopedMachine m{sim::MachineBuilder().CodePage(1250).Language(0x0415)};
  EXPECT_EQ(GetACP(), 1250u);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x0415);
  // The machine's code page (0) both ways; bytes a code page leaves undefined still map.
  EXPECT_EQ(MultiByteToWideChar(0, "\xB3\xF3\xBF"), u"\u0142\u00F3\u017C");
  EXPECT_EQ(WideCharToMultiByte(0, u"\u0142\u00F3\u017C"), "\xB3\xF3\xBF");
  EXPECT_EQ(WideCharToMultiByte(1252, MultiByteToWideChar(1252, "\x81\x7F")), "\x81\x7F");
  // One "?" for a character the code page lacks, also outside the BMP.
  EXPECT_EQ(WideCharToMultiByte(1253, u"\u03A9\u00E9a\U0001F600b"), "\xD9?a?b");
  EXPECT_EQ(MultiByteToWideChar(932, "abc"), u"");  // unknown code pages fail
  EXPECT_EQ(GetLastError(), kERROR_INVALID_PARAMETER);
}

std::string Reserialized(const std::string& text) {
  sim::Machine m;
  std::string error;
  EXPECT_TRUE(sim::Parse(text, m, error)) << error;
  return sim::Serialize(m);
}

TEST(MachineFile, TheDefaultMachineAndSectionsThisVersionDoesNotKnowAreWrittenAsRead) {
  const std::string text = sim::DefaultMachineText() +
                           "\n[services]\n# a comment inside\nSpooler = running,   auto\n\n"
                           "[printer 1]\nport = LPT1\n";
  EXPECT_EQ(Reserialized(text), text);
}

TEST(MachineFile, ErrorsNameTheLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"orphan = 1\n", "line 1: 'orphan = 1' is outside any section"},
      {"[machine]\n\nos.version = ten\n",
       "line 3: 'os.version' needs major.minor.build, not 'ten'"},
      {"[process 4]\nname = a\n[process 4]\n", "line 3: process 4 is listed twice"}};
  for (const auto& [text, message] : cases) {
    sim::Machine m;
    std::string error;
    EXPECT_FALSE(sim::Parse(text, m, error)) << text;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
