// DDC/CI capability strings: the top level as name=value lines, the VCP list as one
// code=values entry per VCP code, and the display modes and colour presets a monitor
// offers. Lists hold "name=value" texts; names compare without regard to case.
#pragma once

#include <string>
#include <vector>

using TNameValueList = std::vector<std::string>;

// The value of Name in a name=value list ("" when absent).
std::string ListValue(const TNameValueList& List, const std::string& Name);
// Whether List holds Entry as a whole entry, without regard to case.
bool ListHasEntry(const TNameValueList& List, const std::string& Entry);

// Names of the VCP 0xDC (display mode), 0x14 (colour preset) and 0x60 (input source)
// values, as "xx=Name".
const TNameValueList& AllDisplayModes();
const TNameValueList& AllColorPresets();
const TNameValueList& InputSources();

// "prot(monitor)type(LCD)vcp(10 12 14(05 08))mccs_ver(2.1)" gives "prot=monitor",
// "type=LCD", "vcp=10 12 14(05 08)", "mccs_ver=2.1". Outer parentheses (also doubled)
// are dropped; names and values are trimmed; nested parentheses stay in the value.
TNameValueList AnalyzeCapabilities(const std::string& Caps);

// "10 12 14(05 08 0B) DC(00 02) DF" gives "10=", "12=", "14=05_08_0B", "DC=00_02", "DF=":
// values joined by "_", empty when none are listed. Of a paged list only page 0 is read.
// Codes and values written without blanks ("020304") are read as pairs of hexadecimal
// digits; nested value groups keep their first-level values. TimedOut (when given) tells
// whether the list was malformed (unbalanced parentheses); what could be read is kept.
TNameValueList AnalyzeVCP(const std::string& Vcp, bool* TimedOut = nullptr);

// What a capability string says about a monitor.
struct TCapabilityFacts {
  TNameValueList VCPCodes;
  TNameValueList DisplayModes;  // "00=Standard" first when the monitor does not list 00
  TNameValueList ColorPresets;
  bool Mccs20 = false;  // "mccs_ver" is 2.0: display modes 05 to 0A are left out
  bool TimedOut = false;
  // A monitor can be driven when its string lists at least one VCP code.
  bool Supported() const { return !VCPCodes.empty(); }
};
TCapabilityFacts ReadCapabilities(const std::string& Caps);
