// Opening web links in the user's browser (kept apart from the settings record so
// that programs without the shell seam can use the record).
#include "config/UnitGAConfig.h"
#include "platform/Gui.h"
#include "platform/Platform.h"

namespace {

intptr_t OpenInInternetExplorer(const std::string& Url) {
  return plat::ShellExecuteW(0, "open", "IExplore.EXE", Url, "", plat::kSW_SHOWNORMAL);
}

}  // namespace

void OpenWebLink(const std::string& Url) {
  bool failed = false;
  try {
    const intptr_t result = UseInternetExplorerForLinks()
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
