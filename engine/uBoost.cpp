#include "engine/uBoost.h"

#include "config/PSafeIniFile.h"
#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "diag/uGDILog.h"
#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

const char* BoolText(bool value) {
  return value ? "True" : "False";
}

// The state file's text re-encoded line by line the way a string list saves what
// it loaded: the same byte-order mark and encoding, every line ended by CR LF.
std::string ReencodeLines(const std::string& bytes) {
  const auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const std::vector<std::string> lines = txt::SplitLines(txt::DecodeTextFile(bytes));
  std::string text;
  for (const auto& line : lines)
    text += line + "\r\n";
  if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE)
    return std::string("\xFF\xFE", 2) + txt::Utf8ToUtf16LeBytes(text);
  if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF)
    return "\xEF\xBB\xBF" + text;
  return txt::Utf8ToAnsi(text);
}

std::string SystemErrorText(const std::string& what, const std::string& path) {
  return what + " \"" + path + "\". System error " + std::to_string(plat::GetLastError());
}

}  // namespace

TBoost::TBoost(const std::string& Path, const std::string& SettingsFile,
               const std::string& StateFile, TFinishEvent OnFinish, void* FinishSender,
               TBoostModules Modules)
    : fTempFile(StateFile), fOnFinish(std::move(OnFinish)), fFinishSender(FinishSender) {
  fBoostCreateFlag = false;
  fResumeEvent = plat::CreateEventW(false, false, "");
  fThread = plat::CreateThread([this] { Execute(); });
  LogWithGdi(std::string("TBoost.Create ") + BoolText(false));
  LogWithGdi(std::string("TBoost.Create ") + BoolText(fSuspended));
  fOperation = osBoost;
  fSucceeded = false;

  const auto make = [&](const TModuleFactory& factory) {
    return factory ? factory(Path, SettingsFile, StateFile) : nullptr;
  };
  LogWithGdi(std::string("TBoost.Create fOverClock") + BoolText(fSuspended));
  fOverClock = make(Modules.OverClock);
  LogWithGdi(std::string("TBoost.Create fSvcBoost") + BoolText(fSuspended));
  fSvcBoost = make(Modules.Service);
  LogWithGdi(std::string("TBoost.Create fProcBoost") + BoolText(fSuspended));
  fProcBoost = make(Modules.Process);
  LogWithGdi(std::string("TBoost.Create fRAMClear") + BoolText(fSuspended));
  fRAMClear = make(Modules.RAMClear);
  Clipboard = make(Modules.Clipboard);
  Power = make(Modules.Power);
  AutoUpdate = make(Modules.AutoUpdate);
  Priority = make(Modules.Priority);
  Monitor = make(Modules.Monitor);
  GameMode = make(Modules.GameMode);
  GameDesk = make(Modules.GameDesk);

  if (Power && Modules.SetPowerSchText) {
    const auto text = [&](const char* key, const char* def) {
      return Modules.GetMessage ? Modules.GetMessage(key, def) : std::string(def);
    };
    Modules.SetPowerSchText(
        *Power, text("M_PowerSchName", "Velmoran Power Plan"),
        text("M_PowerSchDesc", "Activate it when you switch to Gaming Mode for boosting."));
  }
  fBoostCreateFlag = true;
}

TBoost::~TBoost() {
  LogWithGdi("TBoost.Destroy");
  fExit = true;
  fStop = true;
  fOperation = fOperation | osStop;
  for (TBoostBase* m :
       {fSvcBoost.get(), fProcBoost.get(), fRAMClear.get(), Clipboard.get(), Power.get(),
        AutoUpdate.get(), Priority.get(), Monitor.get(), GameMode.get()})
    if (m) m->Stop();
  // Wake the thread whether or not it has reached its sleep yet: the event stays
  // set, so a thread that is about to suspend itself returns at once and sees fExit.
  Resume();
  plat::WaitForSingleObject(fThread, plat::kINFINITE);
  plat::CloseHandle(fThread);
  plat::CloseHandle(fResumeEvent);
}

bool TBoost::IsBoosted() const {
  return fileutil::FileExists(fTempFile);
}

void TBoost::Resume() {
  fSuspended = false;
  plat::SetEvent(fResumeEvent);
}

void TBoost::SuspendSelf() {
  fSuspended = true;
  plat::WaitForSingleObject(fResumeEvent, plat::kINFINITE);
}

void TBoost::Boost() {
  if (GConfig) {
    auto ini = GConfig->OpenSettingsIni();
    ini->WriteBool("Boost", "IsBoost", true);
    LogDebug("TBoost.Boost");
    ini->WriteString("Boost", "Lastboosttime", txt::FloatToStr(txt::Now()));
  } else {
    LogDebug("TBoost.Boost");
  }
  fStop = false;
  fOperation = osBoost;
  if (fSuspended) Resume();
}

void TBoost::Restore() {
  if (GConfig) GConfig->OpenSettingsIni()->WriteBool("Boost", "IsBoost", true);
  fStop = false;
  fOperation = osRestore;
  if (fSuspended) {
    Resume();
  } else {
    LogDebug("not suspend");
  }
}

void TBoost::ExitGameDesktop() {
  if (GameDesk) GameDesk->Restore();
}

void TBoost::PrepareProgress() {
  fEnabledModuleCount = 0;
  const TProgressEvent hook = [this](void*, TProgressItemKind, const std::string&, bool) {
    ProgressHook();
  };
  for (TBoostBase* m : {fProcBoost.get(), fSvcBoost.get()})
    if (m) m->SetProgressHook(hook, this);
  for (TBoostBase* m : {GameMode.get(), Monitor.get(), fOverClock.get(), fRAMClear.get(),
                        Clipboard.get(), Power.get(), AutoUpdate.get()}) {
    if (!m) continue;
    m->SetProgressHook(hook, this);
    if (m->IsEnabled()) ++fEnabledModuleCount;
  }
}

void TBoost::ProgressHook() {
  if (fSynchronize) {
    fSynchronize([this] { ProgressStep(); });
  } else {
    ProgressStep();
  }
}

void TBoost::ProgressStep() {
  // With no progress display or percent callback attached, the step only counts.
  ++fProgressCount;
}

void TBoost::Execute() {
  plat::WaitForSingleObject(fResumeEvent, plat::kINFINITE);  // created suspended
  for (;;) {
    if (!fBoostCreateFlag) {
      LogWithGdi("TBoost.Execute fBoostCreateFlag false");
      SuspendSelf();
    }
    LogWithGdi("TBoost.Execute 1");
    if (fExit) break;
    LogWithGdi("TBoost.Execute 2");
    if (!RunPass()) break;
    if (fExit) break;
    LogDebug("Remove Dead Tray Icons");
    if (fExit) break;
    LogWithGdi("Call Back Finish Function");
    LogDebug("TBoost.Execute 9");
    if (fOnFinish) fOnFinish(fFinishSender, fSucceeded);
    LogDebug("TBoost.Execute 10");
    if (fExit) break;
    LogDebug("=====Suspend====");
    LogWithGdi("TBoost.Execute 11 Thread Supend");
    SuspendSelf();
  }
}

bool TBoost::RunPass() {
  bool leave = false;
  bool failed = false;
  try {
    if (fStop) {
      leave = true;
    } else {
      fProgressCount = 0;
      LogDebug("");
      LogWithGdi("=====Start======");
      LogDebug("");
      LogDebug("Set All fStop = False");
      for (TBoostBase* m :
           {fSvcBoost.get(), fProcBoost.get(), fRAMClear.get(), Clipboard.get(), Power.get(),
            AutoUpdate.get(), Priority.get(), Monitor.get(), GameMode.get()})
        if (m) m->ResetStop();
      LogWithGdi("TBoost.Execute 3");
      if (fOperation & osBoost) BoostSequence();
      if (fOperation & osRestore) RestoreSequence();
    }
  } catch (...) {
    // An error that escapes a module ends the pass and, after the closing steps,
    // the thread: the finish callback is not called.
    failed = true;
  }
  ClosingSteps();
  return !(leave || failed);
}

void TBoost::BoostSequence() {
  LogWithGdi("TBoost.Execute 4 osBoost");
  fTotalItems = 5;
  fOptimizedItems = 0;
  if (!fileutil::FileExists(fTempFile) && !fileutil::WriteFileBytes(fTempFile, ""))
    LogError("CreateTempFile Err:" + SystemErrorText("Cannot create file", fTempFile));

  const auto counted = [](TBoostBase* m) { return dynamic_cast<ICountedBoost*>(m); };
  if (Monitor) {
    LogWithGdi("Boost Monitor");
    Monitor->Boost();
  }
  if (fOverClock) {
    LogWithGdi("Boost OverClock");
    fOverClock->Boost();
  }
  if (fSvcBoost) {
    LogWithGdi("Boost Service");
    fSvcBoost->Boost();
    if (auto* c = counted(fSvcBoost.get())) {
      fTotalItems += c->GetDoneCount();
      fOptimizedItems += c->GetDoneCount();
    }
  }
  if (fProcBoost) {
    LogWithGdi("Boost Process");
    fProcBoost->Boost();
    if (auto* c = counted(fProcBoost.get())) {
      fTotalItems += c->GetActionCount();
      fOptimizedItems += c->GetDoneCount();
    }
  }
  const std::pair<TBoostBase*, const char*> simple[] = {
      {fRAMClear.get(), "Boost RAM"},       {Clipboard.get(), "Boost Clipboard"},
      {Power.get(), "Boost Power Schemes"}, {AutoUpdate.get(), "Boost AutoUpdate"},
      {GameMode.get(), "Boost GameMode"},
  };
  for (const auto& [module, line] : simple) {
    if (!module) continue;
    LogWithGdi(line);
    if (module->Boost()) ++fOptimizedItems;
  }
}

void TBoost::RestoreSequence() {
  LogWithGdi("TBoost.Execute 5 osRestore");
  const std::pair<TBoostBase*, const char*> order[] = {
      {Monitor.get(), "Restore Monitor"},     {fOverClock.get(), "Restore OverClock"},
      {fSvcBoost.get(), "Restore Service"},   {fProcBoost.get(), "Restore Process"},
      {fRAMClear.get(), "Restore RAM"},       {Clipboard.get(), "Restore Clipboard"},
      {Power.get(), "Restore Power Schemes"}, {AutoUpdate.get(), "Restore AutoUpdate"},
      {GameMode.get(), "Restore GameMode"},
  };
  for (const auto& [module, line] : order) {
    if (!module) continue;
    LogWithGdi(line);
    module->Restore();
  }
  if (!fStop) {
    LogWithGdi("TBoost.Execute 6 osRestore Over");
    plat::DeleteFileW(fTempFile);
  }
}

void TBoost::ClosingSteps() {
  LogWithGdi("TBoost.Execute 7 Over");
  if (fileutil::FileExists(fTempFile)) {
    fSucceeded = true;
    if (fOperation & osBoost) CopyStateFile();
    LogWithGdi(std::string("TBoost.Execute 8 : ") + (fileutil::FileExists(fTempFile) ? "-1" : "0"));
  } else {
    fSucceeded = false;
  }
}

void TBoost::CopyStateFile() {
  const std::string target = GSettingsFolder + "Logs\\Boost.txt";
  std::string bytes;
  std::string error;
  if (!fileutil::ReadFileBytes(fTempFile, bytes)) {
    error = SystemErrorText("Cannot open file", fTempFile);
  } else if (!fileutil::WriteFileBytes(target, ReencodeLines(bytes))) {
    error = SystemErrorText("Cannot create file", target);
  }
  if (error.empty()) return;
  LogWithGdi("Save Boost.txt:  " + error);
  if (!plat::CopyFileW(fTempFile, target, false)) LogWithGdi("CopyFile Boost.txt  Failed ");
}
