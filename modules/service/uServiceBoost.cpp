#include "modules/service/uServiceBoost.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "config/IniFiles.h"
#include "config/PSafeIniFile.h"
#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "modules/service/uServiceControl.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Services.h"

namespace {

const char* const kSystemSection = "System Services";
const char* const kThirdSection = "Third Services";
const char* const kChoicesFile = "UserWinSvc.ini";
const char* const kWhiteListFile = "User3rdSvcWL.txt";
const char* const kThirdChoices = "Services_3rd";
constexpr uint32_t kStopWaitMs = 3000;
constexpr uint32_t kStartWaitMs = 20;

TProgressItemKind KindOf(bool third) {
  return third ? TProgressItemKind::ThirdService : TProgressItemKind::SystemService;
}

// Runs Work on a thread of its own and waits for it at most TimeoutMs; whether it
// ended in time. The thread owns everything it uses.
bool RunWithTimeout(std::function<void()> Work, uint32_t TimeoutMs) {
  const plat::Handle thread = plat::CreateThread(std::move(Work));
  if (!thread) return false;
  const bool ended = plat::WaitForSingleObject(thread, TimeoutMs) == plat::kWAIT_OBJECT_0;
  plat::CloseHandle(thread);
  return ended;
}

}  // namespace

TServiceBoost::TServiceBoost(const std::string& Path, const std::string& SettingsFile,
                             const std::string& StateFile)
    : TBoostBase(Path, SettingsFile, StateFile),
      fCatalogue(std::make_unique<TServices>(fPath + kChoicesFile, fPath + kWhiteListFile)) {}

TServiceBoost::~TServiceBoost() = default;

bool TServiceBoost::ChosenByUser(const TServiceRecord& Record) const {
  const TMemIniFile& ini = fCatalogue->Ini();
  if (Record.isThird) {
    const int32_t value = ini.ReadInteger(kThirdChoices, Record.name, -1);
    return value == -1 ? fThirdDefault : value >= 1;
  }
  return !fCatalogue->Section().empty() &&
         ini.ReadInteger(fCatalogue->Section(), Record.name, 0) != 0;
}

void TServiceBoost::SelectServices() {
  for (auto& record : fCatalogue->Services()) {
    if (!record->selected) continue;
    record->selected = ChosenByUser(*record);
    if (!record->selected) continue;
    const bool guarded = IsNeverStopService(record->name) ||
                         std::any_of(record->dependents.begin(), record->dependents.end(),
                                     [](const auto& d) { return IsNeverStopService(d.first); });
    if (guarded) {
      LogInfo("TServiceBoost.SelectServices " + record->name + " is never stopped");
      record->selected = false;
      continue;
    }
    ++fActionCount;
  }
}

bool TServiceBoost::Boost() {
  if (fStop) return false;
  fDoneCount = 0;
  fCandidateCount = 0;
  fCatalogue->LoadServices();
  SelectServices();
  fCandidateCount = static_cast<int32_t>(fCatalogue->Services().size());
  for (const auto& record : fCatalogue->Services()) {
    if (fStop) break;
    if (!record->selected) continue;
    const std::string section = record->isThird ? kThirdSection : kSystemSection;
    // Record first: the service, then its running dependents.
    std::vector<std::pair<std::string, std::string>> dependents;
    for (const auto& d : record->dependents)
      if (IsServiceRunning(d.first)) dependents.push_back(d);
    if (fTempIni) {
      fTempIni->WriteString(section, record->name, record->displayName);
      // In the order they can start again: the manager lists them in stop order.
      for (auto d = dependents.rbegin(); d != dependents.rend(); ++d)
        fTempIni->WriteString(section, d->first, d->second);
    }
    bool go = true;
    for (const auto& [name, display] : dependents)
      if (!(go = StopOne(name, display, false, true, section))) break;
    if (!go || !StopOne(record->name, record->displayName, record->isThird, false, section)) break;
  }
  return HasRestoreData();
}

bool TServiceBoost::StopOne(const std::string& Name, const std::string& DisplayName, bool IsThird,
                            bool IsDependent, const std::string& Section) {
  if (StopFailedToday(fPath, Name) || !IsServiceRunning(Name)) return true;
  if (!RunWithTimeout([name = Name] { StopService(name); }, kStopWaitMs)) {
    MarkStopFail(fPath, Name);
    LogInfo("SetServiceStop Time Out " + Name);
    return false;
  }
  if (IsDependent) ++fActionCount;
  const uint32_t state = GetServiceState(Name);
  if (state != plat::kSERVICE_STOPPED && state != plat::kSERVICE_STOP_PENDING) {
    LogInfo("TServiceBoost.StopOne " + Name + " is still running");
    if (fTempIni) fTempIni->DeleteKey(Section, Name);
    return true;
  }
  ++fDoneCount;
  Notify(KindOf(IsThird), DisplayName, true);
  return true;
}

void TServiceBoost::Restore() {
  if (fStop || !fTempIni) return;
  if (GConfig && !GConfig->OpenSettingsIni()->ReadBool("Config", "FRestoreServices", true)) return;
  std::vector<std::string> third, system;
  fTempIni->ReadSection(kThirdSection, third);
  fTempIni->ReadSection(kSystemSection, system);
  fActionCount += static_cast<int32_t>(third.size() + system.size());
  for (const auto& [section, keys, isThird] :
       {std::tuple{kThirdSection, &third, true}, std::tuple{kSystemSection, &system, false}}) {
    for (const std::string& name : *keys) {
      if (fStop) return;
      const std::string display = fTempIni->ReadString(section, name, "");
      if (!IsWin32Service(name)) {
        LogInfo("TServiceBoost.Restore " + name + " is not a service of this machine");
      } else {
        // The start goes on in the background; a start that has already failed when the
        // wait ends (a service still stopping, a disabled one) is not reported as done.
        bool started = true;
        if (!IsServiceRunning(name)) {
          auto result = std::make_shared<std::atomic<int>>(0);
          const bool ended = RunWithTimeout(
              [n = name, result] { result->store(StartService(n) ? 1 : 2); }, kStartWaitMs);
          started = !(ended && result->load() == 2);
          if (!started) LogInfo("TServiceBoost.Restore " + name + " did not start");
        }
        Notify(KindOf(isThird), display, started);
      }
      fTempIni->DeleteKey(section, name);
    }
    fTempIni->EraseSection(section);
  }
}

bool TServiceBoost::HasRestoreData() {
  return fTempIni && (HasSectionKeys(kSystemSection) || HasSectionKeys(kThirdSection));
}
