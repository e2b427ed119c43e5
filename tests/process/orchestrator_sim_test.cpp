// The process module in the program's own set of modules, driven by the orchestrator.
#include <gtest/gtest.h>

#include "modules/process/uProcessBoost.h"
#include "tests/process/ProcessMachine.h"

namespace {

using namespace processtest;

struct Program {
  Program() { InitConfigGlobals(false); }
  ~Program() { DoneConfigGlobals(); }
};

TEST(ProcessInOrchestrator, ABoostPassEndsTheProcessesAndARestorePassStartsExplorerAgain) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  Add(b, Proc(801, "explorer.exe", "C:\\Windows\\"));
  Add(b, Proc(802, "junk.exe"));
  Add(b, Proc(803, "game.exe"));
  b.File(kBlack, "explorer.exe\r\njunk.exe\r\n");
  sim::ScopedMachine m{b};
  plat::DeleteFileW(kTemp);  // the boost pass creates it
  Program program;
  {
    enginetest::Finish finish;
    TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, DefaultBoostModules());
    boost.PrepareProgress();
    boost.Boost();
    ASSERT_TRUE(finish.Wait());
    EXPECT_FALSE(Running(m.machine(), 801));
    EXPECT_FALSE(Running(m.machine(), 802));
    EXPECT_TRUE(Running(m.machine(), 803));
    // Counted through the module's figures: 2 to end, 2 done, one notification each.
    EXPECT_EQ(boost.TotalItems(), 5 + 2);
    EXPECT_GE(boost.OptimizedItems(), 2);
    EXPECT_GE(boost.ProgressCount(), 2);
  }
  const std::string state = Text(m, kTemp);
  EXPECT_NE(state.find("[Process]\r\nexplorer.exe=409600\r\njunk.exe=409600\r\n"),
            std::string::npos)
      << state;
  EXPECT_NE(state.find("801_=" + EncodeStartCommand("C:\\Windows\\explorer.exe")),
            std::string::npos);

  const size_t before = m.machine().processes.size();
  {
    enginetest::Finish finish;
    TBoost boost(kData, kSettings, kTemp, finish.Callback(), nullptr, DefaultBoostModules());
    boost.PrepareProgress();
    boost.Restore();
    ASSERT_TRUE(finish.Wait());
  }
  EXPECT_FALSE(m.Exists(kTemp));
  ASSERT_EQ(m.machine().processes.size(), before + 1);
  EXPECT_EQ(m.machine().processes.back().commandLine, "C:\\Windows\\explorer.exe");
}

}  // namespace
