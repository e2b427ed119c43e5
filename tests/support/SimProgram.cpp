#include "tests/support/SimProgram.h"

#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace test {

namespace fs = std::filesystem;

SimHome::SimHome(sim::MachineBuilder& builder) {
  static std::atomic<int> counter{0};
  dir_ = (fs::temp_directory_path() /
          ("vlx-home-" + std::to_string(::getpid()) + "-" + std::to_string(counter++)))
             .string();
  fs::remove_all(dir_);
  fs::create_directories(dir_);
  std::unique_ptr<sim::Machine> machine = builder.Build();
  // The drive folders stay where the builder seeded them: relative ones are written
  // as absolute paths, since the home is elsewhere.
  for (auto& [letter, folder] : machine->drives)
    if (!fs::path(folder).is_absolute() && !machine->home.empty())
      folder = (fs::path(machine->home) / folder).string();
  auto c = machine->drives.find('C');
  if (c != machine->drives.end()) driveDir_ = c->second;
  std::ofstream(dir_ + "/machine.txt", std::ios::binary) << sim::Serialize(*machine);
}

SimHome::~SimHome() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
  if (!driveDir_.empty() && fs::path(driveDir_).is_absolute()) fs::remove_all(driveDir_, ec);
}

std::unique_ptr<sim::Machine> SimHome::Load() const {
  std::ifstream in(dir_ + "/machine.txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  auto machine = std::make_unique<sim::Machine>();
  std::string error;
  EXPECT_TRUE(sim::Parse(text.str(), *machine, error)) << error;
  return machine;
}

ProgramResult RunSimProgram(const std::string& home, const std::function<int()>& body,
                            int timeoutMs) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 99;
    try {
      sim::Install(sim::Session::OpenHome(home));
      code = body();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "sim program: %s\n", e.what());
    }
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
  }
  ProgramResult result;
  if (child < 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      result.timedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace test

#endif
