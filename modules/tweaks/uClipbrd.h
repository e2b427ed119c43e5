// The clipboard module: empties the Windows clipboard. Nothing is kept, so a restore
// only clears the record. Switch: key "Clipbrd" of section "Boost", default true.
// Record: section "Clipbrd", key "Clear" = 1.
#pragma once

#include "engine/uBoostBase.h"

class TClipbrd : public TBoostBase {
 public:
  using TBoostBase::TBoostBase;

  bool IsEnabled() override;
  void SetEnabled(bool Value) override;
  // A clipboard held open by another program: error-log line, no record, false.
  bool Boost() override;
  void Restore() override;
  bool HasRestoreData() override;

  // Opens, empties and closes the clipboard; raises std::runtime_error with the
  // system's message when it cannot be opened or emptied.
  static void ClearClipboard();

  static constexpr const char* kSection = "Clipbrd";
};
