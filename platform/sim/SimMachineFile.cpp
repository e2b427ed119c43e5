// The machine file: text <-> Machine. The format is described in docs/sim-machine.md.
//
// A file is a list of sections "[kind argument]" holding "name = value" lines.
// Every kind of section has one entry in kKinds below (a parser and a writer);
// adding a kind of section means adding its fields to Machine and one entry here.
// Sections of kinds this version does not know are kept verbatim.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"

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

// ---------------------------------------------------------------- [machine]

bool ParseMachine(const Section& sec, Machine& m, std::string& error) {
  if (!sec.arg.empty()) {
    error = At(sec.line, "[machine] takes no argument");
    return false;
  }
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    const std::string& k = e.name;
    const auto bad = [&](const std::string& what) {
      error = At(e.line, "'" + k + "' needs " + what + ", not '" + v + "'");
      return false;
    };
    bool b = false;
    uint32_t u = 0;
    if (k == "os.version") {
      std::vector<uint32_t> n;
      if (!DottedNumbers(v, 2, 3, UINT32_MAX, n)) return bad("major.minor.build");
      m.os.major = n[0];
      m.os.minor = n[1];
      m.os.build = n.size() == 3 ? n[2] : 0;
    } else if (k == "os.platform") {
      if (!Number(e, v, m.os.platformId, error)) return false;
    } else if (k == "os.csd") {
      m.os.csdVersion = v;
    } else if (k == "os.servicePack") {
      std::vector<uint32_t> n;
      if (!DottedNumbers(v, 2, 2, 0xFFFF, n)) return bad("major.minor");
      m.os.servicePackMajor = static_cast<uint16_t>(n[0]);
      m.os.servicePackMinor = static_cast<uint16_t>(n[1]);
    } else if (k == "os.suiteMask") {
      if (!Number(e, v, m.os.suiteMask, error)) return false;
    } else if (k == "os.productType") {
      if (!FromName(kProductTypes, v, u) || u > 0xFF)
        return bad("workstation, server or domain-controller");
      m.os.productType = static_cast<uint8_t>(u);
    } else if (k == "arch.native" || k == "arch.process") {
      if (!FromName(kArchitectures, v, u) || u > 0xFFFF) return bad("x86, x64, ia64 or arm64");
      (k == "arch.native" ? m.nativeArchitecture : m.processArchitecture) =
          static_cast<uint16_t>(u);
    } else if (k == "wow64") {
      if (!ParseBool(v, b)) return bad("yes or no");
      m.wow64 = b;
    } else if (k == "api.GetNativeSystemInfo") {
      if (!ParseBool(v, b)) return bad("yes or no");
      m.hasGetNativeSystemInfo = b;
    } else if (k == "api.IsWow64Process") {
      if (!ParseBool(v, b)) return bad("yes or no");
      m.hasIsWow64Process = b;
    } else if (k == "api.GetProcessImageFileNameW" || k == "api.GetModuleFileNameExW" ||
               k == "api.QueryWorkingSet") {
      if (!ParseBool(v, b)) return bad("yes or no");
      (k == "api.GetProcessImageFileNameW" ? m.hasGetProcessImageFileNameW
       : k == "api.GetModuleFileNameExW"   ? m.hasGetModuleFileNameExW
                                           : m.hasQueryWorkingSet) = b;
    } else if (k == "elevated") {
      if (!ParseBool(v, b)) return bad("yes or no");
      m.elevated = b;
    } else if (k == "elevationType") {
      if (!FromName(kElevationTypes, v, m.elevationType)) return bad("default, full or limited");
    } else if (k == "session") {
      if (!Number(e, v, m.session, error)) return false;
    } else if (k == "privileges") {
      m.enabledPrivileges = SplitList(v, ',');
    } else if (k == "api.missing") {
      m.missingExports = SplitList(v, ',');
    } else if (k == "serverR2") {
      int64_t n = 0;
      if (!ParseSigned(v, n)) return bad("a number");
      m.serverR2 = static_cast<int>(n);
    } else if (k == "screen") {
      int w = 0, h = 0;
      char tail = 0;
      if (std::sscanf(v.c_str(), "%dx%d%c", &w, &h, &tail) != 2) return bad("WIDTHxHEIGHT");
      m.screenWidth = w;
      m.screenHeight = h;
    } else if (k == "processors") {
      if (!Number(e, v, m.numberOfProcessors, error)) return false;
    } else if (k == "codePage") {
      if (!Number(e, v, m.ansiCodePage, error)) return false;
    } else if (k == "language") {
      if (!Number(e, v, m.systemDefaultLangId, error)) return false;
    } else if (k == "decimalSeparator") {
      m.decimalSeparator = v;
    } else if (k == "user") {
      m.userName = v;
    } else if (k == "exe") {
      m.exePath = v;
    } else if (k == "systemDir") {
      m.systemDir = v;
    } else if (k == "currentDirectory") {
      m.currentDirectory = v;
    } else if (k == "selfPid") {
      if (!Number(e, v, m.selfPid, error)) return false;
    } else if (k == "nextPid") {
      if (!Number(e, v, m.nextPid, error)) return false;
    } else if (k == "clock") {
      if (v == "manual") {
        m.manualClock = true;
      } else if (v == "real") {
        m.manualClock = false;
      } else {
        return bad("manual or real");
      }
    } else if (k == "tick") {
      if (!Number(e, v, m.tickMs, error)) return false;
    } else if (k == "localTime") {
      if (!ParseLocalTime(v, m.localTime)) return bad("yyyy-mm-dd hh:nn:ss.zzz");
    } else {
      m.extra.emplace_back(k, v);
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

void WriteMachine(const Machine& m, std::string& out) {
  out += "[machine]\n";
  Line(out, "os.version",
       std::to_string(m.os.major) + "." + std::to_string(m.os.minor) + "." +
           std::to_string(m.os.build));
  Line(out, "os.platform", std::to_string(m.os.platformId));
  Line(out, "os.csd", ValueText(m.os.csdVersion));
  Line(out, "os.servicePack",
       std::to_string(m.os.servicePackMajor) + "." + std::to_string(m.os.servicePackMinor));
  Line(out, "os.suiteMask", Hex(m.os.suiteMask, 4));
  Line(out, "os.productType", ToName(kProductTypes, m.os.productType));
  Line(out, "arch.native", ToName(kArchitectures, m.nativeArchitecture));
  Line(out, "arch.process", ToName(kArchitectures, m.processArchitecture));
  Line(out, "wow64", YesNo(m.wow64));
  Line(out, "api.GetNativeSystemInfo", YesNo(m.hasGetNativeSystemInfo));
  Line(out, "api.IsWow64Process", YesNo(m.hasIsWow64Process));
  std::string missing;
  for (const std::string& name : m.missingExports)
    missing += (missing.empty() ? "" : ", ") + name;
  Line(out, "api.missing", missing);
  Line(out, "api.GetProcessImageFileNameW", YesNo(m.hasGetProcessImageFileNameW));
  Line(out, "api.GetModuleFileNameExW", YesNo(m.hasGetModuleFileNameExW));
  Line(out, "api.QueryWorkingSet", YesNo(m.hasQueryWorkingSet));
  Line(out, "serverR2", std::to_string(m.serverR2));
  Line(out, "screen", std::to_string(m.screenWidth) + "x" + std::to_string(m.screenHeight));
  Line(out, "processors", std::to_string(m.numberOfProcessors));
  Line(out, "codePage", std::to_string(m.ansiCodePage));
  Line(out, "language", Hex(m.systemDefaultLangId, 4));
  Line(out, "decimalSeparator", ValueText(m.decimalSeparator));
  Line(out, "user", ValueText(m.userName));
  Line(out, "exe", ValueText(m.exePath));
  Line(out, "systemDir", ValueText(m.systemDir));
  Line(out, "currentDirectory", ValueText(m.currentDirectory));
  Line(out, "selfPid", std::to_string(m.selfPid));
  Line(out, "nextPid", std::to_string(m.nextPid));
  Line(out, "elevated", YesNo(m.elevated));
  if (m.elevationType != plat::kTokenElevationTypeFull)
    Line(out, "elevationType", ToName(kElevationTypes, m.elevationType));
  if (m.session != 1) Line(out, "session", std::to_string(m.session));
  std::string privileges;
  for (const std::string& name : m.enabledPrivileges)
    privileges += (privileges.empty() ? "" : ", ") + name;
  Line(out, "privileges", privileges);
  Line(out, "clock", m.manualClock ? "manual" : "real");
  Line(out, "tick", std::to_string(m.tickMs));
  Line(out, "localTime", FormatLocalTime(m.localTime));
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
  if (!found) return false;
  if (slash == std::string::npos) return true;
  std::string rest = path.substr(slash + 1);
  if (!rest.empty() && rest.back() == '\\') rest.pop_back();
  if (rest.empty()) return true;
  size_t start = 0;
  for (;;) {
    const size_t pos = rest.find('\\', start);
    const std::string name = rest.substr(start, pos == std::string::npos ? pos : pos - start);
    if (name.empty()) return false;
    names.push_back(name);
    if (pos == std::string::npos) break;
    start = pos + 1;
  }
  return true;
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
    const std::string& k = e.name;
    const auto bad = [&](const std::string& what) {
      error = At(e.line, "'" + k + "' needs " + what + ", not '" + v + "'");
      return false;
    };
    if (k == "attributes") {
      uint32_t a = 0;
      if (!ParseAttributes(v, a)) return bad("attribute names (readonly, hidden, ...) or a number");
      meta.attributes = a;
      continue;
    }
    if (k.rfind("version.", 0) != 0) {
      error = At(e.line, "unknown file entry '" + k + "'");
      return false;
    }
    if (!meta.version) meta.version.emplace();
    VersionResource& ver = *meta.version;
    if (k == "version.file") {
      if (!ParseVersionNumbers(v, ver.fileVersion)) return bad("a.b.c.d");
    } else if (k == "version.product") {
      if (!ParseVersionNumbers(v, ver.productVersion)) return bad("a.b.c.d");
    } else if (k == "version.flagsMask") {
      if (!Number(e, v, ver.fileFlagsMask, error)) return false;
    } else if (k == "version.flags") {
      if (!Number(e, v, ver.fileFlags, error)) return false;
    } else if (k == "version.os") {
      if (!Number(e, v, ver.fileOS, error)) return false;
    } else if (k == "version.type") {
      if (!Number(e, v, ver.fileType, error)) return false;
    } else if (k == "version.subtype") {
      if (!Number(e, v, ver.fileSubtype, error)) return false;
    } else if (k == "version.translations") {
      ver.translations.clear();
      for (const std::string& item : SplitList(v, ',')) {
        uint64_t n = 0;
        if (!IsTableKey(item) || !ParseNumber("0x" + item, n))
          return bad("LLLLCCCC items (040904B0)");
        ver.translations.emplace_back(static_cast<uint16_t>(n >> 16),
                                      static_cast<uint16_t>(n & 0xFFFF));
      }
    } else if (k.rfind("version.string.", 0) == 0) {
      const std::string rest = k.substr(15);
      const size_t dot = rest.find('.');
      const std::string table = rest.substr(0, dot);
      if (dot == std::string::npos || !IsTableKey(table) || dot + 1 >= rest.size()) {
        error = At(e.line, "string entries are version.string.LLLLCCCC.Name");
        return false;
      }
      const std::string name = rest.substr(dot + 1);
      auto it = ver.stringTables.begin();
      while (it != ver.stringTables.end() && it->first != table)
        ++it;
      if (it == ver.stringTables.end()) {
        ver.stringTables.emplace_back(table, std::vector<std::pair<std::string, std::string>>{});
        it = std::prev(ver.stringTables.end());
      }
      it->second.emplace_back(name, v);
    } else {
      error = At(e.line, "unknown file entry '" + k + "'");
      return false;
    }
  }
  return true;
}

void WriteFile(const Machine& m, std::string& out) {
  for (const auto& [path, meta] : m.files) {
    // An entry without metadata still asks seeding for the file: it is kept.
    out += "\n[file " + ValueText(path) + "]\n";
    if (meta.attributes) Line(out, "attributes", AttributesText(*meta.attributes));
    if (!meta.version) continue;
    const VersionResource& v = *meta.version;
    Line(out, "version.file", VersionText(v.fileVersion));
    Line(out, "version.product", VersionText(v.productVersion));
    const VersionResource d;
    if (v.fileFlagsMask != d.fileFlagsMask) Line(out, "version.flagsMask", Hex(v.fileFlagsMask, 2));
    if (v.fileFlags != d.fileFlags) Line(out, "version.flags", Hex(v.fileFlags, 2));
    if (v.fileOS != d.fileOS) Line(out, "version.os", Hex(v.fileOS, 5));
    if (v.fileType != d.fileType) Line(out, "version.type", std::to_string(v.fileType));
    if (v.fileSubtype != d.fileSubtype) Line(out, "version.subtype", std::to_string(v.fileSubtype));
    if (!v.translations.empty()) {
      std::string list;
      char buf[16];
      for (const auto& [lang, cp] : v.translations) {
        std::snprintf(buf, sizeof buf, "%04X%04X", lang, cp);
        list += (list.empty() ? "" : ", ") + std::string(buf);
      }
      Line(out, "version.translations", list);
    }
    for (const auto& [table, strings] : v.stringTables) {
      for (const auto& [name, value] : strings) {
        Line(out, "version.string." + table + "." + name, ValueText(value));
      }
    }
  }
}

// ---------------------------------------------------------------- [process PID]

bool Signed(const Entry& e, const std::string& text, int64_t& out, std::string& error) {
  if (ParseSigned(text, out)) return true;
  error = At(e.line, "'" + e.name + "' needs a number, not '" + text + "'");
  return false;
}

bool Bool(const Entry& e, const std::string& text, bool& out, std::string& error) {
  if (ParseBool(text, out)) return true;
  error = At(e.line, "'" + e.name + "' needs yes or no, not '" + text + "'");
  return false;
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
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    const std::string& k = e.name;
    bool b = false;
    if (k == "name") {
      p.exeFile = v;
    } else if (k == "path") {
      p.imagePath = v;
    } else if (k == "parent") {
      if (!Number(e, v, p.parentPid, error)) return false;
    } else if (k == "user") {
      p.owner = v;
    } else if (k == "threads") {
      if (!Number(e, v, p.threads, error)) return false;
    } else if (k == "priority") {
      int64_t n = 0;
      if (!ParseSigned(v, n)) {
        error = At(e.line, "'priority' needs a number, not '" + v + "'");
        return false;
      }
      p.basePriority = static_cast<int32_t>(n);
    } else if (k == "canOpen" || k == "canTerminate") {
      if (!ParseBool(v, b)) {
        error = At(e.line, "'" + k + "' needs yes or no, not '" + v + "'");
        return false;
      }
      (k == "canOpen" ? p.canOpen : p.canTerminate) = b;
    } else if (k == "commandLine") {
      p.commandLine = v;
    } else if (k == "priorityClass") {
      if (!FromName(kPriorityClasses, v, p.priorityClass)) {
        error = At(e.line,
                   "'priorityClass' needs idle, below, normal, above, high, realtime or a "
                   "number, not '" +
                       v + "'");
        return false;
      }
    } else if (k == "access") {
      if (!FromName(kAccessNames, v, p.access)) {
        error = At(e.line, "'access' needs all, query, limited, none or a number, not '" + v + "'");
        return false;
      }
    } else if (k == "token") {
      if (!Bool(e, v, p.tokenReadable, error)) return false;
    } else if (k == "elevationType") {
      if (!FromName(kElevationTypes, v, p.elevationType)) {
        error = At(e.line, "'elevationType' needs default, full or limited, not '" + v + "'");
        return false;
      }
    } else if (k == "elevated") {
      if (!Bool(e, v, p.elevated, error)) return false;
    } else if (k == "session") {
      if (!Number(e, v, p.session, error)) return false;
    } else if (k == "created") {
      if (!Number(e, v, p.created, error)) return false;
    } else if (k == "wsPrivate") {
      if (!Number(e, v, p.wsPrivate, error)) return false;
    } else if (k == "wsShared") {
      if (!Number(e, v, p.wsShared, error)) return false;
    } else if (k == "wsSharedHigh") {
      if (!Number(e, v, p.wsSharedHigh, error)) return false;
    } else if (k == "devicePath") {
      p.devicePath = v;
    } else if (k == "currentDirectory") {
      p.currentDirectory = v;
    } else if (k == "show") {
      int64_t n = 0;
      if (!Signed(e, v, n, error)) return false;
      p.show = static_cast<int>(n);
    } else {
      p.extra[k] = v;
    }
  }
  m.processes.push_back(std::move(p));
  return true;
}

void WriteProcess(const Machine& m, std::string& out) {
  for (const Process& p : m.processes) {
    out += "\n[process " + std::to_string(p.pid) + "]\n";
    Line(out, "name", ValueText(p.exeFile));
    if (!p.imagePath.empty()) Line(out, "path", ValueText(p.imagePath));
    Line(out, "parent", std::to_string(p.parentPid));
    Line(out, "user", ValueText(p.owner));
    Line(out, "threads", std::to_string(p.threads));
    Line(out, "priority", std::to_string(p.basePriority));
    if (!p.canOpen) Line(out, "canOpen", "no");
    if (!p.canTerminate) Line(out, "canTerminate", "no");
    if (!p.commandLine.empty()) Line(out, "commandLine", ValueText(p.commandLine));
    if (p.priorityClass != plat::kNORMAL_PRIORITY_CLASS)
      Line(out, "priorityClass", ToName(kPriorityClasses, p.priorityClass));
    if (p.access != plat::kPROCESS_ALL_ACCESS) {
      const std::string name = ToName(kAccessNames, p.access);
      Line(out, "access", name == std::to_string(p.access) ? Hex(p.access, 4) : name);
    }
    if (!p.tokenReadable) Line(out, "token", "no");
    if (p.elevationType != plat::kTokenElevationTypeDefault)
      Line(out, "elevationType", ToName(kElevationTypes, p.elevationType));
    if (p.elevated) Line(out, "elevated", "yes");
    if (p.session != 1) Line(out, "session", std::to_string(p.session));
    if (p.created) Line(out, "created", std::to_string(p.created));
    if (p.wsPrivate) Line(out, "wsPrivate", std::to_string(p.wsPrivate));
    if (p.wsShared) Line(out, "wsShared", std::to_string(p.wsShared));
    if (p.wsSharedHigh) Line(out, "wsSharedHigh", std::to_string(p.wsSharedHigh));
    if (!p.devicePath.empty()) Line(out, "devicePath", ValueText(p.devicePath));
    if (!p.currentDirectory.empty()) Line(out, "currentDirectory", ValueText(p.currentDirectory));
    if (p.show != -1) Line(out, "show", std::to_string(p.show));
    for (const auto& [name, value] : p.extra)
      Line(out, name, ValueText(value));
  }
}

// ---------------------------------------------------------------- the desktop
// [desktop]: facts of the screen and the answers the machine gives the program.
// [window CLASS]: a window of another program. [message N], [shell N],
// [messagebox N], [datachannel N]: what the program did, in order (N counts from 1
// and is only written for the reader).

bool UnknownKey(const Section& sec, const Entry& e, std::string& error) {
  error = At(e.line, "[" + sec.kind + "] has no '" + e.name + "'");
  return false;
}

bool ParseDesktop(const Section& sec, Machine& m, std::string& error) {
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    int64_t n = 0;
    if (e.name == "messageBoxAnswer") {
      if (!Signed(e, v, n, error)) return false;
      m.messageBoxAnswer = static_cast<int>(n);
    } else if (e.name == "exitCode") {
      uint32_t code = 0;
      if (!Number(e, v, code, error)) return false;
      m.exitCode = code;
    } else if (e.name == "foregroundLockTimeout") {
      if (!Number(e, v, m.foregroundLockTimeout, error)) return false;
    } else if (e.name == "foregroundLock") {
      if (!Bool(e, v, m.foregroundLock, error)) return false;
    } else if (e.name == "logPixelsY") {
      if (!Signed(e, v, n, error)) return false;
      m.logPixelsY = static_cast<int>(n);
    } else if (e.name == "taskbarHeight") {
      if (!Signed(e, v, n, error)) return false;
      m.taskbarHeight = static_cast<int>(n);
    } else if (e.name == "dpiFunctions") {
      if (!Bool(e, v, m.hasDpiFunctions, error)) return false;
    } else {
      return UnknownKey(sec, e, error);
    }
  }
  return true;
}

void WriteDesktop(const Machine& m, std::string& out) {
  const Machine d;
  if (m.messageBoxAnswer == d.messageBoxAnswer && !m.exitCode &&
      m.foregroundLockTimeout == d.foregroundLockTimeout && m.foregroundLock == d.foregroundLock &&
      m.logPixelsY == d.logPixelsY && m.taskbarHeight == d.taskbarHeight &&
      m.hasDpiFunctions == d.hasDpiFunctions)
    return;
  out += "\n[desktop]\n";
  Line(out, "messageBoxAnswer", std::to_string(m.messageBoxAnswer));
  if (m.exitCode) Line(out, "exitCode", std::to_string(*m.exitCode));
  Line(out, "foregroundLockTimeout", std::to_string(m.foregroundLockTimeout));
  if (m.foregroundLock) Line(out, "foregroundLock", YesNo(m.foregroundLock));
  Line(out, "logPixelsY", std::to_string(m.logPixelsY));
  Line(out, "taskbarHeight", std::to_string(m.taskbarHeight));
  Line(out, "dpiFunctions", YesNo(m.hasDpiFunctions));
}

bool ParseWindow(const Section& sec, Machine& m, std::string& error) {
  MachineWindow w;
  w.className = sec.arg;
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    if (e.name == "caption") {
      w.caption = v;
    } else if (e.name == "present") {
      if (!Bool(e, v, w.present, error)) return false;
    } else if (e.name == "pid") {
      if (!Number(e, v, w.pid, error)) return false;
    } else {
      return UnknownKey(sec, e, error);
    }
  }
  m.windows.push_back(std::move(w));
  return true;
}

void WriteWindow(const Machine& m, std::string& out) {
  for (const MachineWindow& w : m.windows) {
    out += "\n[window " + ValueText(w.className) + "]\n";
    Line(out, "caption", ValueText(w.caption));
    Line(out, "present", YesNo(w.present));
    if (w.pid) Line(out, "pid", std::to_string(w.pid));
  }
}

bool ParseMessage(const Section& sec, Machine& m, std::string& error) {
  LoggedMessage msg;
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    if (e.name == "window") {
      msg.className = v;
    } else if (e.name == "message") {
      if (!Number(e, v, msg.message, error)) return false;
    } else if (e.name == "wParam") {
      if (!Number(e, v, msg.wParam, error)) return false;
    } else if (e.name == "lParam") {
      if (!Signed(e, v, msg.lParam, error)) return false;
    } else if (e.name == "how") {
      if (v != "sent" && v != "posted") {
        error = At(e.line, "'how' is sent or posted, not '" + v + "'");
        return false;
      }
      msg.sent = v == "sent";
    } else if (e.name == "tick") {
      if (!Number(e, v, msg.tick, error)) return false;
    } else {
      return UnknownKey(sec, e, error);
    }
  }
  m.messageLog.push_back(std::move(msg));
  return true;
}

void WriteMessage(const Machine& m, std::string& out) {
  size_t n = 0;
  for (const LoggedMessage& msg : m.messageLog) {
    out += "\n[message " + std::to_string(++n) + "]\n";
    Line(out, "window", ValueText(msg.className));
    Line(out, "message", Hex(msg.message, 4));
    Line(out, "wParam", std::to_string(msg.wParam));
    Line(out, "lParam", std::to_string(msg.lParam));
    Line(out, "how", msg.sent ? "sent" : "posted");
    Line(out, "tick", std::to_string(msg.tick));
  }
}

bool ParseShell(const Section& sec, Machine& m, std::string& error) {
  ShellCall c;
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    int64_t n = 0;
    if (e.name == "verb") {
      c.verb = v;
    } else if (e.name == "file") {
      c.file = v;
    } else if (e.name == "parameters") {
      c.parameters = v;
    } else if (e.name == "folder") {
      c.directory = v;
    } else if (e.name == "show") {
      if (!Signed(e, v, n, error)) return false;
      c.show = static_cast<int>(n);
    } else {
      return UnknownKey(sec, e, error);
    }
  }
  m.shellCalls.push_back(std::move(c));
  return true;
}

void WriteShell(const Machine& m, std::string& out) {
  size_t n = 0;
  for (const ShellCall& c : m.shellCalls) {
    out += "\n[shell " + std::to_string(++n) + "]\n";
    Line(out, "verb", ValueText(c.verb));
    Line(out, "file", ValueText(c.file));
    Line(out, "parameters", ValueText(c.parameters));
    Line(out, "folder", ValueText(c.directory));
    Line(out, "show", std::to_string(c.show));
  }
}

bool ParseMessageBox(const Section& sec, Machine& m, std::string& error) {
  MessageBoxCall c;
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    if (e.name == "text") {
      c.text = v;
    } else if (e.name == "caption") {
      c.caption = v;
    } else if (e.name == "type") {
      if (!Number(e, v, c.type, error)) return false;
    } else {
      return UnknownKey(sec, e, error);
    }
  }
  m.messageBoxes.push_back(std::move(c));
  return true;
}

void WriteMessageBox(const Machine& m, std::string& out) {
  size_t n = 0;
  for (const MessageBoxCall& c : m.messageBoxes) {
    out += "\n[messagebox " + std::to_string(++n) + "]\n";
    Line(out, "text", ValueText(c.text));
    Line(out, "caption", ValueText(c.caption));
    Line(out, "type", Hex(c.type, 2));
  }
}

bool ParseDataChannel(const Section& sec, Machine& m, std::string& error) {
  DataChannelCall c;
  for (const Entry& e : sec.entries) {
    std::string v;
    if (!Value(e, v, error)) return false;
    if (e.name == "channel") {
      c.channel = v;
    } else if (e.name == "text") {
      c.text = v;
    } else {
      return UnknownKey(sec, e, error);
    }
  }
  m.dataChannel.push_back(std::move(c));
  return true;
}

void WriteDataChannel(const Machine& m, std::string& out) {
  size_t n = 0;
  for (const DataChannelCall& c : m.dataChannel) {
    out += "\n[datachannel " + std::to_string(++n) + "]\n";
    Line(out, "channel", ValueText(c.channel));
    Line(out, "text", ValueText(c.text));
  }
}

// ---------------------------------------------------------------- the kinds of section

struct Kind {
  const char* name;
  bool (*parse)(const Section&, Machine&, std::string&);
  void (*write)(const Machine&, std::string&);
};

const Kind kKinds[] = {
    {"machine", ParseMachine, WriteMachine},
    {"env", ParseEnv, WriteEnv},
    {"folders", ParseFolders, WriteFolders},
    {"drives", ParseDrives, WriteDrives},
    {"reg", ParseReg, WriteReg},
    {"file", ParseFile, WriteFile},
    {"process", ParseProcess, WriteProcess},
    {"desktop", ParseDesktop, WriteDesktop},
    {"window", ParseWindow, WriteWindow},
    {"message", ParseMessage, WriteMessage},
    {"shell", ParseShell, WriteShell},
    {"messagebox", ParseMessageBox, WriteMessageBox},
    {"datachannel", ParseDataChannel, WriteDataChannel},
};

const Kind* FindKind(const std::string& name) {
  for (const Kind& k : kKinds) {
    if (name == k.name) return &k;
  }
  return nullptr;
}

}  // namespace

std::string Serialize(const Machine& machine) {
  std::string out =
      "# Simulated Windows machine (docs/sim-machine.md). Programs rewrite this file on every\n"
      "# change, so comments other than this header are not kept.\n";
  for (const Kind& k : kKinds)
    k.write(machine, out);
  WriteServiceSections(machine, out);
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
  return TakeServiceSections(text, machine, error);
}

}  // namespace sim
