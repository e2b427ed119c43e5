// Sim backend: the profile (INI) functions, behaving like those of Windows.
//
// The file is opened through the sim's own file functions for every call, so
// share modes, read-only attributes and missing folders fail exactly as they do
// for any other file access, and there is no cache (a flush has nothing to do).
//
// Text model (what Windows does, and where it differs from Wine):
//  - Encoding: a file that starts with FF FE is UTF-16 LE and stays so; every
//    other file, a missing or empty one included, is read and written as ANSI in
//    the machine's code page. A UTF-8 mark (EF BB BF) is not recognised: its bytes
//    are ANSI characters of the first line, so a section header on that line is not
//    found, and writes add ANSI text while keeping the mark's bytes untouched.
//    (Wine reads and keeps such a file as UTF-8.)
//  - Lines end at CR LF, LF or CR. Blanks (space, tab, other control characters
//    from 9 to 13, and ^Z) around a line are ignored. A line starting with "[" and
//    holding a "]" is a section header; its name is the text up to the last "]".
//    A line starting with ";" is a comment. Inside a section a line with "=" is a
//    key: name and value are trimmed of blanks; a line without "=" is neither
//    listed nor readable. Lines before the first header belong to no section.
//  - Names compare without regard to case; the first section and the first key of
//    a name win. A value enclosed in matching double or single quotes loses them.
//  - Writing edits the file in place: every line the call does not touch keeps its
//    bytes. A new value replaces the old one after the "=" (the key's own spelling
//    and the blanks before the value stay), a new key is put after the last
//    non-blank line of its section, a new section goes at the end of the file with
//    no blank line before it. New lines are "key=value" with CR LF; the value is
//    written as given, blanks included (Wine strips leading blanks).
//  - Deleting a key removes its line; deleting a section removes its header and
//    every line up to the next header. Deleting from a missing file creates it
//    empty (Windows opens the file with open-always for every write).
//  - Reading into a too small buffer truncates and sets ERROR_MORE_DATA (Wine
//    leaves the last error alone). A list (key names, section names) is only
//    complete when it and its closing zero are shorter than the buffer; otherwise
//    the buffer holds the first size - 2 characters of the list and two zeros, and
//    the result is size - 2.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimInternal.h"
#include "platform/sim/SimMachine.h"

namespace plat {

namespace {

// CP_ACP: the machine's ANSI code page.
constexpr uint32_t kCP_ACP = 0;

bool IsBlank(char16_t c) {
  return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x1A;
}

std::u16string TrimBlanks(const std::u16string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin]))
    ++begin;
  while (end > begin && IsBlank(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() == b.size() && a == b) return true;
  return txt::SameText(txt::Utf16ToUtf8(a), txt::Utf16ToUtf8(b));
}

// ---------------------------------------------------------------- the file as lines

enum class LineKind { kBlank, kSection, kKey, kComment, kOther };

struct Line {
  std::u16string text;    // without the line end
  std::u16string ending;  // u"\r\n", u"\n", u"\r" or empty (last line of the file)
  std::string raw;        // original bytes (text and ending); empty once changed
  bool changed = false;
  LineKind kind = LineKind::kBlank;
  std::u16string name;    // section or key name
  size_t valueBegin = 0;  // key lines: where the value starts in text
};

void Classify(Line& line) {
  const std::u16string& t = line.text;
  size_t begin = 0;
  size_t end = t.size();
  while (begin < end && IsBlank(t[begin]))
    ++begin;
  while (end > begin && IsBlank(t[end - 1]))
    --end;
  line.name.clear();
  line.valueBegin = 0;
  if (begin == end) {
    line.kind = LineKind::kBlank;
    return;
  }
  if (t[begin] == u'[') {
    size_t close = end;
    while (close > begin + 1 && t[close - 1] != u']')
      --close;
    if (close > begin + 1) {
      line.kind = LineKind::kSection;
      line.name = t.substr(begin + 1, close - 1 - (begin + 1));
      return;
    }
  }
  if (t[begin] == u';') {
    line.kind = LineKind::kComment;
    return;
  }
  const size_t eq = t.find(u'=', begin);
  if (eq == std::u16string::npos || eq >= end) {
    line.kind = LineKind::kOther;
    return;
  }
  line.kind = LineKind::kKey;
  size_t nameEnd = eq;
  while (nameEnd > begin && IsBlank(t[nameEnd - 1]))
    --nameEnd;
  line.name = t.substr(begin, nameEnd - begin);
  size_t valueBegin = eq + 1;
  while (valueBegin < end && IsBlank(t[valueBegin]))
    ++valueBegin;
  line.valueBegin = valueBegin;
}

// The value of a key line, trimmed.
std::u16string ValueOf(const Line& line) {
  return TrimBlanks(line.text.substr(std::min(line.valueBegin, line.text.size())));
}

struct Profile {
  bool utf16 = false;
  std::string mark;  // the byte-order mark of a UTF-16 file
  std::vector<Line> lines;
};

std::u16string DecodeAnsi(const std::string& bytes) {
  if (bytes.empty()) return {};
  return plat::MultiByteToWideChar(kCP_ACP, bytes);
}

std::string EncodeAnsi(const std::u16string& text) {
  if (text.empty()) return {};
  return plat::WideCharToMultiByte(kCP_ACP, text);
}

std::string EncodeUtf16(const std::u16string& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

Profile Parse(const std::string& bytes) {
  Profile profile;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
      static_cast<uint8_t>(bytes[1]) == 0xFE) {
    profile.utf16 = true;
    profile.mark = bytes.substr(0, 2);
    // Code units; an odd last byte is kept as it is in the raw bytes of the last line.
    const size_t units = (bytes.size() - 2) / 2;
    auto unit = [&](size_t i) {
      return static_cast<char16_t>(static_cast<uint8_t>(bytes[2 + 2 * i]) |
                                   (static_cast<uint8_t>(bytes[3 + 2 * i]) << 8));
    };
    size_t start = 0;
    while (start < units) {
      size_t i = start;
      while (i < units && unit(i) != u'\r' && unit(i) != u'\n')
        ++i;
      Line line;
      for (size_t k = start; k < i; ++k)
        line.text.push_back(unit(k));
      size_t next = i;
      if (i < units) {
        line.ending.push_back(unit(i));
        next = i + 1;
        if (unit(i) == u'\r' && next < units && unit(next) == u'\n') {
          line.ending.push_back(u'\n');
          ++next;
        }
      }
      const size_t rawEnd = next == units ? bytes.size() : 2 + 2 * next;
      line.raw = bytes.substr(2 + 2 * start, rawEnd - (2 + 2 * start));
      Classify(line);
      profile.lines.push_back(std::move(line));
      start = next;
    }
    if (units == 0 && bytes.size() > 2) {  // a single odd byte after the mark
      Line line;
      line.raw = bytes.substr(2);
      profile.lines.push_back(std::move(line));
    }
    return profile;
  }
  // ANSI: CR and LF never occur inside a multi-byte character of a Windows code
  // page, so the bytes split into lines before decoding.
  size_t start = 0;
  while (start < bytes.size()) {
    size_t i = start;
    while (i < bytes.size() && bytes[i] != '\r' && bytes[i] != '\n')
      ++i;
    Line line;
    line.text = DecodeAnsi(bytes.substr(start, i - start));
    size_t next = i;
    if (i < bytes.size()) {
      line.ending.push_back(static_cast<char16_t>(bytes[i]));
      next = i + 1;
      if (bytes[i] == '\r' && next < bytes.size() && bytes[next] == '\n') {
        line.ending.push_back(u'\n');
        ++next;
      }
    }
    line.raw = bytes.substr(start, next - start);
    Classify(line);
    profile.lines.push_back(std::move(line));
    start = next;
  }
  return profile;
}

std::string Serialize(const Profile& profile) {
  std::string bytes = profile.mark;
  for (const Line& line : profile.lines) {
    if (!line.changed) {
      bytes += line.raw;
    } else if (profile.utf16) {
      bytes += EncodeUtf16(line.text + line.ending);
    } else {
      bytes += EncodeAnsi(line.text + line.ending);
    }
  }
  return bytes;
}

Line NewLine(const std::u16string& text) {
  Line line;
  line.text = text;
  line.ending = u"\r\n";
  line.changed = true;
  Classify(line);
  return line;
}

// Makes sure a line ends with a line break before another line is put after it;
// the line keeps its own bytes.
void EndLine(const Profile& profile, Line& line) {
  if (!line.ending.empty()) return;
  line.ending = u"\r\n";
  if (!line.changed) line.raw += profile.utf16 ? std::string("\r\0\n\0", 4) : std::string("\r\n");
}

// Index of the header of the first section called name, or -1.
int FindSection(const Profile& profile, const std::u16string& name) {
  for (size_t i = 0; i < profile.lines.size(); ++i) {
    const Line& line = profile.lines[i];
    if (line.kind == LineKind::kSection && SameName(line.name, name)) return static_cast<int>(i);
  }
  return -1;
}

// One past the last line of the section whose header is at index header.
size_t SectionEnd(const Profile& profile, size_t header) {
  size_t i = header + 1;
  while (i < profile.lines.size() && profile.lines[i].kind != LineKind::kSection)
    ++i;
  return i;
}

int FindKey(const Profile& profile, size_t header, const std::u16string& key) {
  const size_t end = SectionEnd(profile, header);
  for (size_t i = header + 1; i < end; ++i) {
    const Line& line = profile.lines[i];
    if (line.kind == LineKind::kKey && SameName(line.name, key)) return static_cast<int>(i);
  }
  return -1;
}

std::vector<std::u16string> SectionNames(const Profile& profile) {
  std::vector<std::u16string> names;
  for (const Line& line : profile.lines) {
    if (line.kind == LineKind::kSection && !line.name.empty()) names.push_back(line.name);
  }
  return names;
}

std::vector<std::u16string> KeyNames(const Profile& profile, size_t header) {
  std::vector<std::u16string> names;
  const size_t end = SectionEnd(profile, header);
  for (size_t i = header + 1; i < end; ++i) {
    if (profile.lines[i].kind == LineKind::kKey) names.push_back(profile.lines[i].name);
  }
  return names;
}

// ---------------------------------------------------------------- buffers

// A single string: truncated to size - 1 characters when it does not fit.
uint32_t CopyString(const std::u16string& text, std::u16string& buffer, uint32_t size,
                    uint32_t errorWhenComplete) {
  if (size == 0) {
    plat::SetLastError(errorWhenComplete);
    return 0;
  }
  if (text.size() < size) {
    std::copy(text.begin(), text.end(), buffer.begin());
    plat::SetLastError(errorWhenComplete);
    return static_cast<uint32_t>(text.size());
  }
  std::copy(text.begin(), text.begin() + (size - 1), buffer.begin());
  plat::SetLastError(kERROR_MORE_DATA);
  return size - 1;
}

// A double-zero-terminated list of strings.
uint32_t CopyList(const std::vector<std::u16string>& items, std::u16string& buffer, uint32_t size) {
  std::u16string list;
  for (const auto& item : items) {
    list += item;
    list.push_back(u'\0');
  }
  if (size == 0) return 0;
  if (list.size() + 1 < size) {
    std::copy(list.begin(), list.end(), buffer.begin());
    plat::SetLastError(kERROR_SUCCESS);
    return static_cast<uint32_t>(list.size());
  }
  if (size <= 2) {
    plat::SetLastError(list.empty() ? kERROR_SUCCESS : kERROR_MORE_DATA);
    return 0;
  }
  std::copy(list.begin(), list.begin() + (size - 2), buffer.begin());
  plat::SetLastError(kERROR_MORE_DATA);
  return size - 2;
}

std::u16string StripQuotes(const std::u16string& value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// ---------------------------------------------------------------- file access

bool ReadAll(Handle file, std::string& bytes) {
  const int64_t size = plat::GetFileSizeEx(file);
  if (size < 0) return false;
  bytes.assign(static_cast<size_t>(size), '\0');
  uint32_t read = 0;
  if (size > 0 && !plat::ReadFile(file, bytes.data(), static_cast<uint32_t>(size), &read)) {
    return false;
  }
  bytes.resize(read);
  return true;
}

// The file's content for reading; empty when it is missing or cannot be opened.
Profile LoadForReading(sim::Op& op, const std::string& fileName) {
  if (fileName.empty()) return {};
  const Handle file =
      plat::CreateFileW(sim::FullWindowsPath(op.m(), fileName), kGENERIC_READ,
                        kFILE_SHARE_READ | kFILE_SHARE_WRITE | kFILE_SHARE_DELETE, kOPEN_EXISTING);
  if (file == kInvalidHandle) return {};
  std::string bytes;
  const bool ok = ReadAll(file, bytes);
  plat::CloseHandle(file);
  return ok ? Parse(bytes) : Profile{};
}

// ---------------------------------------------------------------- edits

bool SetValue(Profile& profile, const std::u16string& section, const std::u16string& key,
              const std::u16string& value) {
  const int header = FindSection(profile, TrimBlanks(section));
  if (header < 0) {
    if (!profile.lines.empty()) EndLine(profile, profile.lines.back());
    profile.lines.push_back(NewLine(u"[" + section + u"]"));
    profile.lines.push_back(NewLine(key + u"=" + value));
    return true;
  }
  const int found = FindKey(profile, static_cast<size_t>(header), TrimBlanks(key));
  if (found >= 0) {
    Line& line = profile.lines[static_cast<size_t>(found)];
    std::u16string text = line.text.substr(0, line.valueBegin) + value;
    if (text == line.text) return false;
    line.text = std::move(text);
    line.changed = true;
    Classify(line);
    return true;
  }
  // After the last non-blank line of the section (the header when it has none).
  size_t last = static_cast<size_t>(header);
  const size_t end = SectionEnd(profile, static_cast<size_t>(header));
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    if (profile.lines[i].kind != LineKind::kBlank) last = i;
  }
  EndLine(profile, profile.lines[last]);
  profile.lines.insert(profile.lines.begin() + static_cast<std::ptrdiff_t>(last) + 1,
                       NewLine(key + u"=" + value));
  return true;
}

bool DeleteKey(Profile& profile, const std::u16string& section, const std::u16string& key) {
  const int header = FindSection(profile, TrimBlanks(section));
  if (header < 0) return false;
  const int found = FindKey(profile, static_cast<size_t>(header), TrimBlanks(key));
  if (found < 0) return false;
  profile.lines.erase(profile.lines.begin() + found);
  return true;
}

bool DeleteSection(Profile& profile, const std::u16string& section) {
  const int header = FindSection(profile, TrimBlanks(section));
  if (header < 0) return false;
  const size_t end = SectionEnd(profile, static_cast<size_t>(header));
  profile.lines.erase(profile.lines.begin() + header,
                      profile.lines.begin() + static_cast<std::ptrdiff_t>(end));
  return true;
}

// The caller's buffer: `chars` zero characters. Copied from a block of zeros, because a
// fill character by character costs more than the whole look-up under the sanitizers.
void ZeroBuffer(std::u16string& buffer, uint32_t chars) {
  static const std::u16string zeros(4096, u'\0');
  buffer.clear();
  buffer.reserve(chars);
  while (buffer.size() < chars)
    buffer.append(zeros, 0, std::min<size_t>(zeros.size(), chars - buffer.size()));
}

}  // namespace

uint32_t GetPrivateProfileSectionNamesW(std::u16string& buffer, uint32_t bufferChars,
                                        const std::string& fileName) {
  ZeroBuffer(buffer, bufferChars);
  sim::Op op;
  const Profile profile = LoadForReading(op, fileName);
  return CopyList(SectionNames(profile), buffer, bufferChars);
}

uint32_t GetPrivateProfileStringW(const std::optional<std::string>& section,
                                  const std::optional<std::string>& key,
                                  const std::string& defaultValue, std::u16string& buffer,
                                  uint32_t bufferChars, const std::string& fileName) {
  ZeroBuffer(buffer, bufferChars);
  if (bufferChars == 0) return 0;
  if (!section) return GetPrivateProfileSectionNamesW(buffer, bufferChars, fileName);

  sim::Op op;
  const Profile profile = LoadForReading(op, fileName);
  const std::u16string sectionName = TrimBlanks(txt::Utf8ToUtf16(*section));
  const int header = FindSection(profile, sectionName);
  std::u16string fallback = txt::Utf8ToUtf16(defaultValue);

  if (!key) {
    // Key names of the section; an empty or missing section gives the default.
    if (header >= 0) {
      const auto names = KeyNames(profile, static_cast<size_t>(header));
      if (!names.empty() && !names.front().empty()) return CopyList(names, buffer, bufferChars);
    }
    return CopyString(fallback, buffer, bufferChars, kERROR_FILE_NOT_FOUND);
  }

  if (header >= 0) {
    const int found =
        FindKey(profile, static_cast<size_t>(header), TrimBlanks(txt::Utf8ToUtf16(*key)));
    if (found >= 0) {
      return CopyString(StripQuotes(ValueOf(profile.lines[static_cast<size_t>(found)])), buffer,
                        bufferChars, kERROR_SUCCESS);
    }
  }
  // The default loses its trailing blanks.
  while (!fallback.empty() && fallback.back() == u' ')
    fallback.pop_back();
  return CopyString(fallback, buffer, bufferChars, kERROR_FILE_NOT_FOUND);
}

bool WritePrivateProfileStringW(const std::optional<std::string>& section,
                                const std::optional<std::string>& key,
                                const std::optional<std::string>& value,
                                const std::string& fileName) {
  // Flushing the cache: nothing is cached here. Windows answers 0 for this call.
  if (!section && !key && !value) return false;
  if (!section) {
    plat::SetLastError(kERROR_FILE_NOT_FOUND);
    return false;
  }
  if (fileName.empty()) {
    plat::SetLastError(kERROR_ACCESS_DENIED);
    return false;
  }

  const sim::ChangeCall change(sim::CountsAsChange(fileName));
  sim::Op op;
  const Handle file =
      plat::CreateFileW(sim::FullWindowsPath(op.m(), fileName), kGENERIC_READ | kGENERIC_WRITE,
                        kFILE_SHARE_READ | kFILE_SHARE_WRITE | kFILE_SHARE_DELETE, kOPEN_ALWAYS);
  if (file == kInvalidHandle) return false;  // 3, 5, 32 ... from the open

  bool ok = true;
  std::string bytes;
  if (!ReadAll(file, bytes)) ok = false;
  if (ok) {
    Profile profile = Parse(bytes);
    const std::u16string sectionName = txt::Utf8ToUtf16(*section);
    bool changed = false;
    if (!key) {
      changed = DeleteSection(profile, sectionName);
    } else if (!value) {
      changed = DeleteKey(profile, sectionName, txt::Utf8ToUtf16(*key));
    } else {
      changed = SetValue(profile, sectionName, txt::Utf8ToUtf16(*key), txt::Utf8ToUtf16(*value));
    }
    if (changed) {
      const std::string out = Serialize(profile);
      uint32_t written = 0;
      ok = plat::SetFilePointerEx(file, 0, kFILE_BEGIN) == 0 &&
           plat::WriteFile(file, out.data(), static_cast<uint32_t>(out.size()), &written) &&
           written == out.size() && plat::SetEndOfFile(file);
    }
  }
  const uint32_t error = ok ? kERROR_SUCCESS : plat::GetLastError();
  plat::CloseHandle(file);
  plat::SetLastError(error);
  return ok;
}

}  // namespace plat
