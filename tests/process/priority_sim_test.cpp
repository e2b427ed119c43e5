// The priority module over simulated machines: which processes are lowered, the
// restore records in "Temp.ini", and the restore from those records.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "modules/process/uPriorityController.h"
#include "platform/Platform.h"
#include "tests/settings/SettingsMachine.h"

namespace {

using namespace settingstest;

const std::string kTemp = kData + "Temp.ini";
constexpr uint32_t kIdle = plat::kIDLE_PRIORITY_CLASS;
constexpr uint32_t kNormal = plat::kNORMAL_PRIORITY_CLASS;
constexpr uint32_t kHigh = plat::kHIGH_PRIORITY_CLASS;

sim::Process Proc(uint32_t pid, uint32_t parent, const std::string& exe,
                  const std::string& owner = "Gamer", uint32_t priority = kNormal) {
  sim::Process p;
  p.pid = pid;
  p.parentPid = parent;
  p.exeFile = exe;
  p.imagePath = "C:\\Apps\\" + exe;
  p.owner = owner;
  p.priorityClass = priority;
  return p;
}

// The settings machine without the default machine's processes; the state file
// exists empty, as the orchestrator creates it before a boost.
sim::MachineBuilder Machine(const std::vector<sim::Process>& processes) {
  sim::MachineBuilder b = settingstest::Machine();
  b.With([](sim::Machine& m) { m.processes.clear(); });
  for (const auto& p : processes)
    b.AddProcess(p);
  b.File(kTemp, "");
  return b;
}

uint32_t ClassOf(sim::ScopedMachine& m, uint32_t pid) {
  for (const sim::Process& p : m.machine().processes)
    if (p.pid == pid) return p.priorityClass;
  return 0xFFFFFFFF;
}

sim::Process& ProcessOf(sim::ScopedMachine& m, uint32_t pid) {
  for (sim::Process& p : m.machine().processes)
    if (p.pid == pid) return p;
  throw std::runtime_error("no process " + std::to_string(pid));
}

// The progress notifications of a module: "<kind> <caption> <ok>".
struct Progress {
  std::vector<std::string> items;
  void Attach(TBoostBase& module) {
    module.SetProgressHook(
        [this](void*, TProgressItemKind kind, const std::string& caption, bool ok) {
          items.push_back(std::to_string(static_cast<int>(kind)) + " " + caption + " " +
                          (ok ? "ok" : "failed"));
        },
        this);
  }
};
using Notes = std::vector<std::string>;

std::vector<std::string> Names(const TPsPriorityBoost& module) {
  std::vector<std::string> names;
  for (size_t i = 0; i < module.GetCount(); ++i)
    names.push_back(module.GetItem(i).name);
  return names;
}

TEST(PriorityBoostSim, LowersTheUsersOtherProcessesAndRecordsTheirClasses) {
  sim::ScopedMachine m{Machine({
      Proc(100, 4, "steam.exe"),
      Proc(200, 100, "Game.exe", "Gamer", kHigh),  // started by Steam: spared
      Proc(300, 200, "GameHelper.exe"),            // started by the game: lowered
      Proc(400, 4, "explorer.exe"),
      Proc(410, 400, "VlxTray.exe"),
      Proc(420, 400, "vlxmain.exe"),
      Proc(430, 400, "VLXMINI.EXE"),
      Proc(440, 400, "smc.exe"),               // security program
      Proc(450, 400, "Smc.exe.bak"),           // only begins with a security name
      Proc(500, 400, "notepad.exe", "Other"),  // another user's
      Proc(510, 4, "svchost.exe", "SYSTEM"),
      Proc(520, 400, "Discord.exe", "Admin", kHigh),  // another account
      Proc(530, 400, "Chat.exe", "Gamer", plat::kABOVE_NORMAL_PRIORITY_CLASS),
  })};
  Session session;
  InitConfigGlobals(false);
  TPriorityController module(kData, kSettings, kTemp);
  Progress progress;
  progress.Attach(module);

  EXPECT_TRUE(module.Boost());

  EXPECT_EQ(Names(module), (std::vector<std::string>{"GameHelper.exe", "Smc.exe.bak", "Chat.exe"}));
  EXPECT_EQ(module.GetItem(2).pid, 530u);
  EXPECT_EQ(module.GetItem(2).owner, "Gamer");
  for (uint32_t pid : {300u, 450u, 530u})
    EXPECT_EQ(ClassOf(m, pid), kIdle) << pid;
  for (uint32_t pid : {100u, 400u, 410u, 420u, 430u, 440u, 500u, 510u})
    EXPECT_EQ(ClassOf(m, pid), kNormal) << pid;
  EXPECT_EQ(ClassOf(m, 200), kHigh);
  EXPECT_EQ(ClassOf(m, 520), kHigh);
  EXPECT_EQ(m.ReadFile(kTemp), "[Priority]\r\n300=32\r\n450=32\r\n530=32768\r\n");
  EXPECT_EQ(progress.items, Notes{"8 Process Priority ok"});
  EXPECT_TRUE(module.HasRestoreData());
  const auto& privileges = m.machine().enabledPrivileges;
  EXPECT_NE(std::find(privileges.begin(), privileges.end(), "SeDebugPrivilege"), privileges.end());
}

// The program's own file name, the children of the first Steam and nothing else is
// spared; a parent 0 is no Steam.
TEST(PriorityBoostSim, OnlyTheProgramsOwnNameAndTheFirstSteamsChildrenAreSpared) {
  const struct {
    const char* what;
    std::vector<sim::Process> processes;
    std::vector<std::string> lowered;
  } rows[] = {
      {"own name, not a renamed copy",
       {Proc(600, 4, "BOOSTER.exe"), Proc(610, 4, "VlxBoost.exe"), Proc(620, 4, "VlxMini.exe")},
       {"VlxBoost.exe"}},
      {"second Steam",
       {Proc(700, 0, "Root.exe"), Proc(100, 4, "Steam.exe"), Proc(110, 4, "steam.exe"),
        Proc(120, 100, "GameA.exe"), Proc(130, 110, "GameB.exe")},
       {"Root.exe", "GameB.exe"}},
      {"no Steam",
       {Proc(700, 0, "Root.exe"), Proc(710, 700, "Child.exe")},
       {"Root.exe", "Child.exe"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    sim::ScopedMachine m{Machine(row.processes)
                             .ExePath("C:\\Tools\\Booster.exe")
                             .File("C:\\Tools\\Booster.exe", "MZ")};
    TPriorityController module(kData, kSettings, kTemp);
    EXPECT_TRUE(module.Boost());
    EXPECT_EQ(Names(module), row.lowered);
  }
}

TEST(PriorityBoostSim, ProcessThatCannotBeOpenedIsRecordedWithClassZeroAndKeepsItsClass) {
  sim::Process guarded = Proc(800, 4, "Guarded.exe", "Gamer", kHigh);
  guarded.access = plat::kPROCESS_QUERY_INFORMATION;  // the owner can be read, no more
  sim::Process closed = Proc(810, 4, "Closed.exe");
  closed.canOpen = false;  // not even the owner can be read: no record
  sim::ScopedMachine m{Machine({guarded, closed})};
  TPriorityController module(kData, kSettings, kTemp);
  Progress progress;
  progress.Attach(module);

  EXPECT_TRUE(module.Boost());
  EXPECT_EQ(Names(module), (std::vector<std::string>{"Guarded.exe"}));
  EXPECT_EQ(m.ReadFile(kTemp), "[Priority]\r\n800=0\r\n");
  EXPECT_EQ(ClassOf(m, 800), kHigh);
  EXPECT_EQ(progress.items, Notes{"8 Process Priority failed"});  // the last one failed
}

TEST(PriorityBoostSim, NothingToLowerReportsFailureAndReturnsFalse) {
  sim::ScopedMachine m{Machine({Proc(400, 4, "explorer.exe")})};
  TPriorityController module(kData, kSettings, kTemp);
  Progress progress;
  progress.Attach(module);
  EXPECT_FALSE(module.Boost());
  EXPECT_EQ(progress.items, Notes{"8 Process Priority failed"});
  EXPECT_FALSE(module.HasRestoreData());
}

TEST(PriorityBoostSim, SwitchInSettingsFileAndStopRequest) {
  sim::ScopedMachine m{Machine({Proc(300, 4, "Tool.exe")})};
  Session session;
  InitConfigGlobals(false);
  TPriorityController module(kData, kSettings, kTemp);
  EXPECT_TRUE(module.IsEnabled());  // no key: on

  module.SetEnabled(false);
  EXPECT_NE(Text(m, kSettings).find("Priority=0\r\n"), std::string::npos) << Text(m, kSettings);
  EXPECT_FALSE(module.IsEnabled());
  EXPECT_FALSE(module.Boost());
  EXPECT_EQ(ClassOf(m, 300), kNormal);
  EXPECT_EQ(m.ReadFile(kTemp), "");

  module.SetEnabled(true);
  EXPECT_NE(Text(m, kSettings).find("Priority=1\r\n"), std::string::npos);
  module.Stop();
  EXPECT_FALSE(module.Boost());
  EXPECT_EQ(ClassOf(m, 300), kNormal);
  module.ResetStop();
  EXPECT_TRUE(module.Boost());
  EXPECT_EQ(ClassOf(m, 300), kIdle);
}

TEST(PriorityBoostSim, SecondBoostOfTheRunReusesTheListAndReplacesTheRecords) {
  sim::ScopedMachine m{Machine({Proc(300, 4, "Tool.exe", "Gamer", kHigh)})};
  m.WriteFile(kTemp, "[Priority]\r\n999=128\r\n");  // left over from an earlier boost
  TPriorityController module(kData, kSettings, kTemp);
  EXPECT_TRUE(module.Boost());
  EXPECT_EQ(m.ReadFile(kTemp), "[Priority]\r\n300=128\r\n");

  ProcessOf(m, 300).priorityClass = kNormal;
  m.machine().processes.push_back(Proc(310, 4, "Newcomer.exe"));
  EXPECT_TRUE(module.Boost());
  EXPECT_EQ(Names(module), (std::vector<std::string>{"Tool.exe"}));
  EXPECT_EQ(ClassOf(m, 300), kIdle);
  EXPECT_EQ(ClassOf(m, 310), kNormal);
  EXPECT_EQ(m.ReadFile(kTemp), "[Priority]\r\n300=128\r\n");  // the class of the first look
}

TEST(PriorityRestoreSim, SetsRecordedClassesAndEmptiesTheSection) {
  sim::ScopedMachine m{Machine({
      Proc(300, 4, "Tool.exe", "Gamer", kIdle),
      Proc(310, 4, "Reused.exe", "Other", kIdle),  // took the identifier of an ended process
      Proc(320, 4, "Zero.exe", "Gamer", kIdle),
  })};
  m.WriteFile(kTemp,
              "[Process]\r\nx.exe=1\r\n[Priority]\r\n300=128\r\n310=16384\r\n320=0\r\n"
              "330=32\r\n340=\r\n[RAM]\r\nDone=1\r\n");
  TPriorityController module(kData, kSettings, kTemp);
  Progress progress;
  progress.Attach(module);
  ASSERT_TRUE(module.HasRestoreData());

  module.Restore();

  EXPECT_EQ(ClassOf(m, 300), kHigh);
  EXPECT_EQ(ClassOf(m, 310), plat::kBELOW_NORMAL_PRIORITY_CLASS);
  EXPECT_EQ(ClassOf(m, 320), kIdle);  // class 0 is refused, silently
  ASSERT_EQ(module.GetCount(), 5u);
  EXPECT_EQ(module.GetItem(4).pid, 340u);
  EXPECT_EQ(module.GetItem(4).priority, kNormal);  // an empty value: 32
  EXPECT_EQ(m.ReadFile(kTemp), "[Process]\r\nx.exe=1\r\n[Priority]\r\n[RAM]\r\nDone=1\r\n");
  EXPECT_FALSE(module.HasRestoreData());
  module.Restore();  // nothing left: no notification
  EXPECT_EQ(progress.items, Notes{"8 Process Priority ok"});
}

TEST(PriorityRestoreSim, KeyThatIsNoDecimalNumberRaisesBeforeAnyClassIsSet) {
  sim::ScopedMachine m{Machine({Proc(300, 4, "Tool.exe", "Gamer", kIdle)})};
  m.WriteFile(kTemp, "[Priority]\r\n300=128\r\n$1F=32\r\n");
  TPriorityController module(kData, kSettings, kTemp);
  EXPECT_THROW(module.Restore(), EConvertError);
  EXPECT_EQ(ClassOf(m, 300), kIdle);
  EXPECT_EQ(m.ReadFile(kTemp), "[Priority]\r\n300=128\r\n$1F=32\r\n");
}

TEST(PriorityRestoreSim, HeaderOnlyOrStopMeansNothingToDo) {
  sim::ScopedMachine m{Machine({Proc(300, 4, "Tool.exe", "Gamer", kIdle)})};
  m.WriteFile(kTemp, "[Priority]\r\n");
  TPriorityController module(kData, kSettings, kTemp);
  Progress progress;
  progress.Attach(module);
  EXPECT_FALSE(module.HasRestoreData());
  module.Restore();
  EXPECT_TRUE(progress.items.empty());

  m.WriteFile(kTemp, "[Priority]\r\n300=128\r\n");
  module.Stop();
  module.Restore();
  EXPECT_EQ(ClassOf(m, 300), kIdle);
  EXPECT_TRUE(progress.items.empty());
}

TEST(PriorityDecimal, SignedDecimalsOnly) {
  EXPECT_EQ(StrToDecimal("1234"), 1234);
  EXPECT_EQ(StrToDecimal("+7"), 7);
  EXPECT_EQ(StrToDecimal("-1"), -1);
  EXPECT_EQ(StrToDecimal("4294967295"), 4294967295LL);
  for (const char* bad : {"", "-", "0x10", "$10", "12a", " 12", "4294967296", "-2147483649"})
    EXPECT_THROW(StrToDecimal(bad), EConvertError) << bad;
}

}  // namespace
