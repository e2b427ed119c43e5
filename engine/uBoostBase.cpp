#include "engine/uBoostBase.h"

#include <array>

#include "config/IniFiles.h"
#include "config/UnitGAConfig.h"
#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Text.h"

namespace {

const std::array<const char*, 31> kExcludedProcesses = {
    "BHCA.exe",
    "ccSvcHst.exe",
    "Checksum.exe",
    "ControlAP.exe",
    "DevViewer.exe",
    "DoScan.exe",
    "dot1xtray.exe",
    "DWHWizrd.exe",
    "EFAInst.exe",
    "FixExtend.exe",
    "installTeefer.exe",
    "Luawrap.exe",
    "MigrateUserScans.exe",
    "nlnhook.exe",
    "PatchWrap.exe",
    "ProtectionUtilSurrogate.exe",
    "RtvStart.exe",
    "SavUI.exe",
    "SepLiveUpdate.exe",
    "SepStub.exe",
    "Sevinst.exe",
    "sisnat.exe",
    "Smc.exe",
    "SmcGui.exe",
    "smcinst.exe",
    "snac.exe",
    "SRTSP_CA.exe",
    "SylinkDrop.exe",
    "SymCorpUI.exe",
    "WFPUnins.exe",
    "WSCSAvNotifier.exe",
};

}  // namespace

void ProcessMessages() {
  plat::Message msg;
  while (plat::PeekMessageW(msg)) {
    if (msg.message == plat::kWM_QUIT) {
      plat::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    plat::DispatchMessageW(msg);
  }
}

TBoostBase::TBoostBase(const std::string& Path, const std::string& /*SettingsFile*/,
                       const std::string& StateFile)
    : fPath(fileutil::IncludeTrailingPathDelimiter(Path)) {
  if (!StateFile.empty()) fTempIni = std::make_unique<TIniFile>(StateFile);
}

TBoostBase::~TBoostBase() {
  fTempIni.reset();
  fPath.clear();
}

bool TBoostBase::IsEnabled() {
  throw EAbstractError();
}
void TBoostBase::SetEnabled(bool) {
  throw EAbstractError();
}
bool TBoostBase::Boost() {
  return true;
}
void TBoostBase::Restore() {
  throw EAbstractError();
}
void TBoostBase::Stop() {
  fStop = true;
}
bool TBoostBase::HasRestoreData() {
  throw EAbstractError();
}

void TBoostBase::SetPowerSchText(const std::string&, const std::string&) {}

void TBoostBase::SetProgressHook(TProgressEvent Code, void* Sender) {
  OnProgress = std::move(Code);
  fProgressSender = Sender;
}

bool TBoostBase::IsExcludedProcess(const std::string& ExeName) {
  for (const char* name : kExcludedProcesses)
    if (txt::SameText(ExeName, name)) return true;
  return false;
}

bool TBoostBase::ListContainsText(const std::string& Text, const std::vector<std::string>& List) {
  for (auto it = List.rbegin(); it != List.rend(); ++it)
    if (txt::SameText(*it, Text)) return true;
  return false;
}

bool TBoostBase::HasSectionKeys(const std::string& Section) {
  std::vector<std::string> keys;
  fTempIni->ReadSection(Section, keys);
  return !keys.empty();
}

bool TBoostBase::ReadBoostFlag(const std::string& Key, bool Default) {
  if (!GConfig) return Default;
  auto ini = GConfig->OpenSettingsIni();
  return ini->ReadBool("Boost", Key, Default);
}

void TBoostBase::WriteBoostFlag(const std::string& Key, bool Value) {
  if (!GConfig) return;
  auto ini = GConfig->OpenSettingsIni();
  ini->WriteBool("Boost", Key, Value);
}

void TBoostBase::Notify(TProgressItemKind Kind, const std::string& Caption, bool Success) {
  if (OnProgress) OnProgress(fProgressSender, Kind, Caption, Success);
}
