// A fixed sequence of profile-function calls run through the platform seam, and
// the transcript it produces: every call with its arguments, result and buffer,
// the last error where it means something, and the bytes of the files after the
// calls that change them.
//
// The same sequence runs on the simulated machine (Linux) and on the real
// functions (the Windows build, under Wine); the two transcripts must agree line
// for line. Lines that start with "wine-differs " record steps where Wine is known
// to behave differently from Windows; the comparison skips them, and the sim
// follows Windows there (profile_sim_test.cpp compares and pins those behaviours).
//
// Header only: both the transcript helper and the comparing test include it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace profiletest {

inline constexpr const char* kDiffersPrefix = "wine-differs ";
inline constexpr const char* kTranscriptHeader = "profile transcript 1";
inline constexpr const char* kTranscriptEnd = "end of profile transcript";

using Opt = std::optional<std::string>;
inline const Opt kNull = std::nullopt;

// Escaped text: printable ASCII as it is, everything else as an escape (\xNN for a
// byte, \uNNNN for a UTF-16 code unit).
template <typename Char>
std::string Escaped(const std::basic_string<Char>& text) {
  std::string out = "\"";
  for (const Char ch : text) {
    const auto c = static_cast<std::make_unsigned_t<Char>>(ch);
    char hex[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      std::snprintf(hex, sizeof hex, sizeof(Char) == 1 ? "\\x%02X" : "\\u%04X",
                    static_cast<unsigned>(c));
      out += hex;
    }
  }
  return out + "\"";
}
inline std::string Quote(const Opt& text) {
  return text ? Escaped(*text) : "(null)";
}

// Which lines of one step are known to come out differently under Wine.
struct Differs {
  bool result = false;     // the call's line (result and buffer)
  bool lastError = false;  // the last-error line (recorded only when this is set)
  bool file = false;       // the file dump that follows a write
};
inline constexpr Differs kSame{};
// A truncated read: Windows sets ERROR_MORE_DATA (234), Wine leaves the last error alone.
inline constexpr Differs kMore{false, true, false};
inline constexpr Differs kFileDiffers{false, false, true};
inline constexpr Differs kResultDiffers{true, false, false};

class Recorder {
 public:
  explicit Recorder(const test::Sandbox& box) : box_(box) { lines_.push_back(kTranscriptHeader); }

  // Creates a file with exactly these bytes.
  void Put(const std::string& file, const std::string& bytes) {
    box_.Write(file, bytes);
    lines_.push_back("put " + file + " " + Escaped(bytes));
  }

  // GetPrivateProfileStringW (section names when section is null) and the buffer up to
  // its last non-zero character.
  void Get(const std::string& label, const Opt& section, const Opt& key, const std::string& def,
           uint32_t size, const std::string& file, Differs differs = kSame) {
    Read(
        "get " + label + " " + Quote(section) + " " + Quote(key) + " def=" + Quote(def), differs,
        [&](std::u16string& buffer) {
          return plat::GetPrivateProfileStringW(section, key, def, buffer, size, box_.Path(file));
        },
        size, file, label);
  }
  void Names(const std::string& label, uint32_t size, const std::string& file,
             Differs differs = kSame) {
    Read(
        "names " + label, differs,
        [&](std::u16string& buffer) {
          return plat::GetPrivateProfileSectionNamesW(buffer, size, box_.Path(file));
        },
        size, file, label);
  }

  // WritePrivateProfileStringW, followed by the file's bytes. The last error is
  // recorded when the call fails (and is not the flush call).
  void Write(const std::string& label, const Opt& section, const Opt& key, const Opt& value,
             const std::string& file, Differs differs = kSame) {
    plat::SetLastError(0);
    const bool ok = plat::WritePrivateProfileStringW(section, key, value, box_.Path(file));
    const uint32_t error = plat::GetLastError();
    Add(differs.result, "write " + label + " " + Quote(section) + " " + Quote(key) + " " +
                            Quote(value) + " " + file + " -> " + (ok ? "1" : "0"));
    if ((!ok && (section || key || value)) || differs.lastError)
      Add(differs.lastError, "lasterror " + label + " " + std::to_string(error));
    Add(differs.file, "file " + label + " " + file + " " +
                          (box_.Exists(file) ? Escaped(box_.Read(file)) : "missing"));
  }

  // Sets up the file's attributes (not recorded: both sides must succeed).
  void SetAttributes(const std::string& file, uint32_t attributes) {
    if (!plat::SetFileAttributesW(box_.Path(file), attributes))
      lines_.push_back("attributes failed");
  }

  std::string Text() const {
    std::string text;
    for (const auto& line : lines_)
      text += line + "\n";
    return text + kTranscriptEnd + "\n";
  }

 private:
  template <typename Call>
  void Read(const std::string& call, Differs differs, const Call& read, uint32_t size,
            const std::string& file, const std::string& label) {
    std::u16string buffer;
    plat::SetLastError(0);
    const uint32_t result = read(buffer);
    const uint32_t error = plat::GetLastError();
    while (!buffer.empty() && buffer.back() == u'\0')
      buffer.pop_back();
    Add(differs.result, call + " size=" + std::to_string(size) + " " + file + " -> " +
                            std::to_string(result) + " " + Escaped(buffer));
    if (differs.lastError) Add(true, "lasterror " + label + " " + std::to_string(error));
  }
  void Add(bool differs, const std::string& line) {
    lines_.push_back(differs ? kDiffersPrefix + line : line);
  }

  const test::Sandbox& box_;
  std::vector<std::string> lines_;
};

// The lines of a transcript, and the step a line belongs to: its first two words after
// the mark ("get read-short").
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}
inline bool Marked(const std::string& line) {
  return line.rfind(kDiffersPrefix, 0) == 0;
}
inline std::string Step(const std::string& line) {
  const std::string rest = Marked(line) ? line.substr(std::string(kDiffersPrefix).size()) : line;
  return rest.substr(0, rest.find(' ', rest.find(' ') + 1));
}

// The sequence. Every file lives in the sandbox's folder.
inline std::string RunProfileSequence(const test::Sandbox& box) {
  Recorder r(box);

  // A missing file is created as ANSI by the first write.
  r.Get("missing-file", "S", "k", "dflt", 64, "new.ini");
  r.Names("missing-file-names", 64, "new.ini");
  r.Write("create", "Main", "Name", "Alpha", "new.ini");
  r.Write("add-key", "Main", "Count", "42", "new.ini");
  r.Write("add-section", "Second", "Key", "v", "new.ini");
  r.Write("add-empty-value", "Main", "Empty", "", "new.ini");
  r.Write("add-to-first", "main", "Last", "z", "new.ini");

  // Replacing a value keeps the line and the names' case.
  r.Write("replace", "main", "NAME", "Beta", "new.ini");
  // Reading values: case, buffer sizes.
  r.Get("read-case", "MAIN", "name", "", 64, "new.ini");
  r.Get("read-exact", "Main", "Name", "", 5, "new.ini");
  r.Get("read-full", "Main", "Name", "", 4, "new.ini", kMore);
  r.Get("read-short", "Main", "Name", "", 3, "new.ini", kMore);
  r.Get("read-one", "Main", "Name", "", 1, "new.ini", kMore);
  r.Get("read-zero", "Main", "Name", "", 0, "new.ini");
  r.Get("read-empty-value", "Main", "Empty", "dflt", 64, "new.ini");

  // Key names and section names: double-zero lists and their truncation.
  r.Get("keys", "Main", kNull, "", 64, "new.ini");
  r.Get("keys-fit", "Main", kNull, "", 24, "new.ini");
  r.Get("keys-exact", "Main", kNull, "", 23, "new.ini", kMore);
  r.Get("keys-short", "Main", kNull, "", 9, "new.ini", kMore);
  r.Get("keys-boundary", "Main", kNull, "", 7, "new.ini", kMore);
  r.Get("keys-three", "Main", kNull, "", 3, "new.ini", kMore);
  r.Names("names", 64, "new.ini");
  r.Names("names-fit", 14, "new.ini");
  r.Names("names-exact", 13, "new.ini", kMore);
  r.Names("names-short", 8, "new.ini", kMore);
  r.Names("names-boundary", 7, "new.ini", kMore);
  r.Get("null-section", kNull, "Name", "dflt", 64, "new.ini");

  // Defaults: trailing blanks go, other blanks stay.
  r.Get("default-blanks", "Main", "Nope", "  one two  ", 64, "new.ini");
  r.Get("default-section", "Nope", "Name", "dflt", 64, "new.ini");
  r.Get("default-keys", "Nope", kNull, "dflt", 64, "new.ini");
  r.Get("default-short", "Main", "Nope", "defaultvalue", 5, "new.ini", kMore);

  // Deleting keys and sections.
  r.Write("delete-key", "Main", "Count", kNull, "new.ini");
  r.Write("delete-section", "SECOND", kNull, "ignored", "new.ini");
  r.Write("delete-missing-section", "Nope", kNull, kNull, "new.ini");
  r.Write("flush", kNull, kNull, kNull, "new.ini");
  r.Write("no-section", kNull, "k", "v", "nosec.ini");

  // Windows writes the value as given; Wine strips its leading blanks.
  r.Write("blanks", "P", "Pad", "  padded  ", "pad.ini", kFileDiffers);
  r.Get("blanks-read", "P", "Pad", "", 64, "pad.ini");

  // Windows creates a missing file when asked to delete from it; Wine does not.
  r.Write("delete-key-no-file", "S", "k", kNull, "gone1.ini", kFileDiffers);
  r.Write("delete-section-no-file", "S", kNull, kNull, "gone2.ini", kFileDiffers);

  // Quotes, blanks, comments and lines without '='.
  r.Put("quotes.ini",
        "[Q]\r\nd=\"double\"\r\ns='single'\r\nm=\"mixed'\r\none=\"\r\nempty=\"\"\r\n"
        "inner=\"a\"b\"\r\nsp  =   spaced value   \r\n   lead=x\r\ntab\t=\ty\t\r\nnoeq\r\n"
        ";note=1\r\n\r\n[Other]\r\nk=o\r\n");
  for (const char* key : {"d", "s", "m", "one", "empty", "inner", "sp", "lead", "tab", "noeq"}) {
    r.Get(std::string("quoted-") + key, "Q", key, "dflt", 64, "quotes.ini");
  }
  r.Get("quoted-keys", "Q", kNull, "", 128, "quotes.ini");
  r.Names("quoted-names", 64, "quotes.ini");
  // Windows edits the file in place; Wine rewrites it from what it parsed.
  r.Write("in-place-replace", "Q", "sp", "new", "quotes.ini", kFileDiffers);
  r.Write("in-place-add", "Q", "added", "1", "quotes.ini", kFileDiffers);
  r.Get("in-place-keys", "Q", kNull, "", 128, "quotes.ini");

  // A file with the UTF-16 LE mark stays UTF-16 LE.
  r.Put("utf16.ini", test::Utf16File("[U]\r\nname=Жар-птица\r\nk=v\r\n"));
  r.Get("utf16-read", "U", "name", "", 64, "utf16.ini");
  r.Get("utf16-short", "U", "name", "", 4, "utf16.ini", kMore);
  r.Write("utf16-add", "U", "new", "\xCE\xA9mega \xE2\x82\xAC", "utf16.ini");
  r.Write("utf16-section", "V", "k", "x", "utf16.ini");
  r.Write("utf16-replace", "U", "k", "\xD0\x96", "utf16.ini");
  r.Put("mark-only.ini", "\xFF\xFE");
  r.Write("mark-only", "S", "k", "v", "mark-only.ini");
  r.Put("empty.ini", "");
  r.Write("empty-file", "S", "k", "v", "empty.ini");

  // ANSI files use the code page (1252 here).
  r.Write("ansi-latin", "A", "cafe", "Caf\xC3\xA9", "ansi.ini");
  r.Write("ansi-cyrillic", "A", "cyr", "\xD0\x96\xD1\x83\xD0\xBA", "ansi.ini");
  r.Get("ansi-read-cyrillic", "A", "cyr", "", 64, "ansi.ini");
  // Names compare without case beyond ASCII on Windows; Wine folds ASCII only.
  r.Write("non-ascii-key", "A", "cl\xC3\xA9", "1", "ansi.ini");
  r.Get("non-ascii-same-case", "A", "cl\xC3\xA9", "", 64, "ansi.ini");
  r.Get("non-ascii-other-case", "A", "CL\xC3\x89", "dflt", 64, "ansi.ini", kResultDiffers);

  // A UTF-8 mark: Windows reads the file as ANSI, Wine as UTF-8.
  r.Put("utf8.ini", "\xEF\xBB\xBF[B]\r\nk=v\r\n[C]\r\nk2=w\r\n");
  r.Get("utf8-first-section", "B", "k", "dflt", 64, "utf8.ini", kResultDiffers);
  r.Get("utf8-second-section", "C", "k2", "dflt", 64, "utf8.ini");
  r.Names("utf8-names", 64, "utf8.ini", kResultDiffers);
  r.Write("utf8-write", "C", "k3", "\xC3\xA9", "utf8.ini", kFileDiffers);

  // Failures: a read-only file (Wine, running as root, writes it), a missing folder.
  r.Put("readonly.ini", "[R]\r\nk=v\r\n");
  r.SetAttributes("readonly.ini", plat::kFILE_ATTRIBUTE_READONLY);
  r.Write("read-only", "R", "k", "w", "readonly.ini", Differs{true, true, true});
  r.Get("read-only-read", "R", "k", "", 64, "readonly.ini", kResultDiffers);
  r.SetAttributes("readonly.ini", plat::kFILE_ATTRIBUTE_NORMAL);
  r.Write("no-folder", "S", "k", "v", "nofolder\\x.ini");

  // A file without a final line break.
  r.Put("noterm.ini", "[A]\r\nk=v");
  r.Write("noterm-add", "A", "k2", "w", "noterm.ini");
  r.Put("noterm2.ini", "[A]\r\nk=v");
  r.Write("noterm-section", "B", "x", "y", "noterm2.ini");

  // LF and CR line ends.
  r.Put("lf.ini", "[L]\nk=v\n[M]\rj=w\r");
  r.Get("lf-read", "L", "k", "", 64, "lf.ini");
  r.Get("cr-read", "M", "j", "", 64, "lf.ini");
  r.Write("lf-add", "L", "k2", "x", "lf.ini", kFileDiffers);

  // Keys before the first section belong to no section.
  r.Put("top.ini", "top=1\r\n[S]\r\nk=v\r\n");
  r.Get("top-read", "S", "top", "dflt", 64, "top.ini");
  r.Write("top-add", "S", "k2", "w", "top.ini");

  // Blank lines between sections.
  r.Put("blank.ini", "[A]\r\nk=v\r\n\r\n[B]\r\nx=y\r\n");
  r.Write("blank-add", "A", "k2", "w", "blank.ini", kFileDiffers);
  r.Write("blank-delete-section", "A", kNull, kNull, "blank.ini");

  // A value replaced in the middle of a section, keys deleted down to none.
  r.Put("order.ini", "[O]\r\na=1\r\nb=2\r\nc=3\r\n");
  r.Write("order-replace", "O", "b", "22", "order.ini");
  r.Write("order-delete-first", "O", "a", kNull, "order.ini");
  r.Write("order-delete-only-key", "O", "b", kNull, "order.ini");
  r.Get("order-no-keys", "O", kNull, "dflt", 64, "order.ini");

  return r.Text();
}

}  // namespace profiletest
