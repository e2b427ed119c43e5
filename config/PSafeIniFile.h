// In-memory INI files.
//
//   TIniHashedStringList  a string list with hashes of whole lines and of names that
//                         stay valid while the list grows
//   TMemIniFile           the INI text model held in memory (sections of name=value lines)
//   TSafeIniFile          the INI file every file the program writes goes through: loads
//                         the whole file, writes only on request or on release, never
//                         replaces a file it failed to read, survives read-only and hidden
//                         files, always saves as UTF-16 LE with byte-order mark
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "config/IniFiles.h"

// ---------------------------------------------------------------- TIniHashedStringList

// A list of lines, each optionally owning a nested list (the sections list owns
// one list of name=value lines per section). IndexOf and IndexOfName use hashes
// (upper-cased unless case-sensitive) that are built on the first lookup and then
// kept up to date by Add/AddObject and Put; Delete and Clear drop them. With
// duplicates, lookups find the first. Lookups build the hashes, so even reading
// objects is for one thread at a time.
class TIniHashedStringList {
 public:
  explicit TIniHashedStringList(bool caseSensitive = false);
  ~TIniHashedStringList();
  TIniHashedStringList(const TIniHashedStringList&) = delete;
  TIniHashedStringList& operator=(const TIniHashedStringList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Strings(int index) const { return items_[index].text; }
  const std::string& operator[](int index) const { return items_[index].text; }
  TIniHashedStringList* Objects(int index) const { return items_[index].object.get(); }

  int Add(const std::string& text) { return AddObject(text, nullptr); }
  int AddObject(const std::string& text, std::unique_ptr<TIniHashedStringList> object);
  // Replaces the line at index (the object stays).
  void Put(int index, const std::string& text);
  void Delete(int index);
  void Clear();

  int IndexOf(const std::string& text) const;
  // First line whose name (the text before the first "=") matches.
  int IndexOfName(const std::string& name) const;
  // The name of a line; empty when the line holds no "=".
  std::string Names(int index) const;
  // The text after the first "="; empty when the line holds no "=".
  std::string ValueFromIndex(int index) const;

  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool value);
  // The list is never kept sorted; the hashes rely on that.
  bool Sorted() const { return false; }

  // Called after every change of the list (add, replace, delete, clear).
  std::function<void()> OnChange;

  // Hash state, for tests and diagnostics.
  bool ValueHashValid() const { return valueHash_.valid; }
  bool NameHashValid() const { return nameHash_.valid; }
  int HashRebuilds() const { return rebuilds_; }

 private:
  struct Item {
    std::string text;
    std::unique_ptr<TIniHashedStringList> object;
  };
  struct HashEntry {
    int first = 0;  // lowest index holding the key
    int count = 0;  // number of lines holding the key
  };
  struct Hash {
    bool valid = false;
    std::unordered_map<std::string, HashEntry> map;
  };

  std::string Key(const std::string& text) const;
  static std::string NamePart(const std::string& text, bool& hasName);
  static void HashAdd(Hash& hash, const std::string& key, int index);
  static void HashRemove(Hash& hash, const std::string& key, int index);
  void RebuildValueHash() const;
  void RebuildNameHash() const;
  void InvalidateHashes();
  void Changed();

  std::vector<Item> items_;
  bool caseSensitive_;
  mutable Hash valueHash_;
  mutable Hash nameHash_;
  mutable int rebuilds_ = 0;
};

// ---------------------------------------------------------------- TMemIniFile

// The INI text model in memory:
//  - lines are trimmed of blanks and control characters; empty lines and lines
//    beginning with ";" are skipped; lines before the first section are dropped;
//  - "[name]" opens a section (name trimmed; a repeated name opens a second section,
//    lookups find the first);
//  - "name = value" is stored as "name=value" (both trimmed, split at the first "=");
//    a line without "=" is kept as it is;
//  - section and key names compare without regard to case unless CaseSensitive.
// The text form (GetStrings) is "[name]", the section's lines and an empty line for
// each section in order.
class TMemIniFile : public TCustomIniFile {
 public:
  explicit TMemIniFile(const std::string& fileName = {});
  ~TMemIniFile() override;

  const TIniHashedStringList& Sections() const { return sections_; }
  bool CaseSensitive() const { return sections_.CaseSensitive(); }
  void SetCaseSensitive(bool value);

  // Replaces the content by the parsed lines.
  void SetStrings(const std::vector<std::string>& lines);
  void GetStrings(std::vector<std::string>& lines) const;
  // The text form, every line ended by CR LF.
  std::string GetText() const;
  void Clear();

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue) const override;
  void ReadSection(const std::string& section, std::vector<std::string>& names) const override;
  void ReadSections(std::vector<std::string>& sections) const override;
  void ReadSectionValues(const std::string& section,
                         std::vector<std::string>& values) const override;
  bool SectionExists(const std::string& section) const override;
  bool ValueExists(const std::string& section, const std::string& ident) const override;

  void WriteString(const std::string& section, const std::string& ident,
                   const std::string& value) override;
  // Removes the first section of that name.
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;

 protected:
  // The first section of that name, or null.
  TIniHashedStringList* FindSection(const std::string& section) const;
  TIniHashedStringList* AddSection(const std::string& section);

  TIniHashedStringList sections_;
};

// ---------------------------------------------------------------- TSafeIniFile

// Text encodings a file can be created with (the byte-order mark written into a new file).
enum class TEncoding {
  kNone,              // no encoding given
  kANSI,              // no mark
  kUTF8,              // EF BB BF
  kUnicode,           // UTF-16 LE: FF FE
  kBigEndianUnicode,  // UTF-16 BE: FE FF
};

class TSafeIniFile : public TMemIniFile {
 public:
  // An object without a file: LoadFromFile fills it, it never saves.
  TSafeIniFile();
  // Loads the file. A missing file is created (with its folder): holding only the
  // byte-order mark of the given encoding, or empty. A failed load is remembered
  // (LoadFailed, LastError) and the object then never saves on release.
  explicit TSafeIniFile(const std::string& fileName, TEncoding encoding = TEncoding::kNone);
  // Saves when something was written or deleted after loading and the load did not fail.
  ~TSafeIniFile() override;

  // Replaces the content by the file's (the byte-order mark decides the encoding,
  // without one the bytes are ANSI). Loading never counts as a change. A file another
  // program holds is retried briefly. Errors are recorded in LastError (the system's
  // error code, 1 when it gave none) and written to the error log.
  void LoadFromFile(const std::string& fileName);
  // Replaces the content by the text the stream holds (decoded as a file would be).
  void LoadFromStream(std::istream& stream);

  // Writes into the last-used section without a lookup when the section name is the
  // same (compared with case); marks the object modified.
  void WriteString(const std::string& section, const std::string& ident,
                   const std::string& value) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  // Saves now as UTF-16 LE with byte-order mark: writes "<file>.tmp", flushes it and
  // puts it in the file's place, so a failed save leaves the old file whole. A file
  // another program holds is retried briefly and then written in place. Read-only
  // and hidden files are written and keep their attributes. Errors are recorded in
  // LastError and written to the error log; a successful save clears Modified.
  void UpdateFile() override;

  // Creates the folder with all missing levels (up to 101 tries); nothing for "",
  // "\" and ".\".
  static void EnsureFolder(const std::string& folder);

  TEncoding Encoding() const { return encoding_; }
  void SetEncoding(TEncoding encoding) { encoding_ = encoding; }
  bool Modified() const { return FModified; }
  bool LoadFailed() const { return FLoadFailed; }
  uint32_t LastError() const { return FLastError; }

 private:
  void SectionsChanged();
  void LoadLines(const std::vector<std::string>& lines);
  void CreateMissingFile();
  static bool SaveReplacing(const std::string& path, const std::string& bytes);

  std::string cachedSection_;
  int cachedIndex_ = -1;
  bool FModified = false;
  bool FLoadFailed = false;
  uint32_t FLastError = 0;
  bool loading_ = false;
  TEncoding encoding_ = TEncoding::kNone;
};
