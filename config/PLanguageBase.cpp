#include "config/PLanguageBase.h"

#include <vector>

#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"

TLanguage::TLanguage(const std::string& Name)
    : TLanguage(Name, fileutil::ExtractFilePath(plat::GetModuleFileNameW()) + "Language") {}

TLanguage::TLanguage(const std::string& Name, const std::string& Folder)
    : fLanguageFolder(Folder),
      fMessages(false),
      fLanguageFile(std::make_unique<TExtIniFile>()),
      fObjectName(Name) {}

TLanguage::~TLanguage() = default;

std::string TLanguage::FileOf(const std::string& Language) const {
  return fLanguageFolder + "\\" + Language + ".lng";
}

void TLanguage::LoadLanguage(const std::string& Language) {
  std::string language = Language;
  if (!fileutil::FileExists(FileOf(language))) language = "English";
  const std::string fileName = FileOf(language);
  if (!fileutil::FileExists(fileName)) return;

  fLanguageName = language;
  fDisplayName.clear();
  fLanguageFile->LoadFromFile(fileName);
  fDisplayName = ReadText("Main", "DisplayName", fLanguageName);
  std::vector<std::string> lines;
  fLanguageFile->ReadSectionValues(fObjectName + "_M", lines);
  fMessages.Clear();
  for (const std::string& line : lines)
    fMessages.Add(line);
}

std::string TLanguage::GetMessage(const std::string& Key, const std::string& Default) const {
  const int index = fMessages.IndexOfName(Key);
  return index >= 0 ? fMessages.ValueFromIndex(index) : Default;
}

std::string TLanguage::ReadText(const std::string& Section, const std::string& Ident,
                                const std::string& Default) const {
  return txt::ReplaceAll(fLanguageFile->ReadString(Section, Ident, Default), "<br>", "\r\n", true);
}

void TLanguage::TranslateComponent(const std::string& /*Section*/, TComponent* /*Component*/) {}

void TLanguage::TranslateForm(TComponent* Form) {
  if (Form == nullptr || Form->Name().empty()) return;
  const std::string section = fObjectName + "_" + Form->Name();
  const std::vector<TComponent*> owned = Form->Components();
  for (TComponent* component : owned)
    TranslateComponent(section, component);
}

void TLanguage::TranslateApplication() {
  const std::vector<TComponent*> forms = Application().Components();
  for (TComponent* form : forms)
    ApplyTexts(form, "");
}

void TLanguage::ApplyToAll(const TComponent* Owner, const std::string& Section) {
  const std::vector<TComponent*> owned = Owner->Components();
  for (TComponent* component : owned)
    ApplyTexts(component, Section);
}

void TLanguage::ApplyTexts(TComponent* Component, const std::string& Section) {
  if (Component == nullptr || Component->Name().empty()) return;
  const std::string& name = Component->Name();
  auto indexed = [&](const char* list, size_t i) {
    return name + "." + list + "[" + txt::IntToStr(static_cast<int64_t>(i)) + "].Caption";
  };
  switch (Component->Kind()) {
    case TComponentKind::Form: {
      const std::string section = fObjectName + "_" + name;
      const std::string key = name + ".Caption";
      if (fLanguageFile->ValueExists(section, key))
        Component->Caption = ReadText(section, key, Component->Caption);
      ApplyToAll(Component, section);
      break;
    }
    case TComponentKind::Frame:
      ApplyToAll(Component, fObjectName + "_" + name);
      break;
    case TComponentKind::Panel: {
      const std::vector<TComponent*> controls = Component->Controls();
      for (TComponent* control : controls)
        ApplyTexts(control, Section);
      ApplyToAll(Component, Section);
      break;
    }
    case TComponentKind::RadioGroup:
    case TComponentKind::RichTextLabel:
    case TComponentKind::SkinLabel:
    case TComponentKind::Label:
    case TComponentKind::Button:
    case TComponentKind::GroupBox:
    case TComponentKind::CheckBox:
    case TComponentKind::RadioButton:
    case TComponentKind::MenuItem:
    case TComponentKind::ToolButton:
    case TComponentKind::SpeedButton:
    case TComponentKind::TabSheet:
      Component->Caption = ReadText(Section, name + ".Caption", Component->Caption);
      break;
    case TComponentKind::ImageButton:
      Component->Caption = ReadText(Section, name + ".Caption", Component->Caption);
      Component->Hint = ReadText(Section, name + ".Hint", Component->Hint);
      break;
    case TComponentKind::ComboBox:
    case TComponentKind::TreeView:
      for (size_t i = 0; i < Component->Items.size(); ++i)
        Component->Items[i] = ReadText(Section, indexed("Items", i), Component->Items[i]);
      break;
    case TComponentKind::ListView:
      for (size_t i = 0; i < Component->Columns.size(); ++i)
        Component->Columns[i] = ReadText(Section, indexed("Columns", i), Component->Columns[i]);
      break;
    case TComponentKind::Application:
    case TComponentKind::Other:
      break;
  }
}
