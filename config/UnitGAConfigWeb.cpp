// Opening web links in the user's browser (kept apart from the settings record so
// that programs without the shell seam can use the record).
#include "config/RegistryClass.h"
#include "config/UnitGAConfig.h"
#include "platform/Gui.h"
#include "platform/Platform.h"

namespace {

// Other vendors' security and advertising-filter products that take over the
// default browser on Windows 10 (build 10586 and later).
const char* const kBrowserHijackers[] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\360TotalSecurity",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MPC AdCleaner",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MPC",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\iSafe",
};

bool BrowserHijackerInstalled() {
  plat::OsVersionInfo os;
  if (!plat::GetVersionExW(os) || os.major < 10 || os.build < 10586) return false;
  for (const char* key : kBrowserHijackers) {
    try {
      TRegistry reg;
      reg.SetRootKey(plat::kHKEY_LOCAL_MACHINE);
      if (reg.OpenKeyReadOnly(key)) return true;
    } catch (...) {
    }
  }
  return false;
}

intptr_t OpenInInternetExplorer(const std::string& Url) {
  return plat::ShellExecuteW(0, "open", "IExplore.EXE", Url, "", plat::kSW_SHOWNORMAL);
}

}  // namespace

void OpenWebLink(const std::string& Url) {
  bool failed = false;
  try {
    const intptr_t result = BrowserHijackerInstalled()
                                ? OpenInInternetExplorer(Url)
                                : plat::ShellExecuteW(0, "open", Url, "", "", plat::kSW_SHOWNORMAL);
    failed = result <= 32;
  } catch (...) {
    failed = true;
  }
  if (!failed) return;
  try {
    OpenInInternetExplorer(Url);
  } catch (...) {
  }
}
