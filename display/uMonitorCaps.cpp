#include "display/uMonitorCaps.h"

#include <cctype>

#include "diag/uMonitorAppLog.h"
#include "platform/Text.h"

namespace {

bool IsHexText(const std::string& text) {
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return !text.empty();
}

// "020304" -> "02", "03", "04": codes and values sent without blanks. Other texts stay.
void AddSplitPairs(const std::string& token, std::vector<std::string>& out) {
  if (token.size() > 2 && token.size() % 2 == 0 && IsHexText(token)) {
    for (size_t i = 0; i < token.size(); i += 2)
      out.push_back(token.substr(i, 2));
  } else {
    out.push_back(token);
  }
}

// Whether text[from, to) holds only ")" and blanks.
bool OnlyClosing(const std::string& text, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i)
    if (text[i] != ')' && text[i] != ' ' && text[i] != '\t' && text[i] != '\r' && text[i] != '\n')
      return false;
  return true;
}

// Drops outer parentheses, also doubled ones. A string whose first "(" is never closed
// loses only that "(". One pass over the string however deeply the layers nest: the
// closing parenthesis of every "(" is found once, and each layer only moves the ends.
std::string StripOuter(const std::string& text) {
  size_t b = 0, e = text.size();
  const auto trim = [&] {
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
      ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
      --e;
  };
  trim();
  if (b == e || text[b] != '(') return text.substr(b, e - b);
  // The ")" that closes each "(" (npos when none does): depends only on what follows it.
  std::vector<size_t> match(text.size(), std::string::npos), open;
  for (size_t i = b; i < e; ++i) {
    if (text[i] == '(') {
      open.push_back(i);
    } else if (text[i] == ')' && !open.empty()) {
      match[open.back()] = i;
      open.pop_back();
    }
  }
  while (b < e && text[b] == '(') {
    const size_t close = match[b] < e ? match[b] : std::string::npos;
    if (close == std::string::npos) {
      ++b;  // never closed: only this "(" goes
    } else if (OnlyClosing(text, close + 1, e)) {
      e = close;  // surplus ")" after the list go too
      ++b;
    } else {
      break;  // "(a)(b)": the list itself starts with a group
    }
    trim();
  }
  return text.substr(b, e - b);
}

TNameValueList MakeList(std::initializer_list<const char*> entries) {
  return TNameValueList(entries.begin(), entries.end());
}

std::vector<std::string> SplitValues(const std::string& value) {
  std::vector<std::string> codes;
  size_t start = 0;
  while (start <= value.size()) {
    const size_t end = value.find('_', start);
    const std::string code = value.substr(start, end == std::string::npos ? end : end - start);
    if (!code.empty()) codes.push_back(code);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return codes;
}

// The entry of List whose name is Name, or "".
std::string EntryNamed(const TNameValueList& list, const std::string& name) {
  for (const auto& entry : list)
    if (txt::SameText(entry.substr(0, entry.find('=')), name)) return entry;
  return "";
}

}  // namespace

std::string ListValue(const TNameValueList& List, const std::string& Name) {
  const std::string entry = EntryNamed(List, Name);
  const size_t eq = entry.find('=');
  return eq == std::string::npos ? "" : entry.substr(eq + 1);
}

bool ListHasEntry(const TNameValueList& List, const std::string& Entry) {
  for (const auto& entry : List)
    if (txt::SameText(entry, Entry)) return true;
  return false;
}

const TNameValueList& AllDisplayModes() {
  static const TNameValueList list = MakeList(
      {"00=Standard", "01=Office", "02=Multimedia", "03=Movie", "04=User", "05=Games", "06=Sports",
       "07=Professional", "08=Balance", "09=Energy-saving", "0A=Demonstration", "F0=Dynamic"});
  return list;
}

const TNameValueList& AllColorPresets() {
  static const TNameValueList list =
      MakeList({"01=sRGB", "02=Native", "03=4000\u00B0 K", "04=5000\u00B0 K", "05=6500\u00B0 K",
                "06=7500\u00B0 K", "07=8200\u00B0 K", "08=9300\u00B0 K", "09=10000\u00B0 K",
                "0A=11500\u00B0 K", "0B=User 1", "0C=User 2", "0D=User 3"});
  return list;
}

const TNameValueList& InputSources() {
  static const TNameValueList list =
      MakeList({"01=VGA 1", "02=VGA 2", "03=DVI 1", "04=DVI 2", "05=Composite video 1",
                "06=Composite video 2", "07=S-video 1", "08=S-video 2", "09=Tuner 1", "0A=Tuner 2",
                "0B=Tuner 3", "0C=Component video (YPbPr / YCbCr) 1",
                "0D=Component video (YPbPr / YCbCr) 2", "0E=Component video (YPbPr / YCbCr) 3",
                "0F=DisplayPort 1", "10=DisplayPort 2", "11=HDMI 1", "12=HDMI 2", "FF=Auto"});
  return list;
}

namespace {

// Groups without a name nest this deep at most in anything a monitor sends; deeper ones
// are dropped rather than read level by level (each level copies the text again).
constexpr int kMaxInnerLists = 8;

TNameValueList AnalyzeCapabilitiesAt(const std::string& Caps, int Level);

}  // namespace

TNameValueList AnalyzeCapabilities(const std::string& Caps) {
  return AnalyzeCapabilitiesAt(Caps, 0);
}

namespace {

TNameValueList AnalyzeCapabilitiesAt(const std::string& Caps, int Level) {
  MonitorLogRun("AnalyzeCapabilities  start");
  TNameValueList result;
  if (Caps.empty()) return result;
  const std::string s = StripOuter(Caps);
  // Top-level entries: name(value), the value kept whole with its nested parentheses.
  std::string line;
  int depth = 0;
  const auto flush = [&] {
    const size_t eq = line.find('=');
    const std::string name = txt::Trim(line.substr(0, eq));
    const std::string value = eq == std::string::npos ? "" : txt::Trim(line.substr(eq + 1));
    if (name.empty() && !value.empty()) {
      // A group without a name: an inner list of entries ("((prot(...)vcp(...))x(1))").
      if (Level < kMaxInnerLists) {
        const TNameValueList inner = AnalyzeCapabilitiesAt(value, Level + 1);
        result.insert(result.end(), inner.begin(), inner.end());
      }
    } else if (!name.empty() || !value.empty()) {
      result.push_back(eq == std::string::npos ? name : name + "=" + value);
    }
    line.clear();
  };
  for (char c : s) {
    if (c == '(') {
      line += ++depth == 1 ? '=' : c;
    } else if (c == ')') {
      if (depth == 0) continue;  // stray: nothing to close
      if (--depth == 0) {
        flush();
      } else {
        line += c;
      }
    } else if ((c == '\r' || c == '\n') && depth == 0) {
      flush();
    } else {
      line += c;
    }
  }
  flush();
  MonitorLogRun("AnalyzeCapabilities  end");
  return result;
}

}  // namespace

TNameValueList AnalyzeVCP(const std::string& Vcp, bool* TimedOut) {
  MonitorLogRun("AnalyzeVCP  start");
  if (TimedOut) *TimedOut = false;
  TNameValueList result;
  if (Vcp.empty()) return result;
  std::string s = StripOuter(Vcp);
  MonitorLogRun("AnalyzeVCP  " + s);
  if (txt::ContainsText(s, "page")) {
    s = StripOuter(ListValue(AnalyzeCapabilities(s), "page0"));
    MonitorLogRun("AnalyzeVCP page0 " + s);
  }

  struct Code {
    std::string name;
    std::vector<std::string> values;
  };
  std::vector<Code> codes;
  bool malformed = false;
  size_t i = 0;
  const auto isBreak = [](char c) {
    return c == '(' || c == ')' || std::isspace(static_cast<unsigned char>(c));
  };
  while (i < s.size()) {
    const char c = s[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == ')') {
      malformed = true;  // nothing to close
      ++i;
    } else if (c == '(') {
      // A value group: first-level values belong to the code before it.
      std::vector<std::string> values;
      int depth = 0;
      std::string token;
      for (; i < s.size(); ++i) {
        const char g = s[i];
        if (depth == 1 && isBreak(g) && !token.empty()) {
          AddSplitPairs(token, values);
          token.clear();
        }
        if (g == '(') {
          ++depth;
        } else if (g == ')') {
          if (--depth == 0) {
            ++i;
            break;
          }
        } else if (depth == 1 && !isBreak(g)) {
          token += g;
        }
      }
      if (depth != 0) {
        malformed = true;  // never closed: keep what was read
        if (depth == 1 && !token.empty()) AddSplitPairs(token, values);
      }
      if (codes.empty()) {
        malformed = true;  // a group without a code
      } else {
        auto& target = codes.back().values;
        target.insert(target.end(), values.begin(), values.end());
      }
    } else {
      std::string token;
      while (i < s.size() && !isBreak(s[i]))
        token += s[i++];
      std::vector<std::string> names;
      AddSplitPairs(token, names);
      for (const auto& name : names)
        codes.push_back({name, {}});
    }
  }
  for (const auto& code : codes) {
    std::string entry = code.name + "=";
    for (size_t v = 0; v < code.values.size(); ++v)
      entry += (v ? "_" : "") + code.values[v];
    result.push_back(entry);
  }
  if (malformed) MonitorLogRun("AnalyzeVCP  TimeOut");
  if (TimedOut) *TimedOut = malformed;
  MonitorLogRun("AnalyzeVCP  end");
  return result;
}

TCapabilityFacts ReadCapabilities(const std::string& Caps) {
  TCapabilityFacts facts;
  const TNameValueList top = AnalyzeCapabilities(Caps);
  facts.Mccs20 = txt::SameText(ListValue(top, "mccs_ver"), "2.0");
  facts.VCPCodes = AnalyzeVCP(ListValue(top, "vcp"), &facts.TimedOut);
  if (!facts.Supported()) return facts;

  const std::vector<std::string> modes = SplitValues(ListValue(facts.VCPCodes, "DC"));
  bool hasStandard = false;
  for (const auto& code : modes)
    hasStandard = hasStandard || txt::SameText(code, "00");
  if (!hasStandard) facts.DisplayModes.push_back(AllDisplayModes().front());
  for (const auto& code : modes) {
    if (facts.Mccs20 && code.size() == 2 && txt::SameText(code.substr(0, 1), "0") &&
        std::string("56789Aa").find(code[1]) != std::string::npos)
      continue;
    const std::string entry = EntryNamed(AllDisplayModes(), code);
    if (!entry.empty()) facts.DisplayModes.push_back(entry);
  }
  for (const auto& code : SplitValues(ListValue(facts.VCPCodes, "14"))) {
    const std::string entry = EntryNamed(AllColorPresets(), code);
    if (!entry.empty()) facts.ColorPresets.push_back(entry);
  }
  return facts;
}
