#include "modules/tweaks/uPower.h"

#include <cstdint>
#include <vector>

#include "config/IniFiles.h"
#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

constexpr const char* kLibrary = "PowerMgr.dll";
constexpr uint32_t kBufferChars = 260;

// The library's exports, bound by full path from the program folder.
struct TPowerMgr {
  using TextFn = uint32_t(VLX_STDCALL*)(const char16_t*);
  using ValueFn = uint32_t(VLX_STDCALL*)(uint32_t);
  uint32_t(VLX_STDCALL* GetCurrentPwrCFG)(char16_t*, uint32_t, char16_t*, uint32_t) = nullptr;
  TextFn DeletePwrCFGByName = nullptr;
  ValueFn SetSleepTimeValue = nullptr;
  ValueFn SetDisplayTimeValue = nullptr;
  uint32_t(VLX_STDCALL* GetCurrentDisplayBrightness)(uint32_t*, uint32_t*) = nullptr;
  uint32_t(VLX_STDCALL* SetGamePwrCFG)(const char16_t*, const char16_t*, const char16_t*, uint32_t,
                                       uint32_t) = nullptr;
  TextFn SetPwrCFG = nullptr;
};

template <typename Fn>
bool Bind(plat::Module lib, const char* name, Fn& fn) {
  fn = reinterpret_cast<Fn>(plat::GetProcAddress(lib, name));
  if (!fn) LogError(std::string(kLibrary) + ": export " + name + " not found");
  return fn != nullptr;
}

// Loads the library; logs and answers nothing when it or one of its exports is missing.
std::optional<TPowerMgr> LoadPowerMgr(const std::string& caller) {
  const std::string path = GetOwnFolder() + kLibrary;
  const plat::Module lib = plat::LoadLibraryW(path);
  if (lib == 0) {
    const uint32_t error = plat::GetLastError();
    LogError(caller + " : cannot load " + path + ", system error " + std::to_string(error));
    return std::nullopt;
  }
  TPowerMgr p;
  bool ok = Bind(lib, "GetCurrentPwrCFG", p.GetCurrentPwrCFG);
  ok = Bind(lib, "DeletePwrCFGByName", p.DeletePwrCFGByName) && ok;
  ok = Bind(lib, "SetSleepTimeValue", p.SetSleepTimeValue) && ok;
  ok = Bind(lib, "SetDisplayTimeValue", p.SetDisplayTimeValue) && ok;
  ok = Bind(lib, "GetCurrentDisplayBrightness", p.GetCurrentDisplayBrightness) && ok;
  ok = Bind(lib, "SetGamePwrCFG", p.SetGamePwrCFG) && ok;
  ok = Bind(lib, "SetPwrCFG", p.SetPwrCFG) && ok;
  if (!ok) return std::nullopt;
  return p;
}

// The identifier of the active plan, nothing when the library cannot tell.
std::optional<std::string> ReadCurrentScheme(const TPowerMgr& p) {
  std::vector<char16_t> first(kBufferChars, 0);
  std::vector<char16_t> second(kBufferChars, 0);
  if (p.GetCurrentPwrCFG(first.data(), kBufferChars, second.data(), kBufferChars) == 0)
    return std::nullopt;
  second.back() = 0;
  return txt::Utf16ToUtf8(std::u16string(second.data()));
}

// A plan identifier without braces, upper case.
std::string PlanKey(std::string id) {
  if (!id.empty() && id.front() == '{') id.erase(0, 1);
  if (!id.empty() && id.back() == '}') id.pop_back();
  return txt::UpperCase(id);
}

}  // namespace

bool TPowerSch::IsEnabled() {
  return ReadBoostFlag("Power", true);
}

void TPowerSch::SetEnabled(bool Value) {
  WriteBoostFlag("Power", Value);
}

void TPowerSch::SetPowerSchText(const std::string& Name, const std::string& Description) {
  PowerSchName = Name.empty() ? kDefaultName : Name;
  PowerSchDesc = Description.empty() ? kDefaultDesc : Description;
}

bool TPowerSch::Boost() {
  LogInfo("TPowerSch.Boost 1");
  if (fStop) return false;
  if (!IsEnabled()) {
    LogInfo("TPowerSch.Boost 11");
    return false;
  }
  const std::optional<TPowerMgr> p = LoadPowerMgr("TPowerSch.Boost");
  if (!p) return false;

  LogInfo("TPowerSch.Boost 2");
  const std::optional<std::string> current = ReadCurrentScheme(*p);
  if (!current) {
    LogError("TPowerSch.Boost : GetCurrentPwrCFG failed, the power plan is left as it is");
    return false;
  }
  // With the game plan already active (an earlier boost never restored) the stored
  // plan is still the user's own.
  if (PlanKey(*current) != PlanKey(kGamePlanId) && GConfig) {
    auto settings = GConfig->OpenSettingsIni();
    settings->WriteString(kSection, "BasePwrSchID", *current);
  }
  if (fTempIni) fTempIni->WriteBool(kSection, "Custom", true);

  const std::string name = PowerSchName.empty() ? kDefaultName : PowerSchName;
  const std::string desc = PowerSchDesc.empty() ? kDefaultDesc : PowerSchDesc;
  LogInfo("TPowerSch.Boost 3");
  LogDebug("DeletePwrCFGByName");
  p->DeletePwrCFGByName(txt::Utf8ToUtf16(name).c_str());
  LogInfo("TPowerSch.Boost 4");
  p->SetSleepTimeValue(0);
  LogInfo("TPowerSch.Boost 5");
  p->SetDisplayTimeValue(0);
  LogInfo("TPowerSch.Boost 6");
  uint32_t first = 0;
  uint32_t second = 0;
  p->GetCurrentDisplayBrightness(&first, &second);
  LogInfo("TPowerSch.Boost 7");
  LogDebug("SetGamePwrCFG");
  p->SetGamePwrCFG(txt::Utf8ToUtf16(name).c_str(), txt::Utf8ToUtf16(desc).c_str(),
                   txt::Utf8ToUtf16(kGamePlanId).c_str(), first, second);
  LogInfo("TPowerSch.Boost 8");
  LogInfo("TPowerSch.Boost 9");
  if (OnProgress) {
    LogInfo("TPowerSch.Boost 10");
    Notify(TProgressItemKind::PowerScheme, "Power Scheme", true);
  }
  LogInfo("TPowerSch.Boost 11");
  return true;
}

void TPowerSch::Restore() {
  LogInfo("TPowerSch.Restore 1");
  if (fStop) return;
  if (HasRestoreData()) {
    const std::optional<TPowerMgr> p = LoadPowerMgr("TPowerSch.Restore");
    LogInfo("TPowerSch.Restore 2");
    std::string id = "N/A";
    if (GConfig) {
      auto settings = GConfig->OpenSettingsIni();
      id = settings->ReadString(kSection, "BasePwrSchID", "N/A");
    }
    if (!p) {
      // The record stays for a run that has the library.
      LogError("TPowerSch.Restore : power plan not set back, pending plan " + id);
      return;
    }
    LogInfo("TPowerSch.Restore 3");
    p->SetPwrCFG(txt::Utf8ToUtf16(id).c_str());
    LogInfo("TPowerSch.Restore 4");
    if (OnProgress) {
      LogInfo("TPowerSch.Restore 5");
      Notify(TProgressItemKind::PowerScheme, "Power Scheme", true);
    }
  }
  LogInfo("TPowerSch.Restore 6");
  fTempIni->EraseSection(kSection);
  LogInfo("TPowerSch.Restore 7");
}

bool TPowerSch::HasRestoreData() {
  return HasSectionKeys(kSection);
}
