#include "diag/uMonitorAppLog.h"

#include "diag/uAppLog.h"

namespace {

TAppLogPair& MonitorPair() {
  static TAppLogPair* pair = new TAppLogPair;
  return *pair;
}

}  // namespace

void InitMonitorAppLog(const std::string& Folder, const std::string& RunName,
                       const std::string& ErrorName) {
  MonitorPair().Init(Folder, RunName, ErrorName);
}

void InitDefaultMonitorAppLog() {
  InitMonitorAppLog(AppLogFolder(), kMonitorRunLogName, kMonitorErrorLogName);
}

void DoneMonitorAppLog() {
  MonitorPair().Done();
}

void MonitorLogRun(const std::string& Msg) {
  MonitorPair().Run(Msg);
}

void MonitorLogInfo(const std::string& Msg) {
  MonitorPair().Run(Msg);
}

void MonitorLogError(const std::string& Msg) {
  MonitorPair().Error(Msg);
}

void MonitorLogDebug(const std::string& Msg) {
  LogDebug(Msg);
}

std::string MonitorRunLogFileName() {
  return MonitorPair().RunFileName();
}

std::string MonitorErrorLogFileName() {
  return MonitorPair().ErrorFileName();
}
