#include "config/PBoostLanguage.h"

std::unique_ptr<TBoostLanguage> gBoostLanguage;

void InitBoostLanguage() {
  if (!gBoostLanguage) gBoostLanguage = std::make_unique<TBoostLanguage>("frmMiniBoost");
}

void DoneBoostLanguage() {
  gBoostLanguage.reset();
}

std::string GetMsg(const std::string& Key, const std::string& Default) {
  return gBoostLanguage ? gBoostLanguage->GetMessage(Key, Default) : Default;
}
