// The machine file: text <-> Machine. The format is described in docs/sim-machine.md.
//
// A file is a list of sections "[kind argument]" holding "name = value" lines.
// Every kind of section has one entry in Kinds() below (a parser and a writer); the
// keys of a section are described once, in a table of fields (name, reader, writer)
// that both use. Adding a kind of section means adding its fields to Machine, a field
// table and one entry in Kinds().
// Sections of kinds this version does not know are kept verbatim.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <type_traits>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"
#include "platform/sim/SimServiceTable.h"
#include "platform/sim/SimTweaksFile.h"

namespace sim {

namespace {

// ---------------------------------------------------------------- quoting

bool HasControl(const std::string& s) {
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) return true;
  }
  return false;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool NeedsQuotes(const std::string& s) {
  return !s.empty() &&
         (s.front() == '"' || IsBlank(s.front()) || IsBlank(s.back()) || HasControl(s));
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (u < 0x20 || u == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%02X", u);
          out += buf;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string ValueText(const std::string& s) {
  return NeedsQuotes(s) ? Quote(s) : s;
}

// Names need quotes also for "=", a leading "[", "#", ";", "!" and the name "@".
std::string NameText(const std::string& s) {
  if (s.empty() || NeedsQuotes(s) || s.find('=') != std::string::npos || s[0] == '[' ||
      s[0] == '#' || s[0] == ';' || s[0] == '!' || s == "@") {
    return Quote(s);
  }
  return s;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at s[i] == '"'; i ends after the closing quote.
bool ReadQuoted(const std::string& s, size_t& i, std::string& out, std::string& error) {
  out.clear();
  ++i;
  while (i < s.size()) {
    const char c = s[i++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (i >= s.size()) break;
    const char e = s[i++];
    switch (e) {
      case '\\':
        out += '\\';
        break;
      case '"':
        out += '"';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case '0':
        out += '\0';
        break;
      case 'x': {
        const int hi = i < s.size() ? HexValue(s[i]) : -1;
        const int lo = i + 1 < s.size() ? HexValue(s[i + 1]) : -1;
        if (hi < 0 || lo < 0) {
          error = "bad \\x escape (two hexadecimal digits expected)";
          return false;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        error = std::string("unknown escape \\") + e;
        return false;
    }
  }
  error = "missing closing quote";
  return false;
}

// A value as written: quoted (with escapes) or taken as it stands.
bool Unquote(const std::string& raw, std::string& out, std::string& error) {
  if (raw.empty() || raw[0] != '"') {
    out = raw;
    return true;
  }
  size_t i = 0;
  if (!ReadQuoted(raw, i, out, error)) return false;
  while (i < raw.size() && IsBlank(raw[i]))
    ++i;
  if (i != raw.size()) {
    error = "text after the closing quote";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- sections

struct Entry {
  std::string name;
  bool nameQuoted = false;
  std::string raw;  // the value as written (quotes not yet removed)
  int line = 0;
};

struct Section {
  std::string kind;
  std::string arg;
  int line = 0;
  std::vector<Entry> entries;
};

std::string At(int line, const std::string& message) {
  return "line " + std::to_string(line) + ": " + message;
}

bool Value(const Entry& e, std::string& out, std::string& error) {
  std::string why;
  if (Unquote(e.raw, out, why)) return true;
  error = At(e.line, why);
  return false;
}

bool ParseNumber(const std::string& text, uint64_t& value) {
  const std::string s = txt::Trim(text);
  if (s.empty()) return false;
  size_t i = 0;
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    i = 2;
  }
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    const int d = HexValue(s[i]);
    if (d < 0 || d >= base) return false;
    if (v > (UINT64_MAX - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
  }
  value = v;
  return true;
}

bool ParseSigned(const std::string& text, int64_t& value) {
  std::string s = txt::Trim(text);
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s = s.substr(1);
  }
  uint64_t v = 0;
  if (!ParseNumber(s, v) || v > static_cast<uint64_t>(INT64_MAX)) return false;
  value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

bool ParseBool(const std::string& text, bool& value) {
  const std::string s = txt::LowerCase(txt::Trim(text));
  if (s == "yes" || s == "true" || s == "1" || s == "on") {
    value = true;
    return true;
  }
  if (s == "no" || s == "false" || s == "0" || s == "off") {
    value = false;
    return true;
  }
  return false;
}

std::string Hex(uint64_t v, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%0*" PRIX64, digits, v);
  return buf;
}

std::string YesNo(bool b) {
  return b ? "yes" : "no";
}

std::vector<std::string> SplitList(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    const size_t pos = s.find(sep, start);
    const std::string item =
        txt::Trim(s.substr(start, pos == std::string::npos ? pos : pos - start));
    if (!item.empty()) out.push_back(item);
    if (pos == std::string::npos) break;
    start = pos + 1;
  }
  return out;
}

// Typed number fields: parse into T with a range check.
template <class T>
bool Number(const Entry& e, const std::string& text, T& out, std::string& error) {
  uint64_t v = 0;
  if (!ParseNumber(text, v) || v > static_cast<uint64_t>(std::numeric_limits<T>::max())) {
    error = At(e.line, "'" + e.name + "' needs a number, not '" + text + "'");
    return false;
  }
  out = static_cast<T>(v);
  return true;
}

// "a.b.c": between minParts and maxParts decimal numbers up to maxValue.
bool DottedNumbers(const std::string& text, size_t minParts, size_t maxParts, uint32_t maxValue,
                   std::vector<uint32_t>& out) {
  out.clear();
  size_t start = 0;
  for (;;) {
    const size_t dot = text.find('.', start);
    const std::string part = text.substr(start, dot == std::string::npos ? dot : dot - start);
    if (part.empty() || part.size() > 10 ||
        part.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    const uint64_t v = std::stoull(part);
    if (v > maxValue) return false;
    out.push_back(static_cast<uint32_t>(v));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return out.size() >= minParts && out.size() <= maxParts;
}

// ---------------------------------------------------------------- names of numbers

struct Named {
  const char* name;
  uint32_t value;
};

const Named kPriorityClasses[] = {{"idle", 0x40},    {"below", 0x4000}, {"normal", 0x20},
                                  {"above", 0x8000}, {"high", 0x80},    {"realtime", 0x100}};
// Rights OpenProcess grants: everything, the query rights, the limited query right.
const Named kAccessNames[] = {
    {"all", 0x1F0FFF}, {"query", 0x1400}, {"limited", 0x1000}, {"none", 0}};
const Named kElevationTypes[] = {{"default", 1}, {"full", 2}, {"limited", 3}};
const Named kArchitectures[] = {{"x86", 0}, {"ia64", 6}, {"x64", 9}, {"arm64", 12}};
const Named kProductTypes[] = {{"workstation", 1}, {"domain-controller", 2}, {"server", 3}};
const Named kAttributeNames[] = {{"readonly", 0x1},    {"hidden", 0x2},     {"system", 0x4},
                                 {"directory", 0x10},  {"archive", 0x20},   {"normal", 0x80},
                                 {"temporary", 0x100}, {"offline", 0x1000}, {"notindexed", 0x2000}};
const Named kFolderNames[] = {{"DESKTOP", 0},
                              {"PROGRAMS", 2},
                              {"PERSONAL", 5},
                              {"FAVORITES", 6},
                              {"STARTUP", 7},
                              {"RECENT", 8},
                              {"SENDTO", 9},
                              {"STARTMENU", 11},
                              {"MYMUSIC", 13},
                              {"MYVIDEO", 14},
                              {"DESKTOPDIRECTORY", 16},
                              {"NETHOOD", 19},
                              {"FONTS", 20},
                              {"TEMPLATES", 21},
                              {"COMMON_STARTMENU", 22},
                              {"COMMON_PROGRAMS", 23},
                              {"COMMON_STARTUP", 24},
                              {"COMMON_DESKTOPDIRECTORY", 25},
                              {"APPDATA", 26},
                              {"PRINTHOOD", 27},
                              {"LOCAL_APPDATA", 28},
                              {"COMMON_FAVORITES", 31},
                              {"INTERNET_CACHE", 32},
                              {"COOKIES", 33},
                              {"HISTORY", 34},
                              {"COMMON_APPDATA", 35},
                              {"WINDOWS", 36},
                              {"SYSTEM", 37},
                              {"PROGRAM_FILES", 38},
                              {"MYPICTURES", 39},
                              {"PROFILE", 40},
                              {"SYSTEMX86", 41},
                              {"PROGRAM_FILESX86", 42},
                              {"PROGRAM_FILES_COMMON", 43},
                              {"PROGRAM_FILES_COMMONX86", 44},
                              {"COMMON_TEMPLATES", 45},
                              {"COMMON_DOCUMENTS", 46},
                              {"COMMON_ADMINTOOLS", 47},
                              {"ADMINTOOLS", 48},
                              {"COMMON_MUSIC", 53},
                              {"COMMON_PICTURES", 54},
                              {"COMMON_VIDEO", 55},
                              {"RESOURCES", 56},
                              {"CDBURN_AREA", 59}};

template <size_t N>
bool FromName(const Named (&table)[N], const std::string& text, uint32_t& value) {
  for (const Named& n : table) {
    if (txt::SameText(text, n.name)) {
      value = n.value;
      return true;
    }
  }
  uint64_t v = 0;
  if (!ParseNumber(text, v) || v > UINT32_MAX) return false;
  value = static_cast<uint32_t>(v);
  return true;
}

template <size_t N>
std::string ToName(const Named (&table)[N], uint32_t value) {
  for (const Named& n : table) {
    if (n.value == value) return n.name;
  }
  return std::to_string(value);
}

std::string AttributesText(uint32_t a) {
  std::string out;
  uint32_t named = 0;
  for (const Named& n : kAttributeNames) {
    if (a & n.value) {
      if (!out.empty()) out += ", ";
      out += n.name;
      named |= n.value;
    }
  }
  if (named != a || a == 0) return Hex(a, 8);
  return out;
}

bool ParseAttributes(const std::string& text, uint32_t& value) {
  uint64_t v = 0;
  if (ParseNumber(text, v) && v <= UINT32_MAX) {
    value = static_cast<uint32_t>(v);
    return true;
  }
  value = 0;
  for (const std::string& item : SplitList(text, ',')) {
    uint32_t bit = 0;
    bool found = false;
    for (const Named& n : kAttributeNames) {
      if (txt::SameText(item, n.name)) {
        bit = n.value;
        found = true;
      }
    }
    if (!found) return false;
    value |= bit;
  }
  return true;
}

// ---------------------------------------------------------------- dates

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

constexpr int64_t kSerialOfUnixEpoch = 25569;

std::string FormatLocalTime(double serial) {
  const int64_t ms = SerialToMs(serial);
  int64_t days = ms / 86400000, rest = ms % 86400000;
  if (rest < 0) {
    rest += 86400000;
    --days;
  }
  const txt::DateTimeParts p = txt::DecodeDateTime(MsToSerial(days * 86400000));
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day,
                static_cast<int>(rest / 3600000), static_cast<int>(rest / 60000 % 60),
                static_cast<int>(rest / 1000 % 60), static_cast<int>(rest % 1000));
  return buf;
}

bool ParseLocalTime(const std::string& text, double& serial) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
  char tail = 0;
  const int n =
      std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d.%d%c", &y, &mo, &d, &h, &mi, &s, &ms, &tail);
  if (n < 3 || n == 8 || !txt::IsValidDate(y, mo, d) || h < 0 || h > 23 || mi < 0 || mi > 59 ||
      s < 0 || s > 59 || ms < 0 || ms > 999) {
    return false;
  }
  const int64_t days =
      DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) + kSerialOfUnixEpoch;
  serial = MsToSerial(days * 86400000 + ((h * 60 + mi) * 60 + s) * 1000 + ms);
  return true;
}

// ---------------------------------------------------------------- fields
// A key of a section, described once for reading and writing: its name, what its
// value must be (for parse errors), how a value is read into the section's object and
// how it is written (nothing: the key is left out, its value being the default).

template <class T>
struct Field {
  std::string name;
  std::string what;
  std::function<bool(const std::string&, T&)> parse;
  std::function<std::optional<std::string>(const T&)> write;
  bool raw = false;  // parse gets the value as written (quotes not removed)
};
template <class T>
using Fields = std::vector<Field<T>>;

enum class Omit { Never, AtDefault };

template <class T>
const T& Defaults() {
  static const T* d = new T{};
  return *d;
}

// The member a field reads and writes, for const and non-const objects alike.
#define VLX_MEMBER(expr) \
  [](auto& o) -> auto& { \
    return o.expr;       \
  }

template <class N>
bool ParseInto(const std::string& text, N& out) {
  if constexpr (std::is_signed_v<N>) {
    int64_t v = 0;
    if (!ParseSigned(text, v) || v < std::numeric_limits<N>::min() ||
        v > std::numeric_limits<N>::max())
      return false;
    out = static_cast<N>(v);
  } else {
    uint64_t v = 0;
    if (!ParseNumber(text, v) || v > std::numeric_limits<N>::max()) return false;
    out = static_cast<N>(v);
  }
  return true;
}

template <class T, class Ref>
bool AtDefault(Omit omit, Ref ref, const T& o) {
  return omit == Omit::AtDefault && ref(o) == ref(Defaults<T>());
}

template <class T, class Ref>
Field<T> TextField(const char* name, Ref ref, Omit omit = Omit::Never) {
  return {name, "text",
          [ref](const std::string& v, T& o) {
            ref(o) = v;
            return true;
          },
          [ref, omit](const T& o) -> std::optional<std::string> {
            if (AtDefault(omit, ref, o)) return std::nullopt;
            return ValueText(ref(o));
          }};
}

// An integer, written in decimal or, with hexDigits, as 0x hexadecimal.
template <class T, class Ref>
Field<T> NumberField(const char* name, Ref ref, Omit omit = Omit::Never, int hexDigits = 0) {
  return {name, "a number", [ref](const std::string& v, T& o) { return ParseInto(v, ref(o)); },
          [ref, omit, hexDigits](const T& o) -> std::optional<std::string> {
            if (AtDefault(omit, ref, o)) return std::nullopt;
            const auto n = ref(o);
            if (hexDigits) return Hex(static_cast<uint64_t>(n), hexDigits);
            if constexpr (std::is_signed_v<std::remove_cvref_t<decltype(n)>>)
              return std::to_string(static_cast<int64_t>(n));
            else
              return std::to_string(static_cast<uint64_t>(n));
          }};
}

template <class T, class Ref>
Field<T> HexField(const char* name, Ref ref, int digits, Omit omit = Omit::Never) {
  return NumberField<T>(name, ref, omit, digits);
}

template <class T, class Ref>
Field<T> YesNoField(const char* name, Ref ref, Omit omit = Omit::Never) {
  return {name, "yes or no", [ref](const std::string& v, T& o) { return ParseBool(v, ref(o)); },
          [ref, omit](const T& o) -> std::optional<std::string> {
            if (AtDefault(omit, ref, o)) return std::nullopt;
            return YesNo(ref(o));
          }};
}

// A number that has names (the table's); unnamed values are written as numbers.
template <class T, size_t N, class Ref>
Field<T> NamedField(const char* name, const Named (&table)[N], const char* what, Ref ref,
                    Omit omit = Omit::Never, int hexDigits = 0) {
  return {name, what,
          [&table, ref](const std::string& v, T& o) {
            uint32_t u = 0;
            auto& member = ref(o);
            if (!FromName(table, v, u) ||
                u > std::numeric_limits<std::remove_cvref_t<decltype(member)>>::max())
              return false;
            member = static_cast<std::remove_cvref_t<decltype(member)>>(u);
            return true;
          },
          [&table, ref, omit, hexDigits](const T& o) -> std::optional<std::string> {
            if (AtDefault(omit, ref, o)) return std::nullopt;
            const uint32_t u = ref(o);
            const std::string text = ToName(table, u);
            return hexDigits && text == std::to_string(u) ? Hex(u, hexDigits) : text;
          }};
}

// A comma-separated list of names.
template <class T, class Ref>
Field<T> ListField(const char* name, Ref ref) {
  return {name, "a list",
          [ref](const std::string& v, T& o) {
            ref(o) = SplitList(v, ',');
            return true;
          },
          [ref](const T& o) -> std::optional<std::string> {
            std::string list;
            for (const std::string& item : ref(o))
              list += (list.empty() ? "" : ", ") + item;
            return list;
          }};
}

template <class T>
const Field<T>* FindField(const Fields<T>& fields, const std::string& name) {
  for (const Field<T>& f : fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

template <class T>
bool ReadField(const Field<T>& f, const Entry& e, const std::string& v, T& o, std::string& error) {
  if (f.parse(v, o)) return true;
  error = At(e.line, "'" + e.name + "' needs " + f.what + ", not '" + v + "'");
  return false;
}

// Keys without a field: kept (true) or an error (false, error set).
using OtherKey = std::function<bool(const Entry&, const std::string&, std::string& error)>;

template <class T>
bool ReadFields(const Fields<T>& fields, const Section& sec, T& o, std::string& error,
                const OtherKey& other = nullptr) {
  for (const Entry& e : sec.entries) {
    const Field<T>* f = FindField(fields, e.name);
    std::string v = e.raw;
    if (!(f && f->raw) && !Value(e, v, error)) return false;
    if (f) {
      if (!ReadField(*f, e, v, o, error)) return false;
    } else if (!other) {
      error = At(e.line, "[" + sec.kind + "] has no '" + e.name + "'");
      return false;
    } else if (!other(e, v, error)) {
      return false;
    }
  }
  return true;
}

// One "name = value" line; nameText is written as it stands.
void LineRaw(std::string& out, const std::string& nameText, const std::string& value) {
  out += nameText;
  out += value.empty() ? " =\n" : " = " + value + "\n";
}

void Line(std::string& out, const std::string& name, const std::string& value) {
  LineRaw(out, NameText(name), value);
}

template <class T>
void WriteFields(const Fields<T>& fields, const T& o, std::string& out) {
  for (const Field<T>& f : fields) {
    if (const std::optional<std::string> v = f.write(o)) Line(out, f.name, *v);
  }
}

// ---------------------------------------------------------------- [machine]

const Fields<Machine>& MachineFields() {
  static const auto* fields = new Fields<Machine>{
      {"os.version", "major.minor.build",
       [](const std::string& v, Machine& m) {
         std::vector<uint32_t> n;
         if (!DottedNumbers(v, 2, 3, UINT32_MAX, n)) return false;
         m.os.major = n[0];
         m.os.minor = n[1];
         m.os.build = n.size() == 3 ? n[2] : 0;
         return true;
       },
       [](const Machine& m) -> std::optional<std::string> {
         return std::to_string(m.os.major) + "." + std::to_string(m.os.minor) + "." +
                std::to_string(m.os.build);
       }},
      NumberField<Machine>("os.platform", VLX_MEMBER(os.platformId)),
      TextField<Machine>("os.csd", VLX_MEMBER(os.csdVersion)),
      {"os.servicePack", "major.minor",
       [](const std::string& v, Machine& m) {
         std::vector<uint32_t> n;
         if (!DottedNumbers(v, 2, 2, 0xFFFF, n)) return false;
         m.os.servicePackMajor = static_cast<uint16_t>(n[0]);
         m.os.servicePackMinor = static_cast<uint16_t>(n[1]);
         return true;
       },
       [](const Machine& m) -> std::optional<std::string> {
         return std::to_string(m.os.servicePackMajor) + "." + std::to_string(m.os.servicePackMinor);
       }},
      HexField<Machine>("os.suiteMask", VLX_MEMBER(os.suiteMask), 4),
      NamedField<Machine>("os.productType", kProductTypes,
                          "workstation, server or domain-controller", VLX_MEMBER(os.productType)),
      NamedField<Machine>("arch.native", kArchitectures, "x86, x64, ia64 or arm64",
                          VLX_MEMBER(nativeArchitecture)),
      NamedField<Machine>("arch.process", kArchitectures, "x86, x64, ia64 or arm64",
                          VLX_MEMBER(processArchitecture)),
      YesNoField<Machine>("wow64", VLX_MEMBER(wow64)),
      YesNoField<Machine>("api.GetNativeSystemInfo", VLX_MEMBER(hasGetNativeSystemInfo)),
      YesNoField<Machine>("api.IsWow64Process", VLX_MEMBER(hasIsWow64Process)),
      ListField<Machine>("api.missing", VLX_MEMBER(missingExports)),
      YesNoField<Machine>("api.GetProcessImageFileNameW", VLX_MEMBER(hasGetProcessImageFileNameW)),
      YesNoField<Machine>("api.GetModuleFileNameExW", VLX_MEMBER(hasGetModuleFileNameExW)),
      YesNoField<Machine>("api.QueryWorkingSet", VLX_MEMBER(hasQueryWorkingSet)),
      NumberField<Machine>("serverR2", VLX_MEMBER(serverR2)),
      {"screen", "WIDTHxHEIGHT",
       [](const std::string& v, Machine& m) {
         int w = 0, h = 0;
         char tail = 0;
         if (std::sscanf(v.c_str(), "%dx%d%c", &w, &h, &tail) != 2) return false;
         m.screenWidth = w;
         m.screenHeight = h;
         return true;
       },
       [](const Machine& m) -> std::optional<std::string> {
         return std::to_string(m.screenWidth) + "x" + std::to_string(m.screenHeight);
       }},
      NumberField<Machine>("processors", VLX_MEMBER(numberOfProcessors)),
      NumberField<Machine>("codePage", VLX_MEMBER(ansiCodePage)),
      HexField<Machine>("language", VLX_MEMBER(systemDefaultLangId), 4),
      TextField<Machine>("decimalSeparator", VLX_MEMBER(decimalSeparator)),
      TextField<Machine>("user", VLX_MEMBER(userName)),
      TextField<Machine>("exe", VLX_MEMBER(exePath)),
      TextField<Machine>("systemDir", VLX_MEMBER(systemDir)),
      TextField<Machine>("currentDirectory", VLX_MEMBER(currentDirectory)),
      NumberField<Machine>("selfPid", VLX_MEMBER(selfPid)),
      NumberField<Machine>("nextPid", VLX_MEMBER(nextPid)),
      YesNoField<Machine>("elevated", VLX_MEMBER(elevated)),
      NamedField<Machine>("elevationType", kElevationTypes, "default, full or limited",
                          VLX_MEMBER(elevationType), Omit::AtDefault),
      NumberField<Machine>("session", VLX_MEMBER(session), Omit::AtDefault),
      ListField<Machine>("privileges", VLX_MEMBER(enabledPrivileges)),
      {"clock", "manual or real",
       [](const std::string& v, Machine& m) {
         m.manualClock = v == "manual";
         return v == "manual" || v == "real";
       },
       [](const Machine& m) -> std::optional<std::string> {
         return m.manualClock ? "manual" : "real";
       }},
      NumberField<Machine>("tick", VLX_MEMBER(tickMs)),
      {"localTime", "yyyy-mm-dd hh:nn:ss.zzz",
       [](const std::string& v, Machine& m) { return ParseLocalTime(v, m.localTime); },
       [](const Machine& m) -> std::optional<std::string> { return FormatLocalTime(m.localTime); }},
  };
  return *fields;
}

bool ParseMachine(const Section& sec, Machine& m, std::string& error) {
  if (!sec.arg.empty()) {
    error = At(sec.line, "[machine] takes no argument");
    return false;
  }
  return ReadFields(MachineFields(), sec, m, error,
                    [&m](const Entry& e, const std::string& v, std::string&) {
                      m.extra.emplace_back(e.name, v);
                      return true;
                    });
}

void WriteMachine(const Machine& m, std::string& out) {
  out += "[machine]\n";
  WriteFields(MachineFields(), m, out);
  for (const auto& [name, value] : m.extra)
    Line(out, name, ValueText(value));
}

// ---------------------------------------------------------------- [env] [folders] [drives]

bool ParseEnv(const Section& sec, Machine& m, std::string& error) {
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    m.environment[e.name] = v;
  }
  return true;
}

void WriteEnv(const Machine& m, std::string& out) {
  out += "\n[env]\n";
  for (const auto& [name, value] : m.environment)
    Line(out, name, ValueText(value));
}

bool ParseFolders(const Section& sec, Machine& m, std::string& error) {
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    uint32_t csidl = 0;
    if (!FromName(kFolderNames, e.name, csidl) || csidl > 0xFF) {
      error = At(e.line, "unknown special folder '" + e.name + "'");
      return false;
    }
    m.specialFolders[static_cast<int>(csidl)] = v;
  }
  return true;
}

void WriteFolders(const Machine& m, std::string& out) {
  out += "\n[folders]\n";
  for (const auto& [csidl, path] : m.specialFolders) {
    Line(out, ToName(kFolderNames, static_cast<uint32_t>(csidl)), ValueText(path));
  }
}

bool ParseDrives(const Section& sec, Machine& m, std::string& error) {
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    std::string letter = txt::UpperCase(e.name);
    const bool device = letter.size() == 8 && letter.compare(1, 7, ".DEVICE") == 0;
    if (device) letter.resize(1);
    if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'Z') {
      error = At(e.line, "a drive is one letter, not '" + e.name + "'");
      return false;
    }
    (device ? m.driveDevices : m.drives)[letter[0]] = v;
  }
  return true;
}

void WriteDrives(const Machine& m, std::string& out) {
  out += "\n[drives]\n";
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const auto folder = m.drives.find(letter);
    if (folder != m.drives.end()) Line(out, std::string(1, letter), ValueText(folder->second));
    const auto device = m.driveDevices.find(letter);
    if (device != m.driveDevices.end())
      Line(out, std::string(1, letter) + ".device", ValueText(device->second));
  }
}

// ---------------------------------------------------------------- [reg KEY]

const struct {
  const char* shortName;
  const char* longName;
  plat::RegKey key;
} kRoots[] = {{"HKCR", "HKEY_CLASSES_ROOT", plat::kHKEY_CLASSES_ROOT},
              {"HKCU", "HKEY_CURRENT_USER", plat::kHKEY_CURRENT_USER},
              {"HKLM", "HKEY_LOCAL_MACHINE", plat::kHKEY_LOCAL_MACHINE},
              {"HKU", "HKEY_USERS", plat::kHKEY_USERS},
              {"HKCC", "HKEY_CURRENT_CONFIG", 0x80000005u}};

std::string RootName(plat::RegKey key) {
  for (const auto& r : kRoots) {
    if (r.key == key) return r.shortName;
  }
  return Hex(key, 8);
}

// Whether data is UTF-16LE text with one terminator and no other NUL.
bool IsPlainString(const std::string& data, std::u16string& text) {
  if (data.size() < 2 || data.size() % 2) return false;
  text.assign(data.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(static_cast<unsigned char>(data[2 * i]) |
                                    (static_cast<unsigned char>(data[2 * i + 1]) << 8));
  }
  if (text.back() != u'\0') return false;
  text.pop_back();
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == 0) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

std::string StringData(const std::string& utf8) {
  return txt::Utf8ToUtf16LeBytes(utf8) + std::string(2, '\0');
}

std::string MultiData(const std::vector<std::string>& items) {
  std::string data;
  for (const std::string& item : items)
    data += StringData(item);
  return data + std::string(2, '\0');
}

bool IsPlainMulti(const std::string& data, std::vector<std::string>& items) {
  std::u16string text;
  if (!IsPlainString(data, text) && data != std::string(2, '\0')) {
    // A multi-string ends in two NULs: the last item's and the list's.
    if (data.size() < 4 || data.size() % 2 ||
        data.compare(data.size() - 4, 4, std::string(4, '\0'))) {
      return false;
    }
  }
  items.clear();
  std::string current;
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    if (data[i] == 0 && data[i + 1] == 0) {
      if (current.empty()) break;
      items.push_back(txt::Utf16LeBytesToUtf8(current));
      current.clear();
    } else {
      current += data.substr(i, 2);
    }
  }
  return MultiData(items) == data;
}

std::string HexBytes(const std::string& data) {
  std::string out;
  char buf[4];
  for (size_t i = 0; i < data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(data[i]));
    if (i) out += ",";
    out += buf;
  }
  return out;
}

bool ParseHexBytes(const std::string& text, std::string& data) {
  data.clear();
  for (const std::string& item : SplitList(text, ',')) {
    if (item.size() != 2 || HexValue(item[0]) < 0 || HexValue(item[1]) < 0) return false;
    data += static_cast<char>(HexValue(item[0]) * 16 + HexValue(item[1]));
  }
  return true;
}

std::string RegValueText(const RegValue& v) {
  std::u16string text;
  std::vector<std::string> items;
  char buf[16];
  switch (v.type) {
    case plat::kREG_SZ:
    case plat::kREG_EXPAND_SZ:
      if (IsPlainString(v.data, text)) {
        return (v.type == plat::kREG_SZ ? "sz:" : "expand:") + ValueText(txt::Utf16ToUtf8(text));
      }
      break;
    case plat::kREG_DWORD:
      if (v.data.size() == 4) {
        uint32_t n = 0;
        std::memcpy(&n, v.data.data(), 4);
        return "dword:" + std::to_string(n);
      }
      break;
    case plat::kREG_QWORD:
      if (v.data.size() == 8) {
        uint64_t n = 0;
        std::memcpy(&n, v.data.data(), 8);
        return "qword:" + std::to_string(n);
      }
      break;
    case plat::kREG_MULTI_SZ:
      if (IsPlainMulti(v.data, items)) {
        std::string out = "multi:";
        for (size_t i = 0; i < items.size(); ++i)
          out += (i ? ", " : "") + Quote(items[i]);
        return out;
      }
      break;
    case plat::kREG_BINARY:
      return "hex:" + HexBytes(v.data);
  }
  std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
  return buf + HexBytes(v.data);
}

bool ParseRegValue(const Entry& e, RegValue& v, std::string& error) {
  const size_t colon = e.raw.find(':');
  const auto bad = [&](const std::string& what) {
    error = At(e.line, what);
    return false;
  };
  if (colon == std::string::npos)
    return bad(
        "registry values are 'type:data' (sz:, expand:, dword:, qword:, multi:, hex:, hex(N):)");
  const std::string type = e.raw.substr(0, colon);
  const std::string rest = txt::Trim(e.raw.substr(colon + 1));
  std::string text;
  uint64_t n = 0;
  if (type == "sz" || type == "expand") {
    if (!Unquote(rest, text, error)) return bad(error);
    v.type = type == "sz" ? plat::kREG_SZ : plat::kREG_EXPAND_SZ;
    v.data = StringData(text);
  } else if (type == "dword") {
    if (!ParseNumber(rest, n) || n > UINT32_MAX) return bad("dword: needs a 32-bit number");
    const uint32_t d = static_cast<uint32_t>(n);
    v.type = plat::kREG_DWORD;
    v.data.assign(reinterpret_cast<const char*>(&d), 4);
  } else if (type == "qword") {
    if (!ParseNumber(rest, n)) return bad("qword: needs a 64-bit number");
    v.type = plat::kREG_QWORD;
    v.data.assign(reinterpret_cast<const char*>(&n), 8);
  } else if (type == "multi") {
    std::vector<std::string> items;
    size_t i = 0;
    while (i < rest.size()) {
      if (rest[i] == ',' || IsBlank(rest[i])) {
        ++i;
        continue;
      }
      if (rest[i] != '"') return bad("multi: items are quoted strings separated by commas");
      std::string item;
      if (!ReadQuoted(rest, i, item, error)) return bad(error);
      items.push_back(item);
    }
    v.type = plat::kREG_MULTI_SZ;
    v.data = MultiData(items);
  } else if (type == "hex" || (type.rfind("hex(", 0) == 0 && type.back() == ')')) {
    v.type = plat::kREG_BINARY;
    if (type != "hex") {
      uint64_t t = 0;
      if (!ParseNumber("0x" + type.substr(4, type.size() - 5), t) || t > UINT32_MAX) {
        return bad("hex(N): needs a hexadecimal type number");
      }
      v.type = static_cast<uint32_t>(t);
    }
    if (!ParseHexBytes(rest, v.data)) return bad("hex data is two-digit bytes separated by commas");
  } else {
    return bad("unknown value type '" + type + "'");
  }
  return true;
}

}  // namespace

bool SplitSubKey(const std::string& subKey, std::vector<std::string>& names) {
  names.clear();
  if (subKey.empty()) return true;
  if (subKey[0] == '\\') return false;
  std::string rest = subKey;
  if (rest.back() == '\\') rest.pop_back();
  size_t start = 0;
  for (;;) {
    const size_t pos = rest.find('\\', start);
    const std::string name = rest.substr(start, pos == std::string::npos ? pos : pos - start);
    if (name.empty()) return false;
    names.push_back(name);
    if (pos == std::string::npos) return true;
    start = pos + 1;
  }
}

// Splits "HKLM\A\B" into its root and names; false for an unknown root or empty names.
bool SplitRegistryPath(const std::string& path, plat::RegKey& root,
                       std::vector<std::string>& names) {
  names.clear();
  const size_t slash = path.find('\\');
  const std::string rootName = path.substr(0, slash);
  bool found = false;
  for (const auto& r : kRoots) {
    if (txt::SameText(rootName, r.shortName) || txt::SameText(rootName, r.longName)) {
      root = r.key;
      found = true;
    }
  }
  return found && SplitSubKey(slash == std::string::npos ? "" : path.substr(slash + 1), names);
}

RegKeyNode& RegistryRoot(Machine& m, plat::RegKey root) {
  std::unique_ptr<RegKeyNode>& node = m.registry[root];
  if (!node) {
    node = std::make_unique<RegKeyNode>();
    node->name = RootName(root);
  }
  return *node;
}

RegKeyNode& CreateRegistryPath(Machine& m, plat::RegKey root,
                               const std::vector<std::string>& names) {
  RegKeyNode* node = &RegistryRoot(m, root);
  for (const std::string& name : names) {
    std::unique_ptr<RegKeyNode>& child = node->subkeys[name];
    if (!child) {
      child = std::make_unique<RegKeyNode>();
      child->name = name;
    }
    node = child.get();
  }
  return *node;
}

void SetRegistryValue(RegKeyNode& key, const RegValue& value) {
  for (RegValue& v : key.values) {
    if (txt::SameText(v.name, value.name)) {
      v.type = value.type;
      v.data = value.data;
      return;
    }
  }
  key.values.push_back(value);
}

namespace {

bool ParseReg(const Section& sec, Machine& m, std::string& error) {
  plat::RegKey root = 0;
  std::vector<std::string> names;
  if (!SplitRegistryPath(sec.arg, root, names)) {
    error = At(sec.line,
               "'" + sec.arg + "' is not a registry key (HKLM\\..., HKCU\\..., HKCR, HKU, HKCC)");
    return false;
  }
  RegKeyNode& key = CreateRegistryPath(m, root, names);
  for (const Entry& e : sec.entries) {
    if (!e.nameQuoted && e.name == "!access") {
      if (!Number(e, e.raw, key.allowedAccess, error)) return false;
      continue;
    }
    if (!e.nameQuoted && !e.name.empty() && e.name[0] == '!') {
      error = At(e.line, "unknown directive '" + e.name + "'");
      return false;
    }
    RegValue v;
    v.name = (!e.nameQuoted && e.name == "@") ? std::string() : e.name;
    if (!ParseRegValue(e, v, error)) return false;
    SetRegistryValue(key, v);
  }
  return true;
}

void WriteKey(const RegKeyNode& node, const std::string& path, bool isRoot, std::string& out) {
  if (!node.values.empty() || node.allowedAccess != plat::kKEY_ALL_ACCESS ||
      (node.subkeys.empty() && !isRoot)) {
    out += "\n[reg " + ValueText(path) + "]\n";
    if (node.allowedAccess != plat::kKEY_ALL_ACCESS)
      out += "!access = " + Hex(node.allowedAccess, 5) + "\n";
    for (const RegValue& v : node.values) {
      LineRaw(out, v.name.empty() ? "@" : NameText(v.name), RegValueText(v));
    }
  }
  for (const auto& [name, child] : node.subkeys)
    WriteKey(*child, path + "\\" + child->name, false, out);
}

void WriteReg(const Machine& m, std::string& out) {
  for (const auto& [root, node] : m.registry) {
    if (node) WriteKey(*node, RootName(root), true, out);
  }
}

// ---------------------------------------------------------------- [file PATH]

std::string VersionText(const uint16_t v[4]) {
  return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
         std::to_string(v[3]);
}

bool ParseVersionNumbers(const std::string& text, uint16_t v[4]) {
  std::vector<uint32_t> n;
  if (!DottedNumbers(text, 1, 4, 0xFFFF, n)) return false;
  for (size_t i = 0; i < 4; ++i)
    v[i] = static_cast<uint16_t>(i < n.size() ? n[i] : 0);
  return true;
}

bool IsTableKey(const std::string& s) {
  if (s.size() != 8) return false;
  for (const char c : s) {
    if (HexValue(c) < 0) return false;
  }
  return true;
}

// The version resource's keys; its strings are "version.string.LLLLCCCC.Name".
const Fields<VersionResource>& VersionFields() {
  static const auto* fields = new Fields<VersionResource>{
      {"version.file", "a.b.c.d",
       [](const std::string& v, VersionResource& r) {
         return ParseVersionNumbers(v, r.fileVersion);
       },
       [](const VersionResource& r) -> std::optional<std::string> {
         return VersionText(r.fileVersion);
       }},
      {"version.product", "a.b.c.d",
       [](const std::string& v, VersionResource& r) {
         return ParseVersionNumbers(v, r.productVersion);
       },
       [](const VersionResource& r) -> std::optional<std::string> {
         return VersionText(r.productVersion);
       }},
      HexField<VersionResource>("version.flagsMask", VLX_MEMBER(fileFlagsMask), 2, Omit::AtDefault),
      HexField<VersionResource>("version.flags", VLX_MEMBER(fileFlags), 2, Omit::AtDefault),
      HexField<VersionResource>("version.os", VLX_MEMBER(fileOS), 5, Omit::AtDefault),
      NumberField<VersionResource>("version.type", VLX_MEMBER(fileType), Omit::AtDefault),
      NumberField<VersionResource>("version.subtype", VLX_MEMBER(fileSubtype), Omit::AtDefault),
      {"version.translations", "LLLLCCCC items (040904B0)",
       [](const std::string& v, VersionResource& r) {
         r.translations.clear();
         for (const std::string& item : SplitList(v, ',')) {
           uint64_t n = 0;
           if (!IsTableKey(item) || !ParseNumber("0x" + item, n)) return false;
           r.translations.emplace_back(static_cast<uint16_t>(n >> 16),
                                       static_cast<uint16_t>(n & 0xFFFF));
         }
         return true;
       },
       [](const VersionResource& r) -> std::optional<std::string> {
         if (r.translations.empty()) return std::nullopt;
         std::string list;
         char buf[16];
         for (const auto& [lang, cp] : r.translations) {
           std::snprintf(buf, sizeof buf, "%04X%04X", lang, cp);
           list += (list.empty() ? "" : ", ") + std::string(buf);
         }
         return list;
       }},
  };
  return *fields;
}

bool ParseVersionString(const Entry& e, const std::string& v, VersionResource& ver,
                        std::string& error) {
  const std::string rest = e.name.rfind("version.string.", 0) == 0 ? e.name.substr(15) : "";
  const size_t dot = rest.find('.');
  const std::string table = rest.substr(0, dot);
  if (dot == std::string::npos || !IsTableKey(table) || dot + 1 >= rest.size()) {
    error = At(e.line, e.name.rfind("version.string.", 0) == 0
                           ? "string entries are version.string.LLLLCCCC.Name"
                           : "unknown file entry '" + e.name + "'");
    return false;
  }
  auto it = ver.stringTables.begin();
  while (it != ver.stringTables.end() && it->first != table)
    ++it;
  if (it == ver.stringTables.end()) {
    ver.stringTables.emplace_back(table, std::vector<std::pair<std::string, std::string>>{});
    it = std::prev(ver.stringTables.end());
  }
  it->second.emplace_back(rest.substr(dot + 1), v);
  return true;
}

bool ParseFile(const Section& sec, Machine& m, std::string& error) {
  if (sec.arg.empty()) {
    error = At(sec.line, "[file] needs a Windows path");
    return false;
  }
  std::string path = sec.arg;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  if (path.size() < 3 || path[1] != ':' || path[2] != '\\') {
    error = At(sec.line, "[file] needs a full Windows path (C:\\...), not '" + sec.arg + "'");
    return false;
  }
  FileMeta& meta = m.files[path];
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    if (e.name == "attributes") {
      uint32_t a = 0;
      if (!ParseAttributes(v, a)) {
        error = At(e.line,
                   "'attributes' needs attribute names (readonly, hidden, ...) or a "
                   "number, not '" +
                       v + "'");
        return false;
      }
      meta.attributes = a;
      continue;
    }
    if (!meta.version) meta.version.emplace();
    const Field<VersionResource>* f = FindField(VersionFields(), e.name);
    if (f ? !ReadField(*f, e, v, *meta.version, error)
          : !ParseVersionString(e, v, *meta.version, error))
      return false;
  }
  return true;
}

void WriteFile(const Machine& m, std::string& out) {
  for (const auto& [path, meta] : m.files) {
    // An entry without metadata still asks seeding for the file: it is kept.
    out += "\n[file " + ValueText(path) + "]\n";
    if (meta.attributes) Line(out, "attributes", AttributesText(*meta.attributes));
    if (!meta.version) continue;
    WriteFields(VersionFields(), *meta.version, out);
    for (const auto& [table, strings] : meta.version->stringTables) {
      for (const auto& [name, value] : strings)
        Line(out, "version.string." + table + "." + name, ValueText(value));
    }
  }
}

// ---------------------------------------------------------------- [process PID]

const Fields<Process>& ProcessFields() {
  constexpr Omit kOmit = Omit::AtDefault;
  static const auto* fields = new Fields<Process>{
      TextField<Process>("name", VLX_MEMBER(exeFile)),
      TextField<Process>("path", VLX_MEMBER(imagePath), kOmit),
      NumberField<Process>("parent", VLX_MEMBER(parentPid)),
      TextField<Process>("user", VLX_MEMBER(owner)),
      NumberField<Process>("threads", VLX_MEMBER(threads)),
      NumberField<Process>("priority", VLX_MEMBER(basePriority)),
      YesNoField<Process>("canOpen", VLX_MEMBER(canOpen), kOmit),
      YesNoField<Process>("canTerminate", VLX_MEMBER(canTerminate), kOmit),
      TextField<Process>("commandLine", VLX_MEMBER(commandLine), kOmit),
      NamedField<Process>("priorityClass", kPriorityClasses,
                          "idle, below, normal, above, high, realtime or a number",
                          VLX_MEMBER(priorityClass), kOmit),
      NamedField<Process>("access", kAccessNames, "all, query, limited, none or a number",
                          VLX_MEMBER(access), kOmit, 4),
      YesNoField<Process>("token", VLX_MEMBER(tokenReadable), kOmit),
      NamedField<Process>("elevationType", kElevationTypes, "default, full or limited",
                          VLX_MEMBER(elevationType), kOmit),
      YesNoField<Process>("elevated", VLX_MEMBER(elevated), kOmit),
      NumberField<Process>("session", VLX_MEMBER(session), kOmit),
      NumberField<Process>("created", VLX_MEMBER(created), kOmit),
      NumberField<Process>("wsPrivate", VLX_MEMBER(wsPrivate), kOmit),
      NumberField<Process>("wsShared", VLX_MEMBER(wsShared), kOmit),
      NumberField<Process>("wsSharedHigh", VLX_MEMBER(wsSharedHigh), kOmit),
      TextField<Process>("devicePath", VLX_MEMBER(devicePath), kOmit),
      TextField<Process>("currentDirectory", VLX_MEMBER(currentDirectory), kOmit),
      NumberField<Process>("show", VLX_MEMBER(show), kOmit),
  };
  return *fields;
}

bool ParseProcess(const Section& sec, Machine& m, std::string& error) {
  uint64_t pid = 0;
  if (!ParseNumber(sec.arg, pid) || pid > UINT32_MAX) {
    error = At(sec.line, "[process] needs a process id, not '" + sec.arg + "'");
    return false;
  }
  for (const Process& p : m.processes) {
    if (p.pid == pid) {
      error = At(sec.line, "process " + sec.arg + " is listed twice");
      return false;
    }
  }
  Process p;
  p.pid = static_cast<uint32_t>(pid);
  if (!ReadFields(ProcessFields(), sec, p, error,
                  [&p](const Entry& e, const std::string& v, std::string&) {
                    p.extra[e.name] = v;
                    return true;
                  }))
    return false;
  m.processes.push_back(std::move(p));
  return true;
}

void WriteProcess(const Machine& m, std::string& out) {
  for (const Process& p : m.processes) {
    out += "\n[process " + std::to_string(p.pid) + "]\n";
    WriteFields(ProcessFields(), p, out);
    for (const auto& [name, value] : p.extra)
      Line(out, name, ValueText(value));
  }
}

// ---------------------------------------------------------------- [library PATH]
// Stand-in libraries: "EXPORT = KIND" or "EXPORT = KIND -> RESULT, ..."; a quoted
// result, last, is the export's text.

bool ParseExport(const std::string& text, LibraryExport& x) {
  const size_t arrow = text.find("->");
  x.kind = txt::Trim(text.substr(0, arrow));
  x.results.clear();
  x.text.clear();
  if (!IsExportKind(x.kind)) return false;
  if (arrow == std::string::npos) return true;
  const std::string rest = text.substr(arrow + 2);
  const size_t quote = rest.find('"');
  std::string why;
  if (quote != std::string::npos && !Unquote(txt::Trim(rest.substr(quote)), x.text, why))
    return false;
  for (const std::string& item : SplitList(rest.substr(0, quote), ',')) {
    int64_t n = 0;
    if (!ParseSigned(item, n)) return false;
    x.results.push_back(n);
  }
  return true;
}

std::string ExportText(const LibraryExport& x) {
  std::string text = x.kind;
  for (size_t i = 0; i < x.results.size(); ++i)
    text += (i ? ", " : " -> ") + std::to_string(x.results[i]);
  if (!x.text.empty()) text += (x.results.empty() ? " -> " : ", ") + Quote(x.text);
  return text;
}

bool ParseLibrary(const Section& sec, Machine& m, std::string& error) {
  if (sec.arg.size() < 3 || sec.arg[1] != ':' || sec.arg[2] != '\\') {
    error = At(sec.line, "[library] needs a full Windows path (C:\\...), not '" + sec.arg + "'");
    return false;
  }
  std::map<std::string, LibraryExport>& exports = m.libraries[sec.arg];
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    if (!ParseExport(v, exports[e.name])) {
      error = At(e.line, "'" + e.name + "' needs KIND or KIND -> RESULT, ... (kinds: " +
                             ExportKindNames() + "), not '" + v + "'");
      return false;
    }
  }
  return true;
}

void WriteLibrary(const Machine& m, std::string& out) {
  for (const auto& [path, exports] : m.libraries) {
    out += "\n[library " + ValueText(path) + "]\n";
    for (const auto& [name, x] : exports)
      Line(out, name, ExportText(x));
  }
}

// ---------------------------------------------------------------- the desktop
// [desktop]: facts of the screen and the answers the machine gives the program.

const Fields<Machine>& DesktopFields() {
  constexpr Omit kOmit = Omit::AtDefault;
  static const auto* fields = new Fields<Machine>{
      NumberField<Machine>("messageBoxAnswer", VLX_MEMBER(messageBoxAnswer), kOmit),
      {"exitCode", "a number",
       [](const std::string& v, Machine& m) {
         uint32_t code = 0;
         if (!ParseInto(v, code)) return false;
         m.exitCode = code;
         return true;
       },
       [](const Machine& m) -> std::optional<std::string> {
         if (!m.exitCode) return std::nullopt;
         return std::to_string(*m.exitCode);
       }},
      NumberField<Machine>("endAtChange", VLX_MEMBER(endAtChange), kOmit),
      NumberField<Machine>("foregroundLockTimeout", VLX_MEMBER(foregroundLockTimeout), kOmit),
      YesNoField<Machine>("foregroundLock", VLX_MEMBER(foregroundLock), kOmit),
      NumberField<Machine>("logPixelsY", VLX_MEMBER(logPixelsY), kOmit),
      NumberField<Machine>("taskbarHeight", VLX_MEMBER(taskbarHeight), kOmit),
      YesNoField<Machine>("dpiFunctions", VLX_MEMBER(hasDpiFunctions), kOmit),
  };
  return *fields;
}

bool ParseDesktop(const Section& sec, Machine& m, std::string& error) {
  return ReadFields(DesktopFields(), sec, m, error);
}

void WriteDesktop(const Machine& m, std::string& out) {
  std::string lines;
  WriteFields(DesktopFields(), m, lines);
  if (!lines.empty()) out += "\n[desktop]\n" + lines;
}

// ---------------------------------------------------------------- records
// [window CLASS]: a window of another program. [message N], [shell N],
// [messagebox N], [call N]: what the program did, in order (N counts from 1 and is
// only written for the reader).

const Fields<MachineWindow>& WindowFields() {
  static const auto* fields = new Fields<MachineWindow>{
      TextField<MachineWindow>("caption", VLX_MEMBER(caption)),
      YesNoField<MachineWindow>("present", VLX_MEMBER(present)),
  };
  return *fields;
}

// [window CLASS]: the fields above, then the window's state (owner, visibility,
// rectangle, parent), kept by SimTweaksFile.cpp.
bool ParseWindow(const Section& sec, Machine& m, std::string& error) {
  MachineWindow w;
  w.className = sec.arg;
  const auto state = [&w](const Entry& e, const std::string& v, std::string& err) {
    if (!ParseWindowKey(FileEntry{e.name, v}, w, err)) {
      err = At(e.line, "[window] has no '" + e.name + "'");
      return false;
    }
    if (!err.empty()) return err = At(e.line, err), false;
    return true;
  };
  if (!ReadFields(WindowFields(), sec, w, error, state)) return false;
  m.windows.push_back(std::move(w));
  return true;
}

void WriteWindow(const Machine& m, std::string& out) {
  for (const MachineWindow& w : m.windows) {
    out += "\n[window " + ValueText(w.className) + "]\n";
    WriteFields(WindowFields(), w, out);
    for (const FileEntry& e : WindowKeys(w))
      Line(out, e.name, ValueText(e.value));
  }
}

// [memory], [clipboard], [random]: kept by SimTweaksFile.cpp; the first writes all three.
bool ParseTweaks(const Section& sec, Machine& m, std::string& error) {
  std::vector<FileEntry> entries;
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    entries.push_back(FileEntry{e.name, v});
  }
  if (ParseTweakSection(sec.kind, entries, m, error)) return true;
  error = At(sec.line, error);
  return false;
}

void WriteTweaks(const Machine& m, std::string& out) {
  for (const auto& [kind, entries] : TweakSections(m)) {
    out += "\n[" + kind + "]\n";
    for (const FileEntry& e : entries)
      Line(out, e.name, ValueText(e.value));
  }
}

void WrittenWithMemory(const Machine&, std::string&) {}

const Fields<LoggedMessage>& MessageFields() {
  static const auto* fields = new Fields<LoggedMessage>{
      TextField<LoggedMessage>("window", VLX_MEMBER(className)),
      HexField<LoggedMessage>("message", VLX_MEMBER(message), 4),
      NumberField<LoggedMessage>("wParam", VLX_MEMBER(wParam)),
      NumberField<LoggedMessage>("lParam", VLX_MEMBER(lParam)),
      {"how", "sent or posted",
       [](const std::string& v, LoggedMessage& msg) {
         msg.sent = v == "sent";
         return v == "sent" || v == "posted";
       },
       [](const LoggedMessage& msg) -> std::optional<std::string> {
         return msg.sent ? "sent" : "posted";
       }},
      NumberField<LoggedMessage>("tick", VLX_MEMBER(tick)),
  };
  return *fields;
}

const Fields<ShellCall>& ShellFields() {
  static const auto* fields = new Fields<ShellCall>{
      TextField<ShellCall>("verb", VLX_MEMBER(verb)),
      TextField<ShellCall>("file", VLX_MEMBER(file)),
      TextField<ShellCall>("parameters", VLX_MEMBER(parameters)),
      TextField<ShellCall>("folder", VLX_MEMBER(directory)),
      NumberField<ShellCall>("show", VLX_MEMBER(show)),
  };
  return *fields;
}

const Fields<MessageBoxCall>& MessageBoxFields() {
  static const auto* fields = new Fields<MessageBoxCall>{
      TextField<MessageBoxCall>("text", VLX_MEMBER(text)),
      TextField<MessageBoxCall>("caption", VLX_MEMBER(caption)),
      HexField<MessageBoxCall>("type", VLX_MEMBER(type), 2),
  };
  return *fields;
}

const Fields<LibraryCall>& CallFields() {
  static const auto* fields = new Fields<LibraryCall>{
      TextField<LibraryCall>("library", VLX_MEMBER(library)),
      TextField<LibraryCall>("function", VLX_MEMBER(function)),
      {"arguments", "quoted texts separated by commas",
       [](const std::string& v, LibraryCall& c) {
         c.arguments.clear();
         std::string why;
         for (size_t i = 0; i < v.size();) {
           if (v[i] == ',' || IsBlank(v[i])) {
             ++i;
           } else if (v[i] != '"' || !ReadQuoted(v, i, c.arguments.emplace_back(), why)) {
             return false;
           }
         }
         return true;
       },
       [](const LibraryCall& c) -> std::optional<std::string> {
         std::string list;
         for (size_t i = 0; i < c.arguments.size(); ++i)
           list += (i ? ", " : "") + Quote(c.arguments[i]);
         return list;
       },
       true},
      NumberField<LibraryCall>("result", VLX_MEMBER(result)),
  };
  return *fields;
}

// ---------------------------------------------------------------- [service NAME]

const Named kServiceStates[] = {{"stopped", 1}, {"start-pending", 2},    {"stop-pending", 3},
                                {"running", 4}, {"continue-pending", 5}, {"pause-pending", 6},
                                {"paused", 7}};
const Named kServiceTypes[] = {
    {"own", 0x10}, {"share", 0x20}, {"driver", 0x01}, {"filesystem", 0x02}};
const Named kServiceStarts[] = {
    {"boot", 0}, {"system", 1}, {"auto", 2}, {"demand", 3}, {"disabled", 4}};

std::string StopText(const Service& s) {
  switch (s.stop) {
    case StopBehaviour::After:
      return "after " + std::to_string(s.stopDelayMs);
    case StopBehaviour::Refuse:
      return "refuse " + std::to_string(s.refuseError);
    case StopBehaviour::Never:
      return "never";
    default:
      return "now";
  }
}

bool ParseStop(const std::string& v, Service& s) {
  const std::vector<std::string> w = SplitList(v, ' ');
  uint64_t n = 0;
  const bool hasNumber = w.size() == 2 && ParseNumber(w[1], n) && n <= UINT32_MAX;
  if (v == "now" || v == "never") {
    s.stop = v == "now" ? StopBehaviour::Now : StopBehaviour::Never;
  } else if (hasNumber && (w[0] == "after" || w[0] == "refuse")) {
    s.stop = w[0] == "after" ? StopBehaviour::After : StopBehaviour::Refuse;
    (w[0] == "after" ? s.stopDelayMs : s.refuseError) = static_cast<uint32_t>(n);
  } else {
    return false;
  }
  return true;
}

const Fields<Service>& ServiceFields() {
  static const auto* fields = new Fields<Service>{
      TextField<Service>("display", VLX_MEMBER(displayName)),
      TextField<Service>("description", VLX_MEMBER(description), Omit::AtDefault),
      TextField<Service>("path", VLX_MEMBER(binaryPath)),
      NamedField<Service>("type", kServiceTypes, "own, share, driver, filesystem or a number",
                          VLX_MEMBER(type)),
      NamedField<Service>("start", kServiceStarts, "boot, system, auto, demand or disabled",
                          VLX_MEMBER(startType)),
      TextField<Service>("account", VLX_MEMBER(startName), Omit::AtDefault),
      NamedField<Service>("state", kServiceStates, "a service state", VLX_MEMBER(state)),
      NumberField<Service>("checkPoint", VLX_MEMBER(checkPoint), Omit::AtDefault),
      NumberField<Service>("waitHint", VLX_MEMBER(waitHint), Omit::AtDefault),
      {"pending", "SINCE-DUE in machine ticks",
       [](const std::string& v, Service& s) {
         const size_t dash = v.find('-');
         return dash != std::string::npos && ParseNumber(v.substr(0, dash), s.pendingSince) &&
                ParseNumber(v.substr(dash + 1), s.due);
       },
       [](const Service& s) -> std::optional<std::string> {
         if (!s.due) return std::nullopt;
         return std::to_string(s.pendingSince) + "-" + std::to_string(s.due);
       }},
      {"dependsOn", "a list",
       [](const std::string& v, Service& s) {
         s.dependsOn = SplitList(v, ',');
         return true;
       },
       [](const Service& s) -> std::optional<std::string> {
         if (s.dependsOn.empty()) return std::nullopt;
         std::string list;
         for (const std::string& d : s.dependsOn)
           list += (list.empty() ? "" : ", ") + d;
         return list;
       }},
      {"stop", "now, after MS, refuse CODE or never", ParseStop,
       [](const Service& s) -> std::optional<std::string> { return StopText(s); }},
  };
  return *fields;
}

// [updateagent]: the automatic-updates object; written when not the defaults.
const Fields<MachineUpdateAgent>& UpdateAgentFields() {
  constexpr Omit kOmit = Omit::AtDefault;
  static const auto* fields = [] {
    auto* f = new Fields<MachineUpdateAgent>{
        YesNoField<MachineUpdateAgent>("serviceEnabled", VLX_MEMBER(serviceEnabled), kOmit),
        NumberField<MachineUpdateAgent>("level", VLX_MEMBER(level), kOmit),
        YesNoField<MachineUpdateAgent>("readOnly", VLX_MEMBER(readOnly), kOmit),
        YesNoField<MachineUpdateAgent>("required", VLX_MEMBER(required), kOmit),
        NumberField<MachineUpdateAgent>("saveDelay", VLX_MEMBER(saveDelay), kOmit),
        ListField<MachineUpdateAgent>("fail", VLX_MEMBER(fail)),
    };
    // An empty list of failing calls is left out.
    f->back().write = [list = f->back().write](const MachineUpdateAgent& a) {
      return a.fail.empty() ? std::nullopt : list(a);
    };
    return f;
  }();
  return *fields;
}

bool ParseUpdateAgent(const Section& sec, Machine& m, std::string& error) {
  return ReadFields(UpdateAgentFields(), sec, m.updateAgent, error);
}

void WriteUpdateAgent(const Machine& m, std::string& out) {
  if (m.updateAgent == MachineUpdateAgent{}) return;
  std::string lines;
  WriteFields(UpdateAgentFields(), m.updateAgent, lines);
  out += "\n[updateagent]\n" + lines;
}

#undef VLX_MEMBER

// [monitor N] and [ddcjournal]: read and written by SimMonitors.cpp.
bool ParseMonitors(const Section& sec, Machine& m, std::string& error) {
  std::vector<MonitorEntry> entries;
  for (const Entry& e : sec.entries) {
    entries.push_back(MonitorEntry{e.name, {}, e.line});
    if (!Value(e, entries.back().value, error)) return false;
  }
  return ParseMonitorSection(sec.kind, sec.arg, entries, m, error);
}

void WriteMonitors(const Machine& m, std::string& out) {
  WriteMonitorSections(m, out, ValueText);
}

// ---------------------------------------------------------------- the kinds of section

struct Kind {
  const char* name;
  std::function<bool(const Section&, Machine&, std::string&)> parse;
  std::function<void(const Machine&, std::string&)> write;
};

// A section that adds one record to a list of the machine. With a name member the
// section's argument is that field, else the record's number.
template <class T>
Kind RecordKind(const char* name, std::vector<T> Machine::*list, const Fields<T>& fields,
                std::string T::*argument = nullptr) {
  return {name,
          [list, &fields, argument](const Section& sec, Machine& m, std::string& error) {
            T record;
            if (argument) record.*argument = sec.arg;
            if (!ReadFields(fields, sec, record, error)) return false;
            (m.*list).push_back(std::move(record));
            return true;
          },
          [name, list, &fields, argument](const Machine& m, std::string& out) {
            size_t n = 0;
            for (const T& record : m.*list) {
              ++n;
              out += std::string("\n[") + name + " " +
                     (argument ? ValueText(record.*argument) : std::to_string(n)) + "]\n";
              WriteFields(fields, record, out);
            }
          }};
}

const std::vector<Kind>& Kinds() {
  static const auto* kinds = new std::vector<Kind>{
      {"machine", ParseMachine, WriteMachine},
      {"env", ParseEnv, WriteEnv},
      {"folders", ParseFolders, WriteFolders},
      {"drives", ParseDrives, WriteDrives},
      {"reg", ParseReg, WriteReg},
      {"file", ParseFile, WriteFile},
      {"process", ParseProcess, WriteProcess},
      // Services follow the processes that run them.
      RecordKind("service", &Machine::services, ServiceFields(), &Service::name),
      {"library", ParseLibrary, WriteLibrary},
      {"desktop", ParseDesktop, WriteDesktop},
      {"window", ParseWindow, WriteWindow},
      RecordKind("message", &Machine::messageLog, MessageFields()),
      RecordKind("shell", &Machine::shellCalls, ShellFields()),
      RecordKind("messagebox", &Machine::messageBoxes, MessageBoxFields()),
      RecordKind("call", &Machine::calls, CallFields()),
      {"memory", ParseTweaks, WriteTweaks},
      {"clipboard", ParseTweaks, WrittenWithMemory},
      {"random", ParseTweaks, WrittenWithMemory},
      {"updateagent", ParseUpdateAgent, WriteUpdateAgent},
      {"monitor", ParseMonitors, WriteMonitors},
      {"ddcjournal", ParseMonitors, [](const Machine&, std::string&) {}},
  };
  return *kinds;
}

const Kind* FindKind(const std::string& name) {
  for (const Kind& k : Kinds()) {
    if (name == k.name) return &k;
  }
  return nullptr;
}

}  // namespace

std::string DescribeServices(const Machine& machine) {
  std::string out;
  auto list = [&out](const char* what, const std::vector<std::string>& names) {
    if (names.empty()) return;
    out += std::string("    ") + what;
    for (size_t i = 0; i < names.size(); ++i)
      out += (i ? ", " : " ") + names[i];
    out += "\n";
  };
  for (const Service& s : machine.services) {
    out += s.name + "  \"" + s.displayName + "\"  " + ToName(kServiceStates, s.state) + ", " +
           ToName(kServiceStarts, s.startType) + ", stop " + StopText(s) + "\n    " + s.binaryPath +
           "\n";
    list("depends on", s.dependsOn);
    std::vector<std::string> dependents;
    for (const Service* d : DependentsOf(machine, s.name))
      dependents.push_back(d->name);
    list("dependents", dependents);
  }
  return out;
}

std::string Serialize(const Machine& machine) {
  std::string out =
      "# Simulated Windows machine (docs/sim-machine.md). Programs rewrite this file on every\n"
      "# change, so comments other than this header are not kept.\n";
  for (const Kind& k : Kinds())
    k.write(machine, out);
  for (const std::string& section : machine.unknownSections)
    out += "\n" + section;
  return out;
}

bool Parse(const std::string& text, Machine& machine, std::string& error) {
  std::vector<Section> sections;
  std::string* unknown = nullptr;  // body of an unknown section being copied
  int lineNo = 0;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string t = txt::Trim(line);
    if (!t.empty() && t[0] == '[') {
      const size_t close = t.rfind(']');
      if (close == std::string::npos || close == 0) {
        error = At(lineNo, "section header without ']'");
        return false;
      }
      const std::string inner = txt::Trim(t.substr(1, close - 1));
      const size_t blank = inner.find_first_of(" \t");
      Section sec;
      sec.kind = inner.substr(0, blank);
      sec.line = lineNo;
      std::string why;
      if (blank != std::string::npos && !Unquote(txt::Trim(inner.substr(blank)), sec.arg, why)) {
        error = At(lineNo, why);
        return false;
      }
      if (FindKind(sec.kind)) {
        sections.push_back(std::move(sec));
        unknown = nullptr;
      } else {
        machine.unknownSections.push_back(line + "\n");
        unknown = &machine.unknownSections.back();
      }
      continue;
    }
    if (unknown) {
      *unknown += line + "\n";
      continue;
    }
    if (t.empty() || t[0] == '#' || t[0] == ';') continue;
    if (sections.empty()) {
      error = At(lineNo, "'" + t + "' is outside any section");
      return false;
    }
    Entry e;
    e.line = lineNo;
    size_t eq = 0;
    if (t[0] == '"') {
      size_t i = 0;
      std::string why;
      if (!ReadQuoted(t, i, e.name, why)) {
        error = At(lineNo, why);
        return false;
      }
      while (i < t.size() && IsBlank(t[i]))
        ++i;
      if (i >= t.size() || t[i] != '=') {
        error = At(lineNo, "expected '=' after the quoted name");
        return false;
      }
      eq = i;
      e.nameQuoted = true;
    } else {
      eq = t.find('=');
      if (eq == std::string::npos) {
        error = At(lineNo, "expected 'name = value', not '" + t + "'");
        return false;
      }
      e.name = txt::Trim(t.substr(0, eq));
      if (e.name.empty()) {
        error = At(lineNo, "missing name before '='");
        return false;
      }
    }
    e.raw = txt::Trim(t.substr(eq + 1));
    sections.back().entries.push_back(std::move(e));
  }
  // Unknown sections lose trailing blank lines (the writer separates sections).
  for (std::string& s : machine.unknownSections) {
    std::vector<std::string> lines = txt::SplitLines(s);
    while (!lines.empty() && txt::Trim(lines.back()).empty())
      lines.pop_back();
    s.clear();
    for (const std::string& l : lines)
      s += l + "\n";
  }
  for (const Section& sec : sections) {
    if (!FindKind(sec.kind)->parse(sec, machine, error)) return false;
  }
  return true;
}

}  // namespace sim
