// Language files in a scratch folder: loading with the English fallback, message and
// text lookups, and the walk over a window's components.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/Component.h"
#include "config/PBoostLanguage.h"
#include "config/PLanguageBase.h"
#include "tests/support/Sandbox.h"

namespace {

using test::Utf16File;

const char* const kEnglish =
    "[Main]\r\n"
    "DisplayName=English\r\n"
    "\r\n"
    "[frmMiniBoost_M]\r\n"
    "M_Caption_Boost=Boosting<br>now\r\n"
    "M_Caption_Restore = Restoring <BR> now \r\n"
    "\r\n"
    "[frmMiniBoost_frmMiniBoost]\r\n"
    "frmMiniBoost.Caption=Mini<Br>Boost\r\n"
    "btnGo.Caption=Go\r\n"
    "btnGo.Hint=Start it\r\n"
    "cbMode.Items[1].Caption=Second\r\n"
    "tvTree.Items[0].Caption=Root\r\n"
    "tvTree.Items[2].Caption=Leaf\r\n"
    "lvList.Columns[1].Caption=Size\r\n"
    "lblInPanel.Caption=Inside\r\n"
    "lblChild.Caption=Child\r\n"
    "imgOther.Caption=Never\r\n"
    "\r\n"
    "[frmMiniBoost_fraPart]\r\n"
    "lblFramed.Caption=Framed\r\n";

const char* const kGerman =
    "[Main]\r\n"
    "DisplayName=Deutsch (Deutschland)\r\n"
    "[frmMiniBoost_M]\r\n"
    "M_Caption_Boost=Velmora beschleunigt...\r\n";

class LanguageTest : public ::testing::Test {
 protected:
  test::Sandbox box;
};

TEST_F(LanguageTest, LoadsTheNamedLanguage) {
  box.Write("English.lng", Utf16File(kEnglish));
  box.Write("Deutsch.lng", Utf16File(kGerman));
  TLanguage lang("frmMiniBoost", box.dir());
  EXPECT_EQ(lang.LanguageFolder() + "|" + lang.ObjectName() + "|" + lang.LanguageName(),
            box.dir() + "|frmMiniBoost|");
  lang.LoadLanguage("Deutsch");
  EXPECT_EQ(lang.LanguageName() + "|" + lang.DisplayName(), "Deutsch|Deutsch (Deutschland)");
  EXPECT_EQ(lang.GetMessage("M_Caption_Boost", "x"), "Velmora beschleunigt...");
  // A key the language lacks keeps the program's own text.
  EXPECT_EQ(lang.GetMessage("M_Caption_Restore", "Restoring"), "Restoring");
}

TEST_F(LanguageTest, MissingLanguageFallsBackToEnglish) {
  box.Write("English.lng", Utf16File(kEnglish));
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("Klingon");
  EXPECT_EQ(lang.LanguageName() + "|" + lang.DisplayName(), "English|English");
  EXPECT_EQ(lang.GetMessage("M_Caption_Boost", ""), "Boosting<br>now");
}

TEST_F(LanguageTest, WithoutAnyFileTheEarlierTextsStay) {
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");
  EXPECT_EQ(lang.LanguageName(), "");
  EXPECT_EQ(lang.GetMessage("M_Caption_Boost", "built-in"), "built-in");
  EXPECT_EQ(lang.ReadText("Main", "DisplayName", "none"), "none");

  box.Write("Deutsch.lng", Utf16File(kGerman));
  lang.LoadLanguage("Deutsch");
  ASSERT_TRUE(box.Exists("Deutsch.lng"));
  // Neither the requested file nor the English one: nothing changes.
  lang.LoadLanguage("Klingon");
  EXPECT_EQ(lang.LanguageName(), "Deutsch");
  EXPECT_EQ(lang.GetMessage("M_Caption_Boost", ""), "Velmora beschleunigt...");
}

TEST_F(LanguageTest, DisplayNameDefaultsToTheLanguageName) {
  box.Write("Polski.lng", "[frmMiniBoost_M]\r\nM_Caption_Boost=Przyspieszanie\r\n");  // ANSI
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("Polski");
  EXPECT_EQ(lang.DisplayName(), "Polski");
  EXPECT_EQ(lang.GetMessage("M_Caption_Boost", ""), "Przyspieszanie");
}

TEST_F(LanguageTest, MessagesKeepBreaksAndReadTextTurnsThemIntoLineBreaks) {
  box.Write("English.lng", Utf16File(kEnglish));
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");
  // Message names compare without regard to case.
  EXPECT_EQ(lang.GetMessage("m_caption_boost", ""), "Boosting<br>now");
  EXPECT_EQ(lang.GetMessage("M_CAPTION_RESTORE", ""), "Restoring <BR> now");
  EXPECT_EQ(lang.ReadText("frmMiniBoost_M", "M_Caption_Boost", ""), "Boosting\r\nnow");
  EXPECT_EQ(lang.ReadText("FRMMINIBOOST_M", "m_caption_restore", ""), "Restoring \r\n now");
  // The default goes through the same replacement.
  EXPECT_EQ(lang.ReadText("frmMiniBoost_M", "Missing", "a<bR>b"), "a\r\nb");
}

TEST_F(LanguageTest, LoadingAnotherLanguageReplacesTheMessages) {
  box.Write("English.lng", Utf16File(kEnglish));
  box.Write("Deutsch.lng", Utf16File(kGerman));
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");
  lang.LoadLanguage("Deutsch");
  EXPECT_EQ(lang.GetMessage("M_Caption_Restore", "kept"), "kept");
}

TEST_F(LanguageTest, ObjectNameSelectsTheMessageSection) {
  box.Write("English.lng",
            Utf16File("[Velmorix_M]\r\nM_BaseFileMiss=Missing file\r\n[frmMiniBoost_M]\r\n"
                      "M_BaseFileMiss=wrong\r\n"));
  TLanguage lang("Velmorix", box.dir());
  lang.LoadLanguage("English");
  EXPECT_EQ(lang.GetMessage("M_BaseFileMiss", ""), "Missing file");
}

// ---------------------------------------------------------------- components

TEST_F(LanguageTest, ApplyTextsWalksTheForm) {
  box.Write("English.lng", Utf16File(kEnglish));
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");

  TComponent form(TComponentKind::Form, "frmMiniBoost");
  form.Caption = "Old";
  TComponent* label = form.Add(TComponentKind::RichTextLabel, "rdlblCaption", &form);
  label->Caption = "Velmora is boosting into Gaming Mode...";
  TComponent* button = form.Add(TComponentKind::ImageButton, "btnGo", &form);
  button->Caption = "go";
  button->Hint = "hint";
  TComponent* combo = form.Add(TComponentKind::ComboBox, "cbMode", &form);
  combo->Items = {"One", "Two", "Three"};
  TComponent* tree = form.Add(TComponentKind::TreeView, "tvTree", &form);
  tree->Items = {"r", "n", "l"};
  TComponent* list = form.Add(TComponentKind::ListView, "lvList", &form);
  list->Columns = {"Name", "Bytes"};
  TComponent* panel = form.Add(TComponentKind::Panel, "pnlMain", &form);
  TComponent* inPanel = form.Add(TComponentKind::Label, "lblInPanel", panel);
  // A control held by the panel but owned elsewhere.
  TComponent other(TComponentKind::Other, "holder");
  TComponent* child = other.Add(TComponentKind::Label, "lblChild", panel);
  TComponent* unnamed = form.Add(TComponentKind::Label, "", &form);
  unnamed->Caption = "unnamed";
  TComponent* image = form.Add(TComponentKind::Other, "imgOther", &form);
  image->Caption = "image";
  TComponent* frame = form.Add(TComponentKind::Frame, "fraPart", &form);
  TComponent* framed = frame->Add(TComponentKind::Label, "lblFramed", frame);
  TComponent* framedMissing = frame->Add(TComponentKind::Label, "btnGo", frame);
  framedMissing->Caption = "stays";

  lang.ApplyTexts(&form, "");
  // A control without a key, without a name, or of another kind keeps its text; a frame
  // has its own section.
  EXPECT_EQ((std::vector<std::string>{form.Caption, label->Caption, button->Caption, button->Hint,
                                      inPanel->Caption, child->Caption, unnamed->Caption,
                                      image->Caption, framed->Caption, framedMissing->Caption}),
            (std::vector<std::string>{"Mini\r\nBoost", "Velmora is boosting into Gaming Mode...",
                                      "Go", "Start it", "Inside", "Child", "unnamed", "image",
                                      "Framed", "stays"}));
  EXPECT_EQ(combo->Items, (std::vector<std::string>{"One", "Second", "Three"}));
  EXPECT_EQ(tree->Items, (std::vector<std::string>{"Root", "n", "Leaf"}));
  EXPECT_EQ(list->Columns, (std::vector<std::string>{"Name", "Size"}));
}

TEST_F(LanguageTest, FormWithoutCaptionKeyKeepsItsCaption) {
  box.Write("English.lng", Utf16File("[frmMiniBoost_frmOther]\r\nlbl.Caption=L\r\n"));
  TLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");
  TComponent form(TComponentKind::Form, "frmOther");
  form.Caption = "Mine";
  TComponent* label = form.Add(TComponentKind::Label, "lbl", &form);
  lang.ApplyTexts(&form, "ignored");
  EXPECT_EQ(form.Caption, "Mine");
  EXPECT_EQ(label->Caption, "L");
}

TEST_F(LanguageTest, TranslateApplicationCoversTheApplicationsForms) {
  box.Write("English.lng", Utf16File(kEnglish));
  TBoostLanguage lang("frmMiniBoost", box.dir());
  lang.LoadLanguage("English");
  auto* form = new TComponent(TComponentKind::Form, "frmMiniBoost", &Application());
  TComponent* label = form->Add(TComponentKind::Label, "btnGo", form);
  lang.TranslateApplication();
  EXPECT_EQ(form->Caption, "Mini\r\nBoost");
  EXPECT_EQ(label->Caption, "Go");
  delete form;
  EXPECT_TRUE(Application().Components().empty());
}

TEST_F(LanguageTest, TranslateFormHandsEveryOwnedComponentToTranslateComponent) {
  struct Recorder : TLanguage {
    using TLanguage::TLanguage;
    std::vector<std::string> seen;
    void TranslateComponent(const std::string& section, TComponent* c) override {
      seen.push_back(section + "/" + c->Name());
    }
  };
  Recorder lang("frmMiniBoost", box.dir());
  TComponent form(TComponentKind::Form, "frmX");
  form.Add(TComponentKind::Label, "a", &form);
  form.Add(TComponentKind::Label, "b");
  lang.TranslateForm(&form);
  EXPECT_EQ(lang.seen, (std::vector<std::string>{"frmMiniBoost_frmX/a", "frmMiniBoost_frmX/b"}));

  TComponent nameless(TComponentKind::Form, "");
  nameless.Add(TComponentKind::Label, "c");
  lang.seen.clear();
  lang.TranslateForm(&nameless);
  EXPECT_TRUE(lang.seen.empty());

  // The base and the mini window's class change nothing.
  box.Write("English.lng", Utf16File("[frmMiniBoost_frmX]\r\nfrmX.Caption=New\r\na.Caption=A\r\n"));
  TBoostLanguage boost("frmMiniBoost", box.dir());
  boost.LoadLanguage("English");
  form.Caption = "Old";
  boost.TranslateForm(&form);
  EXPECT_EQ(form.Caption, "Old");
  EXPECT_EQ(form.FindComponent("A")->Caption, "");
}

// ---------------------------------------------------------------- the component tree

TEST(ComponentTree, OwnersDeleteWhatTheyOwnAndChildrenLeaveTheirParents) {
  auto* form = new TComponent(TComponentKind::Form, "frm");
  TComponent* panel = form->Add(TComponentKind::Panel, "pnl", form);
  TComponent* a = form->Add(TComponentKind::Label, "a", panel);
  TComponent* b = form->Add(TComponentKind::Label, "b", panel);
  EXPECT_EQ(form->Components().size(), 3u);
  EXPECT_EQ(panel->Controls(), (std::vector<TComponent*>{a, b}));
  EXPECT_EQ(form->FindComponent("PNL"), panel);
  EXPECT_EQ(form->FindComponent("none"), nullptr);

  delete a;
  EXPECT_EQ(panel->Controls(), (std::vector<TComponent*>{b}));
  EXPECT_EQ(form->Components().size(), 2u);
  b->SetParent(form);
  EXPECT_TRUE(panel->Controls().empty());
  EXPECT_EQ(form->Controls(), (std::vector<TComponent*>{panel, b}));
  EXPECT_EQ(b->Parent(), form);
  EXPECT_EQ(b->Owner(), form);
  delete form;  // deletes panel and b; ASan reports anything left or freed twice
}

}  // namespace
