// A fixed sequence of profile-function calls run through the platform seam, and
// the transcript it produces: every call with its arguments, result and buffer,
// the last error where it means something, and the bytes of the files after the
// calls that change them.
//
// The same sequence runs on the simulated machine (Linux) and on the real
// functions (the Windows build, under Wine); the two transcripts must agree line
// for line. Lines that start with "wine-differs " record steps where Wine is known
// to behave differently from Windows; the comparison skips them, and the sim
// follows Windows there (profile_sim_test.cpp pins those behaviours).
//
// Header only: both the transcript helper and the comparing test include it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace profiletest {

inline constexpr const char* kDiffersPrefix = "wine-differs ";
inline constexpr const char* kTranscriptHeader = "profile transcript 1";
inline constexpr const char* kTranscriptEnd = "end of profile transcript";

using Opt = std::optional<std::string>;
inline const Opt kNull = std::nullopt;

// Escaped UTF-8 text: printable ASCII as it is, everything else as an escape.
inline std::string Quote(const Opt& text) {
  if (!text) return "(null)";
  std::string out = "\"";
  for (unsigned char c : *text) {
    char hex[8];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

// A returned buffer up to its last non-zero character: as text (zeros as \0,
// other non-ASCII characters as \uXXXX) and as hexadecimal code units.
inline std::string BufferText(const std::u16string& buffer) {
  size_t used = buffer.size();
  while (used > 0 && buffer[used - 1] == u'\0')
    --used;
  std::string text = "\"";
  std::string hex;
  for (size_t i = 0; i < used; ++i) {
    const char16_t c = buffer[i];
    char piece[16];
    if (c == 0) {
      text += "\\0";
    } else if (c == u'"' || c == u'\\') {
      text += '\\';
      text += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      text += static_cast<char>(c);
    } else {
      std::snprintf(piece, sizeof piece, "\\u%04X", static_cast<unsigned>(c));
      text += piece;
    }
    std::snprintf(piece, sizeof piece, "%s%04X", i ? " " : "", static_cast<unsigned>(c));
    hex += piece;
  }
  return text + "\" [" + hex + "]";
}

// Which lines of one step are known to come out differently under Wine.
struct Differs {
  bool result = false;     // the call's line (result and buffer)
  bool lastError = false;  // the last-error line
  bool file = false;       // the file dump that follows a write
};
inline constexpr Differs kSame{};

class Recorder {
 public:
  explicit Recorder(const test::Sandbox& box) : box_(box) { lines_.push_back(kTranscriptHeader); }

  void Note(const std::string& text) { lines_.push_back("# " + text); }

  // Creates a file with exactly these bytes.
  void Put(const std::string& file, const std::string& bytes) {
    box_.Write(file, bytes);
    lines_.push_back("put " + file + " " + test::Hex(bytes));
  }

  // GetPrivateProfileStringW, with the length of the buffer handed back (all of it).
  // The last error is recorded when lastError is set (Windows: 234 after a truncation).
  void Get(const std::string& label, const Opt& section, const Opt& key, const std::string& def,
           uint32_t size, const std::string& file, bool recordError = false,
           Differs differs = kSame) {
    std::u16string buffer;
    plat::SetLastError(0);
    const uint32_t result =
        plat::GetPrivateProfileStringW(section, key, def, buffer, size, box_.Path(file));
    const uint32_t error = plat::GetLastError();
    Add(differs.result, "get " + label + " " + Quote(section) + " " + Quote(key) +
                            " def=" + Quote(def) + " size=" + std::to_string(size) + " " + file +
                            " -> " + std::to_string(result) + " " + BufferText(buffer) + " of " +
                            std::to_string(buffer.size()));
    if (recordError) Add(differs.lastError, "lasterror " + label + " " + std::to_string(error));
  }

  void Names(const std::string& label, uint32_t size, const std::string& file,
             bool recordError = false, Differs differs = kSame) {
    std::u16string buffer;
    plat::SetLastError(0);
    const uint32_t result = plat::GetPrivateProfileSectionNamesW(buffer, size, box_.Path(file));
    const uint32_t error = plat::GetLastError();
    Add(differs.result, "names " + label + " size=" + std::to_string(size) + " " + file + " -> " +
                            std::to_string(result) + " " + BufferText(buffer));
    if (recordError) Add(differs.lastError, "lasterror " + label + " " + std::to_string(error));
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
    const bool flush = !section && !key && !value;
    if ((!ok && !flush) || differs.lastError) {
      Add(differs.lastError, "lasterror " + label + " " + std::to_string(error));
    }
    Dump(label, file, differs.file);
  }

  void Dump(const std::string& label, const std::string& file, bool differs = false) {
    if (!box_.Exists(file)) {
      Add(differs, "file " + label + " " + file + " missing");
      return;
    }
    const std::string bytes = box_.Read(file);
    Add(differs, "file " + label + " " + file + " " + std::to_string(bytes.size()) + " bytes " +
                     Quote(bytes) + " [" + test::Hex(bytes) + "]");
  }

  void SetAttributes(const std::string& file, uint32_t attributes) {
    const bool ok = plat::SetFileAttributesW(box_.Path(file), attributes);
    lines_.push_back("attributes " + file + " " + std::to_string(attributes) + " -> " +
                     (ok ? "1" : "0"));
  }

  std::string Text() const {
    std::string text;
    for (const auto& line : lines_)
      text += line + "\n";
    return text + kTranscriptEnd + "\n";
  }

 private:
  void Add(bool differs, const std::string& line) {
    lines_.push_back(differs ? kDiffersPrefix + line : line);
  }

  const test::Sandbox& box_;
  std::vector<std::string> lines_;
};

// UTF-16 LE bytes of UTF-8 text, without a mark.
inline std::string Utf16Le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

// The sequence. Every file lives in the sandbox's folder.
inline std::string RunProfileSequence(const test::Sandbox& box) {
  Recorder r(box);
  constexpr bool kError = true;
  constexpr Differs kErrorDiffers{false, true, false};
  constexpr Differs kFileDiffers{false, false, true};
  constexpr Differs kResultDiffers{true, false, false};

  r.Note("a missing file is created as ANSI by the first write");
  r.Get("missing-file", "S", "k", "dflt", 64, "new.ini");
  r.Names("missing-file-names", 64, "new.ini");
  r.Write("create", "Main", "Name", "Alpha", "new.ini");
  r.Write("add-key", "Main", "Count", "42", "new.ini");
  r.Write("add-section", "Second", "Key", "v", "new.ini");
  r.Write("add-empty-value", "Main", "Empty", "", "new.ini");
  r.Write("add-to-first", "main", "Last", "z", "new.ini");

  r.Note("replacing a value keeps the line and the names' case");
  r.Write("replace", "main", "NAME", "Beta", "new.ini");
  r.Write("replace-same", "Main", "Name", "Beta", "new.ini");

  r.Note("reading values: case, buffer sizes");
  r.Get("read-case", "MAIN", "name", "", 64, "new.ini");
  r.Get("read-exact", "Main", "Name", "", 5, "new.ini");
  r.Get("read-short", "Main", "Name", "", 3, "new.ini", kError, kErrorDiffers);
  r.Get("read-one", "Main", "Name", "", 1, "new.ini", kError, kErrorDiffers);
  r.Get("read-zero", "Main", "Name", "", 0, "new.ini");
  r.Get("read-empty-value", "Main", "Empty", "dflt", 64, "new.ini");
  r.Get("read-second", "second", "KEY", "", 64, "new.ini");

  r.Note("key names and section names: double-zero lists and their truncation");
  r.Get("keys", "Main", kNull, "", 64, "new.ini");
  r.Get("keys-fit", "Main", kNull, "", 24, "new.ini");
  r.Get("keys-exact", "Main", kNull, "", 23, "new.ini", kError, kErrorDiffers);
  r.Get("keys-short", "Main", kNull, "", 9, "new.ini", kError, kErrorDiffers);
  r.Get("keys-boundary", "Main", kNull, "", 7, "new.ini", kError, kErrorDiffers);
  r.Get("keys-three", "Main", kNull, "", 3, "new.ini", kError, kErrorDiffers);
  r.Names("names", 64, "new.ini");
  r.Names("names-fit", 14, "new.ini");
  r.Names("names-exact", 13, "new.ini", kError, kErrorDiffers);
  r.Names("names-short", 8, "new.ini", kError, kErrorDiffers);
  r.Names("names-boundary", 7, "new.ini", kError, kErrorDiffers);
  r.Get("null-section", kNull, "Name", "dflt", 64, "new.ini");
  r.Get("all-sections", kNull, kNull, "", 64, "new.ini");

  r.Note("defaults: trailing blanks go, other blanks stay");
  r.Get("default-trailing", "Main", "Nope", "dflt   ", 64, "new.ini");
  r.Get("default-inner", "Main", "Nope", "one two  ", 64, "new.ini");
  r.Get("default-leading", "Main", "Nope", "  lead", 64, "new.ini");
  r.Get("default-section", "Nope", "Name", "dflt", 64, "new.ini");
  r.Get("default-keys", "Nope", kNull, "dflt", 64, "new.ini");
  r.Get("default-short", "Main", "Nope", "defaultvalue", 5, "new.ini", kError, kErrorDiffers);

  r.Note("deleting keys and sections");
  r.Write("delete-key", "Main", "Count", kNull, "new.ini");
  r.Write("delete-missing-key", "Main", "Nope", kNull, "new.ini");
  r.Write("delete-section", "SECOND", kNull, "ignored", "new.ini");
  r.Write("delete-missing-section", "Nope", kNull, kNull, "new.ini");
  r.Write("flush", kNull, kNull, kNull, "new.ini");
  r.Write("no-section", kNull, "k", "v", "nosec.ini");

  r.Note("Windows writes the value as given; Wine strips its leading blanks");
  r.Write("blanks", "P", "Pad", "  padded  ", "pad.ini", kFileDiffers);
  r.Get("blanks-read", "P", "Pad", "", 64, "pad.ini");

  r.Note("Windows creates a missing file when asked to delete from it; Wine does not");
  r.Write("delete-key-no-file", "S", "k", kNull, "gone1.ini", kFileDiffers);
  r.Write("delete-section-no-file", "S", kNull, kNull, "gone2.ini", kFileDiffers);

  r.Note("quotes, blanks, comments and lines without '='");
  r.Put("quotes.ini",
        "[Q]\r\nd=\"double\"\r\ns='single'\r\nm=\"mixed'\r\none=\"\r\nempty=\"\"\r\n"
        "inner=\"a\"b\"\r\nsp  =   spaced value   \r\n   lead=x\r\ntab\t=\ty\t\r\nnoeq\r\n"
        ";note=1\r\n\r\n[Other]\r\nk=o\r\n");
  for (const char* key : {"d", "s", "m", "one", "empty", "inner", "sp", "lead", "tab", "noeq"}) {
    r.Get(std::string("quoted-") + key, "Q", key, "dflt", 64, "quotes.ini");
  }
  r.Get("quoted-keys", "Q", kNull, "", 128, "quotes.ini");
  r.Names("quoted-names", 64, "quotes.ini");
  r.Note("Windows edits the file in place; Wine rewrites it from what it parsed");
  r.Write("in-place-replace", "Q", "sp", "new", "quotes.ini", kFileDiffers);
  r.Write("in-place-add", "Q", "added", "1", "quotes.ini", kFileDiffers);
  r.Get("in-place-read", "Q", "sp", "", 64, "quotes.ini");
  r.Get("in-place-keys", "Q", kNull, "", 128, "quotes.ini");

  r.Note("a file with the UTF-16 LE mark stays UTF-16 LE");
  r.Put("utf16.ini", "\xFF\xFE" + Utf16Le(u"[U]\r\nname=\u0416\u0430\u0440-\u043F\u0442\u0438"
                                          u"\u0446\u0430\r\nk=v\r\n"));
  r.Get("utf16-read", "U", "name", "", 64, "utf16.ini");
  r.Get("utf16-short", "U", "name", "", 4, "utf16.ini", kError, kErrorDiffers);
  r.Names("utf16-names", 64, "utf16.ini");
  r.Write("utf16-add", "U", "new", "\xCE\xA9mega \xE2\x82\xAC", "utf16.ini");
  r.Write("utf16-section", "V", "k", "x", "utf16.ini");
  r.Write("utf16-replace", "U", "k", "\xD0\x96", "utf16.ini");
  r.Get("utf16-read-new", "U", "new", "", 64, "utf16.ini");
  r.Put("mark-only.ini", "\xFF\xFE");
  r.Write("mark-only", "S", "k", "v", "mark-only.ini");
  r.Put("empty.ini", "");
  r.Write("empty-file", "S", "k", "v", "empty.ini");

  r.Note("ANSI files use the code page (1252 here)");
  r.Write("ansi-latin", "A", "cafe", "Caf\xC3\xA9", "ansi.ini");
  r.Write("ansi-cyrillic", "A", "cyr", "\xD0\x96\xD1\x83\xD0\xBA", "ansi.ini");
  r.Get("ansi-read-latin", "A", "cafe", "", 64, "ansi.ini");
  r.Get("ansi-read-cyrillic", "A", "cyr", "", 64, "ansi.ini");
  r.Note("names compare without case beyond ASCII on Windows; Wine folds ASCII only");
  r.Write("non-ascii-key", "A", "cl\xC3\xA9", "1", "ansi.ini");
  r.Get("non-ascii-same-case", "A", "cl\xC3\xA9", "", 64, "ansi.ini");
  r.Get("non-ascii-other-case", "A", "CL\xC3\x89", "dflt", 64, "ansi.ini", false, kResultDiffers);

  r.Note("a UTF-8 mark: Windows reads the file as ANSI, Wine as UTF-8");
  r.Put("utf8.ini", "\xEF\xBB\xBF[B]\r\nk=v\r\n[C]\r\nk2=w\r\n");
  r.Get("utf8-first-section", "B", "k", "dflt", 64, "utf8.ini", false, kResultDiffers);
  r.Get("utf8-second-section", "C", "k2", "dflt", 64, "utf8.ini");
  r.Names("utf8-names", 64, "utf8.ini", false, kResultDiffers);
  r.Write("utf8-write", "C", "k3", "\xC3\xA9", "utf8.ini", kFileDiffers);

  r.Note("failures: a read-only file (Wine, running as root, writes it), a missing folder");
  r.Put("readonly.ini", "[R]\r\nk=v\r\n");
  r.SetAttributes("readonly.ini", plat::kFILE_ATTRIBUTE_READONLY);
  r.Write("read-only", "R", "k", "w", "readonly.ini", Differs{true, true, true});
  r.Get("read-only-read", "R", "k", "", 64, "readonly.ini", false, kResultDiffers);
  r.SetAttributes("readonly.ini", plat::kFILE_ATTRIBUTE_NORMAL);
  r.Write("no-folder", "S", "k", "v", "nofolder\\x.ini");
  r.Get("no-folder-read", "S", "k", "dflt", 64, "nofolder\\x.ini");

  r.Note("a file without a final line break");
  r.Put("noterm.ini", "[A]\r\nk=v");
  r.Write("noterm-add", "A", "k2", "w", "noterm.ini");
  r.Put("noterm2.ini", "[A]\r\nk=v");
  r.Write("noterm-section", "B", "x", "y", "noterm2.ini");

  r.Note("LF and CR line ends");
  r.Put("lf.ini", "[L]\nk=v\n[M]\rj=w\r");
  r.Get("lf-read", "L", "k", "", 64, "lf.ini");
  r.Get("cr-read", "M", "j", "", 64, "lf.ini");
  r.Names("lf-names", 64, "lf.ini");
  r.Write("lf-add", "L", "k2", "x", "lf.ini", kFileDiffers);

  r.Note("keys before the first section belong to no section");
  r.Put("top.ini", "top=1\r\n[S]\r\nk=v\r\n");
  r.Get("top-read", "S", "top", "dflt", 64, "top.ini");
  r.Names("top-names", 64, "top.ini");
  r.Write("top-add", "S", "k2", "w", "top.ini");

  r.Note("blank lines between sections");
  r.Put("blank.ini", "[A]\r\nk=v\r\n\r\n[B]\r\nx=y\r\n");
  r.Write("blank-add", "A", "k2", "w", "blank.ini", kFileDiffers);
  r.Write("blank-delete-section", "A", kNull, kNull, "blank.ini");

  r.Note("a value replaced in the middle of a section");
  r.Put("order.ini", "[O]\r\na=1\r\nb=2\r\nc=3\r\n");
  r.Write("order-replace", "O", "b", "22", "order.ini");
  r.Write("order-empty", "O", "c", "", "order.ini");
  r.Write("order-delete-first", "O", "a", kNull, "order.ini");
  r.Write("order-delete-last-key", "O", "c", kNull, "order.ini");
  r.Write("order-delete-only-key", "O", "b", kNull, "order.ini");
  r.Get("order-no-keys", "O", kNull, "dflt", 64, "order.ini");

  return r.Text();
}

}  // namespace profiletest
