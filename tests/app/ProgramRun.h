// A whole run of the program in a process of its own over a simulated machine, and
// what it left there: files, logs, messages to other programs' windows, library calls.
#pragma once

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/VlxMini.h"
#include "app/uBoostModules.h"
#include "app/uHostInterface.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/LogText.h"
#include "tests/support/SimProgram.h"

namespace apptest {

inline const std::string kProgram = "C:\\Program Files (x86)\\Velmora\\";
inline const std::string kData = "C:\\Users\\Gamer\\AppData\\Roaming\\Trevanic\\Velmora\\";
inline const std::string kTemp = kData + "Temp.ini";

class ProgramRun {
 public:
  ProgramRun(sim::MachineBuilder&& builder, std::vector<std::string> args,
             std::function<TBoostModules()> modules = DefaultBoostModules)
      : home_(std::move(builder)) {
    Again(std::move(args), std::move(modules));
  }
  // Runs the program once more on the machine as the last run left it.
  void Again(std::vector<std::string> args,
             std::function<TBoostModules()> modules = DefaultBoostModules) {
    args.insert(args.begin(), kProgram + "VlxMini.exe");
    result_ = test::RunSimProgram(home_.dir(), [&] {
      sim::SetCommandLineArgs(args);
      return RunVlxMini(args, modules());
    });
    machine_ = home_.Load();
  }
  const test::ProgramResult& result() const { return result_; }
  const sim::Machine& machine() const { return *machine_; }
  bool Exists(const std::string& path) const {
    return std::ifstream(sim::HostPath(*machine_, path)).good();
  }
  // The file's text ("" when missing).
  std::string Text(const std::string& path) const {
    std::ifstream in(sim::HostPath(*machine_, path), std::ios::binary);
    return txt::DecodeTextFile(std::string(std::istreambuf_iterator<char>(in), {}));
  }
  std::vector<std::string> ErrorLog() const {
    return test::LogMessages(Text(kData + "Logs\\VlxMiniException.log"));
  }
  bool Logged(const std::string& line) const {
    const auto log = test::LogMessages(Text(kData + "Logs\\VlxMiniAppRun.log"));
    return std::find(log.begin(), log.end(), line) != log.end();
  }
  // The messages to the window of the class: "<message> (<wParam>,<lParam>) sent|posted".
  std::vector<std::string> Messages(const std::string& window) const {
    std::vector<std::string> out;
    for (const auto& m : machine_->messageLog)
      if (m.className == window)
        out.push_back(std::to_string(m.message) + " (" + std::to_string(m.wParam) + "," +
                      std::to_string(m.lParam) + ") " + (m.sent ? "sent" : "posted"));
    return out;
  }
  // Tick of the first message with this number, or 0.
  uint64_t TickOf(uint32_t message) const {
    for (const auto& m : machine_->messageLog)
      if (m.message == message) return m.tick;
    return 0;
  }
  // The host was told the operation is over.
  bool Notified() const {
    return std::any_of(machine_->calls.begin(), machine_->calls.end(), [](const auto& c) {
      return c.arguments == std::vector<std::string>{kMiniBoostChannel, kMiniBoostOverText};
    });
  }

 private:
  test::SimHome home_;
  test::ProgramResult result_;
  std::unique_ptr<sim::Machine> machine_;
};

}  // namespace apptest
