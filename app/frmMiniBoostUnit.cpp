#include "app/frmMiniBoostUnit.h"

#include <algorithm>
#include <functional>

#include "app/uHostInterface.h"
#include "config/IniFiles.h"
#include "config/PBoostLanguage.h"
#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "diag/uBugreport.h"
#include "diag/uSysInfo.h"
#include "modules/tweaks/uOverFun.h"
#include "platform/Platform.h"
#include "platform/Text.h"

std::unique_ptr<TBoost> gBoost;
std::string CaptionBoost = "Velmora is boosting into Gaming Mode...";
std::string CaptionRestore = "Velmora is restoring back to Normal Mode...";

namespace {

constexpr uintptr_t kTimerId = 1;
constexpr uintptr_t kSysCommandDragMove = 0xF012;

constexpr uint32_t Rgb(int r, int g, int b) {
  return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) |
         (static_cast<uint32_t>(b) << 16);
}
constexpr uint32_t kColorBackground = Rgb(10, 10, 10);
constexpr uint32_t kColorPanel = Rgb(24, 27, 33);
constexpr uint32_t kColorPanelEdge = Rgb(58, 63, 74);
constexpr uint32_t kColorCaption = Rgb(236, 240, 245);
constexpr uint32_t kColorBarTrack = Rgb(48, 52, 61);
constexpr uint32_t kColorBar = Rgb(0, 168, 255);
constexpr int kCaptionFontHeight = -14;

std::string BoolFlag(bool value) {
  return value ? "-1" : "0";
}

}  // namespace

int ProgressBarFillWidth(int Width, int Position, int Min, int Max) {
  if (Position <= Min || Max <= Min) return 0;
  const int64_t span = static_cast<int64_t>(Max) - Min;
  const int64_t scaled = static_cast<int64_t>(Width) * (Position - Min);
  int fill = static_cast<int>((scaled + span - 1) / span);
  fill = std::max(fill, kBarMarginLeft + kBarMarginRight);
  return std::min(fill, Width);
}

TfrmMiniBoost::TfrmMiniBoost(std::vector<std::string> Params, bool ShowMainForm,
                             TBoostModules Modules)
    : fParams(std::move(Params)), fShowMainForm(ShowMainForm), fModules(std::move(Modules)) {
  fForm = std::make_unique<TComponent>(TComponentKind::Form, "frmMiniBoost", &Application());
  fForm->Caption = "DedaVovirer";
  fLabel = fForm->Add(TComponentKind::RichTextLabel, "rdlblCaption", fForm.get());
  fForm->Add(TComponentKind::Other, "MiniBoostShape", fForm.get());
  fForm->Add(TComponentKind::Other, "rdprgrsbr1", fForm.get());
  fForm->Add(TComponentKind::Other, "rdtmrBoost");
  fForm->Add(TComponentKind::Other, "MiniBoostSkin");
}

TfrmMiniBoost::~TfrmMiniBoost() {
  if (fHandle != 0) plat::DestroyWindow(fHandle);
  FreeOverDriveDll();
}

std::string TfrmMiniBoost::Param(size_t Index) const {
  return Index < fParams.size() ? fParams[Index] : std::string();
}

bool TfrmMiniBoost::HasSwitch(const std::string& Name) const {
  for (size_t i = 1; i < fParams.size(); ++i) {
    const std::string& p = fParams[i];
    if (!p.empty() && (p[0] == '-' || p[0] == '/') && txt::SameText(p.substr(1), Name)) return true;
  }
  return false;
}

void TfrmMiniBoost::Create() {
  plat::WindowSpec layout;
  layout.className = "TfrmMiniBoost";
  layout.caption = fForm->Caption;
  layout.width = kMiniWidth;
  layout.height = kMiniHeight;
  layout.x = (plat::GetSystemMetrics(plat::kSM_CXSCREEN) - kMiniWidth) / 2;
  layout.y = (plat::GetSystemMetrics(plat::kSM_CYSCREEN) - kMiniHeight) / 2;
  layout.popup = true;
  layout.topMost = true;
  layout.backgroundColor = kColorBackground;
  layout.iconResource = "MAINICON";
  fHandle = plat::CreateAppWindow(layout, [this](plat::Hwnd h, uint32_t m, uintptr_t w,
                                                 intptr_t l) { return WndProc(h, m, w, l); });
  if (fHandle == 0) {
    // Without a window neither the timer nor the end of the bar would ever come.
    LogError("TfrmMiniBoost.Create: cannot create the window, system error " +
             std::to_string(plat::GetLastError()));
    ExitWithNotice(0);
  }
  FormCreate();
}

void TfrmMiniBoost::FormCreate() {
  InitAMD8Support();
  InitConfigGlobals(false);
  LoadOverDriveDll();
  LogRun("TfrmMiniBoost.FormCreate");
  const std::string p1 = Param(1);
  if (p1 != "-normal" && p1 != "-game") ExitWithNotice(0);
  fRunParam = p1;
  LogRun("RunParam : " + fRunParam);

  gBoost = std::make_unique<TBoost>(
      GSettingsFolder, GSettingsFolder + "Velmorix.ini", GSettingsFolder + "Temp.ini",
      [this](void* sender, bool ok) { OnBoostFinish(sender, ok); }, this, fModules);
  gBoost->SetSynchronizer([this](const std::function<void()>& f) { Synchronize(f); });
  LogRun("gBoost : " + BoolFlag(gBoost->IsBoosted()));
  gBoost->PrepareProgress();

  if (fRunParam == "-normal" && !gBoost->IsBoosted()) ExitWithNotice(0);
  if (fRunParam == "-game" && gBoost->IsBoosted()) ExitWithNotice(0);

  if (Param(2) == "-hide") {
    gBoost->PrepareProgress();
    SendTrayMessage(kMsgTrayDisableMenu, 0, 0);
    gBoost->ExitGameDesktop();  // before the restore pass, which deletes its records
    gBoost->Restore();
  }
  LogRun("ChangeLan");
  ChangeLan();
  LogRun("BeginBoost");
  SendTrayMessage(kMsgTrayDisableMenu, 1, 0);
  BeginBoost();
  LogRun("BeginBoost Leave");

  const plat::Hwnd host = FindHostWindow();
  LogRun("VXHandle : " + txt::UIntToStr(host));
  if (host != 0) plat::SendMessageW(host, kMsgHostMiniBoost, 0, 0);
}

void TfrmMiniBoost::ChangeLan() {
  std::string language;
  {
    TIniFile settings(GSettingsFolder + "Velmorix.ini");
    language = settings.ReadString("config", "Language", "English");
  }
  if (!gBoostLanguage) return;
  gBoostLanguage->LoadLanguage(language);
  gBoostLanguage->TranslateApplication();
  CaptionBoost = GetMsg("M_Caption_Boost", CaptionBoost);
  CaptionRestore = GetMsg("M_Caption_Restore", CaptionRestore);
}

void TfrmMiniBoost::BeginBoost() {
  fLabel->Caption = gBoost->IsBoosted() ? CaptionRestore : CaptionBoost;
  const int width = plat::MeasureTextWidth(fLabel->Caption, "Tahoma", kCaptionFontHeight);
  fLabelTop = width > kLabelWidth ? kLabelTopTwoLines : kLabelTop;
  fTimerEnabled = true;
  LogDebug("BeginBoost : " + std::to_string(fPosition));
  fPosition = 0;
  fStartTick = plat::GetTickCount();
  fInterval = kTimerInterval;
  plat::SetTimer(fHandle, kTimerId, fInterval);
  Repaint();
}

void TfrmMiniBoost::Show() {
  plat::ShowWindow(fHandle, plat::kSW_SHOW);
  Repaint();
  plat::PostMessageW(fHandle, kMsgStartBoost, 0, kPostMarker);
}

void TfrmMiniBoost::Repaint() {
  plat::WindowContent content;
  content.rects.push_back({0, 0, kMiniWidth, kMiniHeight, kColorPanelEdge});
  content.rects.push_back({1, 1, kMiniWidth - 2, kMiniHeight - 2, kColorPanel});
  content.rects.push_back({kBarLeft, kBarTop, kBarWidth, kBarHeight, kColorBarTrack});
  const int fill = ProgressBarFillWidth(kBarWidth, fPosition, 0, 100);
  if (fill > 0) content.rects.push_back({kBarLeft, kBarTop, fill, kBarHeight, kColorBar});
  plat::DrawText label;
  label.left = kLabelLeft;
  label.top = fLabelTop;
  label.width = kLabelWidth;
  label.height = kLabelHeight;
  label.text = fLabel->Caption;
  label.fontHeight = kCaptionFontHeight;
  label.color = kColorCaption;
  content.texts.push_back(label);
  content.progressPercent = fPosition;
  plat::SetWindowContent(fHandle, content);
  plat::InvalidateRect(fHandle);
}

void TfrmMiniBoost::Synchronize(const std::function<void()>& Call) {
  fPendingSync = &Call;
  plat::SendMessageW(fHandle, kMsgSynchronize, 0, 0);
  // Handled by now, or the window is gone: the call is not pending any more.
  fPendingSync = nullptr;
}

intptr_t TfrmMiniBoost::WndProc(plat::Hwnd Hwnd, uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  try {
    return HandleMessage(Hwnd, Msg, WParam, LParam);
  } catch (const std::exception& e) {
    LogError("TfrmMiniBoost.WndProc: " + std::string(e.what()));
    ReportUnhandledException(CppExceptionReport(e.what()));
  } catch (...) {
    LogError("TfrmMiniBoost.WndProc: unknown exception");
    ReportUnhandledException(CppExceptionReport("unknown exception"));
  }
}

intptr_t TfrmMiniBoost::HandleMessage(plat::Hwnd Hwnd, uint32_t Msg, uintptr_t WParam,
                                      intptr_t LParam) {
  switch (Msg) {
    case kMsgStartBoost:
      WMStartBoost(LParam);
      return 0;
    case kMsgExitProcess:
      WMExitProcess();
      return 0;
    case kMsgSynchronize:
      // Only the worker's own call runs, once, whoever sent the message.
      if (const std::function<void()>* call = fPendingSync.exchange(nullptr)) (*call)();
      return 0;
    case plat::kWM_TIMER:
      if (WParam == kTimerId && fTimerEnabled) TimerStep();
      return 0;
    case plat::kWM_CLOSE:
      // Closing from outside only hides the panel; the timer still ends the program.
      plat::ShowWindow(fHandle, plat::kSW_HIDE);
      return 0;
    case plat::kWM_LBUTTONDOWN:
    case plat::kWM_RBUTTONDOWN:
    case plat::kWM_MBUTTONDOWN:
      plat::ReleaseCapture();
      plat::SendMessageW(fHandle, plat::kWM_SYSCOMMAND, kSysCommandDragMove, 0);
      return 0;
    default:
      return plat::DefaultWindowProc(Hwnd, Msg, WParam, LParam);
  }
}

void TfrmMiniBoost::WMStartBoost(intptr_t LParam) {
  plat::UpdateWindow(fHandle);
  if (!HasSwitch("Auto")) ForceForegroundWindow();
  if (LParam != kPostMarker) return;
  if (fRunParam == "-normal") {
    fUnnecessBoost = !gBoost->IsBoosted();
    LogRun("UnnecessBoost : " + BoolFlag(fUnnecessBoost));
    if (!fUnnecessBoost) {
      plat::Message msg;
      while (plat::PeekMessageW(msg))
        plat::DispatchMessageW(msg);
      LogRun("gBoost.ExitGameDesktop");
      gBoost->ExitGameDesktop();
      LogRun("gBoost.Restore");
      gBoost->Restore();
    }
  } else if (fRunParam == "-game") {
    fUnnecessBoost = gBoost->IsBoosted();
    LogRun("UnnecessBoost : " + BoolFlag(fUnnecessBoost));
    if (!fUnnecessBoost) gBoost->Boost();
  }
  if (fUnnecessBoost) fTimerEnabled = true;
  plat::TrimOwnWorkingSet();
}

void TfrmMiniBoost::TimerStep() {
  fPosition = std::min(fPosition + 1, 100);
  if (fPosition > 85) LogRun("position:" + std::to_string(fPosition));
  Repaint();
  if (fPosition >= 100) {
    fTimerEnabled = false;
    plat::KillTimer(fHandle, kTimerId);
    plat::PostMessageW(fHandle, kMsgExitProcess, 0, kPostMarker);
  }
  if (fFinished && plat::GetTickCount() - fStartTick > kFinishGraceMs && fInterval != 1) {
    fInterval = 1;
    if (fTimerEnabled) plat::SetTimer(fHandle, kTimerId, fInterval);
  }
}

void TfrmMiniBoost::OnBoostFinish(void*, bool) {
  if (GConfig) GConfig->OpenSettingsIni()->WriteBool("Boost", "IsBoost", false);
  fFinished = true;
}

void TfrmMiniBoost::WMExitProcess() {
  LogRun("WMExitProcess");
  NotifyTray(fRunParam);
  SendTrayMessage(kMsgTrayEnableMenu, 0, 0);
  const plat::Hwnd host = FindHostWindow();
  LogRun("VXHandle : " + txt::UIntToStr(host));
  if (host != 0) {
    plat::PostMessageW(host, kMsgHostBoostOver, 0, kPostMarker);
    plat::SendMessageW(host, kMsgHostMiniBoost, 1, 0);
  }
  // Closing the window ends the program.
  ExitWithNotice(0);
}

bool TfrmMiniBoost::ForceForegroundWindow() {
  if (plat::IsIconic(fHandle)) plat::ShowWindow(fHandle, plat::kSW_RESTORE);
  if (plat::GetForegroundWindow() == fHandle) return true;
  const uint32_t foregroundThread =
      plat::GetWindowThreadProcessId(plat::GetForegroundWindow(), nullptr);
  const uint32_t ownThread = plat::GetWindowThreadProcessId(fHandle, nullptr);
  plat::AttachThreadInput(ownThread, foregroundThread, true);
  plat::SetForegroundWindow(fHandle);
  if (plat::GetForegroundWindow() != fHandle) {
    // The lock is lifted only when its time-out could be read and so put back.
    uint32_t timeout = 0;
    if (plat::GetForegroundLockTimeout(timeout)) {
      plat::SetForegroundLockTimeout(0);
      plat::SetForegroundWindow(fHandle);
      plat::SetForegroundLockTimeout(timeout);
    }
  }
  return plat::GetForegroundWindow() == fHandle;
}
