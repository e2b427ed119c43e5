// One physical monitor: its identity (TMonitorBaseInfo), its physical-monitor handle and
// what DDC/CI tells about it: the capability string, the VCP codes, the display modes and
// colour presets it offers, and the few VCP controls a boost reads and writes.
#pragma once

#include <cstdint>
#include <string>

#include "display/uMonitorBaseInfo.h"
#include "display/uMonitorCaps.h"
#include "platform/Monitors.h"

// The longest capability string a monitor is asked for, in bytes.
inline constexpr uint32_t kMaxCapabilitiesLength = 32 * 1024;

class TMonitorInfo : public TMonitorBaseInfo {
 public:
  TMonitorInfo() = default;
  // Destroys the physical-monitor handle when the record owns one.
  ~TMonitorInfo() override;
  TMonitorInfo(const TMonitorInfo&) = delete;
  TMonitorInfo& operator=(const TMonitorInfo&) = delete;

  plat::PhysicalMonitor PhysicalMonitor;
  bool OwnsHandle = true;  // false for records that borrow another record's handle
  bool QuickInit = false;  // Init skips the capability query once
  bool Unsupported = true;

  std::string Capabilities;
  TNameValueList VCPCodes;
  TNameValueList DisplayModes;
  TNameValueList ColorPresets;
  bool UseCommonLists = false;
  TNameValueList CommonDisplayModes;
  TNameValueList CommonColorPresets;

  // Queries and parses the capability string (or, once after QuickInit, only marks the
  // record supported). A record is supported when the reply lists a VCP code.
  void Init();
  const TNameValueList& DisplayModeList() const;
  const TNameValueList& ColorPresetList() const;

  // VCP controls; true on success. Each call is tried up to 5 times.
  bool SetDisplayMode(uint32_t Value);
  bool GetDisplayMode(uint32_t& Current, uint32_t& Maximum);
  bool SetColorPreset(uint32_t Value);
  bool GetColorPreset(uint32_t& Current, uint32_t& Maximum);
  bool SetBrightness(uint32_t Value);
  bool GetBrightness(uint32_t& Current, uint32_t& Maximum);
  bool SetContrast(uint32_t Value);
  bool GetContrast(uint32_t& Current, uint32_t& Maximum);
  bool StoreSettings();
  bool ResetFactory();

  // The capability string, asked for with waits and up to 50 attempts per step; "" when
  // the monitor does not answer.
  std::string CapabilitiesRequestAndCapabilitiesReplyEx();

 private:
  bool SetVCP(uint8_t Code, uint32_t Value, const std::string& Name, bool Hex);
  bool GetVCP(uint8_t Code, uint32_t& Current, uint32_t& Maximum, const std::string& Name,
              bool LogFailure);
};

// Up to 5 attempts, each between waits of 50 ms.
bool SetVCPWithRetry(plat::PhysicalHandle Handle, uint8_t Code, uint32_t Value);
bool GetVCPWithRetry(plat::PhysicalHandle Handle, uint8_t Code, uint32_t& Current,
                     uint32_t& Maximum);
