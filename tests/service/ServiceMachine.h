// Simulated machines for the service module: the settings machine with a service
// table of its own, program files with and without makers, and the user's lists.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/SimMachine.h"
#include "tests/settings/SettingsMachine.h"

namespace servicetest {

using namespace settingstest;

inline const std::string kTemp = kData + "Temp.ini";
inline const std::string kChoices = kData + "UserWinSvc.ini";
inline const std::string kWhite = kData + "User3rdSvcWL.txt";
inline const std::string kFails = kData + "ServiceBoost.ini";
inline const std::string kRunLog = kLogs + "VlxMiniAppRun.log";
inline const std::string kHost = "C:\\Windows\\System32\\svchost.exe";
inline const std::string kVendor = "C:\\Program Files\\Vendor\\svc.exe";
inline const std::string kPlain = "C:\\Tools\\plain.exe";  // no version resource

inline sim::VersionResource Maker(const std::string& company) {
  sim::VersionResource v;
  v.translations = {{0x0409, 0x04B0}};
  v.stringTables = {{"040904B0", {{"CompanyName", company}}}};
  return v;
}

inline sim::Service Svc(const std::string& name, const std::string& path,
                        std::vector<std::string> dependsOn = {},
                        sim::StopBehaviour stop = sim::StopBehaviour::Now, uint32_t arg = 0) {
  sim::Service s;
  s.name = name;
  s.displayName = name + " service";
  s.binaryPath = path;
  s.dependsOn = std::move(dependsOn);
  s.stop = stop;
  s.stopDelayMs = s.refuseError = arg;
  return s;
}

// The settings machine (Windows 10) with only the given services, the program
// files, "UserWinSvc.ini" and, when given, the white list.
inline sim::MachineBuilder ServiceMachine(std::vector<sim::Service> services,
                                          const std::string& choices,
                                          const std::string& white = "") {
  sim::MachineBuilder b = Machine();
  b.With([services](sim::Machine& m) { m.services = services; })
      .File(kHost, "MZ")
      .Version(kHost, Maker("Microsoft Corporation"))
      .File(kVendor, "MZ")
      .Version(kVendor, Maker("Vendor Inc"))
      .File(kPlain, "MZ")
      .File(kTemp, "")
      .File(kChoices, Ini(choices));
  if (!white.empty()) b.File(kWhite, white);
  return b;
}

inline const sim::Service& Find(const sim::Machine& m, const std::string& name) {
  for (const sim::Service& s : m.services)
    if (s.name == name) return s;
  throw std::runtime_error("no service " + name);
}

inline bool Running(const sim::Machine& m, const std::string& name) {
  return Find(m, name).state == plat::kSERVICE_RUNNING;
}

}  // namespace servicetest
