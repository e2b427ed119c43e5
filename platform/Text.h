// Text, number and date helpers shared by both builds.
//
// Inside the program all text is UTF-8 std::string. These helpers give the same
// answer on Linux and on Windows: case mapping uses our own tables (Latin,
// Latin-1, Latin Extended-A, Greek, Cyrillic), not the C library or CharUpperW.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace txt {

// ---------------------------------------------------------------- encodings
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);
// UTF-16LE bytes (no mark) <-> UTF-8.
std::string Utf16LeBytesToUtf8(const std::string& bytes);
std::string Utf8ToUtf16LeBytes(const std::string& text);
// The system ANSI code page (plat::GetACP) <-> UTF-8. Characters the code page
// cannot hold become "?".
std::string AnsiToUtf8(const std::string& bytes);
std::string Utf8ToAnsi(const std::string& text);
// Decode a whole text file the way the program's readers do: a byte-order mark
// picks UTF-16LE, UTF-16BE or UTF-8; without one the bytes are ANSI.
std::string DecodeTextFile(const std::string& bytes);
// Split text into lines at CR LF, LF or CR (a final line break adds no empty line).
std::vector<std::string> SplitLines(const std::string& text);

// ---------------------------------------------------------------- case and trimming
std::string UpperCase(const std::string& text);
std::string LowerCase(const std::string& text);
// Case-insensitive comparison of code points after upper-casing; <0, 0, >0.
int CompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);
// Case-insensitive substring test; an empty needle is contained in everything.
bool ContainsText(const std::string& haystack, const std::string& needle);
bool StartsText(const std::string& prefix, const std::string& text);
bool EndsText(const std::string& suffix, const std::string& text);
// Trim removes blanks and control characters (every byte <= ' ') at both ends.
std::string Trim(const std::string& text);
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);
// Replace every occurrence of from by to; ignoreCase uses SameText matching.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to,
                       bool ignoreCase = false);

// ---------------------------------------------------------------- integers
// Integer text as INI and settings files hold it: optional leading blanks, optional
// sign, decimal digits, or "$"/"0x"/"0X" followed by hexadecimal digits (up to
// 32 bits; FFFFFFFF reads as -1). Anything else is not a number.
bool TryStrToInt(const std::string& text, int32_t& value);
int32_t StrToIntDef(const std::string& text, int32_t defaultValue);
bool TryStrToInt64(const std::string& text, int64_t& value);
int64_t StrToInt64Def(const std::string& text, int64_t defaultValue);
std::string IntToStr(int64_t value);
std::string UIntToStr(uint64_t value);
// Upper-case hexadecimal with at least `digits` digits.
std::string IntToHex(uint64_t value, int digits);

// ---------------------------------------------------------------- floating point
// The user's decimal separator (plat::GetUserDecimalSeparator), read once.
char DecimalSeparator();
// General form: shortest text with up to 15 significant digits; fixed notation
// unless the exponent is below -5 or at least 15, then "1.5E-6" / "1E20".
std::string FloatToStr(double value, char decimalSeparator);
std::string FloatToStr(double value);
// Fixed with `decimals` places, rounded half away from zero ("0.0" is decimals 1).
std::string FormatFixed(double value, int decimals, char decimalSeparator);
std::string FormatFixed(double value, int decimals);
// Parses the general or fixed form with the given separator; no thousands separators.
bool TryStrToFloat(const std::string& text, double& value, char decimalSeparator);

// ---------------------------------------------------------------- dates
// Date-time values are day serials: whole days since 30 December 1899, the time
// of day as the fraction.
double EncodeDate(int year, int month, int day);
double EncodeTime(int hour, int minute, int second, int milliseconds);
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                      int milliseconds);
bool IsValidDate(int year, int month, int day);
struct DateTimeParts {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
  int dayOfWeek = 0;  // 0 = Sunday
};
DateTimeParts DecodeDateTime(double serial);
double SystemTimeToSerial(const plat::SystemTime& time);
// The current local time (plat::GetLocalTime) as a day serial.
double Now();
// "mm/dd/yyyy hh:nn:ss:zzz", the form INI files store date-time values in.
std::string FormatIniDateTime(double serial);
// Parses date-time text with United States English conventions: "m/d/yyyy", an
// optional time "h:n[:s[:zzz|.zzz]]" and an optional "AM"/"PM". Two-digit years
// are taken in the window around the current year.
bool TryParseUsDateTime(const std::string& text, double& serial);
// "YYYYMMDD".
std::string FormatYyyymmdd(double serial);
// "yyyy-mm-dd hh:nn:ss.zzz", the log time stamp.
std::string FormatLogTimestamp(const plat::SystemTime& time);

}  // namespace txt
