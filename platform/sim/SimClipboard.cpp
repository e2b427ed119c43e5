// Sim backend: the clipboard. Another program named in the machine can hold it open;
// this program's opening lasts until CloseClipboard.
#include "platform/Gui.h"
#include "platform/sim/SimInternal.h"

namespace plat {

bool OpenClipboard(Hwnd) {
  sim::Op op;
  sim::MachineClipboard& c = op.m().clipboard;
  if (!c.heldBy.empty()) {
    sim::SetError(kERROR_ACCESS_DENIED);
    return false;
  }
  c.openByProgram = true;
  return true;
}

bool EmptyClipboard() {
  const sim::ChangeCall change;
  sim::Op op;
  sim::MachineClipboard& c = op.m().clipboard;
  if (!c.openByProgram) {
    sim::SetError(1418);  // ERROR_CLIPBOARD_NOT_OPEN
    return false;
  }
  c.formats.clear();
  op.Changed();
  return true;
}

bool CloseClipboard() {
  sim::Op op;
  sim::MachineClipboard& c = op.m().clipboard;
  if (!c.openByProgram) {
    sim::SetError(1418);
    return false;
  }
  c.openByProgram = false;
  return true;
}

}  // namespace plat
