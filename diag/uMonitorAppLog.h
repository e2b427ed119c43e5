// The display units' log channels: "MonitorAppRun.log" and "MonitorException.log"
// in the per-user log folder, with the same sizes as the program's own pair.
#pragma once

#include <string>

inline constexpr char kMonitorRunLogName[] = "MonitorAppRun.log";
inline constexpr char kMonitorErrorLogName[] = "MonitorException.log";

void InitMonitorAppLog(const std::string& Folder, const std::string& RunName,
                       const std::string& ErrorName);
// InitMonitorAppLog with the log folder and the two fixed names.
void InitDefaultMonitorAppLog();
void DoneMonitorAppLog();

void MonitorLogRun(const std::string& Msg);
void MonitorLogInfo(const std::string& Msg);
void MonitorLogError(const std::string& Msg);
// Same switch as LogDebug.
void MonitorLogDebug(const std::string& Msg);

std::string MonitorRunLogFileName();
std::string MonitorErrorLogFileName();
