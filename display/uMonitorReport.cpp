#include "display/uMonitorReport.h"

#include <cstdio>
#include <vector>

#include "display/uMonitorBaseInfo.h"
#include "display/uMonitorCaps.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

constexpr uint32_t kCodePage1252 = 1252;

std::string Escaped(const std::string& utf8) {
  std::string out;
  for (char16_t c : txt::Utf8ToUtf16(utf8)) {
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
      out += "\\x" + txt::IntToHex(c, 2);
    } else if (c == u'\\') {
      out += "\\\\";
    } else {
      out += txt::Utf16ToUtf8(std::u16string(1, c));
    }
  }
  return out;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i)
    out += (i ? ";" : "") + items[i];
  return Escaped(out);
}

}  // namespace

std::string EdidReport(const std::string& Bytes) {
  TMonitorBaseInfo info;
  if (!DecodeEdid(Bytes, info, kCodePage1252)) return "";
  const auto n = [](uint64_t v) { return std::to_string(v); };
  return "manufacturer=" + Escaped(info.ManufacturerID) + "\nproduct=" + info.ProductCode +
         "\nserial=" + n(info.SerialNumber) + "\nweek=" + n(info.ManufactureWeek) +
         "\nyear=" + n(info.ManufactureYear) + "\nwidth_cm=" + n(info.ImageWidthCm) +
         "\nheight_cm=" + n(info.ImageHeightCm) + "\nnative_width=" + n(info.NativeWidth) +
         "\nnative_height=" + n(info.NativeHeight) + "\nname=" + Escaped(info.MonitorName) +
         "\nserial_text=" + Escaped(info.SerialText) + "\ndata_text=" + Escaped(info.DataText) +
         "\n";
}

std::string CapsReport(std::string Bytes) {
  if (const size_t nul = Bytes.find('\0'); nul != std::string::npos) Bytes.resize(nul);
  const std::string text = txt::Utf16ToUtf8(plat::MultiByteToWideChar(kCodePage1252, Bytes));
  const TCapabilityFacts facts = ReadCapabilities(text);
  return "vcp=" + Joined(facts.VCPCodes) + "\nmodes=" + Joined(facts.DisplayModes) +
         "\npresets=" + Joined(facts.ColorPresets) + "\nmccs20=" + (facts.Mccs20 ? "1" : "0") +
         "\ntimeout=" + (facts.TimedOut ? "1" : "0") + "\n";
}
