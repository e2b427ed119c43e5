#include "modules/tweaks/uOverClock.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "config/IniFiles.h"
#include "config/PSafeIniFile.h"
#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "modules/tweaks/uOverFun.h"
#include "platform/Text.h"

namespace {

int32_t At(const std::array<unsigned char, kGPUInfoSize>& record, size_t offset) {
  int32_t v = 0;
  std::memcpy(&v, record.data() + offset, sizeof v);
  return v;
}

// (GPU base, memory base) from the card's information, 0 when it tells nothing.
std::pair<int32_t, int32_t> ReadGPUBaseClocks() {
  const TOverDriveFuns& f = OverDriveFuns();
  if (!f.GetGPUInfo) return {0, 0};
  std::array<unsigned char, kGPUInfoSize> record{};
  f.GetGPUInfo(record.data());
  if (At(record, 156) > 0)
    return {TOverClockBoost::RoundClock(At(record, 156) / 100.0),
            TOverClockBoost::RoundClock(At(record, 160) / 100.0)};
  if (At(record, 404) > 0)
    return {TOverClockBoost::RoundClock(At(record, 404) / 1000.0),
            TOverClockBoost::RoundClock(At(record, 408) / 1000.0)};
  return {0, 0};
}

bool LastOverClockWentWrong() {
  try {
    TSafeIniFile ini(GetOwnFolder() + "OverDrive.ini");
    return ini.ReadInteger("OverClock", "exception", 0) == 1;
  } catch (const std::exception&) {
    return false;
  }
}

// value / base * 0.5 * 100, with its run-log line.
double Credit(const char* name, int32_t value, int32_t base) {
  const double percent = static_cast<double>(value) / base * 0.5 * 100;
  LogInfo(std::string("TOverClockBoost: ") + name + ":=" + std::to_string(value) + "/" +
          std::to_string(base) + "* 0.5 * 100=" + txt::FloatToStr(percent));
  return percent;
}

}  // namespace

int32_t TOverClockBoost::RoundClock(double x) {
  const double whole = std::trunc(x);
  return static_cast<int32_t>(whole) + (x - whole >= 0.5 ? 1 : 0);
}

bool TOverClockBoost::IsEnabled() {
  bool enabled = false;
  if (GConfig) {
    auto settings = GConfig->OpenSettingsIni();
    int32_t level = settings->ReadInteger("Boost", "OCLevel", 1);
    if (level < 0 || level > 3) {
      level = 1;
      settings->WriteInteger("Boost", "OCLevel", 1);
    }
    enabled = level != 0;
  }
  LogInfo(std::string("OverClock Enable") + (enabled ? "True" : "False"));
  return enabled;
}

void TOverClockBoost::SetEnabled(bool Value) {
  WriteBoostFlag("OverClock", Value);
}

bool TOverClockBoost::Boost() {
  if (fStop || !IsEnabled()) return false;
  if (LastOverClockWentWrong()) {
    LogInfo("TOverClockBoost.Boost  GetRangeError");
    return false;
  }
  const TOverDriveFuns& f = OverDriveFuns();
  if (!f.OverClock) {
    LogError("TOverClockBoost.Boost : OverDrive.dll not available");
    return false;
  }
  const auto [gpuBase, memBase] = ReadGPUBaseClocks();
  int32_t gpu = 0;
  int32_t mem = 0;
  // The record comes first and asks for a reset, should the run end inside the call with
  // the clocks raised; the amounts the library applied replace it.
  if (fTempIni) {
    fTempIni->WriteInteger(kSection, "OverClockGPU", 1);
    fTempIni->WriteInteger(kSection, "OverClockMem", 0);
  }
  LogInfo("Mini Start OverClock");
  const int32_t result = f.OverClock(&gpu, &mem, 0);
  if (fTempIni) {
    if (result == 1 || gpu > 0 || mem > 0) {
      fTempIni->WriteInteger(kSection, "OverClockGPU", gpu);
      fTempIni->WriteInteger(kSection, "OverClockMem", mem);
    } else {
      fTempIni->EraseSection(kSection);
    }
  }
  if (result != 1) {
    LogInfo("OverClock Failed");
    return false;
  }
  GPUPercent = 0;
  MemPercent = 0;
  if (gpuBase > 0) GPUPercent = Credit("GPUPercent", gpu, gpuBase);
  if (memBase > 0) MemPercent = Credit("MemPercent", mem, memBase);
  LogInfo("GPUValue : " + std::to_string(gpu));
  LogInfo("MemValue : " + std::to_string(mem));
  LogInfo("OverClock Succeed");
  return true;
}

void TOverClockBoost::Restore() {
  GPUPercent = 0;
  MemPercent = 0;
  if (fStop || !fTempIni || !fTempIni->SectionExists(kSection)) return;
  const int32_t gpu = fTempIni->ReadInteger(kSection, "OverClockGPU", 0);
  const int32_t mem = fTempIni->ReadInteger(kSection, "OverClockMem", 0);
  if (gpu < 1 && mem < 1) return;
  const TOverDriveFuns& f = OverDriveFuns();
  if (!f.Reset) {
    LogError(
        "TOverClockBoost.Restore : OverDrive.dll not available, reset pending: "
        "OverClockGPU=" +
        std::to_string(gpu) + " OverClockMem=" + std::to_string(mem));
    return;
  }
  LogInfo(f.Reset() == 1 ? "Reset Succeed" : "Reset Failed");
  fTempIni->EraseSection(kSection);
}
