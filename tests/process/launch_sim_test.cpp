// The whole program over a simulated machine: "-game" ends the black-listed
// processes of the default machine, a later "-normal" starts Explorer again.
#include <gtest/gtest.h>

#include "platform/Text.h"
#include "tests/app/ProgramRun.h"

namespace {

using namespace apptest;

std::vector<const sim::Process*> Named(const sim::Machine& m, const std::string& exe) {
  std::vector<const sim::Process*> out;
  for (const auto& p : m.processes)
    if (txt::SameText(p.exeFile, exe)) out.push_back(&p);
  return out;
}

TEST(ProcessLaunch, GameEndsBlackListedProcessesAndNormalStartsExplorerAgain) {
  sim::MachineBuilder b;
  b.LocalTime(txt::EncodeDateTime(2026, 12, 6, 12, 0, 0, 0));
  b.File(kData + "UserProcBL.txt", "explorer.exe\r\nOneDrive.exe\r\n");
  ProgramRun run(std::move(b), {"-game"});
  ASSERT_EQ(run.result().exitCode, 0);
  EXPECT_TRUE(Named(run.machine(), "explorer.exe").empty());
  EXPECT_TRUE(Named(run.machine(), "OneDrive.exe").empty());
  EXPECT_EQ(Named(run.machine(), "chrome.exe").size(), 2u);
  EXPECT_TRUE(run.Exists(kTemp));

  run.Again({"-normal"});
  ASSERT_EQ(run.result().exitCode, 0);
  EXPECT_FALSE(run.Exists(kTemp));
  const auto explorer = Named(run.machine(), "explorer.exe");
  ASSERT_EQ(explorer.size(), 1u);
  EXPECT_EQ(explorer[0]->commandLine, "C:\\Windows\\explorer.exe");
  EXPECT_EQ(explorer[0]->show, 1);
  EXPECT_TRUE(Named(run.machine(), "OneDrive.exe").empty());
}

}  // namespace
