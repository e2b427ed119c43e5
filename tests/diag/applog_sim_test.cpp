// The program's named log channels over simulated machines.
#include <gtest/gtest.h>

#include <string>

#include "diag/uAppLog.h"
#include "diag/uMonitorAppLog.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"

namespace {

const std::string kRoaming = "C:\\Users\\Gamer\\AppData\\Roaming";
const std::string kLogs = kRoaming + "\\Trevanic\\Velmora\\Logs";
const std::string kStamp = "2021-03-04 17:05:09.042  ";
const std::string kBom = "\xFF\xFE";

sim::MachineBuilder Machine(const std::string& exePath) {
  sim::MachineBuilder builder;
  builder.LocalTime(txt::EncodeDateTime(2021, 3, 4, 17, 5, 9, 42))
      .Folder(26, kRoaming)
      .ExePath(exePath);
  return builder;
}

std::string Entries(std::initializer_list<std::string> msgs) {
  std::string text;
  for (const std::string& msg : msgs)
    text += kStamp + msg + "\r\n";
  return kBom + txt::Utf8ToUtf16LeBytes(text);
}

// Keeps the program-wide channels from leaking into the next test.
struct AppLogGuard {
  ~AppLogGuard() {
    DoneAppLog();
    DoneMonitorAppLog();
    SetDebugOutput(false);
  }
};

TEST(AppLogSim, PrefixIsTheProgramNameExceptForTheHost) {
  EXPECT_EQ(AppLogPrefix("C:\\Program Files (x86)\\Velmora\\VlxMini.exe"), "VlxMini");
  EXPECT_EQ(AppLogPrefix("C:\\Program Files (x86)\\Velmora\\VlxTray.exe"), "VlxTray");
  EXPECT_EQ(AppLogPrefix("C:\\Program Files (x86)\\Velmora\\VlxMain.exe"), "");
  EXPECT_EQ(AppLogPrefix("c:\\velmora\\VLXMAIN.EXE"), "");
  EXPECT_EQ(AppLogPrefix("C:\\Velmora\\Setup.EXE"), "Setup");
  // Only the first occurrence of the extension goes.
  EXPECT_EQ(AppLogPrefix("C:\\x\\a.exe.b.exe"), "a.b.exe");
  EXPECT_EQ(AppLogPrefix("C:\\x\\Tool"), "Tool");
}

TEST(AppLogSim, ProgramLogsLandInTheLogFolderUnderItsPrefix) {
  AppLogGuard guard;
  sim::ScopedMachine m{Machine("C:\\Program Files (x86)\\Velmora\\VlxMini.exe")};
  EXPECT_EQ(AppLogFolder(), kLogs);
  InitDefaultAppLog();
  EXPECT_EQ(AppRunLogFileName(), kLogs + "\\VlxMiniAppRun.log");
  EXPECT_EQ(AppErrorLogFileName(), kLogs + "\\VlxMiniException.log");
  LogRun("TfrmMiniBoost.FormCreate 1");
  LogInfo("TBoost.Execute 1");
  LogError("TBoost.Execute: Access denied");
  EXPECT_EQ(m.ReadFile(kLogs + "\\VlxMiniAppRun.log"),
            Entries({"TfrmMiniBoost.FormCreate 1", "TBoost.Execute 1"}));
  EXPECT_EQ(m.ReadFile(kLogs + "\\VlxMiniException.log"),
            Entries({"TBoost.Execute: Access denied"}));

  // After release the channels ignore writes.
  DoneAppLog();
  LogRun("ignored");
  LogError("ignored");
  EXPECT_EQ(m.ReadFile(kLogs + "\\VlxMiniAppRun.log"),
            Entries({"TfrmMiniBoost.FormCreate 1", "TBoost.Execute 1"}));
  EXPECT_EQ(AppRunLogFileName(), "");
}

TEST(AppLogSim, HostWritesWithoutPrefix) {
  AppLogGuard guard;
  sim::ScopedMachine m{Machine("C:\\Program Files (x86)\\Velmora\\VlxMain.exe")};
  InitDefaultAppLog();
  LogRun("host");
  EXPECT_EQ(m.ReadFile(kLogs + "\\AppRun.log"), Entries({"host"}));
}

TEST(AppLogSim, ChannelsNeverOpenedIgnoreWrites) {
  AppLogGuard guard;
  sim::ScopedMachine m{Machine("C:\\Program Files (x86)\\Velmora\\VlxMini.exe")};
  LogRun("nothing");
  LogError("nothing");
  MonitorLogRun("nothing");
  EXPECT_FALSE(m.Exists(kLogs + "\\VlxMiniAppRun.log"));
  EXPECT_FALSE(m.Exists(kLogs + "\\VlxMiniException.log"));
  EXPECT_FALSE(m.Exists(kLogs + "\\MonitorAppRun.log"));
}

TEST(AppLogSim, RunAndErrorLogsRotateAtTheirOwnSizes) {
  AppLogGuard guard;
  sim::ScopedMachine m{Machine("C:\\Program Files (x86)\\Velmora\\VlxMini.exe")};
  const std::string run = kLogs + "\\VlxMiniAppRun.log";
  const std::string error = kLogs + "\\VlxMiniException.log";
  m.WriteFile(run, kBom + std::string(1024000 - 2, 'r'));
  m.WriteFile(error, kBom + std::string(204800 - 2, 'e'));
  InitDefaultAppLog();
  LogRun("r");
  LogError("e");
  EXPECT_EQ(m.ReadFile(run), Entries({"r"}));
  EXPECT_EQ(m.ReadFile(run + ".bak1").size(), 1024000u);
  EXPECT_EQ(m.ReadFile(error), Entries({"e"}));
  EXPECT_EQ(m.ReadFile(error + ".bak1").size(), 204800u);
}

TEST(AppLogSim, InitAppLogAddsTheDelimiter) {
  AppLogGuard guard;
  sim::ScopedMachine m{Machine("C:\\Program Files (x86)\\Velmora\\VlxMini.exe")};
  InitAppLog("C:\\Logs", "Run.log", "Err.log");
  LogRun("a");
  LogError("b");
  EXPECT_EQ(m.ReadFile("C:\\Logs\\Run.log"), Entries({"a"}));
  EXPECT_EQ(m.ReadFile("C:\\Logs\\Err.log"), Entries({"b"}));
}

TEST(AppLogSim, MonitorPairHasItsOwnFiles) {
  AppLogGuard guard;
  sim::ScopedMachine m{Machine("C:\\Program Files (x86)\\Velmora\\VlxMini.exe")};
  InitDefaultAppLog();
  InitDefaultMonitorAppLog();
  EXPECT_EQ(MonitorRunLogFileName(), kLogs + "\\MonitorAppRun.log");
  EXPECT_EQ(MonitorErrorLogFileName(), kLogs + "\\MonitorException.log");
  MonitorLogRun("TMonitorManager.Refresh 1");
  MonitorLogInfo("TMonitorBoost.Boost 1");
  MonitorLogError("TMonitorInfo.GetVCP: failed");
  LogRun("main");
  EXPECT_EQ(m.ReadFile(kLogs + "\\MonitorAppRun.log"),
            Entries({"TMonitorManager.Refresh 1", "TMonitorBoost.Boost 1"}));
  EXPECT_EQ(m.ReadFile(kLogs + "\\MonitorException.log"), Entries({"TMonitorInfo.GetVCP: failed"}));
  EXPECT_EQ(m.ReadFile(kLogs + "\\VlxMiniAppRun.log"), Entries({"main"}));
  DoneMonitorAppLog();
  MonitorLogRun("ignored");
  EXPECT_EQ(m.ReadFile(kLogs + "\\MonitorAppRun.log"),
            Entries({"TMonitorManager.Refresh 1", "TMonitorBoost.Boost 1"}));
}

TEST(AppLogSim, TaskErrorsGoBesideTheProgramAndTaskActivityIsDiscarded) {
  AppLogGuard guard;
  sim::ScopedMachine m{Machine("C:\\Program Files (x86)\\Velmora\\VlxMini.exe")};
  LogTaskError("TTaskScheduler.Create: failed", "TaskException.log");
  LogTaskError("again", "TaskException.log");
  LogTaskApp("activity", "TaskApp.log");
  EXPECT_EQ(m.ReadFile("C:\\Program Files (x86)\\Velmora\\TaskException.log"),
            Entries({"TTaskScheduler.Create: failed", "again"}));
  EXPECT_FALSE(m.Exists("C:\\Program Files (x86)\\Velmora\\TaskApp.log"));
}

TEST(AppLogSim, DebugOutputOnlyWhenEnabled) {
  AppLogGuard guard;
  sim::ScopedMachine m{Machine("C:\\Program Files (x86)\\Velmora\\VlxMini.exe")};
  EXPECT_FALSE(DebugOutputEnabled());
  LogDebug("TGameDesk.Boost");
  EXPECT_TRUE(m.machine().debugOutput.empty());
  SetDebugOutput(true);
  LogDebug("TGameDesk.Boost");
  MonitorLogDebug("monitor");
  ASSERT_EQ(m.machine().debugOutput.size(), 2u);
  EXPECT_EQ(m.machine().debugOutput[0], "TGameDesk.Boost");
  EXPECT_EQ(m.machine().debugOutput[1], "monitor");
}

}  // namespace
