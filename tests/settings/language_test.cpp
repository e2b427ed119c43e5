// Language files in a scratch folder: loading with the English fallback, message and
// text lookups, and the walk over a window's components.
#include <gtest/gtest.h>

#include <string>

#include "config/Component.h"
#include "config/PBoostLanguage.h"
#include "config/PLanguageBase.h"
#include "tests/support/Sandbox.h"

namespace {

using test::Utf16File;

const char* const kEnglish =
    "[Main]\r\nDisplayName=English\r\n\r\n"
    "[frmMiniBoost_M]\r\nM_Caption_Boost=Boosting<br>now\r\n"
    "M_Caption_Restore = Restoring <BR> now \r\n\r\n"
    "[frmMiniBoost_frmMiniBoost]\r\nfrmMiniBoost.Caption=Mini<Br>Boost\r\nbtnGo.Caption=Go\r\n"
    "btnGo.Hint=Start it\r\ncbMode.Items[1].Caption=Second\r\nlvList.Columns[1].Caption=Size\r\n"
    "lblInPanel.Caption=Inside\r\nlblChild.Caption=Child\r\nimgOther.Caption=Never\r\n\r\n"
    "[frmMiniBoost_fraPart]\r\nlblFramed.Caption=Framed\r\n";

const char* const kGerman =
    "[Main]\r\nDisplayName=Deutsch (Deutschland)\r\n[frmMiniBoost_M]\r\n"
    "M_Caption_Boost=Velmora beschleunigt...\r\n";

class LanguageTest : public ::testing::Test {
 protected:
  test::Sandbox box;
  // The files of a language folder: English, German and an ANSI Polish one without a name.
  void Files() {
    box.Write("English.lng", Utf16File(kEnglish));
    box.Write("Deutsch.lng", Utf16File(kGerman));
    box.Write("Polski.lng", "[frmMiniBoost_M]\r\nM_Caption_Boost=Przyspieszanie\r\n");
  }
};

// Each row loads a language after English: the file read, its display name and the
// boost message; a key the language lacks keeps the program's own text.
TEST_F(LanguageTest, LoadsTheNamedLanguageOrEnglish) {
  Files();
  const struct {
    const char *load, *name, *display, *boost, *restore;
  } rows[] = {
      {"Deutsch", "Deutsch", "Deutsch (Deutschland)", "Velmora beschleunigt...", "built-in"},
      {"Klingon", "English", "English", "Boosting<br>now", "Restoring <BR> now"},
      {"Polski", "Polski", "Polski", "Przyspieszanie", "built-in"},
  };
  for (const auto& row : rows) {
    TLanguage lang("frmMiniBoost", box.dir());
    lang.LoadLanguage("English");
    lang.LoadLanguage(row.load);
    EXPECT_EQ(lang.LanguageName() + "|" + lang.DisplayName() + "|" +
                  lang.GetMessage("M_Caption_Boost", "built-in") + "|" +
                  lang.GetMessage("M_CAPTION_RESTORE", "built-in"),
              std::string(row.name) + "|" + row.display + "|" + row.boost + "|" + row.restore);
  }
}

TEST_F(LanguageTest, WithoutAnyFileTheEarlierTextsStay) {
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");
  EXPECT_EQ(lang.LanguageName(), "");
  EXPECT_EQ(lang.GetMessage("M_Caption_Boost", "built-in"), "built-in");
  box.Write("Deutsch.lng", Utf16File(kGerman));
  lang.LoadLanguage("Deutsch");
  // Neither the requested file nor the English one: nothing changes.
  lang.LoadLanguage("Klingon");
  EXPECT_EQ(lang.LanguageName(), "Deutsch");
  EXPECT_EQ(lang.GetMessage("M_Caption_Boost", ""), "Velmora beschleunigt...");
}

TEST_F(LanguageTest, ReadTextTurnsBreaksIntoLineBreaksAndTheObjectPicksTheMessages) {
  box.Write("English.lng",
            Utf16File(std::string(kEnglish) + "[Velmorix_M]\r\nM_Caption_Boost=Velmorix\r\n"));
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");
  EXPECT_EQ(lang.ReadText("FRMMINIBOOST_M", "m_caption_restore", ""), "Restoring \r\n now");
  // The default goes through the same replacement.
  EXPECT_EQ(lang.ReadText("frmMiniBoost_M", "Missing", "a<bR>b"), "a\r\nb");
  TLanguage other("Velmorix", box.dir());
  other.LoadLanguage("English");
  EXPECT_EQ(other.GetMessage("M_Caption_Boost", ""), "Velmorix");
}

// ---------------------------------------------------------------- components

TEST_F(LanguageTest, ApplyTextsWalksTheForm) {
  Files();
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");

  TComponent form(TComponentKind::Form, "frmMiniBoost");
  TComponent* label = form.Add(TComponentKind::RichTextLabel, "rdlblCaption", &form);
  label->Caption = "no key";
  TComponent* button = form.Add(TComponentKind::ImageButton, "btnGo", &form);
  TComponent* combo = form.Add(TComponentKind::ComboBox, "cbMode", &form);
  combo->Items = {"One", "Two", "Three"};
  TComponent* list = form.Add(TComponentKind::ListView, "lvList", &form);
  list->Columns = {"Name", "Bytes"};
  TComponent* panel = form.Add(TComponentKind::Panel, "pnlMain", &form);
  TComponent* inPanel = form.Add(TComponentKind::Label, "lblInPanel", panel);
  // A control held by the panel but owned elsewhere.
  TComponent other(TComponentKind::Other, "holder");
  TComponent* child = other.Add(TComponentKind::Label, "lblChild", panel);
  TComponent* image = form.Add(TComponentKind::Other, "imgOther", &form);
  TComponent* frame = form.Add(TComponentKind::Frame, "fraPart", &form);
  TComponent* framed = frame->Add(TComponentKind::Label, "lblFramed", frame);
  TComponent* framedMissing = frame->Add(TComponentKind::Label, "btnGo", frame);

  lang.ApplyTexts(&form, "");
  // A control without a key or of another kind keeps its text; a frame has its own section.
  EXPECT_EQ((std::vector<std::string>{form.Caption, label->Caption, button->Caption, button->Hint,
                                      inPanel->Caption, child->Caption, image->Caption,
                                      framed->Caption, framedMissing->Caption}),
            (std::vector<std::string>{"Mini\r\nBoost", "no key", "Go", "Start it", "Inside",
                                      "Child", "", "Framed", ""}));
  EXPECT_EQ(combo->Items, (std::vector<std::string>{"One", "Second", "Three"}));
  EXPECT_EQ(list->Columns, (std::vector<std::string>{"Name", "Size"}));

  // A form without a caption key keeps its caption.
  TComponent bare(TComponentKind::Form, "frmOther");
  bare.Caption = "Mine";
  lang.ApplyTexts(&bare, "");
  EXPECT_EQ(bare.Caption, "Mine");
}

TEST_F(LanguageTest, TranslateApplicationCoversTheApplicationsForms) {
  Files();
  TBoostLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");
  auto* form = new TComponent(TComponentKind::Form, "frmMiniBoost", &Application());
  TComponent* label = form->Add(TComponentKind::Label, "btnGo", form);
  lang.TranslateApplication();
  EXPECT_EQ(form->Caption + "|" + label->Caption, "Mini\r\nBoost|Go");
  delete form;
  EXPECT_TRUE(Application().Components().empty());
}

// ---------------------------------------------------------------- the component tree

TEST(ComponentTree, OwnersDeleteWhatTheyOwnAndChildrenLeaveTheirParents) {
  auto* form = new TComponent(TComponentKind::Form, "frm");
  TComponent* panel = form->Add(TComponentKind::Panel, "pnl", form);
  TComponent* a = form->Add(TComponentKind::Label, "a", panel);
  TComponent* b = form->Add(TComponentKind::Label, "b", panel);
  EXPECT_EQ(form->FindComponent("PNL"), panel);
  EXPECT_EQ(form->FindComponent("none"), nullptr);
  delete a;
  EXPECT_EQ(panel->Controls(), (std::vector<TComponent*>{b}));
  EXPECT_EQ(form->Components().size(), 2u);
  b->SetParent(form);
  EXPECT_TRUE(panel->Controls().empty());
  EXPECT_EQ(form->Controls(), (std::vector<TComponent*>{panel, b}));
  delete form;  // deletes panel and b; ASan reports anything left or freed twice
}

}  // namespace
