// The whole program over a simulated machine: "-game" ends the black-listed
// processes of the default machine, a later "-normal" starts Explorer again.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/VlxMini.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/SimProgram.h"

namespace {

const std::string kProgramExe = "C:\\Program Files (x86)\\Velmora\\VlxMini.exe";
const std::string kData = "C:\\Users\\Gamer\\AppData\\Roaming\\Trevanic\\Velmora\\";

test::ProgramResult RunProgram(const test::SimHome& home, const std::string& operation) {
  return test::RunSimProgram(home.dir(), [&] {
    const std::vector<std::string> args{kProgramExe, operation};
    sim::SetCommandLineArgs(args);
    return RunVlxMini(args);
  });
}

std::vector<const sim::Process*> Named(const sim::Machine& m, const std::string& exe) {
  std::vector<const sim::Process*> out;
  for (const auto& p : m.processes)
    if (txt::SameText(p.exeFile, exe)) out.push_back(&p);
  return out;
}

bool Exists(const sim::Machine& m, const std::string& path) {
  FILE* f = std::fopen(sim::HostPath(m, path).c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

TEST(ProcessLaunch, GameEndsBlackListedProcessesAndNormalStartsExplorerAgain) {
  sim::MachineBuilder b;
  b.LocalTime(txt::EncodeDateTime(2026, 12, 6, 12, 0, 0, 0));
  b.File(kData + "UserProcBL.txt", "explorer.exe\r\nOneDrive.exe\r\n");
  test::SimHome home{b};

  ASSERT_EQ(RunProgram(home, "-game").exitCode, 0);
  auto boosted = home.Load();
  EXPECT_TRUE(Named(*boosted, "explorer.exe").empty());
  EXPECT_TRUE(Named(*boosted, "OneDrive.exe").empty());
  EXPECT_EQ(Named(*boosted, "chrome.exe").size(), 2u);
  EXPECT_TRUE(Exists(*boosted, kData + "Temp.ini"));

  ASSERT_EQ(RunProgram(home, "-normal").exitCode, 0);
  auto restored = home.Load();
  EXPECT_FALSE(Exists(*restored, kData + "Temp.ini"));
  const auto explorer = Named(*restored, "explorer.exe");
  ASSERT_EQ(explorer.size(), 1u);
  EXPECT_EQ(explorer[0]->commandLine, "C:\\Windows\\explorer.exe");
  EXPECT_EQ(explorer[0]->show, 1);
  EXPECT_TRUE(Named(*restored, "OneDrive.exe").empty());
}

}  // namespace
