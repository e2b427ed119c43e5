#include "config/IniFiles.h"

#include <algorithm>
#include <optional>

#include "config/IniSupport.h"
#include "platform/Platform.h"
#include "platform/Text.h"

// ---------------------------------------------------------------- TCustomIniFile

int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident,
                                    int32_t defaultValue) const {
  return txt::StrToIntDef(ReadString(section, ident, ""), defaultValue);
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident,
                              bool defaultValue) const {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

double TCustomIniFile::ReadFloat(const std::string& section, const std::string& ident,
                                 double defaultValue) const {
  std::string text = ReadString(section, ident, "");
  double value = 0;
  if (text.empty() || !txt::TryStrToFloat(text, value, txt::DecimalSeparator()))
    return defaultValue;
  return value;
}

double TCustomIniFile::ReadDateTime(const std::string& section, const std::string& ident,
                                    double defaultValue) const {
  std::string text = ReadString(section, ident, "");
  double value = 0;
  if (text.empty() || !txt::TryParseUsDateTime(text, value)) return defaultValue;
  return value;
}

bool TCustomIniFile::SectionExists(const std::string& section) const {
  std::vector<std::string> names;
  ReadSection(section, names);
  return !names.empty();
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  std::vector<std::string> names;
  ReadSection(section, names);
  for (const std::string& name : names)
    if (txt::SameText(name, ident)) return true;
  return false;
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident,
                                  int32_t value) {
  WriteString(section, ident, txt::IntToStr(value));
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

void TCustomIniFile::WriteFloat(const std::string& section, const std::string& ident,
                                double value) {
  WriteString(section, ident, txt::FloatToStr(value));
}

void TCustomIniFile::DeleteKeys(const std::string& section) {
  std::vector<std::string> keys;
  ReadSection(section, keys);
  for (const std::string& key : keys)
    DeleteKey(section, key);
}

void TCustomIniFile::WriteDateTime(const std::string& section, const std::string& ident,
                                   double value) {
  WriteString(section, ident, txt::FormatIniDateTime(value));
}

// ---------------------------------------------------------------- TIniFile

namespace {

// Buffers of the profile functions never grow beyond this many characters.
constexpr uint32_t kMaxProfileBuffer = 1u << 26;

uint32_t Grow(uint32_t size) {
  return size + size / 2;
}

// Splits a list of zero-terminated strings (the first `count` characters of buffer).
std::vector<std::string> SplitZeroList(const std::u16string& buffer, uint32_t count) {
  std::vector<std::string> items;
  size_t end = std::min<size_t>(count, buffer.size());
  size_t start = 0;
  for (size_t i = 0; i <= end; ++i) {
    if (i == end || buffer[i] == u'\0') {
      if (i > start) items.push_back(txt::Utf16ToUtf8(buffer.substr(start, i - start)));
      start = i + 1;
    }
  }
  return items;
}

// Section keys (key absent) of a profile file, growing the buffer on ERROR_MORE_DATA.
std::vector<std::string> ReadKeyNames(const std::string& section, const std::string& fileName) {
  std::u16string buffer;
  uint32_t size = 16384;
  uint32_t count = 0;
  for (;;) {
    plat::SetLastError(0);
    count = plat::GetPrivateProfileStringW(section, std::nullopt, "", buffer, size, fileName);
    if (plat::GetLastError() != plat::kERROR_MORE_DATA || size >= kMaxProfileBuffer) break;
    size = Grow(size);
  }
  return SplitZeroList(buffer, count);
}

}  // namespace

TIniFile::TIniFile(const std::string& fileName) : TCustomIniFile(PrepareIniPath(fileName)) {}

TIniFile::~TIniFile() {
  if (!fileName_.empty())
    plat::WritePrivateProfileStringW(std::nullopt, std::nullopt, std::nullopt, fileName_);
}

std::string TIniFile::PrepareIniPath(const std::string& fileName) {
  std::string path = fileName;
  std::string folder = inisupport::FolderPart(path);
  if (folder.empty() || folder == "\\") {
    path = ".\\" + path;
  } else {
    inisupport::EnsureFolder(folder);
  }
  uint32_t attributes = plat::GetFileAttributesW(path);
  if (attributes != plat::kINVALID_FILE_ATTRIBUTES &&
      (attributes & plat::kFILE_ATTRIBUTE_READONLY) != 0)
    plat::SetFileAttributesW(path, 0);
  return path;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) const {
  std::u16string buffer;
  uint32_t size = 2048;
  uint32_t count = 0;
  for (;;) {
    plat::SetLastError(0);
    count = plat::GetPrivateProfileStringW(section, ident, defaultValue, buffer, size, fileName_);
    if (plat::GetLastError() != plat::kERROR_MORE_DATA || size >= kMaxProfileBuffer) break;
    size = Grow(size);
  }
  return txt::Utf16ToUtf8(buffer.substr(0, std::min<size_t>(count, buffer.size())));
}

void TIniFile::ReadSection(const std::string& section, std::vector<std::string>& names) const {
  names = ReadKeyNames(section, fileName_);
}

void TIniFile::ReadSections(std::vector<std::string>& sections) const {
  sections.clear();
  std::u16string buffer;
  uint32_t size = 16384;
  uint32_t count = 0;
  for (;;) {
    plat::SetLastError(0);
    count = plat::GetPrivateProfileSectionNamesW(buffer, size, fileName_);
    if (plat::GetLastError() != plat::kERROR_MORE_DATA || size >= kMaxProfileBuffer) break;
    size = Grow(size);
  }
  sections = SplitZeroList(buffer, count);
}

void TIniFile::ReadSectionValues(const std::string& section,
                                 std::vector<std::string>& values) const {
  values.clear();
  for (const std::string& name : ReadKeyNames(section, fileName_))
    values.push_back(name + "=" + ReadString(section, name, ""));
}

void TIniFile::WriteString(const std::string& section, const std::string& ident,
                           const std::string& value) {
  if (!plat::WritePrivateProfileStringW(section, ident, value, fileName_))
    throw EIniFileException("Unable to write to " + fileName_);
}

void TIniFile::EraseSection(const std::string& section) {
  if (!plat::WritePrivateProfileStringW(section, std::nullopt, std::nullopt, fileName_))
    throw EIniFileException("Unable to write to " + fileName_);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  plat::WritePrivateProfileStringW(section, ident, std::nullopt, fileName_);
}

void TIniFile::UpdateFile() {
  PrepareIniPath(fileName_);
  plat::WritePrivateProfileStringW(std::nullopt, std::nullopt, std::nullopt, fileName_);
}
