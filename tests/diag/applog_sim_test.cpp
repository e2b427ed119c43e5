// The program's named log channels over simulated machines.
#include <gtest/gtest.h>

#include <string>

#include "diag/uAppLog.h"
#include "diag/uMonitorAppLog.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"

namespace {

const std::string kRoaming = "C:\\Users\\Gamer\\AppData\\Roaming";
const std::string kLogs = kRoaming + "\\Trevanic\\Velmora\\Logs\\";
const std::string kBom = "\xFF\xFE";

std::string Entries(std::initializer_list<std::string> msgs) {
  std::string text;
  for (const std::string& msg : msgs)
    text += "2021-03-04 17:05:09.042  " + msg + "\r\n";
  return kBom + txt::Utf8ToUtf16LeBytes(text);
}

// A machine running the program from the product folder; the program-wide channels are
// released at the end.
struct AppLogMachine : sim::ScopedMachine {
  explicit AppLogMachine(const std::string& exe = "VlxMini.exe")
      : sim::ScopedMachine(sim::MachineBuilder()
                               .LocalTime(txt::EncodeDateTime(2021, 3, 4, 17, 5, 9, 42))
                               .Folder(26, kRoaming)
                               .ExePath("C:\\Program Files (x86)\\Velmora\\" + exe)) {}
  ~AppLogMachine() {
    DoneAppLog();
    DoneMonitorAppLog();
    SetDebugOutput(false);
  }
  std::string Log(const std::string& name) { return Exists(name) ? ReadFile(name) : "-"; }
};

// Channels write only between their opening and their release.
TEST(AppLogSim, ProgramAndMonitorLogsLandInTheLogFolderUntilReleased) {
  AppLogMachine m;
  LogRun("never opened");
  MonitorLogRun("never opened");
  InitDefaultAppLog();
  InitDefaultMonitorAppLog();
  LogRun("run");
  LogInfo("info");
  LogError("error");
  MonitorLogRun("m run");
  MonitorLogInfo("m info");
  MonitorLogError("m error");
  DoneAppLog();
  DoneMonitorAppLog();
  LogRun("released");
  LogError("released");
  MonitorLogRun("released");
  EXPECT_EQ(AppRunLogFileName(), "");
  EXPECT_EQ(m.Log(kLogs + "VlxMiniAppRun.log"), Entries({"run", "info"}));
  EXPECT_EQ(m.Log(kLogs + "VlxMiniException.log"), Entries({"error"}));
  EXPECT_EQ(m.Log(kLogs + "MonitorAppRun.log"), Entries({"m run", "m info"}));
  EXPECT_EQ(m.Log(kLogs + "MonitorException.log"), Entries({"m error"}));
}

// The host's logs (in any letter case) have no prefix; a folder given without delimiter
// gets one.
TEST(AppLogSim, HostAndExplicitFoldersName) {
  for (const auto& [exe, runLog] :
       {std::pair{"VLXMAIN.EXE", "AppRun.log"}, std::pair{"VlxMini.exe", "VlxMiniAppRun.log"}}) {
    AppLogMachine m(exe);
    InitDefaultAppLog();
    LogRun("default");
    InitAppLog("C:\\Logs", "Run.log", "Err.log");
    LogError("b");
    EXPECT_EQ(m.Log(kLogs + runLog), Entries({"default"}));
    EXPECT_EQ(m.Log("C:\\Logs\\Err.log"), Entries({"b"}));
  }
}

TEST(AppLogSim, RunAndErrorLogsRotateAtTheirOwnSizes) {
  AppLogMachine m;
  const std::string run = kLogs + "VlxMiniAppRun.log";
  const std::string error = kLogs + "VlxMiniException.log";
  m.WriteFile(run, kBom + std::string(1024000 - 2, 'r'));
  m.WriteFile(error, kBom + std::string(204800 - 2, 'e'));
  InitDefaultAppLog();
  LogRun("r");
  LogError("e");
  EXPECT_EQ(m.Log(run), Entries({"r"}));
  EXPECT_EQ(m.Log(error), Entries({"e"}));
  EXPECT_EQ(m.Log(run + ".bak1").size() + m.Log(error + ".bak1").size(), 1024000u + 204800u);
}

TEST(AppLogSim, DebugOutputOnlyWhenEnabled) {
  AppLogMachine m;
  LogDebug("off");
  SetDebugOutput(true);
  LogDebug("TGameDesk.Boost");
  MonitorLogDebug("monitor");
  EXPECT_EQ(m.machine().debugOutput, (std::vector<std::string>{"TGameDesk.Boost", "monitor"}));
}

}  // namespace
