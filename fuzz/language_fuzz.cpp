// Language files ("Language\<language>.lng"), read into a language object and applied
// to a small window.
#include "config/PLanguageBase.h"
#include "fuzz/FuzzHarness.h"

using namespace std::string_literals;

namespace {
const char kFolder[] = "C:\\fuzz\\Language";
}

const fuzz::Target fuzz::kTarget = {
    {"[Main]\r\nDisplayName=English\r\n[frm_M]\r\nM1=Boost<br>done\r\n[frm_frmMain]\r\n"
     "frmMain.Caption=Main\r\nbtnGo.Caption=Go\r\nbtnGo.Hint=Start\r\n"
     "lst.Items[0].Caption=One\r\nlv.Columns[1].Caption=Two\r\n",
     "\xFF\xFE[\0f\0r\0m\0_\0M\0]\0\n\0M\0=\0x\0"s},
    nullptr,
    [](const std::string& input) {
      fuzz::Machine().WriteFile(std::string(kFolder) + "\\English.lng", input);
      TLanguage language("frm", kFolder);
      language.LoadLanguage("English");
      (void)language.GetMessage("M1", "");
      (void)language.ReadText("frm_M", "M1", "");
      TComponent form(TComponentKind::Form, "frmMain");
      form.Add(TComponentKind::Button, "btnGo");
      form.Add(TComponentKind::ComboBox, "lst")->Items = {"a", "b"};
      form.Add(TComponentKind::ListView, "lv")->Columns = {"a", "b"};
      language.ApplyTexts(&form, "frm_frmMain");
    },
};
