// The program's log channels: the run log, the error log, the task-scheduler
// error log and the debug output.
//
// The run and error logs live in the per-user log folder
// ("<application data>\Trevanic\Velmora\Logs") as "<prefix>AppRun.log" and
// "<prefix>Exception.log", where the prefix is the program's file name without
// its extension ("VlxMini") and empty for the host program "VlxMain.exe".
// Writing to a channel that was never initialised does nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "diag/uLog.h"

inline constexpr int32_t kRunLogMaxSize = 1024000;   // 0xFA000
inline constexpr int32_t kErrorLogMaxSize = 204800;  // 200 KiB
inline constexpr int32_t kTaskLogMaxSize = 5242880;  // 5 MiB

// A run-log and error-log pair of channels. Safe to use from any thread, also
// while another thread initialises or releases it.
class TAppLogPair {
 public:
  // Creates both channels: Folder (with a trailing delimiter added) + the name,
  // the run log rotating at 1,024,000 bytes, the error log at 204,800 bytes, one
  // backup each. Replaces channels created before.
  void Init(const std::string& Folder, const std::string& RunName, const std::string& ErrorName);
  void Done();
  void Run(const std::string& Msg);
  void Error(const std::string& Msg);
  // The channels' file names; empty while not initialised.
  std::string RunFileName();
  std::string ErrorFileName();

 private:
  std::shared_ptr<TLogManage> RunChannel();
  std::shared_ptr<TLogManage> ErrorChannel();

  std::mutex fLock;
  std::shared_ptr<TLogManage> fRun;
  std::shared_ptr<TLogManage> fError;
};

// "<application data>\Trevanic\Velmora\Logs" (no trailing delimiter).
std::string AppLogFolder();
// The file-name prefix of a program's logs: "" for "VlxMain.exe" (any case), else
// the file name with the first occurrence of its extension removed.
std::string AppLogPrefix(const std::string& ExePath);

void InitAppLog(const std::string& Folder, const std::string& RunName,
                const std::string& ErrorName);
// InitAppLog for the running program: the log folder with the program's prefix
// + "AppRun.log" and + "Exception.log".
void InitDefaultAppLog();
void DoneAppLog();

// One entry in the run log (LogRun for the window's steps, LogInfo in modules).
void LogRun(const std::string& Msg);
void LogInfo(const std::string& Msg);
// One entry in the error log.
void LogError(const std::string& Msg);
// The debug output: passed to OutputDebugStringW only while enabled (off by default).
void LogDebug(const std::string& Msg);
void SetDebugOutput(bool Enabled);
bool DebugOutputEnabled();

std::string AppRunLogFileName();
std::string AppErrorLogFileName();

// The task-scheduler error log: the program's folder + FileName, rotating at
// 5 MiB; the channel is created on the first entry.
void LogTaskError(const std::string& Msg, const std::string& FileName);
// The task-scheduler activity log is not kept: the entry is discarded.
void LogTaskApp(const std::string& Msg, const std::string& FileName);
