// The priority module over simulated machines: which processes are lowered, the
// restore records in "Temp.ini", and the restore from those records.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "modules/process/uPriorityController.h"
#include "tests/process/ProcessMachine.h"

namespace {

using namespace processtest;

constexpr uint32_t kIdle = plat::kIDLE_PRIORITY_CLASS;
constexpr uint32_t kNormal = plat::kNORMAL_PRIORITY_CLASS;
constexpr uint32_t kHigh = plat::kHIGH_PRIORITY_CLASS;

sim::Process P(uint32_t pid, uint32_t parent, const std::string& exe,
               const std::string& owner = "Gamer", uint32_t priority = kNormal) {
  sim::Process p = Proc(pid, exe, "C:\\Apps\\");
  p.parentPid = parent;
  p.owner = owner;
  p.priorityClass = priority;
  return p;
}

// The process machine with only the given processes (the state file exists empty, as
// the orchestrator creates it before a boost).
sim::MachineBuilder Processes(const std::vector<sim::Process>& processes) {
  sim::MachineBuilder b = ProcessMachine();
  for (const auto& p : processes)
    b.AddProcess(p);
  return b;
}

// The priority class of every process, by identifier.
std::map<uint32_t, uint32_t> Classes(sim::ScopedMachine& m) {
  std::map<uint32_t, uint32_t> out;
  for (const sim::Process& p : m.machine().processes)
    out[p.pid] = p.priorityClass;
  return out;
}

// The module's progress notifications: "<caption> <ok>".
struct Module : TPriorityController {
  Module() : TPriorityController(kData, kSettings, kTemp) {
    SetProgressHook(
        [this](void*, TProgressItemKind kind, const std::string& caption, bool ok) {
          EXPECT_EQ(kind, TProgressItemKind::ProcessPriority);
          notes.push_back(caption + (ok ? " ok" : " failed"));
        },
        this);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (size_t i = 0; i < GetCount(); ++i)
      names.push_back(GetItem(i).name);
    return names;
  }
  std::vector<std::string> notes;
};
using Texts = std::vector<std::string>;

// The user's other processes are lowered and their classes recorded: the program's own
// file name, its other programs, security programs, the children of the first Steam and
// nothing else is spared; a parent 0 is no Steam. A process that cannot be opened is
// recorded with class 0 and keeps its class; one whose owner cannot be read is passed over.
TEST(PriorityBoostSim, LowersTheUsersOtherProcessesAndRecordsTheirClasses) {
  sim::Process guarded = P(800, 4, "Guarded.exe", "Gamer", kHigh);
  guarded.access = plat::kPROCESS_QUERY_INFORMATION;  // the owner can be read, no more
  sim::Process closed = P(810, 4, "Closed.exe");
  closed.canOpen = false;
  const struct {
    const char* what;
    std::vector<sim::Process> processes;
    Texts lowered;
    std::string records;
    const char* note;  // of the last one
  } rows[] = {
      // clang-format off
      {"the user's own",
       {P(100, 4, "steam.exe"), P(200, 100, "Game.exe", "Gamer", kHigh),
        P(300, 200, "GameHelper.exe"), P(400, 4, "explorer.exe"), P(410, 400, "VlxTray.exe"),
        P(420, 400, "vlxmain.exe"), P(430, 400, "VLXMINI.EXE"), P(440, 400, "smc.exe"),
        P(450, 400, "Smc.exe.bak"), P(500, 400, "notepad.exe", "Other"),
        P(510, 4, "svchost.exe", "SYSTEM"), P(520, 400, "Discord.exe", "Admin", kHigh),
        P(530, 400, "Chat.exe", "Gamer", plat::kABOVE_NORMAL_PRIORITY_CLASS)},
       {"GameHelper.exe", "Smc.exe.bak", "Chat.exe"}, "300=32\r\n450=32\r\n530=32768", "ok"},
      {"own name, not a renamed copy", {P(600, 4, "BOOSTER.exe"), P(610, 4, "VlxBoost.exe")},
       {"VlxBoost.exe"}, "610=32", "ok"},
      {"second Steam", {P(700, 0, "Root.exe"), P(100, 4, "Steam.exe"), P(110, 4, "steam.exe"),
        P(120, 100, "GameA.exe"), P(130, 110, "GameB.exe")},
       {"Root.exe", "GameB.exe"}, "700=32\r\n130=32", "ok"},
      {"no Steam", {P(700, 0, "Root.exe"), P(710, 700, "Child.exe")}, {"Root.exe", "Child.exe"},
       "700=32\r\n710=32", "ok"},
      {"not to be opened", {guarded, closed}, {"Guarded.exe"}, "800=0", "failed"},
      {"nothing to lower", {P(400, 4, "explorer.exe")}, {}, "", "failed"},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    sim::ScopedMachine m{Processes(row.processes)
                             .ExePath("C:\\Tools\\Booster.exe")
                             .File("C:\\Tools\\Booster.exe", "MZ")};
    Module module;
    EXPECT_EQ(module.Boost(), !row.lowered.empty());
    EXPECT_EQ(module.Names(), row.lowered);
    EXPECT_EQ(m.ReadFile(kTemp),
              row.records.empty() ? "" : "[Priority]\r\n" + row.records + "\r\n");
    EXPECT_EQ(module.notes, Texts{std::string("Process Priority ") + row.note});
    EXPECT_EQ(module.HasRestoreData(), !row.lowered.empty());
    for (const sim::Process& p : row.processes) {
      const bool lowered =
          row.note[0] == 'o' && std::count(row.lowered.begin(), row.lowered.end(), p.exeFile);
      EXPECT_EQ(Classes(m)[p.pid], lowered ? kIdle : p.priorityClass) << p.exeFile;
    }
  }
}

TEST(PriorityBoostSim, SecondBoostOfTheRunReusesTheListAndReplacesTheRecords) {
  sim::ScopedMachine m{Processes({P(300, 4, "Tool.exe", "Gamer", kHigh)})};
  m.WriteFile(kTemp, "[Priority]\r\n999=128\r\n");  // left over from an earlier boost
  Module module;
  EXPECT_TRUE(module.Boost());
  EXPECT_EQ(m.ReadFile(kTemp), "[Priority]\r\n300=128\r\n");

  m.machine().processes[0].priorityClass = kNormal;
  m.machine().processes.push_back(P(310, 4, "Newcomer.exe"));
  EXPECT_TRUE(module.Boost());
  EXPECT_EQ(module.Names(), Texts{"Tool.exe"});
  EXPECT_EQ(Classes(m), (std::map<uint32_t, uint32_t>{{300, kIdle}, {310, kNormal}}));
  EXPECT_EQ(m.ReadFile(kTemp), "[Priority]\r\n300=128\r\n");  // the class of the first look
}

TEST(PriorityRestoreSim, SetsRecordedClassesAndEmptiesTheSection) {
  sim::ScopedMachine m{Processes({
      P(300, 4, "Tool.exe", "Gamer", kIdle),
      P(310, 4, "Reused.exe", "Other", kIdle),  // took the identifier of an ended process
      P(320, 4, "Zero.exe", "Gamer", kIdle),
  })};
  m.WriteFile(kTemp,
              "[Process]\r\nx.exe=1\r\n[Priority]\r\n300=128\r\n310=16384\r\n320=0\r\n"
              "330=32\r\n340=\r\n[RAM]\r\nDone=1\r\n");
  Module module;
  ASSERT_TRUE(module.HasRestoreData());
  module.Restore();
  // Class 0 is refused, silently.
  EXPECT_EQ(Classes(m),
            (std::map<uint32_t, uint32_t>{
                {300, kHigh}, {310, plat::kBELOW_NORMAL_PRIORITY_CLASS}, {320, kIdle}}));
  ASSERT_EQ(module.GetCount(), 5u);
  EXPECT_EQ(module.GetItem(4).priority, kNormal);  // an empty value: 32
  EXPECT_EQ(m.ReadFile(kTemp), "[Process]\r\nx.exe=1\r\n[Priority]\r\n[RAM]\r\nDone=1\r\n");
  EXPECT_FALSE(module.HasRestoreData());
  module.Restore();  // nothing left: no notification
  EXPECT_EQ(module.notes, Texts{"Process Priority ok"});
}

// Identifiers are signed decimals of at most 32 bits, or the restore raises before any
// class is set.
TEST(PriorityRestoreSim, KeyThatIsNoDecimalNumberRaisesBeforeAnyClassIsSet) {
  sim::ScopedMachine m{Processes({P(300, 4, "Tool.exe", "Gamer", kIdle)})};
  for (const char* key : {"$1F", "0x10", "12a", "4294967296", "-2147483649", "+-"}) {
    const std::string records = std::string("[Priority]\r\n300=128\r\n") + key + "=32\r\n";
    m.WriteFile(kTemp, records);
    EXPECT_THROW(Module().Restore(), EConvertError) << key;
    EXPECT_EQ(m.ReadFile(kTemp), records);
  }
  EXPECT_EQ(Classes(m)[300], kIdle);
  m.WriteFile(kTemp, "[Priority]\r\n+300=128\r\n4294967295=128\r\n-1=128\r\n");
  Module().Restore();
  EXPECT_EQ(Classes(m)[300], kHigh);
}

}  // namespace
