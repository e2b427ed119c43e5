#include "modules/tweaks/uClipbrd.h"

#include <stdexcept>

#include "config/IniFiles.h"
#include "diag/uAppLog.h"
#include "platform/Gui.h"
#include "platform/Platform.h"

namespace {

// The clipboard, open for the life of the object.
class TClipboardAccess {
 public:
  TClipboardAccess() {
    if (!plat::OpenClipboard(0))
      throw std::runtime_error("Cannot open clipboard: " +
                               plat::SysErrorMessage(plat::GetLastError()));
  }
  ~TClipboardAccess() { plat::CloseClipboard(); }
  TClipboardAccess(const TClipboardAccess&) = delete;
  TClipboardAccess& operator=(const TClipboardAccess&) = delete;
};

}  // namespace

bool TClipbrd::IsEnabled() {
  return ReadBoostFlag("Clipbrd", true);
}

void TClipbrd::SetEnabled(bool Value) {
  WriteBoostFlag("Clipbrd", Value);
}

void TClipbrd::ClearClipboard() {
  TClipboardAccess clipboard;
  if (!plat::EmptyClipboard())
    throw std::runtime_error("Cannot clear clipboard: " +
                             plat::SysErrorMessage(plat::GetLastError()));
}

bool TClipbrd::Boost() {
  if (fStop || !IsEnabled()) return false;
  try {
    ClearClipboard();
    if (fTempIni) fTempIni->WriteBool(kSection, "Clear", true);
    Notify(TProgressItemKind::Clipboard, "Clipboard", true);
    return true;
  } catch (const std::exception& e) {
    LogError(std::string("TClipbrd.Boost : ") + e.what());
    return false;
  }
}

void TClipbrd::Restore() {
  if (fStop || !HasRestoreData()) return;
  Notify(TProgressItemKind::Clipboard, "Clipboard", true);
  fTempIni->EraseSection(kSection);
}

bool TClipbrd::HasRestoreData() {
  return HasSectionKeys(kSection);
}
