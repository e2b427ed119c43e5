// The simulated monitors (see SimMonitors.h): the seam's monitor functions answered
// from the machine's [monitor N] sections, and those sections' reader and writer.
#include "platform/sim/SimMonitors.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/Monitors.h"
#include "platform/Text.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

constexpr uint32_t kDdcFailure = 31;  // ERROR_GEN_FAILURE: the monitor did not answer
constexpr plat::MonitorHandle kFirstOutput = 0x10001;
constexpr plat::PhysicalHandle kFirstPhysical = 0x2000;
constexpr uintptr_t kLibraryModule = 0x7A000000;

std::string MonitorFile(const Machine& m, const std::string& file) {
  if (file.empty() || file[0] == '/' || m.home.empty()) return file;
  return m.home + "/" + file;
}

bool ReadHostFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int OutputOf(const SimMonitor& mon, size_t index) {
  return mon.display > 0 ? mon.display : static_cast<int>(index + 1);
}

std::string DefaultId(size_t index) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "DISPLAY\\Default_Monitor\\%04zu&%04zu", index, index);
  return buf;
}

std::string IdOf(const SimMonitor& mon, size_t index) {
  return mon.instanceId.empty() ? DefaultId(index) : mon.instanceId;
}

// The display outputs in order: the distinct output numbers of the monitors.
std::vector<int> Outputs(const Machine& m) {
  std::set<int> outputs;
  for (size_t i = 0; i < m.monitors.monitors.size(); ++i)
    outputs.insert(OutputOf(m.monitors.monitors[i], i));
  return {outputs.begin(), outputs.end()};
}

std::string Hex2(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X", v);
  return buf;
}

bool ParseVcpList(const std::string& text, std::map<uint8_t, std::pair<uint32_t, uint32_t>>* vcp,
                  std::map<uint8_t, uint32_t>* plain) {
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = txt::Trim(text.substr(pos, comma - pos));
    pos = comma + 1;
    if (item.empty()) continue;
    const size_t eq = item.find('=');
    if (eq == std::string::npos) return false;
    const std::string value = item.substr(eq + 1);
    const size_t slash = value.find('/');
    char* end = nullptr;
    const std::string codeText = txt::Trim(item.substr(0, eq));
    const unsigned long code = std::strtoul(codeText.c_str(), &end, 16);
    if (codeText.empty() || *end || code > 0xFF) return false;
    const std::string curText = txt::Trim(value.substr(0, slash));
    const unsigned long cur = std::strtoul(curText.c_str(), &end, 0);
    if (curText.empty() || *end) return false;
    unsigned long max = 0;
    if (slash != std::string::npos) {
      const std::string maxText = txt::Trim(value.substr(slash + 1));
      max = std::strtoul(maxText.c_str(), &end, 0);
      if (maxText.empty() || *end) return false;
    }
    if (vcp) (*vcp)[static_cast<uint8_t>(code)] = {cur, max};
    if (plain) (*plain)[static_cast<uint8_t>(code)] = static_cast<uint32_t>(cur);
  }
  return true;
}

bool Bool(const std::string& v, bool& out) {
  const std::string l = txt::LowerCase(v);
  if (l == "yes" || l == "true" || l == "1" || l == "on") return out = true, true;
  if (l == "no" || l == "false" || l == "0" || l == "off") return out = false, true;
  return false;
}

// The physical monitor behind a handle, or null (last error 6).
SimMonitor* Physical(Machine& m, plat::PhysicalHandle h, size_t& index) {
  if (h < kFirstPhysical || h >= kFirstPhysical + m.monitors.monitors.size()) {
    SetError(plat::kERROR_INVALID_HANDLE);
    return nullptr;
  }
  index = h - kFirstPhysical;
  return &m.monitors.monitors[index];
}

// One DDC/CI call: its answer delay on the machine clock, then Answer under the machine's
// lock; journaled with the time it was made.
bool DdcCall(plat::PhysicalHandle h, const std::string& what,
             const std::function<bool(SimMonitor&, std::string&)>& Answer) {
  uint64_t start = plat::GetTickCount64();
  uint32_t delay = 0;
  {
    Op op;
    size_t index = 0;
    SimMonitor* mon = Physical(op.m(), h, index);
    if (!mon) return false;
    delay = mon->delayMs;
  }
  if (delay) plat::Sleep(delay);
  Op op;
  size_t index = 0;
  SimMonitor* mon = Physical(op.m(), h, index);
  if (!mon) return false;
  std::string detail = what;
  bool ok = false;
  if (!mon->ddc) {
    SetError(kDdcFailure);
  } else if (mon->failures > 0) {
    --mon->failures;
    SetError(kDdcFailure);
  } else {
    ok = Answer(*mon, detail);
  }
  op.m().monitors.journal.push_back(std::to_string(start) + " " + std::to_string(index + 1) + " " +
                                    detail + (ok ? " ok" : " fail"));
  op.Changed();
  return ok;
}

}  // namespace

bool ParseMonitorSection(const std::string& kind, const std::string& arg,
                         const std::vector<MonitorEntry>& entries, Machine& m, std::string& error) {
  const auto bad = [&](const MonitorEntry& e, const std::string& what) {
    error = "line " + std::to_string(e.line) + ": " + what;
    return false;
  };
  if (kind == "ddcjournal") {
    for (const MonitorEntry& e : entries) {
      if (e.name != "call") return bad(e, "unknown key '" + e.name + "' in [ddcjournal]");
      m.monitors.journal.push_back(e.value);
    }
    return true;
  }
  SimMonitor mon;
  for (const MonitorEntry& e : entries) {
    const std::string& v = e.value;
    char* end = nullptr;
    const auto number = [&](uint32_t& out) {
      out = static_cast<uint32_t>(std::strtoul(v.c_str(), &end, 0));
      return !v.empty() && !*end;
    };
    uint32_t n = 0;
    if (e.name == "id") {
      mon.instanceId = v;
    } else if (e.name == "edid") {
      mon.edidFile = v;
    } else if (e.name == "caps") {
      mon.capsFile = v;
    } else if (e.name == "description") {
      mon.description = v;
    } else if (e.name == "display") {
      if (!number(n)) return bad(e, "'display' needs a number");
      mon.display = static_cast<int>(n);
    } else if (e.name == "ddc") {
      if (!Bool(v, mon.ddc)) return bad(e, "'ddc' is yes or no");
    } else if (e.name == "handles") {
      if (!Bool(v, mon.handles)) return bad(e, "'handles' is yes or no");
    } else if (e.name == "delay") {
      if (!number(mon.delayMs)) return bad(e, "'delay' needs milliseconds");
    } else if (e.name == "failures") {
      if (!number(mon.failures)) return bad(e, "'failures' needs a number");
    } else if (e.name == "vcp") {
      if (!ParseVcpList(v, &mon.vcp, nullptr)) return bad(e, "'vcp' is CODE=current/maximum, ...");
    } else if (e.name == "factory") {
      if (!ParseVcpList(v, nullptr, &mon.factory)) return bad(e, "'factory' is CODE=value, ...");
    } else {
      return bad(e, "unknown key '" + e.name + "' in [monitor " + arg + "]");
    }
  }
  m.monitors.monitors.push_back(std::move(mon));
  return true;
}

void WriteMonitorSections(const Machine& m, std::string& out,
                          const std::function<std::string(const std::string&)>& Text) {
  const auto line = [&](const std::string& name, const std::string& value) {
    out += name + (value.empty() ? " =\n" : " = " + Text(value) + "\n");
  };
  size_t n = 0;
  for (const SimMonitor& mon : m.monitors.monitors) {
    out += "\n[monitor " + std::to_string(++n) + "]\n";
    if (!mon.instanceId.empty()) line("id", mon.instanceId);
    if (!mon.edidFile.empty()) line("edid", mon.edidFile);
    if (!mon.capsFile.empty()) line("caps", mon.capsFile);
    if (mon.description != SimMonitor{}.description) line("description", mon.description);
    if (mon.display) line("display", std::to_string(mon.display));
    if (!mon.ddc) line("ddc", "no");
    if (!mon.handles) line("handles", "no");
    if (mon.delayMs) line("delay", std::to_string(mon.delayMs));
    if (mon.failures) line("failures", std::to_string(mon.failures));
    std::string vcp;
    for (const auto& [code, v] : mon.vcp)
      vcp += (vcp.empty() ? "" : ", ") + Hex2(code) + "=" + std::to_string(v.first) + "/" +
             std::to_string(v.second);
    if (!vcp.empty()) line("vcp", vcp);
    std::string factory;
    for (const auto& [code, v] : mon.factory)
      factory += (factory.empty() ? "" : ", ") + Hex2(code) + "=" + std::to_string(v);
    if (!factory.empty()) line("factory", factory);
  }
  if (!m.monitors.journal.empty()) {
    out += "\n[ddcjournal]\n";
    for (const std::string& call : m.monitors.journal)
      line("call", call);
  }
}

std::string DescribeMonitors(const Machine& m) {
  std::string out;
  for (size_t i = 0; i < m.monitors.monitors.size(); ++i) {
    const SimMonitor& mon = m.monitors.monitors[i];
    out += "  " + std::to_string(i + 1) + ". " + IdOf(mon, i) + " on \\\\.\\DISPLAY" +
           std::to_string(OutputOf(mon, i)) + (mon.ddc ? "" : " [no DDC/CI]") +
           (mon.delayMs ? " [answers after " + std::to_string(mon.delayMs) + " ms]" : "") +
           (mon.failures ? " [" + std::to_string(mon.failures) + " failures to come]" : "") +
           "\n     EDID " + (mon.edidFile.empty() ? "none" : mon.edidFile) + ", capabilities " +
           (mon.capsFile.empty() ? "none" : mon.capsFile) + "\n     VCP";
    for (const auto& [code, v] : mon.vcp)
      out += " " + Hex2(code) + "=" + std::to_string(v.first) + "/" + std::to_string(v.second);
    out += "\n";
  }
  if (!m.monitors.journal.empty()) {
    out += "  DDC/CI journal (tick monitor call result):\n";
    for (const std::string& call : m.monitors.journal)
      out += "    " + call + "\n";
  }
  return out;
}

}  // namespace sim

namespace plat {

bool EnumMonitorDevices(std::vector<std::string>& instanceIds) {
  instanceIds.clear();
  sim::Op op;
  sim::Machine& m = op.m();
  bool changed = false;
  for (size_t i = 0; i < m.monitors.monitors.size(); ++i) {
    const sim::SimMonitor& mon = m.monitors.monitors[i];
    const std::string id = sim::IdOf(mon, i);
    instanceIds.push_back(id);
    // Plug and Play keeps the EDID of a present monitor in its device key.
    std::string edid;
    if (mon.edidFile.empty() || !sim::ReadHostFile(sim::MonitorFile(m, mon.edidFile), edid))
      continue;
    std::vector<std::string> names;
    RegKey root = 0;
    if (!sim::SplitRegistryPath(
            "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\" + id + "\\Device Parameters", root, names))
      continue;
    sim::RegKeyNode& key = sim::CreateRegistryPath(m, root, names);
    sim::RegValue value;
    value.name = "EDID";
    value.type = kREG_BINARY;
    value.data = edid;
    sim::SetRegistryValue(key, value);
    changed = true;
  }
  if (changed) op.Changed();
  return true;
}

bool EnumDisplayDevicesW(uint32_t index, DisplayDevice& device) {
  sim::Op op;
  const std::vector<int> outputs = sim::Outputs(op.m());
  if (index >= outputs.size()) {
    sim::SetError(kERROR_NO_MORE_ITEMS);
    return false;
  }
  device.deviceName = "\\\\.\\DISPLAY" + std::to_string(outputs[index]);
  device.stateFlags =
      kDISPLAY_DEVICE_ATTACHED_TO_DESKTOP | (index == 0 ? kDISPLAY_DEVICE_PRIMARY_DEVICE : 0);
  return true;
}

bool EnumDisplayMonitors(const std::function<bool(MonitorHandle, const MonitorRect&)>& visit) {
  std::vector<std::pair<MonitorHandle, MonitorRect>> monitors;
  {
    sim::Op op;
    const std::vector<int> outputs = sim::Outputs(op.m());
    for (size_t i = 0; i < outputs.size(); ++i) {
      const int32_t w = op.m().screenWidth, h = op.m().screenHeight;
      monitors.push_back({sim::kFirstOutput + i, MonitorRect{static_cast<int32_t>(i) * w, 0,
                                                             static_cast<int32_t>(i + 1) * w, h}});
    }
  }
  // The callback runs without the machine's lock: it calls back into the seam.
  for (const auto& [handle, rect] : monitors)
    if (!visit(handle, rect)) break;
  return true;
}

bool GetMonitorInfoW(MonitorHandle monitor, MonitorInfo& info) {
  sim::Op op;
  const std::vector<int> outputs = sim::Outputs(op.m());
  if (monitor < sim::kFirstOutput || monitor >= sim::kFirstOutput + outputs.size()) {
    sim::SetError(kERROR_INVALID_PARAMETER);
    return false;
  }
  const auto i = static_cast<int32_t>(monitor - sim::kFirstOutput);
  const int32_t w = op.m().screenWidth, h = op.m().screenHeight;
  info.monitor = MonitorRect{i * w, 0, (i + 1) * w, h};
  info.work = info.monitor;
  info.work.bottom -= op.m().taskbarHeight;
  info.flags = i == 0 ? kMONITORINFOF_PRIMARY : 0;
  info.device = "\\\\.\\DISPLAY" + std::to_string(outputs[static_cast<size_t>(i)]);
  return true;
}

uintptr_t LoadMonitorConfiguration(const std::string&) {
  sim::Op op;
  // The monitor-configuration library is part of every Windows the machine lists monitors on.
  if (op.m().monitors.monitors.empty()) {
    sim::SetError(126);  // ERROR_MOD_NOT_FOUND
    return 0;
  }
  return sim::kLibraryModule;
}

void FreeMonitorConfiguration() {}

namespace {

// The physical monitors of one output, as (index) in device order.
std::vector<size_t> PhysicalOf(const sim::Machine& m, MonitorHandle monitor) {
  std::vector<size_t> out;
  const std::vector<int> outputs = sim::Outputs(m);
  if (monitor < sim::kFirstOutput || monitor >= sim::kFirstOutput + outputs.size()) return out;
  const int output = outputs[monitor - sim::kFirstOutput];
  for (size_t i = 0; i < m.monitors.monitors.size(); ++i)
    if (sim::OutputOf(m.monitors.monitors[i], i) == output) out.push_back(i);
  return out;
}

bool Loaded(const sim::Machine& m) {
  if (!m.monitors.monitors.empty()) return true;
  sim::SetError(kERROR_PROC_NOT_FOUND);
  return false;
}

void Journal(sim::Op& op, size_t index, const std::string& what, bool ok) {
  op.m().monitors.journal.push_back(std::to_string(plat::GetTickCount64()) + " " +
                                    std::to_string(index + 1) + " " + what +
                                    (ok ? " ok" : " fail"));
  op.Changed();
}

}  // namespace

bool GetNumberOfPhysicalMonitorsFromHMONITOR(MonitorHandle monitor, uint32_t& count) {
  sim::Op op;
  count = 0;
  if (!Loaded(op.m())) return false;
  const std::vector<size_t> physical = PhysicalOf(op.m(), monitor);
  if (physical.empty()) {
    sim::SetError(kERROR_INVALID_PARAMETER);
    return false;
  }
  count = static_cast<uint32_t>(physical.size());
  return true;
}

bool GetPhysicalMonitorsFromHMONITOR(MonitorHandle monitor,
                                     std::vector<PhysicalMonitor>& monitors) {
  for (PhysicalMonitor& p : monitors)
    p = PhysicalMonitor{};
  sim::Op op;
  if (!Loaded(op.m())) return false;
  const std::vector<size_t> physical = PhysicalOf(op.m(), monitor);
  if (physical.empty() || monitors.size() != physical.size()) {
    sim::SetError(kERROR_INVALID_PARAMETER);
    return false;
  }
  for (size_t i = 0; i < physical.size(); ++i) {
    const sim::SimMonitor& mon = op.m().monitors.monitors[physical[i]];
    if (!mon.handles) {
      sim::SetError(sim::kDdcFailure);
      return false;
    }
  }
  for (size_t i = 0; i < physical.size(); ++i) {
    monitors[i].handle = sim::kFirstPhysical + physical[i];
    monitors[i].description = op.m().monitors.monitors[physical[i]].description;
    Journal(op, physical[i], "GetPhysicalMonitorsFromHMONITOR", true);
  }
  return true;
}

bool DestroyPhysicalMonitor(PhysicalHandle monitor) {
  sim::Op op;
  size_t index = 0;
  if (!Loaded(op.m()) || !sim::Physical(op.m(), monitor, index)) return false;
  Journal(op, index, "DestroyPhysicalMonitor", true);
  return true;
}

bool GetCapabilitiesStringLength(PhysicalHandle monitor, uint32_t& length) {
  length = 0;
  {
    sim::Op op;
    if (!Loaded(op.m())) return false;
  }
  return sim::DdcCall(monitor, "GetCapabilitiesStringLength",
                      [&](sim::SimMonitor& mon, std::string& detail) {
                        std::string caps;
                        sim::Op op;
                        if (mon.capsFile.empty() ||
                            !sim::ReadHostFile(sim::MonitorFile(op.m(), mon.capsFile), caps)) {
                          sim::SetError(sim::kDdcFailure);
                          return false;
                        }
                        length = static_cast<uint32_t>(caps.size() + 1);
                        detail += " " + std::to_string(length);
                        return true;
                      });
}

bool CapabilitiesRequestAndCapabilitiesReply(PhysicalHandle monitor, std::string& reply) {
  {
    sim::Op op;
    if (!Loaded(op.m())) return false;
  }
  return sim::DdcCall(monitor, "CapabilitiesRequestAndCapabilitiesReply",
                      [&](sim::SimMonitor& mon, std::string& detail) {
                        std::string caps;
                        sim::Op op;
                        if (mon.capsFile.empty() ||
                            !sim::ReadHostFile(sim::MonitorFile(op.m(), mon.capsFile), caps)) {
                          sim::SetError(sim::kDdcFailure);
                          return false;
                        }
                        detail += " " + std::to_string(reply.size());
                        if (reply.size() < caps.size() + 1) {
                          sim::SetError(kERROR_INVALID_PARAMETER);
                          return false;
                        }
                        std::fill(reply.begin(), reply.end(), '\0');
                        std::copy(caps.begin(), caps.end(), reply.begin());
                        return true;
                      });
}

bool GetVCPFeatureAndVCPFeatureReply(PhysicalHandle monitor, uint8_t code, uint32_t& current,
                                     uint32_t& maximum) {
  current = maximum = 0;
  {
    sim::Op op;
    if (!Loaded(op.m())) return false;
  }
  return sim::DdcCall(monitor, "GetVCPFeature " + sim::Hex2(code),
                      [&](sim::SimMonitor& mon, std::string& detail) {
                        const auto it = mon.vcp.find(code);
                        if (it == mon.vcp.end()) {
                          sim::SetError(sim::kDdcFailure);
                          return false;
                        }
                        current = it->second.first;
                        maximum = it->second.second;
                        detail += "=" + std::to_string(current);
                        return true;
                      });
}

bool SetVCPFeature(PhysicalHandle monitor, uint8_t code, uint32_t value) {
  const sim::ChangeCall change;
  {
    sim::Op op;
    if (!Loaded(op.m())) return false;
  }
  return sim::DdcCall(
      monitor, "SetVCPFeature " + sim::Hex2(code) + "=" + std::to_string(value),
      [&](sim::SimMonitor& mon, std::string&) {
        const auto it = mon.vcp.find(code);
        if (code == 0xB0) return true;  // a command: store the settings
        if (it == mon.vcp.end() || (it->second.second && value > it->second.second)) {
          sim::SetError(sim::kDdcFailure);
          return false;
        }
        it->second.first = value;
        return true;
      });
}

bool RestoreMonitorFactoryColorDefaults(PhysicalHandle monitor) {
  const sim::ChangeCall change;
  {
    sim::Op op;
    if (!Loaded(op.m())) return false;
  }
  return sim::DdcCall(monitor, "RestoreMonitorFactoryColorDefaults",
                      [&](sim::SimMonitor& mon, std::string&) {
                        for (const auto& [code, v] : mon.factory)
                          mon.vcp[code].first = v;
                        return true;
                      });
}

}  // namespace plat
