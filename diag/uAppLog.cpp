#include "diag/uAppLog.h"

#include <atomic>

#include "diag/uSysInfo.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"

// ---------------------------------------------------------------- TAppLogPair

namespace {

std::shared_ptr<TLogManage> MakeChannel(const std::string& FileName, int32_t MaxSize) {
  auto channel = std::make_shared<TLogManage>();
  channel->SetFileName(FileName);
  channel->SetMaxSize(MaxSize);
  channel->SetBackupCount(1);
  return channel;
}

}  // namespace

void TAppLogPair::Init(const std::string& Folder, const std::string& RunName,
                       const std::string& ErrorName) {
  const std::string folder = fileutil::IncludeTrailingPathDelimiter(Folder);
  auto run = MakeChannel(folder + RunName, kRunLogMaxSize);
  auto error = MakeChannel(folder + ErrorName, kErrorLogMaxSize);
  std::lock_guard<std::mutex> lock(fLock);
  fRun = std::move(run);
  fError = std::move(error);
}

void TAppLogPair::Done() {
  std::shared_ptr<TLogManage> run, error;
  {
    std::lock_guard<std::mutex> lock(fLock);
    run.swap(fRun);
    error.swap(fError);
  }
  // A writer on another thread may still hold a channel; it is released with its
  // last user.
  if (run) run->Release();
  if (error) error->Release();
}

std::shared_ptr<TLogManage> TAppLogPair::RunChannel() {
  std::lock_guard<std::mutex> lock(fLock);
  return fRun;
}

std::shared_ptr<TLogManage> TAppLogPair::ErrorChannel() {
  std::lock_guard<std::mutex> lock(fLock);
  return fError;
}

void TAppLogPair::Run(const std::string& Msg) {
  if (auto channel = RunChannel()) channel->Write(Msg);
}

void TAppLogPair::Error(const std::string& Msg) {
  if (auto channel = ErrorChannel()) channel->Write(Msg);
}

std::string TAppLogPair::RunFileName() {
  auto channel = RunChannel();
  return channel ? channel->GetFileName() : std::string();
}

std::string TAppLogPair::ErrorFileName() {
  auto channel = ErrorChannel();
  return channel ? channel->GetFileName() : std::string();
}

// ---------------------------------------------------------------- program channels

namespace {

// Created on first use and never destroyed, so that code running during static
// destruction can still log (or be ignored) safely.
TAppLogPair& AppPair() {
  static TAppLogPair* pair = new TAppLogPair;
  return *pair;
}

std::atomic<bool> gDebugOutput{false};

struct TaskChannel {
  std::mutex lock;
  std::shared_ptr<TLogManage> channel;
};

TaskChannel& Task() {
  static TaskChannel* task = new TaskChannel;
  return *task;
}

}  // namespace

std::string AppLogFolder() {
  return fileutil::IncludeTrailingPathDelimiter(GetSpecialFolderPath(plat::kCSIDL_APPDATA)) +
         "Trevanic\\Velmora\\Logs";
}

std::string AppLogPrefix(const std::string& ExePath) {
  const std::string name = fileutil::ExtractFileName(ExePath);
  if (txt::SameText(name, "VlxMain.exe")) return std::string();
  const std::string ext = fileutil::ExtractFileExt(name);
  std::string prefix = name;
  if (!ext.empty()) {
    const size_t at = prefix.find(ext);
    if (at != std::string::npos) prefix.erase(at, ext.size());
  }
  return prefix;
}

void InitAppLog(const std::string& Folder, const std::string& RunName,
                const std::string& ErrorName) {
  AppPair().Init(Folder, RunName, ErrorName);
}

void InitDefaultAppLog() {
  const std::string prefix = AppLogPrefix(plat::GetModuleFileNameW());
  InitAppLog(AppLogFolder(), prefix + "AppRun.log", prefix + "Exception.log");
}

void DoneAppLog() {
  AppPair().Done();
  std::shared_ptr<TLogManage> task;
  {
    std::lock_guard<std::mutex> lock(Task().lock);
    task.swap(Task().channel);
  }
  if (task) task->Release();
}

void LogRun(const std::string& Msg) {
  AppPair().Run(Msg);
}

void LogInfo(const std::string& Msg) {
  AppPair().Run(Msg);
}

void LogError(const std::string& Msg) {
  AppPair().Error(Msg);
}

void LogDebug(const std::string& Msg) {
  if (!gDebugOutput.load(std::memory_order_relaxed)) return;
  try {
    plat::OutputDebugStringW(Msg);
  } catch (...) {
  }
}

void SetDebugOutput(bool Enabled) {
  gDebugOutput.store(Enabled, std::memory_order_relaxed);
}

bool DebugOutputEnabled() {
  return gDebugOutput.load(std::memory_order_relaxed);
}

std::string AppRunLogFileName() {
  return AppPair().RunFileName();
}

std::string AppErrorLogFileName() {
  return AppPair().ErrorFileName();
}

void LogTaskError(const std::string& Msg, const std::string& FileName) {
  std::shared_ptr<TLogManage> channel;
  try {
    const std::string name = fileutil::ExtractFilePath(plat::GetModuleFileNameW()) + FileName;
    std::lock_guard<std::mutex> lock(Task().lock);
    if (!Task().channel) Task().channel = MakeChannel(name, kTaskLogMaxSize);
    channel = Task().channel;
    channel->SetFileName(name);
  } catch (...) {
    return;
  }
  channel->Write(Msg);
}

void LogTaskApp(const std::string& Msg, const std::string& FileName) {
  (void)Msg;
  (void)FileName;
}
