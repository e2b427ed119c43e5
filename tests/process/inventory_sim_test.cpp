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

// The listed records by executable name.
std::map<std::string, ProcessInfo> Listed(TProcessBoost& boost) {
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
  WriteScoreDb({{"rated80.exe", "rated corp", "rated", 80.0, 3},
                {"rated79.exe", "rated corp", "rated", 79.9, 0},
                {"rated90.exe", "rated corp", "rated", 90.0, 0},
                {"rated90no.exe", "rated corp", "rated", 90.0, 0},
                {"quote.exe", "o'brien soft", "bob's tools", 85.0, 7}});

  TProcessBoost boost(kData, kSettings, kTemp);
  boost.RefreshProcess();
  const auto listed = Listed(boost);

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
  EXPECT_TRUE(listed.at("black5.exe").blackListed);
  EXPECT_FALSE(listed.at("rated80.exe").blackListed);
  EXPECT_DOUBLE_EQ(listed.at("rated80.exe").suggest, 80.0);
  EXPECT_EQ(listed.at("rated80.exe").userSubmit, 3);
  EXPECT_DOUBLE_EQ(listed.at("rated79.exe").suggest, 79.9);
  // An apostrophe in the company and product is looked up, and the database stays.
  EXPECT_DOUBLE_EQ(listed.at("quote.exe").suggest, 85.0);
  EXPECT_EQ(listed.at("quote.exe").userSubmit, 7);
  EXPECT_TRUE(m.Exists(kScore));
  // Neither the white-listed Explorer nor the host from the program's folder is listed.
  EXPECT_FALSE(listed.count("explorer.exe"));
  EXPECT_FALSE(listed.count("VlxMain.exe"));
  EXPECT_FALSE(listed.count("white.exe"));
}

TEST(ProcessInventory, RecordsHoldPathVersionPriorityMemoryAndOwner) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  auto p = Proc(3000, "game.exe");
  p.priorityClass = plat::kHIGH_PRIORITY_CLASS;
  p.wsPrivate = 10;
  p.wsShared = 5;
  p.wsSharedHigh = 3;  // counted as private
  p.created = 133500000000000000;
  const auto version = Strings("Maker", "A game", "Game", "2.1.0");
  Add(b, p, &version);
  sim::ScopedMachine m{b};

  TProcessBoost boost(kData, kSettings, kTemp);
  boost.RefreshProcess();
  ASSERT_EQ(boost.GetProcessCount(), 1);
  const ProcessInfo& r = *boost.GetProcessItem(0);
  EXPECT_EQ(r.name + "|" + r.path + "|" + r.command + "|" + r.company + "|" + r.description + "|" +
                r.product + "|" + r.version + "|" + r.owner,
            "game.exe|C:\\Games\\game.exe|C:\\Games\\game.exe|Maker|A game|Game|2.1.0|Gamer");
  EXPECT_EQ(r.pid, 3000u);
  EXPECT_EQ(r.priority, plat::kHIGH_PRIORITY_CLASS);
  EXPECT_EQ(r.memory, (10u + 3u) * 4096u);
  EXPECT_EQ(r.created, 133500000000000000u);
  EXPECT_FALSE(r.end);
  // The batched read gives what the single-key reads give.
  for (const char* key : {"CompanyName", "FileDescription", "ProductName", "ProductVersion"})
    EXPECT_FALSE(GetFileVersionString(r.path, key).empty()) << key;
  EXPECT_EQ(GetFileVersionString(r.path, "LegalCopyright"), "");
}

TEST(ProcessInventory, OnlyTheUsersOwnReadableProcessesAreListed) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  Add(b, Proc(4001, "mine.exe"));
  auto other = Proc(4002, "other.exe");
  other.owner = "Visitor";
  Add(b, other);
  auto system = Proc(4003, "svc.exe", "C:\\Windows\\System32\\");
  system.owner = "SYSTEM";
  Add(b, system);
  auto sealed = Proc(4004, "sealed.exe");
  sealed.tokenReadable = false;
  Add(b, sealed);
  auto closed = Proc(4005, "closed.exe");
  closed.canOpen = false;
  Add(b, closed);
  b.File(kBlack, "other.exe\r\nsvc.exe\r\nsealed.exe\r\nclosed.exe\r\n");
  sim::ScopedMachine m{b};

  TProcessBoost boost(kData, kSettings, kTemp);
  boost.RefreshProcess();
  const auto listed = Listed(boost);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_TRUE(listed.count("mine.exe"));
  EXPECT_EQ(GetProcessUser(4002), "Visitor");
  EXPECT_EQ(GetProcessUser(4004), "");
  EXPECT_EQ(GetProcessPriority(4005), 0u);
  EXPECT_EQ(GetPrivacyMemory(4005), 0u);
  EXPECT_EQ(GetProcessPath(4005), "");
  // Without a user name, an unreadable owner would pass for the user's: none is listed.
  m.machine().userName = "";
  boost.RefreshProcess();
  EXPECT_EQ(boost.GetProcessCount(), 0);
  EXPECT_TRUE(Contains(enginetest::RunLogLines(m),
                       "TProcessBoost.RefreshProcess : the user name cannot be read, no process "
                       "listed"));
}

TEST(ProcessInventory, DevicePathsBecomeDosPathsOnlyOnVolumesWithALetter) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  b.DriveDevice('C', "\\Device\\HarddiskVolume1").DriveDevice('D', "\\Device\\HarddiskVolume10");
  const auto version = Strings("Maker", "Tool", "Tool");
  auto onTen = Proc(5001, "ten.exe", "D:\\Tools\\");
  onTen.devicePath = "\\Device\\HarddiskVolume10\\Tools\\ten.exe";
  b.AddProcess(onTen);
  auto noLetter = Proc(5002, "hidden.exe");
  noLetter.devicePath = "\\Device\\HarddiskVolume7\\Games\\hidden.exe";
  Add(b, noLetter, &version);
  auto onOne = Proc(5003, "one.exe");
  Add(b, onOne, &version);
  sim::ScopedMachine m{b};

  // HarddiskVolume1 (C:) is listed first and must not take HarddiskVolume10's paths.
  EXPECT_EQ(GetProcessPath(5001), "D:\\Tools\\ten.exe");
  EXPECT_EQ(GetProcessPath(5003), "C:\\Games\\one.exe");
  EXPECT_EQ(GetProcessPath(5002), "");

  TProcessBoost boost(kData, kSettings, kTemp);
  boost.RefreshProcess();
  const auto listed = Listed(boost);
  ASSERT_TRUE(listed.count("hidden.exe"));
  const ProcessInfo& hidden = listed.at("hidden.exe");
  EXPECT_EQ(hidden.path + hidden.company + hidden.description + hidden.product + hidden.version,
            "");
  EXPECT_EQ(listed.at("one.exe").company, "Maker");
}

TEST(ProcessInventory, PrivateMemoryCountsPagesUpToTheWorkingSetLimit) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  auto fits = Proc(6001, "fits.exe");
  fits.wsPrivate = 65534 - 1000;
  fits.wsShared = 600;
  fits.wsSharedHigh = 400;
  Add(b, fits);
  auto tooBig = Proc(6002, "big.exe");
  tooBig.wsPrivate = 65535;
  Add(b, tooBig);
  auto empty = Proc(6003, "empty.exe");
  empty.wsPrivate = 0;
  Add(b, empty);
  sim::ScopedMachine m{b};

  EXPECT_EQ(GetPrivacyMemory(6001), (65534u - 600u) * 4096u);
  EXPECT_EQ(GetPrivacyMemory(6002), 0u);
  EXPECT_EQ(GetPrivacyMemory(6003), 0u);
}

TEST(ProcessInventory, AStopDuringTheWalkKeepsTheRecordsSoFar) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  for (uint32_t i = 0; i < 5; ++i)
    Add(b, Proc(7000 + i, "p" + std::to_string(i) + ".exe"));
  sim::ScopedMachine m{b};

  TProcessBoost boost(kData, kSettings, kTemp);
  // The walk handles window messages after each entry: a window that asks the module
  // to stop when its message comes stops the walk after the first entry.
  plat::WindowSpec layout;
  layout.className = "ProcessStopTest";
  const plat::Hwnd window =
      plat::CreateAppWindow(layout, [&](plat::Hwnd h, uint32_t msg, uintptr_t w, intptr_t l) {
        if (msg == plat::kWM_USER) boost.Stop();
        return plat::DefaultWindowProc(h, msg, w, l);
      });
  ASSERT_NE(window, 0u);
  plat::PostMessageW(window, plat::kWM_USER, 0, 0);
  boost.RefreshProcess();
  plat::DestroyWindow(window);
  ASSERT_EQ(boost.GetProcessCount(), 1);
  EXPECT_EQ(boost.GetProcessItem(0)->name, "p0.exe");
}

TEST(ProcessRatings, ABusyDatabaseStaysAndABrokenOneGoes) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  const auto version = Strings("Rated Corp", "Rated tool", "Rated");
  Add(b, Proc(8001, "rated.exe"), &version);
  sim::ScopedMachine m{b};
  WriteScoreDb({{"rated.exe", "rated corp", "rated", 95.0, 1}});

  {  // Another connection holds the database: judged without a rating, file kept.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(plat::NativeFilePath(kScore).c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "begin exclusive", nullptr, nullptr, nullptr), SQLITE_OK);
    TProcessBoost boost(kData, kSettings, kTemp);
    boost.RefreshProcess();
    ASSERT_EQ(boost.GetProcessCount(), 1);
    EXPECT_DOUBLE_EQ(boost.GetProcessItem(0)->suggest, 0.0);
    EXPECT_FALSE(boost.GetProcessItem(0)->end);
    EXPECT_TRUE(m.Exists(kScore));
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);
  }
  {  // Free again: the rating counts.
    TProcessBoost boost(kData, kSettings, kTemp);
    boost.RefreshProcess();
    ASSERT_EQ(boost.GetProcessCount(), 1);
    EXPECT_TRUE(boost.GetProcessItem(0)->end);
  }
  {  // Not a database: deleted, and the process judged without a rating.
    m.WriteFile(kScore, std::string(4096, 'x'));
    TProcessBoost boost(kData, kSettings, kTemp);
    boost.RefreshProcess();
    ASSERT_EQ(boost.GetProcessCount(), 1);
    EXPECT_FALSE(boost.GetProcessItem(0)->end);
    EXPECT_FALSE(m.Exists(kScore));
  }
  {  // A database without the table goes as well.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(plat::NativeFilePath(kScore).c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "create table other (x integer)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    TProcessBoost boost(kData, kSettings, kTemp);
    boost.RefreshProcess();
    EXPECT_FALSE(m.Exists(kScore));
  }
}

TEST(ProcessLists, ListFilesReplaceTheListsAndAnUnreadableOneEndsTheRefresh) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  Add(b, Proc(9001, "a.exe"));
  Add(b, Proc(9002, "b.exe"));
  b.File(kBlack, "a.exe\r\n").File(kWhite, "b.exe\n");
  sim::ScopedMachine m{b};

  TProcessBoost boost(kData, kSettings, kTemp);
  boost.RefreshProcess();
  EXPECT_EQ(boost.BlackList(), std::vector<std::string>{"a.exe"});
  EXPECT_EQ(boost.WhiteList(), std::vector<std::string>{"b.exe"});
  ASSERT_EQ(boost.GetProcessCount(), 1);
  EXPECT_TRUE(boost.GetProcessItem(0)->end);

  // A missing file keeps what the list held.
  plat::DeleteFileW(kBlack);
  boost.RefreshProcess();
  EXPECT_EQ(boost.BlackList(), std::vector<std::string>{"a.exe"});

  // A file another program holds without sharing: nothing is listed, the run log says why.
  m.WriteFile(kBlack, "a.exe\r\n");
  const plat::Handle held = plat::CreateFileW(kWhite, plat::kGENERIC_READ, 0, plat::kOPEN_EXISTING);
  ASSERT_NE(held, plat::kInvalidHandle);
  boost.RefreshProcess();
  plat::CloseHandle(held);
  EXPECT_EQ(boost.GetProcessCount(), 0);
  const auto log = enginetest::RunLogLines(m);
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
    return line.rfind("TProcessBoost.LoadFilterDBFile  Cannot open file \"" + kWhite + "\"", 0) ==
           0;
  })) << (log.empty() ? "" : log.back());
}

TEST(ProcessInventory, MissingImagePathFunctionIsLoggedAndPathsStayEmpty) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  b.With([](sim::Machine& m) { m.hasGetProcessImageFileNameW = false; });
  Add(b, Proc(9101, "a.exe"));
  sim::ScopedMachine m{b};
  TProcessBoost boost(kData, kSettings, kTemp);
  EXPECT_TRUE(Contains(enginetest::RunLogLines(m), "GetProcessImageFileName is null"));
  EXPECT_EQ(GetProcessPath(9101), "");
}

TEST(ProcessInventory, WindowsTwoThousandReadsTheMainModule) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  b.Os(5, 0, 2195);
  Add(b, Proc(9201, "a.exe"));
  sim::ScopedMachine m{b};
  EXPECT_EQ(GetProcessPath(9201), "C:\\Games\\a.exe");
}

TEST(ProcessInventory, DebugPrivilegeIsEnabledAtConstruction) {
  Session session;
  sim::ScopedMachine m{ProcessMachine()};
  TProcessBoost boost(kData, kSettings, kTemp);
  EXPECT_TRUE(Contains(m.machine().enabledPrivileges, "SeDebugPrivilege"));
  EXPECT_TRUE(EnablePrivilege("SeDebugPrivilege", false));
  EXPECT_FALSE(Contains(m.machine().enabledPrivileges, "SeDebugPrivilege"));
  EXPECT_FALSE(EnablePrivilege("SeNoSuchPrivilege", true));
  EXPECT_EQ(GetCurrentUserName(), "Gamer");
}

}  // namespace
