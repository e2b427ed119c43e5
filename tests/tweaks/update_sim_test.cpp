// The Windows Update module over simulated machines (Windows 7, level 3 unless a row
// says otherwise): the level, the record, the calls and the log lines of a boost and
// a restore.
#include <gtest/gtest.h>

#include "config/UnitGAConfig.h"
#include "modules/tweaks/uUpdateController.h"
#include "tests/engine/EngineMachine.h"

namespace {

using namespace enginetest;
using Lines = std::vector<std::string>;

std::string Record(int32_t level) {
  return level < 0 ? "" : "[WindowsUpdate]\r\nPreviousStaus=" + std::to_string(level) + "\r\n";
}

// A Windows 7 machine (Windows 10 with major 10) whose automatic-updates object is at
// level 3 and then as the [updateagent] lines say.
struct Scene {
  Session session;
  sim::ScopedMachine m;
  TUpdateController update{kData, kSettings, kTemp};
  int progress = 0, successes = 0;  // notifications, and those reporting success
  Scene(int32_t record, const std::string& agent, uint32_t major = 6)
      : m{Machine().Os(major, major == 6 ? 1 : 0).File(kTemp, Ini(Record(record)))} {
    sim::Machine parsed;
    std::string error;
    EXPECT_TRUE(sim::Parse("[updateagent]\nlevel = 3\n" + agent, parsed, error)) << error;
    m.machine().updateAgent = parsed.updateAgent;
    InitConfigGlobals(false);
    update.SetProgressHook(
        [this](void*, TProgressItemKind, const std::string&, bool ok) {
          ++progress;
          successes += ok;
        },
        nullptr);
  }
  Lines Errors() const { return LogMessages(Text(m, kLogs + "VlxMiniException.log")); }
};

// Credit only for a level that was set in time; a late thread still sets it.
TEST(WindowsUpdate, BoostRecordsThePreviousLevelBeforeTheChange) {
  const std::string unread =
      "TUpdateBoost.Boost : the notification level cannot be read and is left as it is";
  struct Row {
    const char* name;
    const char* agent;
    uint32_t major;
    int32_t earlier, record, level;  // records before and after (-1: none); the final level
    bool boosted;
    Lines errors = {};
  } rows[] = {
      // clang-format off
      {"set",            "",                             6, -1,  3, 1, true},
      {"late thread",    "saveDelay = 5000",             6, -1,  3, 1, false},
      {"read-only",      "readOnly = yes",               6, -1, -1, 3, false},
      {"service off",    "serviceEnabled = no",          6, -1, -1, 3, false},
      {"failed read",    "fail = get_NotificationLevel", 6, -1, -1, 3, false, {"au err:Unspecified error", unread}},
      {"no apartment",   "fail = CoInitializeEx",        6, -1, -1, 3, false,
       {"TUpdateBoost.SetUpdateState : CoInitialize has not been called."}},
      {"earlier record", "level = 1",                    6,  3,  3, 1, true},
      {"Windows 10",     "",                            10, -1, -1, 3, false},
      // clang-format on
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Scene r(row.earlier, row.agent, row.major);
    EXPECT_EQ(r.update.Boost(), row.boosted);
    EXPECT_EQ(r.progress, row.major == 6 ? 1 : 0);
    EXPECT_EQ(r.successes, row.boosted ? 1 : 0);
    EXPECT_EQ(Text(r.m, kTemp), Record(row.record));
    plat::Sleep(5000);  // a late thread ends
    EXPECT_EQ(r.m.machine().updateAgent.level, row.level);
    EXPECT_EQ(r.Errors(), row.errors);
    // COM is uninitialised where, and only where, it was initialised.
    int64_t balance = 0;
    for (const sim::LibraryCall& c : r.m.machine().calls)
      balance +=
          c.function == "CoUninitialize" ? -1 : c.function.starts_with("CoInit") && c.result >= 0;
    EXPECT_EQ(balance, 0);
  }
}

TEST(WindowsUpdate, RestorePutsTheLevelBackOnceAndDropsTheRecord) {
  struct Row {
    std::string temp;
    uint32_t saveDelay;
    int32_t level;  // after the restore
  } rows[] = {
      {Record(3), 0, 3},
      {Record(0), 0, 4},
      {"[WindowsUpdate]\r\nPreviousStaus=x\r\n", 0, 4},
      {"[Other]\r\nA=1\r\n", 0, 1},
      {Record(2), 5000, 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.temp);
    Scene r(-1, "level = 1", 10);
    r.m.WriteFile(kTemp, Ini(row.temp));
    r.m.machine().updateAgent.saveDelay = row.saveDelay;
    const bool recorded = r.update.HasRestoreData();
    r.update.Restore();
    plat::Sleep(row.saveDelay);
    r.update.Restore();  // a second restore finds nothing to do
    EXPECT_EQ(r.m.machine().updateAgent.level, row.level);
    EXPECT_EQ(r.progress, recorded ? 1 : 0);
    EXPECT_EQ(r.successes, recorded && !row.saveDelay ? 1 : 0);
    EXPECT_FALSE(r.update.HasRestoreData());
  }
}

}  // namespace
