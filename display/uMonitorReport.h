// Monitor data as text, the way `vlxmon` prints it: the identity an EDID block gives
// and what a capability reply gives, one "key=value" line each, texts read in code page
// 1252 and printed as UTF-8 with characters below U+0020, U+007F and U+0080-U+009F
// written \xHH and a backslash written \\.
#pragma once

#include <string>

// "" when the bytes are no EDID base block.
std::string EdidReport(const std::string& Bytes);
// The reply ends at its first zero byte.
std::string CapsReport(std::string Bytes);
