// The program from launch to exit over a simulated machine: each test runs the real
// entry in a process of its own (it ends with ExitProcess) on a manual clock, then reads
// what the program left on the machine.
#include <gtest/gtest.h>

#include "app/VlxMini.h"
#include "app/uHostInterface.h"
#include "diag/uBugreport.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/app/ProgramRun.h"
#include "tests/engine/EngineMachine.h"

namespace {

using namespace apptest;
using enginetest::Calls;
using enginetest::Script;
using Lines = std::vector<std::string>;

// The default machine with the product installed, on a manual clock; optionally
// with a state file (the machine is boosted).
sim::MachineBuilder Installed(const std::string* state = nullptr) {
  sim::MachineBuilder b;
  b.LocalTime(txt::EncodeDateTime(2026, 12, 6, 12, 0, 0, 0));
  if (state) b.File(kTemp, *state);
  return b;
}
const std::string kClipboardRecord = "[Clipbrd]\r\nClear=1\r\n";
const std::string kEmpty;

const std::string kHost = kHostWindowClass;
const std::string kTray = kTrayWindowClass;

TEST(Launch, GameBoostsTellsHostAndTrayAndEnds) {
  ProgramRun run(Installed(), {"-game"});
  EXPECT_EQ(run.result().exitCode, 0);
  EXPECT_TRUE(run.Exists(kTemp));
  EXPECT_TRUE(run.Exists(kData + "Logs\\Boost.txt"));
  EXPECT_EQ(run.Messages(kHost),
            (Lines{"21025 (0,0) sent", "6064 (0,123) posted", "21025 (1,0) sent"}));
  EXPECT_EQ(run.Messages(kTray),
            (Lines{"7025 (1,0) sent", "1027 (0,123) posted", "7026 (0,0) sent"}));
  EXPECT_TRUE(run.Notified());
  const std::string settings = run.Text(kData + "Velmorix.ini");
  EXPECT_NE(settings.find("IsBoost=0\r\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Lastboosttime=46362.5"), std::string::npos) << settings;
}

TEST(Launch, NormalRestoresAndRemovesTheStateFile) {
  ProgramRun run(Installed(&kClipboardRecord), {"-normal"});
  EXPECT_EQ(run.result().exitCode, 0);
  EXPECT_FALSE(run.Exists(kTemp));
  EXPECT_TRUE(run.Logged("gBoost.ExitGameDesktop"));
  EXPECT_TRUE(run.Logged("TBoost.Execute 6 osRestore Over"));
  EXPECT_EQ(run.Messages(kTray)[1], "1026 (0,123) posted");
  EXPECT_TRUE(run.Notified());
}

TEST(Launch, NothingToDoEndsAtOnceWithNotice) {
  struct Case {
    std::vector<std::string> args;
    bool boosted;
  } cases[] = {{{"-game"}, true}, {{"-normal"}, false}, {{"-GAME"}, false}, {{}, false}};
  for (const auto& c : cases) {
    sim::MachineBuilder b = Installed();
    if (c.boosted) b.File(kTemp, "");
    ProgramRun run(std::move(b), c.args);
    const std::string what = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(run.result().exitCode, 0) << what;
    EXPECT_TRUE(run.Notified()) << what;
    EXPECT_FALSE(run.Logged("TBoost.Execute 1")) << what;
    EXPECT_TRUE(run.Messages(kHost).empty()) << what;
    EXPECT_EQ(run.Exists(kTemp), c.boosted) << what;
  }
}

// Hidden, a "-game" runs a restore, not a boost; a restore shows no window and still
// ends through the timer: 7025 (0,0) for the hidden restore, then 7025 (1,0) before the
// progress display.
TEST(Launch, HiddenRunsRestoreAndEndThroughTheTimer) {
  for (const std::string arg : {"-game", "-normal"}) {
    ProgramRun run(Installed(arg == "-normal" ? &kEmpty : nullptr), {arg, "-hide"});
    EXPECT_EQ(run.result().exitCode, 0) << arg;
    EXPECT_FALSE(run.Exists(kTemp)) << arg;
    EXPECT_FALSE(run.Logged("TBoost.Execute 4 osBoost")) << arg;
    EXPECT_TRUE(run.Logged("TBoost.Execute 5 osRestore")) << arg;
    EXPECT_FALSE(run.Logged("UnnecessBoost : 0")) << arg;  // the start message never comes
    EXPECT_TRUE(run.Logged("WMExitProcess")) << arg;
    auto tray = run.Messages(kTray);
    tray.resize(std::min<size_t>(tray.size(), 2));
    EXPECT_EQ(tray, (Lines{"7025 (0,0) sent", "7025 (1,0) sent"})) << arg;
  }
}

// Without its window the tray program is started; a window that cannot be created or
// a handler that fails ends the program as a finished operation does: code 0, the
// notice, an error-log line.
TEST(Launch, MissingTrayNoWindowOrAFailingHandler) {
  struct Case {
    bool tray, window;
    std::string error;
  } cases[] = {{false, true, ""},
               {true, false, "TfrmMiniBoost.Create: cannot create the window, system error 8"},
               {true, true, "TfrmMiniBoost.WndProc: GameDesk failed"}};
  for (const Case& c : cases) {
    sim::MachineBuilder b = Installed(&kClipboardRecord);
    b.With([&](sim::Machine& m) { m.windows.at(1).present = c.tray; });  // the tray's
    sim::InjectedFaults().failWindowCreation = !c.window;                // inherited by the program
    static Calls calls;
    ProgramRun run(std::move(b), {"-normal"}, [&c] {
      Script gameDesk;
      gameDesk.throwOnRestore = !c.error.empty();
      return enginetest::FakeModules(calls, {{"GameDesk", gameDesk}});
    });
    sim::InjectedFaults().failWindowCreation = false;
    EXPECT_EQ(run.result().exitCode, 0) << c.error;
    EXPECT_TRUE(run.Notified()) << c.error;
    const auto errors = run.ErrorLog();
    EXPECT_EQ(errors.empty() ? "" : errors.back(), c.error);
    EXPECT_EQ(run.machine().shellCalls.empty() ? "" : run.machine().shellCalls[0].file,
              c.tray
                  ? c.error.find("WndProc") != std::string::npos ? kProgram + "Bugreport.exe" : ""
                  : kProgram + "VlxTray.exe");
  }
}

// "Debug" and "testbugreport" end the program through the bug report: the report, the
// reporter with the mode of "update.ini" (left as it was), no notice, code 0.
TEST(Launch, TestExceptionsEndThroughTheBugReport) {
  const std::string report = kProgram + "bugreport_.txt", ini = kProgram + "Update\\update.ini";
  const std::string temp = "C:\\Users\\Gamer\\AppData\\Local\\Temp\\bugreport_.txt";
  const std::string ignore = "[BugIgnore]\n00000000=1\n" +
                             txt::IntToHex(CppExceptionReport(kBugReportTestText).CrashId, 8);
  struct Case {
    std::string arg, updateIni;
    bool census, blocked;  // GDIResource.dll; a folder in the report's place
    std::string mode, at;  // the reporter's mode switch ("-": not started); the report
  } cases[] = {
      {"Debug", "", false, false, " /normal", report},
      {"/TESTBUGREPORT", "[vlmx_config]\nMISC_BUGT=2", true, false, " /silent", report},
      {"-testBugReport", "[vlmx_config]\nMISC_BUGT=7", false, true, "", temp},
      {"Debug", "[vlmx_config]\nMISC_BUGT=2\nMISC_BUGT_5.2.1.154=0", false, false, "-", report},
      {"Debug", ignore + "=5.2.1.154", false, false, "-", ""},
      {"Debug", ignore + "=", false, false, " /normal", report},
      {"Debug", "[BugIgnore]\n00000000=1", false, false, " /normal", report}};
  for (const Case& c : cases) {
    sim::MachineBuilder b = Installed();
    if (!c.updateIni.empty()) b.File(ini, c.updateIni);
    if (c.blocked) b.File(report + "\\x", "");
    if (c.census)
      b.File(kProgram + "GDIResource.dll", "").With([](sim::Machine& m) {
        m.libraries[kProgram + "GDIResource.dll"]["getGdiResource"] = {"int-record", {0, 1, 2, 3}};
      });
    ProgramRun run(std::move(b), c.arg == "Debug" ? std::vector<std::string>{c.arg}
                                                  : std::vector<std::string>{"-game", c.arg});
    const std::string what = c.arg + " " + c.updateIni, &text = c.at.empty() ? "" : run.Text(c.at);
    EXPECT_EQ(run.result().exitCode, 0) << what;
    EXPECT_TRUE(!run.Notified() && run.Messages(kTray).empty()) << what;
    const auto& shell = run.machine().shellCalls;
    EXPECT_EQ(shell.empty() ? "-" : shell[0].file + shell[0].parameters,
              c.mode == "-" ? "-"
                            : kProgram + "Bugreport.exe/bugreport /vlmx" + c.mode + " /files=\"" +
                                  c.at + "\"")
        << what;
    EXPECT_EQ(run.Exists(ini) ? run.Text(ini) : "", c.updateIni) << what;
    EXPECT_EQ(run.Exists(report), c.at == report || c.blocked) << what;
    for (const std::string& line :
         {std::string("VlxMini version   : 5.2.1.154"), std::string("Message           : testbug"),
          std::string("RegionHandle : ") + (c.census ? "2" : "0"), std::string("OtherHandle  : 0")})
      EXPECT_EQ(text.find(line + "\r\n") != std::string::npos,
                !c.at.empty() && (line[0] != 'M' || c.arg != "Debug"))
          << what << line;
  }
}

TEST(Launch, ASecondCopyEndsSilently) {
  test::SimHome home{Installed()};
  sim::ScopedMachine unused{sim::MachineBuilder()};
  sim::Install(sim::Session::OpenHome(home.dir()));
  const plat::Handle first = plat::CreateMutexW(kSingleInstanceMutex);
  const auto result = test::RunSimProgram(home.dir(), [] {
    const std::vector<std::string> args{kProgram + "VlxMini.exe", "-game"};
    return RunVlxMini(args);
  });
  plat::CloseHandle(first);
  EXPECT_EQ(result.exitCode, 0);
  const auto m = home.Load();
  EXPECT_TRUE(m->calls.empty());
  EXPECT_TRUE(m->messageLog.empty());
}

// A companion file missing, or an installed version the host and tray programs do not
// carry: the user is told, the support page opened, the product stopped.
TEST(Launch, BrokenInstallationTellsTheUserAndStopsTheProduct) {
  const std::string uninstall =
      "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora_is1";
  const struct {
    const char* missing;
    const char* version;  // DisplayVersion; nullptr: as installed
    const char* state;
  } rows[] = {{"VlxUpdater.exe", nullptr, "missing"}, {"", "", "damaged"}, {"", "9.9", "damaged"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.missing) + (row.version ? row.version : "-"));
    sim::MachineBuilder b = Installed();
    if (row.version) b.RegSz(uninstall, "DisplayVersion", row.version);
    test::SimHome home{std::move(b)};
    if (*row.missing) {  // the file itself must go: the check looks at the drive
      sim::ScopedMachine unused{sim::MachineBuilder()};
      sim::Install(sim::Session::OpenHome(home.dir()));
      plat::DeleteFileW(kProgram + row.missing);
    }
    const auto result = test::RunSimProgram(home.dir(), [] {
      const std::vector<std::string> args{kProgram + "VlxMini.exe", "-game"};
      return RunVlxMini(args);
    });
    EXPECT_EQ(result.exitCode, 0);
    const auto m = home.Load();
    ASSERT_EQ(m->messageBoxes.size(), 1u);
    EXPECT_EQ(m->messageBoxes[0].text, std::string("An essential file is ") + row.state +
                                           ". Please reinstall Velmora and try again.");
    ASSERT_EQ(m->shellCalls.size(), 1u);
    EXPECT_NE(m->shellCalls[0].file.find("&st=filerupt&to=filerupt"), std::string::npos);
    ASSERT_EQ(m->messageLog.size(), 1u);
    EXPECT_EQ(m->messageLog[0].message, 6026u);
    EXPECT_TRUE(m->calls.empty());
    for (const auto& p : m->processes) {
      EXPECT_FALSE(txt::SameText(p.exeFile, "VlxMain.exe")) << "host still runs";
      EXPECT_FALSE(txt::SameText(p.exeFile, "VlxTray.exe")) << "tray still runs";
    }
  }
}

// ---------------------------------------------------------------- timing on the machine clock

std::function<TBoostModules()> SlowMonitor(uint32_t ms, bool fails = false) {
  return [ms, fails] {
    static Calls calls;
    Script slow;
    slow.boostMs = ms;
    slow.throwOnBoost = fails;
    return enginetest::FakeModules(calls, {{"Monitor", slow}}, {"Monitor"});
  };
}

// A short pass: 180 ms steps until the first step after 2.5 s (the 14th, at 2520 ms),
// then 1 ms steps. A long pass, or a worker that fails, is cut off when the bar is full:
// the module wrote nothing and the finish callback never came.
TEST(LaunchTiming, TheBarEndsSoonAfterAShortPassAndCutsOffALongOrFailedOne) {
  const struct {
    uint32_t ms;
    bool fails;
    int64_t duration;
  } rows[] = {{1000, false, 2520 + 86}, {30000, false, 100 * 180}, {1000, true, 100 * 180}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.ms + row.fails);
    ProgramRun run(Installed(), {"-game"}, SlowMonitor(row.ms, row.fails));
    EXPECT_EQ(run.result().exitCode, 0);
    // From the start of the progress display (the host's first 21025) to the end (6064).
    const int64_t duration = static_cast<int64_t>(run.TickOf(6064) - run.TickOf(21025));
    EXPECT_GE(duration, row.duration);
    EXPECT_LE(duration, row.duration + 20);
    const bool cut = row.duration > 10000;
    EXPECT_TRUE(run.Logged("position:86"));
    EXPECT_EQ(run.Logged("Call Back Finish Function"), !cut);
    if (row.ms == 30000) {
      EXPECT_EQ(run.Text(kTemp), "");
      EXPECT_NE(run.Text(kData + "Velmorix.ini").find("IsBoost=1\r\n"), std::string::npos);
    }
  }
}

}  // namespace
