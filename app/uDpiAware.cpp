#include "app/uDpiAware.h"

#include <algorithm>

#include "config/RegistryClass.h"
#include "diag/uAppLog.h"
#include "platform/Gui.h"
#include "platform/Platform.h"

namespace {

constexpr int kPerMonitorDpiAware = 2;

void MakeDpiAware() {
  plat::OsVersionInfo os;
  const bool win81OrLater =
      plat::GetVersionExW(os) && (os.major > 6 || (os.major == 6 && os.minor >= 3));
  if (win81OrLater) {
    plat::SetProcessDpiAwareness(kPerMonitorDpiAware);
  } else {
    plat::SetProcessDPIAware();
  }
}

int AppliedDpi() {
  try {
    TRegistry reg;
    reg.SetRootKey(plat::kHKEY_CURRENT_USER);
    if (reg.OpenKeyReadOnly("Control Panel\\Desktop\\WindowMetrics") &&
        reg.ValueExists("AppliedDPI"))
      return static_cast<int>(reg.ReadDWordOrQWord("AppliedDPI"));
  } catch (const std::exception&) {
  }
  return 96;
}

}  // namespace

bool NeedScale(int Width, int Height) {
  const int longer = std::max(Width, Height);
  const int shorter = std::min(Width, Height);
  return longer >= 1350 && shorter - 40 >= 640 && longer >= 940;
}

void InitDPIAware() {
  bool aware = false;
  int awareness = 0;
  if (plat::GetProcessDpiAwareness(awareness)) {
    aware = awareness != 0;
  } else {
    plat::IsProcessDPIAware(aware);
  }
  const int logPixelsY = plat::GetScreenLogPixelsY();
  LogRun("InitCheckDPI LOGPIXELSY: " + std::to_string(logPixelsY));
  const bool at96 = logPixelsY == 96;

  const int width = plat::GetSystemMetrics(plat::kSM_CXSCREEN);
  const int height = plat::GetSystemMetrics(plat::kSM_CYSCREEN);
  const plat::Rect work = plat::GetWorkArea();
  const int workWidth = work.right - work.left;
  const int workHeight = work.bottom - work.top;
  LogRun("NeedScale ScreenWidth, ScreenHeight: " + std::to_string(width) + ", " +
         std::to_string(height) + " WorkArea: " + std::to_string(workWidth) + ", " +
         std::to_string(workHeight) + " Aware: " + (aware ? "-1" : "0"));
  if (at96 && NeedScale(width, height)) return;

  LogRun("**************** DoDPIAware 1");
  if (AppliedDpi() == 96) {
    MakeDpiAware();
    return;
  }
  LogRun("**************** ScreenWidth, ScreenHeight: " + std::to_string(workWidth) + ", " +
         std::to_string(workHeight));
  if (workWidth < 940 || workHeight < 640) {
    LogRun("**************** DoDPIAware 2");
    MakeDpiAware();
  }
}
