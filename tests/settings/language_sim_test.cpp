// The mini window's language object: its folder beside the program and GetMsg.
#include <gtest/gtest.h>

#include <string>

#include "config/PBoostLanguage.h"
#include "tests/settings/SettingsMachine.h"

namespace {

using namespace settingstest;

TEST(BoostLanguage, WindowObjectReadsTheLanguageFolderBesideTheProgram) {
  Session session;
  sim::ScopedMachine m{Machine().File(kProgram + "Language\\English.lng",
                                      Ini("[frmMiniBoost_M]\r\nM_Caption_Boost=Boost!\r\n"))};
  EXPECT_EQ(GetMsg("M_Caption_Boost", "default"), "default");
  InitBoostLanguage();
  ASSERT_TRUE(gBoostLanguage);
  TBoostLanguage* first = gBoostLanguage.get();
  InitBoostLanguage();
  EXPECT_EQ(gBoostLanguage.get(), first);

  EXPECT_EQ(GetMsg("M_Caption_Boost", "default"), "default");  // nothing loaded yet
  gBoostLanguage->LoadLanguage("Deutsch");
  EXPECT_EQ(gBoostLanguage->LanguageName(), "English");
  EXPECT_EQ(GetMsg("M_Caption_Boost", "default"), "Boost!");
  DoneBoostLanguage();
  EXPECT_EQ(GetMsg("M_Caption_Boost", "default"), "default");
}

}  // namespace
