#include "config/PSafeIniFile.h"

#include <algorithm>
#include <istream>
#include <iterator>
#include <string_view>

#include "config/IniSupport.h"
#include "diag/uAppLog.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"

// ---------------------------------------------------------------- TIniHashedStringList

TIniHashedStringList::TIniHashedStringList(bool caseSensitive) : caseSensitive_(caseSensitive) {}

TIniHashedStringList::~TIniHashedStringList() = default;

std::string TIniHashedStringList::Key(const std::string& text) const {
  return caseSensitive_ ? text : txt::UpperCase(text);
}

std::string TIniHashedStringList::NamePart(const std::string& text, bool& hasName) {
  size_t pos = text.find('=');
  hasName = pos != std::string::npos && pos > 0;
  return hasName ? text.substr(0, pos) : std::string();
}

void TIniHashedStringList::HashAdd(Hash& hash, const std::string& key, int index) {
  auto [it, inserted] = hash.map.try_emplace(key, HashEntry{index, 1});
  if (!inserted) {
    ++it->second.count;
    if (index < it->second.first) it->second.first = index;
  }
}

void TIniHashedStringList::HashRemove(Hash& hash, const std::string& key, int index) {
  auto it = hash.map.find(key);
  bool consistent = it != hash.map.end();
  if (consistent && it->second.count == 1 && it->second.first == index) {
    hash.map.erase(it);
  } else if (consistent && it->second.count > 1 && it->second.first != index) {
    --it->second.count;
  } else {
    // The first of several lines holding the key goes away (or the hash does not
    // know the line): finding the next one takes a scan, so rebuild on the next lookup.
    hash.valid = false;
    hash.map.clear();
  }
}

void TIniHashedStringList::RebuildValueHash() const {
  valueHash_.map.clear();
  valueHash_.map.reserve(items_.size());
  for (size_t i = 0; i < items_.size(); ++i)
    HashAdd(valueHash_, Key(items_[i].text), static_cast<int>(i));
  valueHash_.valid = true;
  ++rebuilds_;
}

void TIniHashedStringList::RebuildNameHash() const {
  nameHash_.map.clear();
  nameHash_.map.reserve(items_.size());
  for (size_t i = 0; i < items_.size(); ++i) {
    bool hasName = false;
    std::string name = NamePart(items_[i].text, hasName);
    if (hasName) HashAdd(nameHash_, Key(name), static_cast<int>(i));
  }
  nameHash_.valid = true;
  ++rebuilds_;
}

void TIniHashedStringList::InvalidateHashes() {
  valueHash_.valid = false;
  valueHash_.map.clear();
  nameHash_.valid = false;
  nameHash_.map.clear();
}

void TIniHashedStringList::Changed() {
  if (OnChange) OnChange();
}

int TIniHashedStringList::AddObject(const std::string& text,
                                    std::unique_ptr<TIniHashedStringList> object) {
  int index = Count();
  items_.push_back(Item{text, std::move(object)});
  if (valueHash_.valid) HashAdd(valueHash_, Key(text), index);
  if (nameHash_.valid) {
    bool hasName = false;
    std::string name = NamePart(text, hasName);
    if (hasName) HashAdd(nameHash_, Key(name), index);
  }
  Changed();
  return index;
}

void TIniHashedStringList::Put(int index, const std::string& text) {
  std::string old = std::move(items_[index].text);
  items_[index].text = text;
  if (valueHash_.valid && old != text) {
    std::string oldKey = Key(old);
    std::string newKey = Key(text);
    if (oldKey != newKey) {
      HashRemove(valueHash_, oldKey, index);
      if (valueHash_.valid) HashAdd(valueHash_, newKey, index);
    }
  }
  if (nameHash_.valid && old != text) {
    bool oldHas = false, newHas = false;
    std::string oldName = NamePart(old, oldHas);
    std::string newName = NamePart(text, newHas);
    if (oldHas) oldName = Key(oldName);
    if (newHas) newName = Key(newName);
    // Only the value changed: the name hash stays as it is.
    if (oldHas != newHas || oldName != newName) {
      if (oldHas) HashRemove(nameHash_, oldName, index);
      if (nameHash_.valid && newHas) HashAdd(nameHash_, newName, index);
    }
  }
  Changed();
}

void TIniHashedStringList::Delete(int index) {
  if (index == Count() - 1) {
    // Removing the last line shifts no index: the hashes can follow.
    const std::string& text = items_[index].text;
    if (valueHash_.valid) HashRemove(valueHash_, Key(text), index);
    if (nameHash_.valid) {
      bool hasName = false;
      std::string name = NamePart(text, hasName);
      if (hasName) HashRemove(nameHash_, Key(name), index);
    }
  } else {
    InvalidateHashes();
  }
  items_.erase(items_.begin() + index);
  Changed();
}

void TIniHashedStringList::Clear() {
  if (items_.empty()) return;
  items_.clear();
  InvalidateHashes();
  Changed();
}

int TIniHashedStringList::IndexOf(const std::string& text) const {
  if (!valueHash_.valid) RebuildValueHash();
  auto it = valueHash_.map.find(Key(text));
  return it == valueHash_.map.end() ? -1 : it->second.first;
}

int TIniHashedStringList::IndexOfName(const std::string& name) const {
  if (name.empty()) return -1;
  if (!nameHash_.valid) RebuildNameHash();
  auto it = nameHash_.map.find(Key(name));
  return it == nameHash_.map.end() ? -1 : it->second.first;
}

std::string TIniHashedStringList::Names(int index) const {
  const std::string& text = items_[index].text;
  size_t pos = text.find('=');
  return pos == std::string::npos ? std::string() : text.substr(0, pos);
}

std::string TIniHashedStringList::ValueFromIndex(int index) const {
  const std::string& text = items_[index].text;
  size_t pos = text.find('=');
  return pos == std::string::npos ? std::string() : text.substr(pos + 1);
}

void TIniHashedStringList::SetCaseSensitive(bool value) {
  if (value == caseSensitive_) return;
  caseSensitive_ = value;
  InvalidateHashes();
}

// ---------------------------------------------------------------- TMemIniFile

TMemIniFile::TMemIniFile(const std::string& fileName) : TCustomIniFile(fileName) {}

TMemIniFile::~TMemIniFile() = default;

void TMemIniFile::SetCaseSensitive(bool value) {
  sections_.SetCaseSensitive(value);
  for (int i = 0; i < sections_.Count(); ++i)
    sections_.Objects(i)->SetCaseSensitive(value);
}

void TMemIniFile::Clear() {
  sections_.Clear();
}

namespace {

// Removes blanks and control characters (every byte up to the blank) at both ends.
std::string_view TrimView(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= ' ')
    text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
    text.remove_suffix(1);
  return text;
}

}  // namespace

void TMemIniFile::SetStrings(const std::vector<std::string>& lines) {
  Clear();
  TIniHashedStringList* current = nullptr;
  std::string entry;
  for (const std::string& raw : lines) {
    std::string_view line = TrimView(raw);
    if (line.empty() || line[0] == ';') continue;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      current = AddSection(std::string(TrimView(line.substr(1, line.size() - 2))));
    } else if (current != nullptr) {
      size_t pos = line.find('=');
      if (pos == std::string_view::npos) {
        current->Add(std::string(line));
      } else {
        std::string_view name = TrimView(line.substr(0, pos));
        std::string_view value = TrimView(line.substr(pos + 1));
        entry.assign(name);
        entry += '=';
        entry.append(value);
        current->Add(entry);
      }
    }
  }
}

void TMemIniFile::GetStrings(std::vector<std::string>& lines) const {
  lines.clear();
  for (int i = 0; i < sections_.Count(); ++i) {
    lines.push_back("[" + sections_[i] + "]");
    const TIniHashedStringList* section = sections_.Objects(i);
    for (int j = 0; j < section->Count(); ++j)
      lines.push_back((*section)[j]);
    lines.emplace_back();
  }
}

std::string TMemIniFile::GetText() const {
  size_t size = 0;
  for (int i = 0; i < sections_.Count(); ++i) {
    size += sections_[i].size() + 6;
    const TIniHashedStringList* section = sections_.Objects(i);
    for (int j = 0; j < section->Count(); ++j)
      size += (*section)[j].size() + 2;
  }
  std::string text;
  text.reserve(size);
  for (int i = 0; i < sections_.Count(); ++i) {
    text += '[';
    text += sections_[i];
    text += "]\r\n";
    const TIniHashedStringList* section = sections_.Objects(i);
    for (int j = 0; j < section->Count(); ++j) {
      text += (*section)[j];
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

TIniHashedStringList* TMemIniFile::FindSection(const std::string& section) const {
  int index = sections_.IndexOf(section);
  return index < 0 ? nullptr : sections_.Objects(index);
}

TIniHashedStringList* TMemIniFile::AddSection(const std::string& section) {
  int index = sections_.AddObject(section, std::make_unique<TIniHashedStringList>(CaseSensitive()));
  return sections_.Objects(index);
}

std::string TMemIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& defaultValue) const {
  const TIniHashedStringList* lines = FindSection(section);
  if (lines == nullptr) return defaultValue;
  int index = lines->IndexOfName(ident);
  return index < 0 ? defaultValue : lines->ValueFromIndex(index);
}

void TMemIniFile::ReadSection(const std::string& section, std::vector<std::string>& names) const {
  names.clear();
  const TIniHashedStringList* lines = FindSection(section);
  if (lines == nullptr) return;
  for (int i = 0; i < lines->Count(); ++i) {
    const std::string& line = (*lines)[i];
    size_t pos = line.find('=');
    names.push_back(pos == std::string::npos ? line : line.substr(0, pos));
  }
}

void TMemIniFile::ReadSections(std::vector<std::string>& sections) const {
  sections.clear();
  for (int i = 0; i < sections_.Count(); ++i)
    sections.push_back(sections_[i]);
}

void TMemIniFile::ReadSectionValues(const std::string& section,
                                    std::vector<std::string>& values) const {
  values.clear();
  const TIniHashedStringList* lines = FindSection(section);
  if (lines == nullptr) return;
  for (int i = 0; i < lines->Count(); ++i)
    values.push_back((*lines)[i]);
}

bool TMemIniFile::SectionExists(const std::string& section) const {
  const TIniHashedStringList* lines = FindSection(section);
  return lines != nullptr && lines->Count() > 0;
}

bool TMemIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  const TIniHashedStringList* lines = FindSection(section);
  return lines != nullptr && lines->IndexOfName(ident) >= 0;
}

void TMemIniFile::WriteString(const std::string& section, const std::string& ident,
                              const std::string& value) {
  TIniHashedStringList* lines = FindSection(section);
  if (lines == nullptr) lines = AddSection(section);
  std::string line = ident + "=" + value;
  int index = lines->IndexOfName(ident);
  if (index >= 0) {
    lines->Put(index, line);
  } else {
    lines->Add(line);
  }
}

void TMemIniFile::EraseSection(const std::string& section) {
  int index = sections_.IndexOf(section);
  if (index >= 0) sections_.Delete(index);
}

void TMemIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  TIniHashedStringList* lines = FindSection(section);
  if (lines == nullptr) return;
  int index = lines->IndexOfName(ident);
  if (index >= 0) lines->Delete(index);
}

// ---------------------------------------------------------------- TSafeIniFile

namespace {

std::string ByteOrderMark(TEncoding encoding) {
  switch (encoding) {
    case TEncoding::kUTF8:
      return "\xEF\xBB\xBF";
    case TEncoding::kUnicode:
      return "\xFF\xFE";
    case TEncoding::kBigEndianUnicode:
      return "\xFE\xFF";
    case TEncoding::kNone:
    case TEncoding::kANSI:
      break;
  }
  return {};
}

uint32_t SystemErrorOrOne() {
  uint32_t error = plat::GetLastError();
  return error == 0 ? 1 : error;
}

// Writes all bytes to an open file in chunks.
bool WriteAll(plat::Handle file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(bytes.size() - done, 1u << 24));
    uint32_t written = 0;
    if (!plat::WriteFile(file, bytes.data() + done, chunk, &written)) return false;
    if (written == 0) {
      plat::SetLastError(0);
      return false;
    }
    done += written;
  }
  return true;
}

void LogFileError(const std::string& routine, const std::string& path, uint32_t error) {
  LogError(routine + ": \"" + path + "\" system error " + std::to_string(error));
}

// Writes a whole new file and flushes it to the disk.
bool WriteNewFile(const std::string& path, const std::string& bytes) {
  plat::Handle file = plat::CreateFileW(path, plat::kGENERIC_READ | plat::kGENERIC_WRITE, 0,
                                        plat::kCREATE_ALWAYS, plat::kFILE_ATTRIBUTE_NORMAL);
  if (file == plat::kInvalidHandle) return false;
  bool ok = WriteAll(file, bytes) && plat::FlushFileBuffers(file);
  const uint32_t error = plat::GetLastError();
  plat::CloseHandle(file);
  if (!ok) plat::SetLastError(error);
  return ok;
}

// Rewrites an existing file through a handle that lets others go on reading and
// writing it (as the host does while it holds the file).
bool WriteInPlace(const std::string& path, const std::string& bytes) {
  plat::Handle file =
      plat::CreateFileW(path, plat::kGENERIC_READ | plat::kGENERIC_WRITE,
                        plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE, plat::kOPEN_EXISTING);
  if (file == plat::kInvalidHandle) return false;
  bool ok = WriteAll(file, bytes) && plat::SetEndOfFile(file) && plat::FlushFileBuffers(file);
  const uint32_t error = plat::GetLastError();
  plat::CloseHandle(file);
  if (!ok) plat::SetLastError(error);
  return ok;
}

}  // namespace

// The new content goes into "<file>.tmp" beside the file first and then takes the
// file's place in one step, so that a save cut off at any point leaves either the old
// file or the new one, whole. False with the system's error; the old file is then as
// it was, unless the in-place write of a held file failed part-way.
bool TSafeIniFile::SaveReplacing(const std::string& path, const std::string& bytes) {
  const std::string temp = path + ".tmp";
  if (!WriteNewFile(temp, bytes)) {
    const uint32_t error = plat::GetLastError();
    plat::DeleteFileW(temp);
    plat::SetLastError(error);
    return false;
  }
  const bool exists = fileutil::FileExists(path);
  // ReplaceFileW keeps the file's attributes and security; a new file is simply moved.
  if (inisupport::RetryWhileHeld([&] {
        return exists ? plat::ReplaceFileW(path, temp) : plat::MoveFileExW(temp, path, true, true);
      })) {
    return true;
  }
  const uint32_t error = plat::GetLastError();
  bool ok = false;
  if (exists) {
    // Held by another program so that it cannot be replaced: write it where it is.
    ok = WriteInPlace(path, bytes);
    if (ok) {
      LogError("TSafeIniFile.UpdateFile: \"" + path +
               "\" is held by another program (system error " + std::to_string(error) +
               "), written in place");
    }
  }
  const uint32_t finalError = ok ? 0 : (exists ? plat::GetLastError() : error);
  plat::DeleteFileW(temp);
  plat::SetLastError(finalError);
  return ok;
}

TSafeIniFile::TSafeIniFile() : TMemIniFile() {
  sections_.OnChange = [this] { SectionsChanged(); };
}

TSafeIniFile::TSafeIniFile(const std::string& fileName, TEncoding encoding) : TMemIniFile() {
  sections_.OnChange = [this] { SectionsChanged(); };
  fileName_ = fileName;
  encoding_ = encoding;
  if (fileName_.empty()) return;
  if (fileutil::FileExists(fileName_)) {
    LoadFromFile(fileName_);
  } else {
    FLastError = 0;
    CreateMissingFile();
  }
  if (FLastError != 0) FLoadFailed = true;
}

TSafeIniFile::~TSafeIniFile() {
  if (!FLoadFailed && FModified) {
    try {
      UpdateFile();
    } catch (...) {
      // Save errors never leave the destructor.
    }
  }
  sections_.OnChange = nullptr;
}

void TSafeIniFile::SectionsChanged() {
  cachedIndex_ = -1;
  cachedSection_.clear();
  if (!loading_) FModified = true;
}

void TSafeIniFile::LoadLines(const std::vector<std::string>& lines) {
  struct LoadingGuard {
    bool& flag;
    explicit LoadingGuard(bool& f) : flag(f) { flag = true; }
    ~LoadingGuard() { flag = false; }
  } guard(loading_);
  SetStrings(lines);
}

void TSafeIniFile::LoadFromFile(const std::string& fileName) {
  FLastError = 0;
  try {
    if (!fileutil::FileExists(fileName)) {
      LoadLines({});
      return;
    }
    std::string bytes;
    if (!inisupport::RetryWhileHeld(
            [&] { return inisupport::ReadWholeFile(fileName, plat::kFILE_SHARE_READ, bytes); })) {
      FLastError = SystemErrorOrOne();
    } else {
      LoadLines(inisupport::DecodeLines(bytes));
    }
  } catch (...) {
    FLastError = SystemErrorOrOne();
  }
  if (FLastError != 0) LogFileError("TSafeIniFile.LoadFromFile", fileName, FLastError);
}

void TSafeIniFile::LoadFromStream(std::istream& stream) {
  std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  LoadLines(inisupport::DecodeLines(bytes));
}

void TSafeIniFile::CreateMissingFile() {
  std::string folder = inisupport::FolderPart(fileName_);
  if (!folder.empty()) EnsureFolder(folder);
  plat::Handle file =
      plat::CreateFileW(fileName_, plat::kGENERIC_READ | plat::kGENERIC_WRITE,
                        plat::kFILE_SHARE_READ, plat::kOPEN_ALWAYS, plat::kFILE_ATTRIBUTE_NORMAL);
  if (file == plat::kInvalidHandle) return;
  std::string mark = ByteOrderMark(encoding_);
  if (!mark.empty()) WriteAll(file, mark);
  plat::CloseHandle(file);
}

void TSafeIniFile::EnsureFolder(const std::string& folder) {
  inisupport::EnsureFolder(folder);
}

void TSafeIniFile::WriteString(const std::string& section, const std::string& ident,
                               const std::string& value) {
  TIniHashedStringList* lines = nullptr;
  if (cachedIndex_ >= 0 && cachedIndex_ < sections_.Count() && section == cachedSection_) {
    lines = sections_.Objects(cachedIndex_);
  } else {
    int index = sections_.IndexOf(section);
    if (index < 0) {
      lines = AddSection(section);  // clears the cache through the change handler
      index = sections_.Count() - 1;
    } else {
      lines = sections_.Objects(index);
    }
    cachedSection_ = section;
    cachedIndex_ = index;
  }
  std::string line = ident + "=" + value;
  int index = lines->IndexOfName(ident);
  if (index >= 0) {
    lines->Put(index, line);
  } else {
    lines->Add(line);
  }
  FModified = true;
}

void TSafeIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  TIniHashedStringList* lines = FindSection(section);
  if (lines == nullptr) return;
  int index = lines->IndexOfName(ident);
  if (index < 0) return;
  lines->Delete(index);
  FModified = true;
}

void TSafeIniFile::UpdateFile() {
  if (fileName_.empty()) return;
  std::string path = fileName_;
  std::string folder = inisupport::FolderPart(path);
  if (folder.empty() || folder == "\\") {
    path = ".\\" + path;
  } else {
    EnsureFolder(folder);
  }

  constexpr uint32_t kAllOddBits = 0x3127;
  constexpr uint32_t kReadOnlyHidden =
      plat::kFILE_ATTRIBUTE_READONLY | plat::kFILE_ATTRIBUTE_HIDDEN;
  uint32_t attributes = plat::GetFileAttributesW(path);
  if ((attributes & kAllOddBits) == kAllOddBits) {
    plat::SetFileAttributesW(path, plat::kFILE_ATTRIBUTE_ARCHIVE);
    attributes = plat::GetFileAttributesW(path);
  }
  bool restoreAttributes = false;
  if (attributes != plat::kINVALID_FILE_ATTRIBUTES && (attributes & kReadOnlyHidden) != 0) {
    plat::SetFileAttributesW(path, attributes & ~kReadOnlyHidden);
    restoreAttributes = true;
  }

  FLastError = 0;
  try {
    if (!SaveReplacing(path, "\xFF\xFE" + txt::Utf8ToUtf16LeBytes(GetText()))) {
      FLastError = SystemErrorOrOne();
      LogFileError("TSafeIniFile.UpdateFile", path, FLastError);
    }
  } catch (...) {
    FLastError = SystemErrorOrOne();
    LogFileError("TSafeIniFile.UpdateFile", path, FLastError);
  }
  if (FLastError == 0) FModified = false;

  if (restoreAttributes) plat::SetFileAttributesW(path, attributes);
}
