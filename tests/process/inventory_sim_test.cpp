// The process inventory and the selection rules over simulated machines: which
// processes are listed, what their records hold, and which are marked to be ended.
#include <gtest/gtest.h>

#include <map>

#include "modules/process/uGetPrivacyMemory.h"
#include "modules/process/uGetProcessInfo.h"
#include "modules/process/uProcessBoost.h"
#include "tests/process/ProcessMachine.h"

namespace {

using namespace processtest;
using enginetest::RunLogLines;

// The listed records by executable name, after a refresh.
std::map<std::string, ProcessInfo> Listed(TProcessBoost& boost) {
  boost.RefreshProcess();
  std::map<std::string, ProcessInfo> out;
  for (int32_t i = 0; i < boost.GetProcessCount(); ++i)
    out[boost.GetProcessItem(i)->name] = *boost.GetProcessItem(i);
  return out;
}

TEST(ProcessSelection, ListsRatesAndChoicesDecideWhatEnds) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  const auto ratedVersion = Strings("Rated Corp", "Rated tool", "Rated");
  const auto quoteVersion = Strings("O'Brien Soft", "Quote tool", "Bob's Tools");
  uint32_t pid = 2000;
  for (const char* exe : {"black.exe", "black5.exe", "black0.exe", "plain.exe", "plain1.exe",
                          "plain2.exe", "white.exe"})
    Add(b, Proc(pid++, exe));
  for (const char* exe : {"rated80.exe", "rated79.exe", "rated90.exe", "rated90no.exe"})
    Add(b, Proc(pid++, exe), &ratedVersion);
  Add(b, Proc(pid++, "quote.exe"), &quoteVersion);
  Add(b, Proc(pid++, "explorer.exe", "C:\\Windows\\"));
  // The host, black-listed, lives in the program's own folder.
  Add(b, Proc(pid++, "VlxMain.exe", kProgram));
  b.File(kBlack, "black.exe\r\nBLACK5.EXE\r\nblack0.exe\r\nvlxmain.exe\r\n")
      .File(kWhite, "White.exe\r\nexplorer.exe\r\n")
      .File(kChoices,
            "[Process0]\r\nblack5.exe=5\r\nblack0.exe=0\r\nrated90no.exe=0\r\n"
            "[Process1]\r\nplain1.exe=1\r\nplain2.exe=2\r\n");
  sim::ScopedMachine m{b};
  test::WriteScoreDb(plat::NativeFilePath(kScore),
                     {{"rated80.exe", "rated corp", "rated", 80.0, 3},
                      {"rated79.exe", "rated corp", "rated", 79.9, 0},
                      {"rated90.exe", "rated corp", "rated", 90.0, 0},
                      {"rated90no.exe", "rated corp", "rated", 90.0, 0},
                      {"quote.exe", "o'brien soft", "bob's tools", 85.0, 7}});

  TProcessBoost boost(kData, kSettings, kTemp);
  const auto listed = Listed(boost);
  // Neither the white-listed Explorer nor the host from the program's folder is listed.
  // name -> (end, choice)
  const std::map<std::string, std::pair<bool, int32_t>> expected = {
      {"black.exe", {true, -1}},     {"black5.exe", {true, 5}},    {"black0.exe", {false, 0}},
      {"plain.exe", {false, -1}},    {"plain1.exe", {true, 1}},    {"plain2.exe", {false, 2}},
      {"rated80.exe", {true, -1}},   {"rated79.exe", {false, -1}}, {"rated90.exe", {true, -1}},
      {"rated90no.exe", {false, 0}}, {"quote.exe", {true, -1}}};
  ASSERT_EQ(listed.size(), expected.size());
  for (const auto& [name, want] : expected) {
    ASSERT_TRUE(listed.count(name)) << name;
    EXPECT_EQ(listed.at(name).end, want.first) << name;
    EXPECT_EQ(listed.at(name).choice, want.second) << name;
  }
  // An apostrophe in the company and product is looked up.
  EXPECT_DOUBLE_EQ(listed.at("quote.exe").suggest, 85.0);
  EXPECT_EQ(listed.at("quote.exe").userSubmit, 7);
}

// What the inventory lists of a process, and which processes it passes over: only the
// user's own readable ones are listed. Device paths become DOS paths only on volumes with
// a letter (HarddiskVolume1, C:, comes first and must not take HarddiskVolume10's paths);
// private memory counts pages up to the working set limit (65,534 entries).
TEST(ProcessInventory, RecordsOfTheUsersOwnReadableProcesses) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  b.DriveDevice('C', "\\Device\\HarddiskVolume1").DriveDevice('D', "\\Device\\HarddiskVolume10");
  auto game = Proc(3000, "game.exe");
  game.priorityClass = plat::kHIGH_PRIORITY_CLASS;
  game.wsPrivate = 10;
  game.wsShared = 5;
  game.wsSharedHigh = 3;  // counted as private
  game.created = 133500000000000000;
  auto fits = Proc(3001, "fits.exe");
  fits.wsPrivate = 65534 - 1000;
  fits.wsShared = 600;
  fits.wsSharedHigh = 400;
  auto big = Proc(3002, "big.exe");
  big.wsPrivate = 65535;
  auto ten = Proc(3003, "ten.exe", "D:\\Tools\\");
  ten.devicePath = "\\Device\\HarddiskVolume10\\Tools\\ten.exe";
  auto hidden = Proc(3004, "hidden.exe");
  hidden.devicePath = "\\Device\\HarddiskVolume7\\Games\\hidden.exe";
  auto other = Proc(3005, "other.exe");
  other.owner = "Visitor";
  auto system = Proc(3006, "svc.exe", "C:\\Windows\\System32\\");
  system.owner = "SYSTEM";
  auto sealed = Proc(3007, "sealed.exe");
  sealed.tokenReadable = false;
  auto closed = Proc(3008, "closed.exe");
  closed.canOpen = false;
  const auto version = Strings("Maker", "A game", "Game", "2.1.0");
  for (const sim::Process& p : {game, fits, big, hidden, other, system, sealed, closed})
    Add(b, p, &version);
  b.AddProcess(ten);
  sim::ScopedMachine m{b};

  TProcessBoost boost(kData, kSettings, kTemp);
  const auto listed = Listed(boost);
  std::string names;
  for (const auto& entry : listed)
    names += entry.first + " ";
  EXPECT_EQ(names, "big.exe fits.exe game.exe hidden.exe ten.exe ");
  const ProcessInfo& r = listed.at("game.exe");
  EXPECT_EQ(r.name + "|" + r.path + "|" + r.command + "|" + r.company + "|" + r.description + "|" +
                r.product + "|" + r.version + "|" + r.owner,
            "game.exe|C:\\Games\\game.exe|C:\\Games\\game.exe|Maker|A game|Game|2.1.0|Gamer");
  EXPECT_EQ(r.priority, plat::kHIGH_PRIORITY_CLASS);
  EXPECT_EQ(r.memory, (10u + 3u) * 4096u);
  EXPECT_EQ(r.created, 133500000000000000u);
  EXPECT_EQ(listed.at("fits.exe").memory, (65534u - 600u) * 4096u);
  EXPECT_EQ(listed.at("big.exe").memory, 0u);
  EXPECT_EQ(listed.at("ten.exe").path, "D:\\Tools\\ten.exe");
  const ProcessInfo& h = listed.at("hidden.exe");
  EXPECT_EQ(h.path + h.company + h.description + h.product + h.version, "");
  // The module enables the debug privilege for its work.
  EXPECT_TRUE(Contains(m.machine().enabledPrivileges, "SeDebugPrivilege"));
  // Without a user name, an unreadable owner would pass for the user's: none is listed.
  m.machine().userName = "";
  EXPECT_TRUE(Listed(boost).empty());
  EXPECT_TRUE(Contains(RunLogLines(m),
                       "TProcessBoost.RefreshProcess : the user name cannot be read, no process "
                       "listed"));
}

TEST(ProcessRatings, ABusyDatabaseStaysAndABrokenOneGoes) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  const auto version = Strings("Rated Corp", "Rated tool", "Rated");
  Add(b, Proc(8001, "rated.exe"), &version);
  sim::ScopedMachine m{b};
  test::WriteScoreDb(plat::NativeFilePath(kScore), {{"rated.exe", "rated corp", "rated", 95.0, 1}});
  // Whether the one process is marked to be ended (by its rating).
  const auto ends = [] {
    TProcessBoost boost(kData, kSettings, kTemp);
    return Listed(boost).at("rated.exe").end;
  };
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(plat::NativeFilePath(kScore).c_str(), &db), SQLITE_OK);
  // Another connection holds the database: judged without a rating, file kept.
  ASSERT_EQ(sqlite3_exec(db, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
  EXPECT_FALSE(ends());
  EXPECT_TRUE(m.Exists(kScore));
  sqlite3_exec(db, "rollback", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_TRUE(ends());  // free again: the rating counts
  // Not a database: deleted, the process judged without a rating.
  m.WriteFile(kScore, std::string(4096, 'x'));
  EXPECT_FALSE(ends());
  EXPECT_FALSE(m.Exists(kScore));
}

TEST(ProcessLists, ListFilesReplaceTheListsAndAnUnreadableOneEndsTheRefresh) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  Add(b, Proc(9001, "a.exe"));
  Add(b, Proc(9002, "b.exe"));
  b.File(kBlack, "a.exe\r\n").File(kWhite, "b.exe\n");
  sim::ScopedMachine m{b};

  TProcessBoost boost(kData, kSettings, kTemp);
  const auto listed = Listed(boost);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_TRUE(listed.at("a.exe").end);
  // A file another program holds without sharing: nothing is listed, the run log says why.
  const plat::Handle held = plat::CreateFileW(kWhite, plat::kGENERIC_READ, 0, plat::kOPEN_EXISTING);
  ASSERT_NE(held, plat::kInvalidHandle);
  EXPECT_TRUE(Listed(boost).empty());
  plat::CloseHandle(held);
  const auto log = RunLogLines(m);
  ASSERT_FALSE(log.empty());
  EXPECT_TRUE(
      log.back().starts_with("TProcessBoost.LoadFilterDBFile  Cannot open file \"" + kWhite + "\""))
      << log.back();
}

}  // namespace
