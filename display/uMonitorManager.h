// The monitor manager: the monitor devices Windows knows, each one's identity from its
// EDID, paired with its display output and physical-monitor handle, sorted into the
// monitors DDC/CI can drive and the others. One manager, GMonitorManager, lives from
// start-up to the end of the program; the boost and restore of monitor picture presets
// (uMonitorBoost) work on it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "display/uMonitorInfo.h"

class TSafeIniFile;

class TMonitorManager {
 public:
  // Folder: where "Monitor.ini" lives (with a trailing delimiter). Runs a quick refresh.
  explicit TMonitorManager(const std::string& Folder);
  ~TMonitorManager();
  TMonitorManager(const TMonitorManager&) = delete;
  TMonitorManager& operator=(const TMonitorManager&) = delete;

  // Releases every record.
  void Clear();
  // Rebuilds the lists. A quick refresh (QuickRefresh set) asks no monitor for its
  // capabilities; a full one also records first-seen settings and narrows the common lists.
  void RefreshMonitors();

  int MonitorCount() const { return static_cast<int>(Monitors.size()); }
  TMonitorInfo* MonitorItems(int Index) const { return Monitors[Index].get(); }
  int SupportedCount() const { return static_cast<int>(SupportedMonitors.size()); }
  TMonitorInfo* SupportedItems(int Index) const { return SupportedMonitors[Index]; }
  int UnsupportedCount() const { return static_cast<int>(UnsupportedMonitors.size()); }

  // Saves each supported monitor's settings and applies the gaming choice of
  // "Monitor.ini"; the restore puts the saved settings back (uMonitorBoost.cpp).
  void MonitorDDCBoost();
  void MonitorDDCRestore();

  TMonitorInfo* PrimaryMonitor = nullptr;
  bool QuickRefresh = false;

  std::string MonitorIniName() const { return fFolder + "Monitor.ini"; }

 private:
  void EnumMonitors();
  void ReadEDID();
  void Bind();
  void DoMonitorEnum(plat::MonitorHandle Monitor, const plat::MonitorRect& Rect, size_t& N);
  void AddTestMonitors(TSafeIniFile& Ini);
  void CaptureOriginal(TSafeIniFile& Ini, TMonitorInfo& M);
  void BuildCommonLists();
  // The "_Boost" section of each supported monitor, in list order: the monitor's name, or
  // name + "#" + k for the k-th supported monitor whose name an earlier one already has.
  std::vector<std::string> BoostSections() const;

  std::string fFolder;
  std::vector<std::unique_ptr<TMonitorInfo>> Monitors;
  std::vector<TMonitorInfo*> SupportedMonitors;
  std::vector<TMonitorInfo*> UnsupportedMonitors;
};

extern std::unique_ptr<TMonitorManager> GMonitorManager;

// Loads the monitor-configuration library ("Dxva2.dll") once and binds its functions;
// logs "LoadDxva2 start " + the module handle. False when it cannot be loaded.
bool LoadDxva2();
bool Dxva2Loaded();
// Start-up of the display units: the monitor logs, LoadDxva2 and GMonitorManager.
void InitMonitorUnits();
// Releases the manager (and every physical-monitor handle) and the library.
void DoneMonitorUnits();
