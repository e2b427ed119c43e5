#include "display/uMonitorBaseInfo.h"

#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

// The text of one 18-byte descriptor block: 13 bytes from offset 5.
std::string DescriptorText(const std::string& block, uint32_t codePage) {
  std::string raw = block.substr(5, 13);
  const size_t end = raw.find_first_of(std::string("\n\r\0", 3));
  if (end != std::string::npos) raw.resize(end);
  const std::string text = txt::Utf16ToUtf8(plat::MultiByteToWideChar(codePage, raw));
  return txt::Trim(text);
}

}  // namespace

bool DecodeEdid(const std::string& Bytes, TMonitorBaseInfo& Info, uint32_t CodePage) {
  if (Bytes.size() < kEdidBlockSize) return false;
  const auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(Bytes[i])); };

  // Three 5-bit letters, big-endian; bit 7 of byte 8 is reserved. A code 0 ends the text.
  Info.ManufacturerID.clear();
  for (uint32_t code : {(b(8) >> 2) & 31, ((b(8) & 3) << 3) | (b(9) >> 5), b(9) & 31}) {
    if (code == 0) break;
    Info.ManufacturerID += static_cast<char>('A' + code - 1);
  }
  Info.ProductCode = txt::IntToHex(b(10) + 256 * b(11), 4);
  Info.SerialNumber = b(12) | (b(13) << 8) | (b(14) << 16) | (b(15) << 24);
  Info.ManufactureWeek = static_cast<uint16_t>(b(16));
  Info.ManufactureYear = static_cast<uint16_t>(b(17) + 1990);
  Info.ImageWidthCm = static_cast<uint16_t>(b(21));
  Info.ImageHeightCm = static_cast<uint16_t>(b(22));
  Info.NativeWidth = static_cast<uint16_t>(((b(58) & 0xF0) << 4) | b(56));
  Info.NativeHeight = static_cast<uint16_t>(((b(61) & 0xF0) << 4) | b(59));

  // Descriptors from the last to the first, so that the first of a kind wins.
  Info.MonitorName.clear();
  Info.SerialText.clear();
  Info.DataText.clear();
  for (size_t offset : {108u, 90u, 72u, 54u}) {
    if (b(offset) != 0 || b(offset + 1) != 0 || b(offset + 2) != 0) continue;
    std::string* field = nullptr;
    switch (b(offset + 3)) {
      case 0xFC:
        field = &Info.MonitorName;
        break;
      case 0xFF:
        field = &Info.SerialText;
        break;
      case 0xFE:
        field = &Info.DataText;
        break;
      default:
        continue;
    }
    const std::string text = DescriptorText(Bytes.substr(offset, 18), CodePage);
    if (!text.empty() || field->empty()) *field = text;
  }
  return true;
}
