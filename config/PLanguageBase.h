// Language files: every user-visible text can be replaced by a language file in the
// "Language" folder beside the program ("<folder>\<language>.lng").
//
// A language object is named after the window or module that owns it. It answers
// message lookups from the section "<object name>_M" and replaces the texts of a
// window's components from the section "<object name>_<window name>":
//   <window>.Caption, <component>.Caption, <component>.Hint,
//   <component>.Items[<i>].Caption, <component>.Columns[<i>].Caption (i from 0).
// Every lookup has a default (the current text), so a missing file or key leaves
// the program's own English text.
#pragma once

#include <memory>
#include <string>

#include "config/Component.h"
#include "config/ExtIniFiles.h"
#include "config/PSafeIniFile.h"

class TLanguage {
 public:
  // The language folder is the program folder + "Language".
  explicit TLanguage(const std::string& Name);
  TLanguage(const std::string& Name, const std::string& Folder);
  virtual ~TLanguage();
  TLanguage(const TLanguage&) = delete;
  TLanguage& operator=(const TLanguage&) = delete;

  // Loads "<folder>\<Language>.lng", or the English file when that one is missing;
  // when neither exists the texts loaded before stay.
  void LoadLanguage(const std::string& Language);

  // The message of section "<object name>_M" (name without regard to case), else
  // Default. The text is returned as the file holds it.
  std::string GetMessage(const std::string& Key, const std::string& Default) const;
  // The file's value, else Default; every "<br>" (any case) becomes CR LF.
  std::string ReadText(const std::string& Section, const std::string& Ident,
                       const std::string& Default) const;

  // Does nothing here; subclasses may translate one component.
  virtual void TranslateComponent(const std::string& Section, TComponent* Component);
  // TranslateComponent for every component the form owns, with the section
  // "<object name>_<form name>" (nothing for a form without a name).
  virtual void TranslateForm(TComponent* Form);
  // ApplyTexts for every form the application object owns.
  void TranslateApplication();
  // Replaces the component's texts (and those of the components it holds) from the
  // file; components without a name are skipped.
  void ApplyTexts(TComponent* Component, const std::string& Section);

  const std::string& LanguageFolder() const { return fLanguageFolder; }
  const std::string& LanguageName() const { return fLanguageName; }
  const std::string& DisplayName() const { return fDisplayName; }
  const std::string& ObjectName() const { return fObjectName; }

 private:
  std::string FileOf(const std::string& Language) const;
  void ApplyToAll(const TComponent* Owner, const std::string& Section);

  std::string fLanguageFolder;
  std::string fLanguageName;
  std::string fDisplayName;
  TIniHashedStringList fMessages;  // names compared without regard to case
  std::unique_ptr<TExtIniFile> fLanguageFile;
  std::string fObjectName;
};
