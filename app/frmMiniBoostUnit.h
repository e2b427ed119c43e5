// The mini boost window: a small borderless, always-on-top panel with a caption
// and a progress bar. It decides when the operation starts and when the program
// ends: the bar is driven by its own timer, and when it is full the window tells
// the tray program and the host that it is done and ends the process.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/uBoostModules.h"
#include "config/Component.h"
#include "engine/uBoost.h"
#include "platform/Gui.h"

// Messages the window handles (WM_USER + 5000, + 5003 and + 5100).
inline constexpr uint32_t kMsgStartBoost = 6024;
inline constexpr uint32_t kMsgExitProcess = 6027;
// Runs the worker's pending synchronised call on the window's thread; the message's
// parameters carry nothing (other programs may send or broadcast this number).
inline constexpr uint32_t kMsgSynchronize = 6124;

// Layout at 96 pixels per inch.
inline constexpr int kMiniWidth = 380;
inline constexpr int kMiniHeight = 110;
inline constexpr int kLabelLeft = 20, kLabelTop = 40, kLabelWidth = 345, kLabelHeight = 41;
inline constexpr int kLabelTopTwoLines = 25;
inline constexpr int kBarLeft = 20, kBarTop = 62, kBarWidth = 340, kBarHeight = 10;
inline constexpr int kBarMarginLeft = 3, kBarMarginRight = 3;  // of the bar image
inline constexpr uint32_t kTimerInterval = 180;
inline constexpr uint32_t kFinishGraceMs = 2500;

// The orchestrator, created by the window.
extern std::unique_ptr<TBoost> gBoost;
// Captions, replaced from the language file by ChangeLan.
extern std::string CaptionBoost;
extern std::string CaptionRestore;

// Width of the filled part of a progress bar of the given width.
int ProgressBarFillWidth(int Width, int Position, int Min, int Max);

class TfrmMiniBoost {
 public:
  // Params: the command line, parameter 0 being the program's own path.
  TfrmMiniBoost(std::vector<std::string> Params, bool ShowMainForm,
                TBoostModules Modules = DefaultBoostModules());
  ~TfrmMiniBoost();
  TfrmMiniBoost(const TfrmMiniBoost&) = delete;
  TfrmMiniBoost& operator=(const TfrmMiniBoost&) = delete;

  // Creates the window (hidden) and runs its create handler, which decides the
  // operation; may end the process (nothing to do).
  void Create();
  // Shows the window; the shown window posts itself the start message.
  void Show();

  plat::Hwnd Handle() const { return fHandle; }
  int Position() const { return fPosition; }
  int LabelTop() const { return fLabelTop; }
  const std::string& LabelText() const { return fLabel->Caption; }
  uint32_t TimerInterval() const { return fInterval; }
  bool FinishedFlag() const { return fFinished; }
  const std::string& RunParam() const { return fRunParam; }

 private:
  intptr_t WndProc(plat::Hwnd Hwnd, uint32_t Msg, uintptr_t WParam, intptr_t LParam);
  intptr_t HandleMessage(plat::Hwnd Hwnd, uint32_t Msg, uintptr_t WParam, intptr_t LParam);
  void Synchronize(const std::function<void()>& Call);
  void FormCreate();
  void ChangeLan();
  void BeginBoost();
  void WMStartBoost(intptr_t LParam);
  void WMExitProcess();
  void TimerStep();
  void OnBoostFinish(void* Sender, bool Succeeded);
  bool ForceForegroundWindow();
  void Repaint();
  std::string Param(size_t Index) const;
  bool HasSwitch(const std::string& Name) const;

  std::vector<std::string> fParams;
  bool fShowMainForm;
  TBoostModules fModules;
  plat::Hwnd fHandle = 0;
  std::string fRunParam;
  bool fUnnecessBoost = false;
  std::atomic<bool> fFinished{false};
  uint32_t fStartTick = 0;
  int fPosition = 0;
  int fLabelTop = kLabelTop;
  bool fTimerEnabled = false;
  uint32_t fInterval = kTimerInterval;
  // The window's components as the language files see them.
  std::unique_ptr<TComponent> fForm;
  TComponent* fLabel = nullptr;
  // The worker's call waiting for the window's thread (one worker, one call at a time).
  std::atomic<const std::function<void()>*> fPendingSync{nullptr};
};
