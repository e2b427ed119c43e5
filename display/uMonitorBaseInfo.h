// The identity of one monitor: what its EDID base block says about it.
#pragma once

#include <cstdint>
#include <string>

struct TRectL {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class TMonitorBaseInfo {
 public:
  virtual ~TMonitorBaseInfo() = default;

  std::string InstanceID;
  std::string ManufacturerID;
  std::string ProductCode;
  std::string MonitorName;
  std::string SerialText;
  std::string DataText;
  uint16_t ManufactureYear = 0;
  uint16_t ManufactureWeek = 0;
  uint32_t SerialNumber = 0;
  bool IsPrimary = false;
  uintptr_t MonitorHandle = 0;
  TRectL WorkArea;
  std::string DeviceName;
  TRectL MonitorRect;
  uint16_t ImageHeightCm = 0;
  uint16_t ImageWidthCm = 0;
  uint16_t NativeHeight = 0;
  uint16_t NativeWidth = 0;
};

// The size of the EDID base block.
inline constexpr size_t kEdidBlockSize = 128;

// Fills the identity fields of Info from the EDID bytes. Descriptor texts are read in
// CodePage (0: the system's ANSI code page), cut at the first line feed, carriage return
// or zero byte and trimmed of blanks; of several descriptors of one kind the one nearest
// the start wins unless its text is empty. Bytes shorter than the base block decode
// nothing: false, Info unchanged.
bool DecodeEdid(const std::string& Bytes, TMonitorBaseInfo& Info, uint32_t CodePage = 0);
