// Simulated machines for the process module: the settings machine with no
// processes of its own, helpers to add processes with image files and version
// resources.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

#include "diag/uAppLog.h"
#include "platform/Platform.h"
#include "tests/engine/EngineMachine.h"
#include "tests/support/ScoreDb.h"

namespace processtest {

using namespace settingstest;

inline const std::string kTemp = kData + "Temp.ini";
inline const std::string kChoices = kData + "Process.ini";
inline const std::string kBlack = kData + "UserProcBL.txt";
inline const std::string kWhite = kData + "UserProcWL.txt";
inline const std::string kScore = kData + "Score.db";
inline const std::string kGames = "C:\\Games\\";

// A process of the logged-on user started from Folder (the games folder unless told).
inline sim::Process Proc(uint32_t pid, const std::string& exe, const std::string& folder = kGames) {
  sim::Process p;
  p.pid = pid;
  p.exeFile = exe;
  p.imagePath = folder + exe;
  p.owner = "Gamer";
  p.commandLine = "\"" + p.imagePath + "\"";
  p.wsPrivate = 100;
  return p;
}

// A version resource with one English string table.
inline sim::VersionResource Strings(const std::string& company, const std::string& description,
                                    const std::string& product = "",
                                    const std::string& version = "1.0") {
  sim::VersionResource v;
  v.translations = {{0x0409, 0x04B0}};
  v.stringTables = {{"040904B0",
                     {{"CompanyName", company},
                      {"FileDescription", description},
                      {"ProductName", product},
                      {"ProductVersion", version}}}};
  return v;
}

// The settings machine without the default machine's processes.
inline sim::MachineBuilder ProcessMachine() {
  sim::MachineBuilder b = Machine();
  b.With([](sim::Machine& m) { m.processes.clear(); });
  b.File(kTemp, "");
  return b;
}

// Adds a process together with its image file (and version resource when given).
inline void Add(sim::MachineBuilder& b, const sim::Process& p,
                const sim::VersionResource* version = nullptr) {
  b.AddProcess(p);
  b.File(p.imagePath, "MZ");
  if (version) b.Version(p.imagePath, *version);
}

// The identifiers of the running processes, in the machine's order.
inline std::vector<uint32_t> Pids(const sim::Machine& m) {
  std::vector<uint32_t> out;
  for (const sim::Process& p : m.processes)
    out.push_back(p.pid);
  return out;
}

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace processtest
