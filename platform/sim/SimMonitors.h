// The simulated machine's monitors: monitor devices with their EDID, display outputs,
// and DDC/CI monitors that answer from a capability string file and keep their VCP
// values in the machine file, with answer delays, failures and a journal of every
// DDC/CI call on the machine clock. Sections "[monitor N]" and "[ddcjournal]" of the
// machine file (docs/sim-machine.md).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct Machine;

struct SimMonitor {
  std::string instanceId;  // device instance identifier (DISPLAY\...); default from its number
  std::string edidFile;    // host file with the EDID bytes (relative: to the home); "" none
  std::string capsFile;    // host file with the capability reply; "" none
  std::string description = "Generic PnP Monitor";
  int display = 0;        // the display output it hangs on (1, 2, ...); 0: its own number
  bool ddc = true;        // answers DDC/CI at all
  bool handles = true;    // GetPhysicalMonitorsFromHMONITOR of its output succeeds
  uint32_t delayMs = 0;   // every DDC/CI call takes this long on the machine clock
  uint32_t failures = 0;  // the next N DDC/CI calls fail
  std::map<uint8_t, std::pair<uint32_t, uint32_t>> vcp;  // code -> (current, maximum)
  std::map<uint8_t, uint32_t> factory;                   // factory reset values
};

struct MonitorState {
  std::vector<SimMonitor> monitors;  // in device order
  std::vector<std::string> journal;  // "tick monitor Function arguments ok|fail"
};

// The machine file's monitor sections. Value is (name, unquoted value, line).
struct MonitorEntry {
  std::string name, value;
  int line = 0;
};
bool ParseMonitorSection(const std::string& kind, const std::string& arg,
                         const std::vector<MonitorEntry>& entries, Machine& m, std::string& error);
// Writes the sections; Text quotes a value when it must be.
void WriteMonitorSections(const Machine& m, std::string& out,
                          const std::function<std::string(const std::string&)>& Text);
// For vlxsim show monitors.
std::string DescribeMonitors(const Machine& m);

}  // namespace sim
