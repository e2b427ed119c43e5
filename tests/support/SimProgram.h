// Running a program over the simulated machine in a process of its own (Linux).
//
// A SimHome is a machine home in a fresh temporary folder, written from a test's
// MachineBuilder; RunSimProgram forks, opens the home in the child, runs a function
// there (the program's entry, which may end with plat::ExitProcess) and hands the
// exit code back. Afterwards the test reads the machine as the program left it.
#pragma once

#ifndef _WIN32

#include <functional>
#include <memory>
#include <string>

#include "platform/sim/SimMachine.h"

namespace test {

class SimHome {
 public:
  // Writes the builder's machine to <home>/machine.txt; drive C: stays in the
  // builder's temporary folder, removed with the home.
  explicit SimHome(sim::MachineBuilder& builder);
  explicit SimHome(sim::MachineBuilder&& builder) : SimHome(builder) {}
  ~SimHome();
  SimHome(const SimHome&) = delete;
  SimHome& operator=(const SimHome&) = delete;

  const std::string& dir() const { return dir_; }
  // The machine as its file holds it now (fails the test when unreadable).
  std::unique_ptr<sim::Machine> Load() const;

 private:
  std::string dir_;
  std::string driveDir_;
};

struct ProgramResult {
  int exitCode = -1;      // the child's exit code (when it exited)
  int signal = 0;         // the signal that ended it, if any
  bool timedOut = false;  // killed after the time-out
};

// Runs body in a child process over the machine in home; its return value is the
// exit code unless it ends the process itself. Killed after timeoutMs (real time): a guard
// against a hang only, with room for a machine starved by other work.
ProgramResult RunSimProgram(const std::string& home, const std::function<int()>& body,
                            int timeoutMs = 60000);

}  // namespace test

#endif
