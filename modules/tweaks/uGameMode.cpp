#include "modules/tweaks/uGameMode.h"

#include <exception>

#include "config/IniFiles.h"
#include "config/RegistryClass.h"
#include "platform/Types.h"

bool TGameMode::IsEnabled() {
  return ReadBoostFlag("GameMode", true);
}

void TGameMode::SetEnabled(bool Value) {
  WriteBoostFlag("GameMode", Value);
}

bool TGameMode::Boost() {
  if (fStop || !IsEnabled() || !fTempIni) return false;
  bool recorded = false;
  try {
    TRegistry reg;
    reg.SetRootKey(plat::kHKEY_CURRENT_USER);
    if (!reg.OpenKey(kKey, false)) return false;
    uint32_t type = 0;
    if (!reg.GetDataType(kValue, type) || (type != plat::kREG_DWORD && type != plat::kREG_QWORD))
      return false;
    if (reg.ReadDWordOrQWord(kValue) == 1) return false;
    fTempIni->WriteBool(kSection, "GameMode", true);
    recorded = true;
    reg.WriteInteger(kValue, 1);
  } catch (const std::exception&) {
    // A value that cannot be changed leaves no record behind.
    if (recorded) fTempIni->EraseSection(kSection);
  }
  return false;
}

void TGameMode::Restore() {
  if (fStop || !HasRestoreData()) return;
  try {
    TRegistry reg;
    reg.SetRootKey(plat::kHKEY_CURRENT_USER);
    if (reg.OpenKey(kKey, false)) reg.WriteInteger(kValue, 0);
  } catch (const std::exception&) {
  }
  fTempIni->EraseSection(kSection);
}

bool TGameMode::HasRestoreData() {
  return HasSectionKeys(kSection);
}
