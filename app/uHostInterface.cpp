#include "app/uHostInterface.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

// The single-instance mutex stays open until the process ends.
plat::Handle gInstanceMutex = 0;

struct SwitchCode {
  const char* name;
  uint32_t code;
};
constexpr SwitchCode kSwitchCodes[] = {
    {"-normal", kMsgTrayNormal},
    {"-game", kMsgTrayGame},
    {"-settingchange", kMsgTraySettingChange},
    {"-quit", kMsgTrayQuit},
    {"-disablemenu", kMsgTrayDisableMenu},
    {"-enablemenu", kMsgTrayEnableMenu},
    {"-config", kMsgTrayConfig},
};

}  // namespace

plat::Hwnd FindHostWindow() {
  return plat::FindWindowW(kHostWindowClass, kHostWindowCaption);
}
plat::Hwnd FindTrayWindow() {
  return plat::FindWindowW(kTrayWindowClass, kTrayWindowCaption);
}

uint32_t TraySwitchCode(const std::string& Switch) {
  for (const auto& s : kSwitchCodes)
    if (Switch == s.name) return s.code;
  return 0;
}

void NotifyTray(const std::string& Switch) {
  const plat::Hwnd tray = FindTrayWindow();
  if (tray != 0) {
    const uint32_t code = TraySwitchCode(Switch);
    if (code != 0) plat::PostMessageW(tray, code, 0, kPostMarker);
  } else if (Switch != "-quit") {
    const std::string folder = GetOwnFolder();
    plat::ShellExecuteW(0, "open", folder + "VlxTray.exe", Switch, folder, plat::kSW_SHOWNORMAL);
  }
}

intptr_t SendTrayMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  const plat::Hwnd tray = FindTrayWindow();
  if (tray == 0) return 0;
  return plat::SendMessageW(tray, Msg, WParam, LParam);
}

bool SendHostData(const std::string& Channel, const std::string& Text) {
  // The library is the host's; it is looked up where the system finds DLLs for
  // this program (its own folder first) and kept for the rest of the run.
  static std::once_flag once;
  static plat::DataStateFunc func = nullptr;
  std::call_once(once, [] {
    const plat::Module lib = plat::LoadLibraryW("datastate.dll");
    if (lib != 0) func = reinterpret_cast<plat::DataStateFunc>(plat::GetProcAddress(lib, "Func"));
  });
  if (func == nullptr) return false;
  const std::u16string channel = txt::Utf8ToUtf16(Channel);
  const std::u16string text = txt::Utf8ToUtf16(Text);
  std::vector<unsigned char> reply(16 * 1024, 0);
  const uint32_t preset = 0;
  std::memcpy(reply.data(), &preset, sizeof preset);
  uint32_t capacity = 4096;
  func(channel.c_str(), text.c_str(), static_cast<int32_t>((text.size() + 1) * 2), reply.data(),
       &capacity);
  return true;
}

void ExitWithNotice(uint32_t ExitCode) {
  if (!SendHostData(kMiniBoostChannel, kMiniBoostOverText))
    LogRun("SendHostData: datastate.dll not available");
  plat::ExitProcess(ExitCode);
}

void CheckPrevInst() {
  gInstanceMutex = plat::CreateMutexW(kSingleInstanceMutex);
  if (plat::GetLastError() == plat::kERROR_ALREADY_EXISTS) plat::ExitProcess(0);
}
