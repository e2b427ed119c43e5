// The language object of the mini window ("frmMiniBoost"), kept for the program's
// life, and the message lookup through it.
#pragma once

#include <memory>
#include <string>

#include "config/PLanguageBase.h"

class TBoostLanguage : public TLanguage {
 public:
  using TLanguage::TLanguage;
};

// The mini window's language object; null before InitBoostLanguage.
extern std::unique_ptr<TBoostLanguage> gBoostLanguage;
// Creates the object named "frmMiniBoost" (program start-up); keeps an existing one.
void InitBoostLanguage();
void DoneBoostLanguage();

// GetMessage of the mini window's object; Default when there is no such object.
std::string GetMsg(const std::string& Key, const std::string& Default);
