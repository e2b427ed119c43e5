#include "modules/process/uPsPriority.h"

#include <array>
#include <limits>

#include "config/IniFiles.h"
#include "modules/process/uGetProcessInfo.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

// Names spared besides this program's own file name.
const std::array<const char*, 5> kSparedNames = {"explorer.exe", "steam.exe", "VlxTray.exe",
                                                 "VlxMain.exe", "VlxMini.exe"};

// Sets the priority class of a process; false when it cannot be opened or set.
bool SetProcessPriority(uint32_t pid, uint32_t priorityClass) {
  const plat::Handle process = plat::OpenProcess(plat::kPROCESS_ALL_ACCESS, true, pid);
  if (!process) return false;
  const bool ok = plat::SetPriorityClass(process, priorityClass);
  plat::CloseHandle(process);
  return ok;
}

}  // namespace

int64_t StrToDecimal(const std::string& Text) {
  // TryStrToInt64 also takes blanks and hexadecimal forms, which are not decimals.
  int64_t value = 0;
  if (Text.find_first_not_of("+-0123456789") != std::string::npos ||
      !txt::TryStrToInt64(Text, value) || value > std::numeric_limits<uint32_t>::max() ||
      value < std::numeric_limits<int32_t>::min())
    throw EConvertError("'" + Text + "' is not a valid integer value");
  return value;
}

TPsPriorityBoost::TPsPriorityBoost(const std::string& Path, const std::string& SettingsFile,
                                   const std::string& StateFile)
    : TBoostBase(Path, SettingsFile, StateFile) {
  EnablePrivilege("SeDebugPrivilege", true);
}

TPsPriorityBoost::~TPsPriorityBoost() = default;

bool TPsPriorityBoost::IsEnabled() {
  return ReadBoostFlag("Priority", true);
}

void TPsPriorityBoost::SetEnabled(bool Value) {
  WriteBoostFlag("Priority", Value);
}

bool TPsPriorityBoost::HasRestoreData() {
  return HasSectionKeys(kSection);
}

void TPsPriorityBoost::BuildPriorityList() {
  fList.clear();

  std::vector<plat::ProcessEntry> entries;
  uint32_t steamPid = 0;
  if (plat::SnapshotProcesses(entries)) {
    for (const auto& entry : entries) {
      if (txt::SameText(entry.exeFile, "steam.exe")) {
        steamPid = entry.pid;
        break;
      }
    }
  }

  const std::string ownName = fileutil::ExtractFileName(plat::GetModuleFileNameW());
  const std::string user = GetCurrentUserName();
  entries.clear();
  if (!plat::SnapshotProcesses(entries)) return;
  for (const auto& entry : entries) {
    if (fStop) break;
    const std::string& name = entry.exeFile;
    if (IsExcludedProcess(name)) continue;
    bool spared = txt::SameText(name, ownName);
    for (const char* spare : kSparedNames)
      spared = spared || txt::SameText(name, spare);
    if (spared) continue;
    if (steamPid != 0 && entry.parentPid == steamPid) continue;
    const std::string owner = GetProcessUser(entry.pid);
    if (owner.empty() || owner != user) continue;
    fList.push_back(PriorityInfo{name, entry.pid, GetProcessPriority(entry.pid), owner});
  }
}

bool TPsPriorityBoost::Boost() {
  if (fStop || !IsEnabled()) return false;
  if (fList.empty()) BuildPriorityList();
  fTempIni->DeleteKeys(kSection);
  bool lastOk = false;
  for (const auto& item : fList) {
    if (fStop) break;
    fTempIni->WriteInteger(kSection, txt::UIntToStr(item.pid), static_cast<int32_t>(item.priority));
    lastOk = SetProcessPriority(item.pid, plat::kIDLE_PRIORITY_CLASS);
  }
  Notify(TProgressItemKind::ProcessPriority, kCaption, lastOk);
  return HasRestoreData();
}

void TPsPriorityBoost::Restore() {
  if (fStop || !HasRestoreData()) return;
  fList.clear();
  std::vector<std::string> keys;
  fTempIni->ReadSection(kSection, keys);
  for (const auto& key : keys) {
    if (fStop) break;
    PriorityInfo item;
    item.pid = static_cast<uint32_t>(StrToDecimal(key));
    item.priority = static_cast<uint32_t>(
        fTempIni->ReadInteger(kSection, key, static_cast<int32_t>(plat::kNORMAL_PRIORITY_CLASS)));
    fList.push_back(item);
  }
  for (const auto& item : fList) {
    if (fStop) return;
    SetProcessPriority(item.pid, item.priority);
  }
  fTempIni->DeleteKeys(kSection);
  Notify(TProgressItemKind::ProcessPriority, kCaption, true);
}
