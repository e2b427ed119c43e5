// System facts, environment, shell folders, user, modules, debug output and the
// clock on the simulated machine.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

using namespace plat;

TEST(SimSystem, MissingKernelFunctions) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .Os(5, 1, 2600)
                           .Architecture(kPROCESSOR_ARCHITECTURE_INTEL, false)
                           .With([](sim::Machine& x) {
                             x.hasIsWow64Process = false;
                             x.hasGetNativeSystemInfo = false;
                             x.missingExports = {"GetTickCount64"};
                           })};
  EXPECT_FALSE(Kernel32HasExport("IsWow64Process"));
  EXPECT_FALSE(Kernel32HasExport("GetNativeSystemInfo"));
  EXPECT_FALSE(Kernel32HasExport("GetTickCount64"));
  EXPECT_TRUE(Kernel32HasExport("GetVersionExW"));
  EXPECT_FALSE(HasGetNativeSystemInfo());
  bool wow64 = true;
  EXPECT_FALSE(IsWow64Process(GetCurrentProcess(), wow64));
  EXPECT_EQ(GetLastError(), kERROR_PROC_NOT_FOUND);
}

TEST(SimSystem, EnvironmentFoldersUserAndModules) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .User("Gamer")
                           .Env("VLX_MODE", "fast")
                           .NoEnv("TEMP")
                           .NoFolder(kCSIDL_MYVIDEO)
                           .ExePath("C:\\Games\\Tool.exe")};
  EXPECT_EQ(GetEnvironmentVariableW("vlx_mode"), std::optional<std::string>("fast"));
  EXPECT_EQ(GetEnvironmentVariableW("TEMP"), std::nullopt);
  ASSERT_TRUE(SetEnvironmentVariableW("Vlx_Mode", std::string("slow")));
  EXPECT_EQ(GetEnvironmentVariableW("VLX_MODE"), std::optional<std::string>("slow"));
  ASSERT_TRUE(SetEnvironmentVariableW("VLX_MODE", std::nullopt));
  EXPECT_EQ(GetEnvironmentVariableW("VLX_MODE"), std::nullopt);
  // Without TEMP the temporary folder comes from TMP.
  EXPECT_EQ(GetTempPathW(), "C:\\Users\\Gamer\\AppData\\Local\\Temp\\");

  std::string path;
  ASSERT_TRUE(SHGetSpecialFolderPathW(kCSIDL_APPDATA, path));
  EXPECT_EQ(path, "C:\\Users\\Gamer\\AppData\\Roaming");
  ASSERT_TRUE(SHGetSpecialFolderPathW(kCSIDL_LOCAL_APPDATA | 0x8000, path));  // CSIDL_FLAG_CREATE
  EXPECT_EQ(path, "C:\\Users\\Gamer\\AppData\\Local");
  EXPECT_FALSE(SHGetSpecialFolderPathW(kCSIDL_MYVIDEO, path));

  std::string user;
  EXPECT_FALSE(GetUserNameW(user, 5));  // "Gamer" needs 6 with the terminator
  EXPECT_EQ(GetLastError(), kERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(GetUserNameW(user, 6));
  EXPECT_EQ(user, "Gamer");

  EXPECT_EQ(GetModuleFileNameW(), "C:\\Games\\Tool.exe");
  EXPECT_EQ(GetModuleFileNameW("kernel32.dll"), "C:\\Windows\\SysWOW64\\kernel32.dll");
  EXPECT_EQ(GetModuleFileNameW("KERNEL32"), "C:\\Windows\\SysWOW64\\kernel32.dll");
  EXPECT_EQ(GetModuleFileNameW("tool.EXE"), "C:\\Games\\Tool.exe");
  EXPECT_EQ(GetModuleFileNameW("OverDrive.dll"), "");

  OutputDebugStringW("first");
  OutputDebugStringW("second");
  EXPECT_EQ(m.machine().debugOutput, (std::vector<std::string>{"first", "second"}));
}

TEST(SimClock, ManualClockMovesOnlyWhenTheProgramSleeps) {
  sim::ScopedMachine m{sim::MachineBuilder().Tick(1000).LocalTime(46362.5)};  // 2026-12-06 12:00:00
  EXPECT_EQ(GetTickCount(), 1000u);
  EXPECT_EQ(GetTickCount(), 1000u);
  SystemTime t = GetLocalTime();
  EXPECT_EQ(t.year, 2026);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 6);
  EXPECT_EQ(t.dayOfWeek, 0);  // a Sunday
  EXPECT_EQ(t.hour, 12);
  Sleep(86400000 - 1);  // a day less a millisecond: no real waiting
  EXPECT_EQ(GetTickCount64(), 1000u + 86400000 - 1);
  t = GetLocalTime();
  EXPECT_EQ(t.day, 7);
  EXPECT_EQ(t.hour, 11);
  EXPECT_EQ(t.minute, 59);
  EXPECT_EQ(t.second, 59);
  EXPECT_EQ(t.milliseconds, 999);
  EXPECT_EQ(m.machine().tickMs, 86401000u - 1);
  // The 32-bit count wraps like the real one.
  m.machine().tickMs = 0xFFFFFFFFull + 6;
  EXPECT_EQ(GetTickCount(), 5u);
}

TEST(SimClock, RealClockFollowsTheHost) {
  sim::ScopedMachine m{sim::MachineBuilder().With([](sim::Machine& x) { x.manualClock = false; })};
  const uint64_t a = GetTickCount64();
  Sleep(2);
  const uint64_t b = GetTickCount64();
  EXPECT_GE(b, a + 1);
  EXPECT_GE(GetLocalTime().year, 2024);
}

TEST(SimLocale, LocaleFactsAndCodePages) {
  sim::ScopedMachine m{sim::MachineBuilder().CodePage(1250).Language(0x0415).DecimalSeparator(",")};
  EXPECT_EQ(GetACP(), 1250u);
  EXPECT_EQ(GetSystemDefaultLangID(), 0x0415);
  EXPECT_EQ(GetUserDecimalSeparator(), ",");
  // CP_ACP is the machine's code page.
  EXPECT_EQ(MultiByteToWideChar(0, "\xB3\xF3\xBF"), u"\u0142\u00F3\u017C");
  EXPECT_EQ(WideCharToMultiByte(0, u"\u0142\u00F3\u017C"), "\xB3\xF3\xBF");
  EXPECT_EQ(MultiByteToWideChar(1251, "\xC6\xE8\xE2"), u"\u0416\u0438\u0432");
  EXPECT_EQ(WideCharToMultiByte(1251, u"\u0416"), "\xC6");
  EXPECT_EQ(MultiByteToWideChar(1253, "\xD9\xE1"), u"\u03A9\u03B1");
  EXPECT_EQ(WideCharToMultiByte(1253, u"\u03A9\u00E9"), "\xD9?");
  // Bytes a code page leaves undefined still map, and back.
  EXPECT_EQ(MultiByteToWideChar(1252, "\x81"), u"\u0081");
  EXPECT_EQ(WideCharToMultiByte(1252, u"\u0081"), "\x81");
  // One "?" for a character outside the BMP; unknown code pages fail.
  EXPECT_EQ(WideCharToMultiByte(1252, u"a\U0001F600b"), "a?b");
  EXPECT_EQ(MultiByteToWideChar(65001, "\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(MultiByteToWideChar(932, "abc"), u"");
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

  EXPECT_EQ(OpenProcess(kPROCESS_TERMINATE, false, 123456), 0u);
  EXPECT_EQ(GetLastError(), kERROR_INVALID_PARAMETER);
  EXPECT_EQ(OpenProcess(kPROCESS_TERMINATE, false, lockedPid), 0u);
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);

  Handle h = OpenProcess(kPROCESS_TERMINATE, false, stubbornPid);
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(TerminateProcess(h, 1));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_TRUE(CloseHandle(h));

  // Spotify.exe of the default machine.
  h = OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, 7016);
  ASSERT_NE(h, 0u);
  EXPECT_FALSE(TerminateProcess(h, 1));  // the handle lacks PROCESS_TERMINATE
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
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
  bool wow64 = false;
  h = OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, 4712);  // explorer.exe (64-bit)
  ASSERT_TRUE(IsWow64Process(h, wow64));
  EXPECT_FALSE(wow64);
  CloseHandle(h);
  h = OpenProcess(kPROCESS_QUERY_LIMITED_INFORMATION, false, 8604);  // VlxMain.exe (32-bit)
  ASSERT_TRUE(IsWow64Process(h, wow64));
  EXPECT_TRUE(wow64);
  CloseHandle(h);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), kERROR_INVALID_HANDLE);
}

}  // namespace
