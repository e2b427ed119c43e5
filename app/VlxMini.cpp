#include "app/VlxMini.h"

#include <stdexcept>

#include "app/frmMiniBoostUnit.h"
#include "app/uCheckBaseFile.h"
#include "app/uDpiAware.h"
#include "app/uHostInterface.h"
#include "config/PBoostLanguage.h"
#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "diag/uBugreport.h"
#include "diag/uSysInfo.h"
#include "display/uMonitorManager.h"
#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"

namespace {

constexpr uint32_t kTrayStopDelayMs = 20;

// Start-up work of the program's units, in unit order.
void UnitStartUp(const std::vector<std::string>& Params) {
  InitDefaultAppLog();
  InitDPIAware();
  // Program-folder globals: an old "<program>.log" beside the program goes.
  const std::string exe = plat::GetModuleFileNameW();
  const std::string oldLog = fileutil::ChangeFileExt(exe, ".log");
  if (fileutil::FileExists(oldLog)) plat::DeleteFileW(oldLog);
  IsWow64Self();
  GetOSVersionCode();
  InitBoostLanguage();
  InitMonitorUnits();  // the monitor logs, the monitor library and GMonitorManager
  InitBugReport(Params);
}

int Run(const std::vector<std::string>& Params, const TBoostModules& Modules) {
  const auto param = [&](size_t i) { return i < Params.size() ? Params[i] : std::string(); };
  UnitStartUp(Params);
  LogRun("ParamStr(1) : " + param(1));
  if (param(1) == "Debug") throw std::runtime_error(kBugReportTestText);

  if (!CheckBaseFiles()) {
    SendTrayMessage(kMsgTrayBaseFileFail, 0, 0);
    plat::Sleep(kTrayStopDelayMs);
    KillProcessByName("VlxMain.exe");
    KillProcessByName("VlxTray.exe");
    return 0;
  }

  LogRun("CheckPrevInst");
  CheckPrevInst();
  LogRun("CheckPrevInst Leave");

  const bool showMainForm = param(2) != "-hide";
  LogRun(std::string("Application.ShowMainForm : ") + (showMainForm ? "-1" : "0"));

  TfrmMiniBoost form(Params, showMainForm, Modules);
  // From here on a failure tells the product that the mini boost is over, as a normal
  // end does, so that its menus are not left disabled.
  SetBugReportNotice([] {
    SendTrayMessage(kMsgTrayEnableMenu, 0, 0);
    SendHostData(kMiniBoostChannel, kMiniBoostOverText);
  });
  form.Create();
  if (showMainForm) form.Show();
  plat::Message msg;
  while (plat::GetMessageW(msg))
    plat::DispatchMessageW(msg);
  DoneMonitorUnits();
  return 0;
}

}  // namespace

// An exception that leaves the program (the test exceptions among them) is written
// to the error log and ends the program through the bug report.
int RunVlxMini(const std::vector<std::string>& Params, const TBoostModules& Modules) {
  try {
    return Run(Params, Modules);
  } catch (const std::exception& e) {
    LogError(std::string("Unhandled exception: ") + e.what());
    ReportUnhandledException(CppExceptionReport(e.what()));
  } catch (...) {
    LogError("Unhandled exception: unknown exception");
    ReportUnhandledException(CppExceptionReport("unknown exception"));
  }
}
