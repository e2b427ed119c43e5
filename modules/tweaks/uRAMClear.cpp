#include "modules/tweaks/uRAMClear.h"

#include <vector>

#include "config/IniFiles.h"
#include "platform/Platform.h"

bool TRAMClear::IsEnabled() {
  return ReadBoostFlag("RAM", true);
}

void TRAMClear::SetEnabled(bool Value) {
  WriteBoostFlag("RAM", Value);
}

void TRAMClear::TrimWorkingSets() {
  std::vector<plat::ProcessEntry> entries;
  plat::SnapshotProcesses(entries);
  for (const plat::ProcessEntry& e : entries) {
    if (IsExcludedProcess(e.exeFile)) continue;
    const plat::Handle process = plat::OpenProcess(plat::kPROCESS_SET_QUOTA, true, e.pid);
    if (process == 0) continue;
    plat::SetProcessWorkingSetSize(process, -1, -1);
    plat::CloseHandle(process);
  }
}

bool TRAMClear::Boost() {
  if (fStop || !IsEnabled()) return false;
  TrimWorkingSets();
  if (fTempIni) fTempIni->WriteBool(kSection, "Clear", true);
  Notify(TProgressItemKind::Memory, "Memory", true);
  return true;
}

void TRAMClear::Restore() {
  if (fStop || !HasRestoreData()) return;
  Notify(TProgressItemKind::Memory, "Memory", true);
  fTempIni->EraseSection(kSection);
}

bool TRAMClear::HasRestoreData() {
  return HasSectionKeys(kSection);
}
