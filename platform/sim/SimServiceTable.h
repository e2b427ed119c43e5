// The simulated machine's service table ("[service NAME]" sections of the machine
// file, docs/sim-machine.md) and what the service manager functions do with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Services.h"

namespace sim {

struct Machine;

// How a service answers SERVICE_CONTROL_STOP.
enum class StopBehaviour : uint8_t {
  Now,     // stopped at once
  After,   // stop pending, stopped stopDelayMs later
  Refuse,  // the control fails at once with refuseError
  Never,   // its handler blocks: the control call waits the manager's 30 s, then fails with 1053
};

struct Service {
  std::string name;
  std::string displayName;
  std::string description;  // empty: none
  std::string binaryPath;   // as the configuration holds it (quoted or not, with arguments)
  uint32_t type = plat::kSERVICE_WIN32_OWN_PROCESS;
  uint32_t state = plat::kSERVICE_RUNNING;
  uint32_t checkPoint = 0;
  uint32_t waitHint = 0;
  uint32_t startType = plat::kSERVICE_DEMAND_START;
  std::string startName = "LocalSystem";
  std::vector<std::string> dependsOn;  // services this one needs (its dependencies)
  StopBehaviour stop = StopBehaviour::Now;
  uint32_t stopDelayMs = 0;            // After
  uint32_t refuseError = 0;            // Refuse
  uint64_t pendingSince = 0, due = 0;  // a pending stop: machine ticks it began and ends
};

// The services that depend on Name, in table order (what EnumDependentServicesW lists).
std::vector<const Service*> DependentsOf(const Machine& machine, const std::string& name);
// Finishes pending stops that are due at the machine's current tick.
void SettleServices(Machine& machine);
// Service handles (manager and services) open now.
size_t OpenServiceHandles();

// The table as "vlxsim show services" prints it.
std::string DescribeServices(const Machine& machine);

}  // namespace sim
