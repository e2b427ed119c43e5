#include "engine/uBoost.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "config/IniFiles.h"
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

// A new, empty state file: UTF-16 LE with its byte-order mark, so that the profile
// functions write every record in UTF-16 and no path or name outside the ANSI code
// page is lost.
bool CreateStateFile(const std::string& path) {
  return fileutil::WriteFileBytes(path, std::string("\xFF\xFE", 2));
}

std::string SystemErrorText(const std::string& what, const std::string& path) {
  return what + " \"" + path + "\". System error " + std::to_string(plat::GetLastError());
}

}  // namespace

TBoost::TBoost(const std::string& Path, const std::string& SettingsFile,
               const std::string& StateFile, TFinishEvent OnFinish, void* FinishSender,
               TBoostModules Modules)
    : fTempFile(StateFile),
      fOnFinish(std::move(OnFinish)),
      fFinishSender(FinishSender),
      fTable(std::move(Modules.Table)) {
  fBoostCreateFlag = false;
  LogWithGdi(std::string("TBoost.Create ") + BoolText(false));
  LogWithGdi(std::string("TBoost.Create ") + BoolText(fSuspended));
  fOperation = osBoost;
  fSucceeded = false;
  if (Modules.MakeMemorySampler) fMemUsage = Modules.MakeMemorySampler();
  fRandom = std::move(Modules.Random);

  // Every module exists before the thread does, so a module that cannot be built
  // leaves no thread behind.
  fModules.reserve(fTable.size());
  for (const TBoostModuleRow& row : fTable) {
    if (row.LogCreate) LogWithGdi("TBoost.Create " + row.Slot + BoolText(fSuspended));
    std::unique_ptr<TBoostBase> module =
        row.Make ? row.Make(Path, SettingsFile, StateFile) : nullptr;
    if (module) {
      const bool counted =
          row.Count == TItemCount::DoneCount || row.Count == TItemCount::ActionAndDone;
      if (counted && (!module->DoneCount() || !module->ActionCount()))
        throw std::logic_error("TBoost.Create: " + row.Slot +
                               " does not report its action and done counts");
    }
    fModules.push_back({&row, std::move(module)});
  }

  for (const TSlot& slot : fModules) {
    if (!slot.Module || slot.Row->Hook != TModuleHook::PowerSchText) continue;
    const auto text = [&](const char* key, const char* def) {
      return Modules.GetMessage ? Modules.GetMessage(key, def) : std::string(def);
    };
    slot.Module->SetPowerSchText(
        text("M_PowerSchName", "Velmoran Power Plan"),
        text("M_PowerSchDesc", "Activate it when you switch to Gaming Mode for boosting."));
  }
  fResumeEvent = plat::CreateEventW(false, false, "");
  fThread = plat::CreateThread([this] { Execute(); });
  fBoostCreateFlag = true;
}

TBoost::~TBoost() {
  LogWithGdi("TBoost.Destroy");
  fExit = true;
  fStop = true;
  fOperation = fOperation | osStop;
  for (const TSlot& slot : fModules)
    if (slot.Module && slot.Row->Stoppable) slot.Module->Stop();
  // Wake the thread whether or not it has reached its sleep yet: the event stays
  // set, so a thread that is about to suspend itself returns at once and sees fExit.
  Resume();
  plat::WaitForSingleObject(fThread, plat::kINFINITE);
  plat::CloseHandle(fThread);
  plat::CloseHandle(fResumeEvent);
}

TBoostBase* TBoost::Module(const std::string& Slot) const {
  for (const TSlot& slot : fModules)
    if (slot.Row->Slot == Slot) return slot.Module.get();
  return nullptr;
}

std::vector<TBoost::TSlot*> TBoost::Ordered(int TBoostModuleRow::*Column) {
  std::vector<TSlot*> order;
  for (TSlot& slot : fModules)
    if (slot.Module && slot.Row->*Column > 0) order.push_back(&slot);
  std::stable_sort(order.begin(), order.end(), [Column](const TSlot* a, const TSlot* b) {
    return a->Row->*Column < b->Row->*Column;
  });
  return order;
}

template <typename F>
auto TBoost::Guarded(const TSlot& Slot, const char* Operation, F Call) {
  try {
    return Call(*Slot.Module);
  } catch (const std::exception& e) {
    LogError("TBoost.Execute " + Slot.Row->Slot + "." + Operation + ": " + e.what());
    throw;
  } catch (...) {
    LogError("TBoost.Execute " + Slot.Row->Slot + "." + Operation + ": unknown error");
    throw;
  }
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
  for (const TSlot& slot : fModules)
    if (slot.Module && slot.Row->Hook == TModuleHook::GameDesktopExit) slot.Module->Restore();
}

void TBoost::PrepareProgress() {
  fEnabledModuleCount = 0;
  const TProgressEvent hook = [this](void*, TProgressItemKind, const std::string&, bool) {
    ProgressHook();
  };
  for (TSlot* slot : Ordered(&TBoostModuleRow::ProgressOrder)) {
    slot->Module->SetProgressHook(hook, this);
    if (slot->Row->ProgressCounted && slot->Module->IsEnabled()) ++fEnabledModuleCount;
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
      fBoostRan = false;
      LogDebug("");
      LogWithGdi("=====Start======");
      LogDebug("");
      LogDebug("Set All fStop = False");
      for (const TSlot& slot : fModules)
        if (slot.Module && slot.Row->Stoppable) slot.Module->ResetStop();
      LogWithGdi("TBoost.Execute 3");
      if (fOperation & osBoost) BoostSequence();
      if (fOperation & osRestore) RestoreSequence();
    }
  } catch (...) {
    // An error that escapes a module ends the pass and, after the closing steps,
    // the thread: the finish callback is not called.
    failed = true;
  }
  try {
    ClosingSteps();
  } catch (const std::exception& e) {
    // A failing summary ends the thread like a failing module.
    LogError(std::string("TBoost.Execute 7: ") + e.what());
    failed = true;
  } catch (...) {
    failed = true;
  }
  return !(leave || failed);
}

void TBoost::BoostSequence() {
  LogWithGdi("TBoost.Execute 4 osBoost");
  fBoostRan = true;
  fTotalItems = 5;
  fOptimizedItems = 0;
  if (fMemUsage) fMemUsage->BeginMeasure();
  if (!fileutil::FileExists(fTempFile) && !CreateStateFile(fTempFile))
    LogError("CreateTempFile Err:" + SystemErrorText("Cannot create file", fTempFile));

  for (TSlot* slot : Ordered(&TBoostModuleRow::PassOrder)) {
    LogWithGdi("Boost " + slot->Row->PassName);
    const bool result = Guarded(*slot, "Boost", [](TBoostBase& m) { return m.Boost(); });
    TBoostBase& m = *slot->Module;
    switch (slot->Row->Count) {
      case TItemCount::None:
        break;
      case TItemCount::BoostResult:
        if (result) ++fOptimizedItems;
        break;
      case TItemCount::DoneCount:
        fTotalItems += m.DoneCount().value_or(0);
        fOptimizedItems += m.DoneCount().value_or(0);
        break;
      case TItemCount::ActionAndDone:
        fTotalItems += m.ActionCount().value_or(0);
        fOptimizedItems += m.DoneCount().value_or(0);
        break;
    }
  }
}

void TBoost::RestoreSequence() {
  LogWithGdi("TBoost.Execute 5 osRestore");
  for (TSlot* slot : Ordered(&TBoostModuleRow::PassOrder)) {
    LogWithGdi("Restore " + slot->Row->PassName);
    Guarded(*slot, "Restore", [](TBoostBase& m) { m.Restore(); });
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
    if ((fOperation & osBoost) && fBoostRan) {
      WriteSummary();
      CopyStateFile();
    }
    LogWithGdi(std::string("TBoost.Execute 8 : ") + (fileutil::FileExists(fTempFile) ? "-1" : "0"));
  } else {
    fSucceeded = false;
  }
}

namespace {

constexpr double kKiB = 1024.0;
constexpr uint64_t kFourGiB = 4ull * 1024 * 1024 * 1024;

// A byte count as the summary shows it: "512 Byte", "1.5 KB", "300.0 MB", "2.0 GB".
std::string SizeText(int64_t bytes) {
  const double b = static_cast<double>(bytes);
  if (bytes < 1024) return txt::IntToStr(bytes) + " Byte";
  if (b < kKiB * kKiB) return txt::FormatFixed(b / kKiB, 1) + " KB";
  if (b < kKiB * kKiB * kKiB) return txt::FormatFixed(b / (kKiB * kKiB), 1) + " MB";
  return txt::FormatFixed(b / (kKiB * kKiB * kKiB), 1) + " GB";
}

// The next whole number above a percentage, except for exactly 0 and 100.
double RoundUpPercent(double percent) {
  if (percent == 0 || percent == 100) return percent;
  return std::floor(percent) + 1;
}

}  // namespace

// The performance summary: chart values, released memory and the two percentages,
// written into the state file for the host.
void TBoost::WriteSummary() {
  const int64_t released = fMemUsage ? std::max<int64_t>(fMemUsage->FreedMemory(), 0) : 0;
  const uint64_t total = fMemUsage ? fMemUsage->TotalPhysical() : 0;
  int32_t optimized = fOptimizedItems;
  const int32_t items = fTotalItems;
  int64_t processes = 0, candidates = 0;
  double gpuPercent = 0, memPercent = 0;
  bool releasedSection = false;
  for (const TSlot& slot : fModules) {
    if (!slot.Module) continue;
    TBoostBase& m = *slot.Module;
    processes += m.ProcessCount().value_or(0);
    candidates += m.CandidateCount().value_or(0);
    if (const auto gain = m.OverClockGain()) {
      gpuPercent += gain->GPUPercent;
      memPercent += gain->MemPercent;
    }
    if (slot.Row->Summary == TSummaryUse::ReleasedMemory && m.HasRestoreData())
      releasedSection = true;
    if (slot.Row->Summary == TSummaryUse::ExtraItem && m.IsEnabled()) ++optimized;
  }
  const int32_t beforeExtra = fOptimizedItems;

  TIniFile ini(fTempFile);
  const auto write = [&] {
    using LD = long double;
    const double before = total > 0 && total < kFourGiB
                              ? static_cast<double>(LD(total) / LD(kFourGiB) / 2 * 100)
                              : 50.0;
    ini.WriteString("Chart", "Before", txt::FormatFixed(before, 1));
    double after = 100.0;
    if (total > 0) {
      const LD share = LD(released) / LD(total) * LD(0.6) +
                       (items > 0 ? LD(beforeExtra) / LD(items) * LD(0.4) : 0);
      after = static_cast<double>(std::nearbyint(share * 100));  // halves to even
    }
    ini.WriteString("Chart", "After", txt::FormatFixed(after, 1));
    if (releasedSection) ini.WriteString("RAM", "Released", SizeText(released));

    // With no memory figure there is no share to take: 0 rather than a division by 0.
    const double ramPercent =
        total > 0 ? static_cast<double>(LD(released) / LD(total) * LD(0.6) * 100) : 0.0;
    LogWithGdi("TBoost: RAMPercent:=" + txt::IntToStr(released) + "/" + txt::UIntToStr(total) +
               "* 0.6 * 100=" + txt::FloatToStr(ramPercent));
    const int64_t denominator = processes + candidates + 4 + 1;
    double cpuPercent = static_cast<double>(LD(optimized) / LD(denominator) * 100);
    LogWithGdi("TBoost: CPUPercent:=" + txt::IntToStr(optimized) + "/" +
               txt::IntToStr(denominator) + " * 100=" + txt::FloatToStr(cpuPercent));
    const double overClockPercent = gpuPercent + memPercent;
    LogWithGdi("TOverClockBoost: OverClockPercent:=" + txt::FloatToStr(overClockPercent));
    const double randomPercent = static_cast<double>(LD(fRandom ? fRandom(16) : 0) * LD(0.01));
    LogWithGdi("TBoost: RandomPercent:=" + txt::FloatToStr(randomPercent));
    const double base = static_cast<double>(LD(0.4) * cpuPercent + ramPercent);
    const double random100 = static_cast<double>(LD(randomPercent) * 100);
    double totalPercent = static_cast<double>(LD(base) + LD(overClockPercent) + LD(random100));
    LogWithGdi("TBoost: TotalPercent:=" + txt::FloatToStr(base) + "+" + txt::FloatToStr(random100) +
               "+" + txt::FloatToStr(overClockPercent) + "=" + txt::FloatToStr(totalPercent));
    totalPercent = RoundUpPercent(totalPercent);
    cpuPercent = RoundUpPercent(cpuPercent);
    ini.WriteString("PERFORMANCE", "TotalPercent",
                    txt::IntToStr(static_cast<int64_t>(std::trunc(totalPercent))));
    ini.WriteString("PERFORMANCE", "CPUPercent",
                    txt::IntToStr(static_cast<int64_t>(std::trunc(cpuPercent))));
  };
  try {
    write();
  } catch (...) {
    ini.UpdateFile();
    throw;
  }
  ini.UpdateFile();
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
