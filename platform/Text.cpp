#include "platform/Text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace txt {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point from UTF-8 at text[i]; advances i. Invalid sequences
// give U+FFFD and consume one byte.
char32_t DecodeUtf8(const std::string& text, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  if (i + extra >= text.size()) {
    ++i;
    return kReplacement;
  }
  for (int k = 1; k <= extra; ++k) {
    const unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return kReplacement;
  }
  i += extra + 1;
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::u32string ToCodePoints(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();)
    out += DecodeUtf8(text, i);
  return out;
}

std::string FromCodePoints(const std::u32string& cps) {
  std::string out;
  out.reserve(cps.size());
  for (char32_t cp : cps)
    AppendUtf8(out, cp);
  return out;
}

// Pairs where the upper-case letter is at an even code point and its lower-case
// partner follows it.
bool InEvenOddPairs(char32_t c) {
  return (c >= 0x0100 && c <= 0x012F) || (c >= 0x0132 && c <= 0x0137) ||
         (c >= 0x014A && c <= 0x0177) || (c >= 0x0460 && c <= 0x0481) ||
         (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x052F);
}
// Pairs where the upper-case letter is at an odd code point.
bool InOddEvenPairs(char32_t c) {
  return (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E) ||
         (c >= 0x04C1 && c <= 0x04CE);
}

char32_t ToUpper(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (InEvenOddPairs(c)) return (c % 2 == 1) ? c - 1 : c;
  if (InOddEvenPairs(c)) return (c % 2 == 0) ? c - 1 : c;
  if (c == 0x131) return 'I';
  if (c == 0x17F) return 'S';
  // Greek.
  if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return c - 0x20;
  switch (c) {
    case 0x3C2:
      return 0x3A3;
    case 0x3AC:
      return 0x386;
    case 0x3AD:
      return 0x388;
    case 0x3AE:
      return 0x389;
    case 0x3AF:
      return 0x38A;
    case 0x3CC:
      return 0x38C;
    case 0x3CD:
      return 0x38E;
    case 0x3CE:
      return 0x38F;
    default:
      break;
  }
  // Cyrillic.
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if (c == 0x4CF) return 0x4C0;
  return c;
}

char32_t ToLower(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x178) return 0xFF;
  if (InEvenOddPairs(c)) return (c % 2 == 0) ? c + 1 : c;
  if (InOddEvenPairs(c)) return (c % 2 == 1) ? c + 1 : c;
  if (c == 0x130) return 'i';
  if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB)) return c + 0x20;
  switch (c) {
    case 0x386:
      return 0x3AC;
    case 0x388:
      return 0x3AD;
    case 0x389:
      return 0x3AE;
    case 0x38A:
      return 0x3AF;
    case 0x38C:
      return 0x3CC;
    case 0x38E:
      return 0x3CD;
    case 0x38F:
      return 0x3CE;
    default:
      break;
  }
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c == 0x4C0) return 0x4CF;
  return c;
}

bool IsAsciiOnly(const std::string& s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses the integer forms of TryStrToInt into a 64-bit value; `bits` bounds
// the hexadecimal form (which may wrap into the sign) and the decimal range.
bool ParseInteger(const std::string& text, int bits, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && text[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= text.size()) return false;
  if (hex) {
    uint64_t v = 0;
    for (; i < text.size(); ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) return false;
      if (v > (UINT64_MAX >> 4)) return false;
      v = (v << 4) | static_cast<uint64_t>(d);
      if (bits == 32 && v > 0xFFFFFFFFull) return false;
    }
    if (bits == 32) {
      if (v > 0xFFFFFFFFull) return false;
      int64_t s = static_cast<int32_t>(static_cast<uint32_t>(v));
      value = negative ? -s : s;
    } else {
      int64_t s = static_cast<int64_t>(v);
      value = negative ? static_cast<int64_t>(0 - static_cast<uint64_t>(s)) : s;
    }
    return true;
  }
  uint64_t v = 0;
  const uint64_t limit = (bits == 32)
                             ? (negative ? 2147483648ull : 2147483647ull)
                             : (negative ? 9223372036854775808ull : 9223372036854775807ull);
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const uint64_t d = static_cast<uint64_t>(text[i] - '0');
    if (v > (limit - d) / 10) return false;
    v = v * 10 + d;
  }
  value = negative ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

// Decimal digits and exponent of |value| with 17 significant digits: value =
// 0.d1d2d3... * 10^exponent.
void DecimalDigits(double value, std::string& digits, int& exponent) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.16e", std::fabs(value));
  // buf = "d.dddddddddddddddde+XX"
  digits.clear();
  const char* p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  exponent = std::atoi(p + 1) + 1;
}

void ReplaceDecimalPoint(std::string& s, char sep) {
  for (char& c : s)
    if (c == '.') c = sep;
}

constexpr int64_t kMsPerDay = 86400000;

// Days from 0001-01-01 style civil date to the day serial (1899-12-30 = 0).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;  // days since 1970-01-01
}
constexpr int64_t kUnixEpochSerial = 25569;  // 1970-01-01 as a day serial

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

std::string Pad(int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return buf;
}

}  // namespace

// ---------------------------------------------------------------- encodings

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char32_t cp = DecodeUtf8(text, i);
    if (cp >= 0x10000) {
      const char32_t v = cp - 0x10000;
      out += static_cast<char16_t>(0xD800 + (v >> 10));
      out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string Utf16LeBytesToUtf8(const std::string& bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return Utf16ToUtf8(units);
}

std::string Utf8ToUtf16LeBytes(const std::string& text) {
  const std::u16string units = Utf8ToUtf16(text);
  std::string out(units.size() * 2, '\0');
  for (size_t i = 0; i < units.size(); ++i) {
    out[2 * i] = static_cast<char>(units[i] & 0xFF);
    out[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return out;
}

std::string AnsiToUtf8(const std::string& bytes) {
  if (IsAsciiOnly(bytes)) return bytes;
  return Utf16ToUtf8(plat::MultiByteToWideChar(0, bytes));
}

std::string Utf8ToAnsi(const std::string& text) {
  if (IsAsciiOnly(text)) return text;
  return plat::WideCharToMultiByte(0, Utf8ToUtf16(text));
}

std::string DecodeTextFile(const std::string& bytes) {
  const auto at = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && at(0) == 0xFF && at(1) == 0xFE)
    return Utf16LeBytesToUtf8(bytes.substr(2));
  if (bytes.size() >= 2 && at(0) == 0xFE && at(1) == 0xFF) {
    std::string swapped = bytes.substr(2);
    for (size_t i = 0; i + 1 < swapped.size(); i += 2)
      std::swap(swapped[i], swapped[i + 1]);
    return Utf16LeBytesToUtf8(swapped);
  }
  if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) {
    return FromCodePoints(ToCodePoints(bytes.substr(3)));  // normalises invalid bytes
  }
  return AnsiToUtf8(bytes);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++i;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// ---------------------------------------------------------------- case and trimming

std::string UpperCase(const std::string& text) {
  if (IsAsciiOnly(text)) {
    std::string out = text;
    for (char& c : out)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return out;
  }
  std::u32string cps = ToCodePoints(text);
  for (char32_t& c : cps)
    c = ToUpper(c);
  return FromCodePoints(cps);
}

std::string LowerCase(const std::string& text) {
  if (IsAsciiOnly(text)) {
    std::string out = text;
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
    return out;
  }
  std::u32string cps = ToCodePoints(text);
  for (char32_t& c : cps)
    c = ToLower(c);
  return FromCodePoints(cps);
}

int CompareText(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t ca = ToUpper(DecodeUtf8(a, i));
    const char32_t cb = ToUpper(DecodeUtf8(b, j));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() == b.size() && IsAsciiOnly(a) && IsAsciiOnly(b)) {
    for (size_t i = 0; i < a.size(); ++i) {
      char x = a[i], y = b[i];
      if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 0x20);
      if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 0x20);
      if (x != y) return false;
    }
    return true;
  }
  return CompareText(a, b) == 0;
}

bool ContainsText(const std::string& haystack, const std::string& needle) {
  return UpperCase(haystack).find(UpperCase(needle)) != std::string::npos;
}

bool StartsText(const std::string& prefix, const std::string& text) {
  const std::u32string p = ToCodePoints(prefix), t = ToCodePoints(text);
  if (p.size() > t.size()) return false;
  for (size_t i = 0; i < p.size(); ++i)
    if (ToUpper(p[i]) != ToUpper(t[i])) return false;
  return true;
}

bool EndsText(const std::string& suffix, const std::string& text) {
  const std::u32string s = ToCodePoints(suffix), t = ToCodePoints(text);
  if (s.size() > t.size()) return false;
  const size_t off = t.size() - s.size();
  for (size_t i = 0; i < s.size(); ++i)
    if (ToUpper(s[i]) != ToUpper(t[off + i])) return false;
  return true;
}

std::string Trim(const std::string& text) {
  return TrimLeft(TrimRight(text));
}

std::string TrimLeft(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ')
    ++i;
  return text.substr(i);
}

std::string TrimRight(const std::string& text) {
  size_t n = text.size();
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= ' ')
    --n;
  return text.substr(0, n);
}

std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to,
                       bool ignoreCase) {
  if (from.empty()) return text;
  const std::string hay = ignoreCase ? UpperCase(text) : text;
  const std::string pat = ignoreCase ? UpperCase(from) : from;
  if (ignoreCase && hay.size() != text.size()) {
    // Upper-casing changed byte lengths: fall back to code point matching.
    const std::u32string t = ToCodePoints(text), f = ToCodePoints(from);
    std::u32string out;
    size_t i = 0;
    while (i < t.size()) {
      bool match = i + f.size() <= t.size();
      for (size_t k = 0; match && k < f.size(); ++k)
        match = ToUpper(t[i + k]) == ToUpper(f[k]);
      if (match) {
        out += ToCodePoints(to);
        i += f.size();
      } else {
        out += t[i++];
      }
    }
    return FromCodePoints(out);
  }
  std::string out;
  size_t pos = 0;
  for (;;) {
    const size_t hit = hay.find(pat, pos);
    if (hit == std::string::npos) break;
    out.append(text, pos, hit - pos);
    out += to;
    pos = hit + from.size();
  }
  out.append(text, pos, std::string::npos);
  return out;
}

// ---------------------------------------------------------------- integers

bool TryStrToInt(const std::string& text, int32_t& value) {
  int64_t v = 0;
  if (!ParseInteger(text, 32, v)) return false;
  value = static_cast<int32_t>(v);
  return true;
}

int32_t StrToIntDef(const std::string& text, int32_t defaultValue) {
  int32_t v = 0;
  return TryStrToInt(text, v) ? v : defaultValue;
}

bool TryStrToInt64(const std::string& text, int64_t& value) {
  return ParseInteger(text, 64, value);
}

int64_t StrToInt64Def(const std::string& text, int64_t defaultValue) {
  int64_t v = 0;
  return TryStrToInt64(text, v) ? v : defaultValue;
}

std::string IntToStr(int64_t value) {
  return std::to_string(value);
}
std::string UIntToStr(uint64_t value) {
  return std::to_string(value);
}

std::string IntToHex(uint64_t value, int digits) {
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kHex[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  while (static_cast<int>(out.size()) < digits)
    out.insert(out.begin(), '0');
  return out;
}

// ---------------------------------------------------------------- floating point

char DecimalSeparator() {
  const std::string sep = plat::GetUserDecimalSeparator();
  return sep.empty() ? '.' : sep[0];
}

std::string FloatToStr(double value, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", value);
  std::string s = buf;
  const size_t e = s.find('e');
  if (e != std::string::npos) {
    // "1.5e-06" -> "1.5E-6", "1e+20" -> "1E20".
    std::string mantissa = s.substr(0, e);
    const int exponent = std::atoi(s.c_str() + e + 1);
    s = mantissa + "E" + std::to_string(exponent);
  }
  ReplaceDecimalPoint(s, decimalSeparator);
  return s;
}

std::string FloatToStr(double value) {
  return FloatToStr(value, DecimalSeparator());
}

std::string FormatFixed(double value, int decimals, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  std::string digits;
  int exponent = 0;
  DecimalDigits(value, digits, exponent);
  // Position of the rounding digit in `digits`: exponent integer digits, then decimals.
  const int keep = exponent + decimals;
  std::string kept;  // digits to the rounding place, most significant first
  if (keep < 0) {
    kept = "";
  } else {
    kept = digits.substr(0, std::min<size_t>(digits.size(), static_cast<size_t>(keep)));
    while (static_cast<int>(kept.size()) < keep)
      kept += '0';
    const bool roundUp = static_cast<size_t>(keep) < digits.size() && digits[keep] >= '5';
    if (roundUp) {
      int i = static_cast<int>(kept.size()) - 1;
      for (; i >= 0; --i) {
        if (kept[i] == '9') {
          kept[i] = '0';
        } else {
          ++kept[i];
          break;
        }
      }
      if (i < 0) {
        kept.insert(kept.begin(), '1');
        ++exponent;
      }
    }
  }
  // Split into integer and fraction parts.
  const int intDigits = static_cast<int>(kept.size()) - decimals;
  std::string intPart = intDigits > 0 ? kept.substr(0, intDigits) : "0";
  std::string frac = intDigits >= 0 ? kept.substr(static_cast<size_t>(intDigits))
                                    : std::string(static_cast<size_t>(-intDigits), '0') + kept;
  while (static_cast<int>(frac.size()) < decimals)
    frac.insert(frac.begin(), '0');
  frac = frac.substr(frac.size() - static_cast<size_t>(decimals));
  const size_t nz = intPart.find_first_not_of('0');
  intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
  bool allZero = intPart == "0" && frac.find_first_not_of('0') == std::string::npos;
  std::string out = (value < 0 && !allZero) ? "-" : "";
  out += intPart;
  if (decimals > 0) {
    out += decimalSeparator;
    out += frac;
  }
  return out;
}

std::string FormatFixed(double value, int decimals) {
  return FormatFixed(value, decimals, DecimalSeparator());
}

bool TryStrToFloat(const std::string& text, double& value, char decimalSeparator) {
  std::string s = Trim(text);
  if (s.empty()) return false;
  for (char& c : s) {
    if (c == decimalSeparator) {
      c = '.';
    } else if (c == '.' || c == ',') {
      if (c != decimalSeparator) return false;
    }
  }
  for (char c : s)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E'))
      return false;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || *end != '\0') return false;
  value = v;
  return true;
}

// ---------------------------------------------------------------- dates

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int max = (month == 2 && leap) ? 29 : kDays[month - 1];
  return day <= max;
}

double EncodeDate(int year, int month, int day) {
  return static_cast<double>(
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
      kUnixEpochSerial);
}

double EncodeTime(int hour, int minute, int second, int milliseconds) {
  return static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + milliseconds) /
         static_cast<double>(kMsPerDay);
}

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int milliseconds) {
  return EncodeDate(year, month, day) + EncodeTime(hour, minute, second, milliseconds);
}

DateTimeParts DecodeDateTime(double serial) {
  const int64_t total = std::llround(serial * static_cast<double>(kMsPerDay));
  int64_t days = total / kMsPerDay;
  int64_t ms = total % kMsPerDay;
  if (ms < 0) {
    ms += kMsPerDay;
    --days;
  }
  DateTimeParts p;
  CivilFromDays(days - kUnixEpochSerial, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.milliseconds = static_cast<int>(ms % 1000);
  // 1899-12-30 was a Saturday.
  p.dayOfWeek = static_cast<int>(((days % 7) + 7 + 6) % 7);
  return p;
}

double SystemTimeToSerial(const plat::SystemTime& t) {
  return EncodeDateTime(t.year, t.month, t.day, t.hour, t.minute, t.second, t.milliseconds);
}

double Now() {
  return SystemTimeToSerial(plat::GetLocalTime());
}

std::string FormatIniDateTime(double serial) {
  const DateTimeParts p = DecodeDateTime(serial);
  return Pad(p.month, 2) + "/" + Pad(p.day, 2) + "/" + Pad(p.year, 4) + " " + Pad(p.hour, 2) + ":" +
         Pad(p.minute, 2) + ":" + Pad(p.second, 2) + ":" + Pad(p.milliseconds, 3);
}

bool TryParseUsDateTime(const std::string& text, double& serial) {
  const std::string s = Trim(text);
  size_t i = 0;
  const auto number = [&](int& out, int maxDigits) {
    const size_t start = i;
    int v = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && static_cast<int>(i - start) < maxDigits)
      v = v * 10 + (s[i++] - '0');
    out = v;
    return i > start;
  };
  const auto skipBlanks = [&] {
    while (i < s.size() && s[i] == ' ')
      ++i;
  };
  int month = 0, day = 0, year = 0;
  if (!number(month, 2) || i >= s.size() || s[i] != '/') return false;
  ++i;
  if (!number(day, 2) || i >= s.size() || s[i] != '/') return false;
  ++i;
  const size_t yearStart = i;
  if (!number(year, 4)) return false;
  if (i - yearStart <= 2) {
    // Two-digit years fall within 50 years of the current year.
    const int current = DecodeDateTime(Now()).year;
    int century = current / 100 * 100;
    year += century;
    if (year > current + 50) year -= 100;
    if (year <= current - 50) year += 100;
  }
  if (!IsValidDate(year, month, day)) return false;
  double result = EncodeDate(year, month, day);
  skipBlanks();
  if (i < s.size()) {
    int hour = 0, minute = 0, second = 0, ms = 0;
    if (!number(hour, 2) || i >= s.size() || s[i] != ':') return false;
    ++i;
    if (!number(minute, 2)) return false;
    if (i < s.size() && s[i] == ':') {
      ++i;
      if (!number(second, 2)) return false;
      if (i < s.size() && (s[i] == ':' || s[i] == '.')) {
        ++i;
        const size_t msStart = i;
        if (!number(ms, 3)) return false;
        for (size_t k = i - msStart; k < 3; ++k)
          ms *= 10;
      }
    }
    skipBlanks();
    if (i < s.size()) {
      const std::string suffix = UpperCase(s.substr(i));
      if (suffix == "AM" || suffix == "PM") {
        if (hour < 1 || hour > 12) return false;
        if (suffix == "AM" && hour == 12) hour = 0;
        if (suffix == "PM" && hour != 12) hour += 12;
        i = s.size();
      } else {
        return false;
      }
    }
    if (hour > 23 || minute > 59 || second > 59 || ms > 999) return false;
    result += EncodeTime(hour, minute, second, ms);
  }
  serial = result;
  return true;
}

std::string FormatYyyymmdd(double serial) {
  const DateTimeParts p = DecodeDateTime(serial);
  return Pad(p.year, 4) + Pad(p.month, 2) + Pad(p.day, 2);
}

std::string FormatLogTimestamp(const plat::SystemTime& t) {
  return Pad(t.year, 4) + "-" + Pad(t.month, 2) + "-" + Pad(t.day, 2) + " " + Pad(t.hour, 2) + ":" +
         Pad(t.minute, 2) + ":" + Pad(t.second, 2) + "." + Pad(t.milliseconds, 3);
}

}  // namespace txt
