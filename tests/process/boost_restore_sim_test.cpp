// Ending processes and starting them again: the restore file "Temp.ini" byte for
// byte, the progress notifications, and the restore's choice of what comes back and
// with which token.
#include <gtest/gtest.h>

#include <functional>

#include "modules/process/uProcessBoost.h"
#include "modules/process/uProcessController.h"
#include "tests/process/ProcessMachine.h"

namespace {

using namespace processtest;
using enginetest::RunLogLines;

// Settings globals of one test, released while the machine is still there.
struct Program {
  Program() { InitConfigGlobals(false); }
  ~Program() { DoneConfigGlobals(); }
};

using Hook = std::function<void(TProcessController&, sim::Machine&)>;

// One boost over a machine with the given processes and black list: what ends, what
// "Temp.ini" records (before each process is ended; a process not ended loses its start
// record), the notifications, the counts and the result.
TEST(ProcessBoost, EndsTheChosenProcessesAndRecordsThemFirst) {
  const auto dupVersion = Strings("Dup Corp", "Dup tool", "Dup");
  auto first = Proc(301, "dup.exe", kGames + "One\\");
  first.wsPrivate = 10;
  auto second = Proc(302, "dup.exe", kGames + "Two\\");
  second.wsPrivate = 20;
  auto stubborn = Proc(303, "solo.exe");
  stubborn.canTerminate = false;
  auto guarded = Proc(304, "guarded.exe");
  guarded.access = plat::kPROCESS_QUERY_INFORMATION | plat::kPROCESS_QUERY_LIMITED_INFORMATION;
  const auto a = Proc(401, "a.exe");
  auto b = Proc(402, "b.exe");
  b.created = 1;
  // After the inventory, 402 goes to another start of b.exe, or to another program.
  const auto reuse = [](const std::string& path, uint64_t created) -> Hook {
    return [=](TProcessController&, sim::Machine& m) {
      m.processes.back().imagePath = path;
      m.processes.back().created = created;
    };
  };
  const std::string aRecord = "401=C:\\Games\\a.exe\r\n401_=QzpcR2FtZXNcYS5leGU=\r\n";
  const struct {
    const char* what;
    std::vector<sim::Process> processes;
    std::string black, state;
    Hook onNote;
    bool result;
    std::vector<uint32_t> left;
    std::string records;
    std::vector<std::string> notes;
    int32_t actions, done, keys;  // keys: "Process" keys a later run finds
  } rows[] = {
      // clang-format off
      // Two processes of one name leave one "Process" key (the later value) and two pairs.
      {"ends the chosen", {first, second, stubborn, guarded, Proc(305, "spared.exe")},
       "dup.exe\r\nsolo.exe\r\nguarded.exe\r\n", kTemp, nullptr, true, {303, 304, 305},
       "[Process]\r\ndup.exe=81920\r\nsolo.exe=409600\r\nguarded.exe=0\r\n[Process1]\r\n"
       "301=C:\\Games\\One\\dup.exe\r\n301_=QzpcR2FtZXNcT25lXGR1cC5leGU=\r\n"
       "302=C:\\Games\\Two\\dup.exe\r\n302_=QzpcR2FtZXNcVHdvXGR1cC5leGU=\r\n",
       {"Dup tool ok", "Dup tool ok", "solo.exe failed", "guarded.exe failed"}, 4, 4, 3},
      {"stop request", {a, b}, "a.exe\r\nb.exe\r\n", kTemp,
       [](TProcessController& boost, sim::Machine&) { boost.Stop(); }, false, {402},
       "[Process]\r\na.exe=409600\r\n[Process1]\r\n" + aRecord, {"a.exe ok"}, 2, 1, 1},
      {"identifier given to another b.exe", {a, b}, "a.exe\r\nb.exe\r\n", kTemp,
       reuse("C:\\Games\\b.exe", 2), true, {402},
       "[Process]\r\na.exe=409600\r\nb.exe=409600\r\n[Process1]\r\n" + aRecord,
       {"a.exe ok", "b.exe failed"}, 2, 2, 2},
      {"identifier given to another program", {a, b}, "a.exe\r\nb.exe\r\n", kTemp,
       reuse("C:\\Games\\c.exe", 1), true, {402},
       "[Process]\r\na.exe=409600\r\nb.exe=409600\r\n[Process1]\r\n" + aRecord,
       {"a.exe ok", "b.exe failed"}, 2, 2, 2},
      {"nothing chosen", {a}, "", kTemp, nullptr, false, {401}, "", {}, 0, 0, 0},
      {"no state file", {a}, "a.exe\r\n", "", nullptr, false, {}, "", {"a.exe ok"}, 1, 1, 0},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Session session;
    sim::MachineBuilder builder = ProcessMachine();
    for (const sim::Process& p : row.processes)
      Add(builder, p, p.exeFile == "dup.exe" ? &dupVersion : nullptr);
    sim::ScopedMachine m{builder.File(kBlack, row.black)};
    TProcessController boost(kData, kSettings, row.state);
    std::vector<std::string> notes;
    boost.SetProgressHook(
        [&](void* sender, TProgressItemKind kind, const std::string& caption, bool ok) {
          EXPECT_EQ(sender, &boost);
          EXPECT_EQ(kind, TProgressItemKind::Process);
          notes.push_back(caption + (ok ? " ok" : " failed"));
          if (row.onNote) row.onNote(boost, m.machine());
        },
        &boost);
    EXPECT_EQ(boost.Boost(), row.result);
    EXPECT_EQ(Pids(m.machine()), row.left);
    EXPECT_EQ(m.ReadFile(kTemp), row.records);
    EXPECT_EQ(notes, row.notes);
    EXPECT_EQ(boost.GetActionCount(), row.actions);
    EXPECT_EQ(boost.GetDoneCount(), row.done);
    EXPECT_EQ(
        Contains(RunLogLines(m), "KillProcessByPID : 402 is no longer C:\\Games\\b.exe, not ended"),
        row.onNote && row.result);
    // A later run finds the records: the done count is the number of "Process" keys.
    TProcessController later(kData, kSettings, kTemp);
    EXPECT_EQ(later.HasRestoreData(), row.keys > 0);
    EXPECT_EQ(later.GetDoneCount(), row.keys);
    if (row.onNote && !row.result) {  // a stopped module does not start again
      EXPECT_FALSE(boost.Boost());
      boost.ResetStop();
      EXPECT_TRUE(boost.Boost());
      EXPECT_TRUE(Pids(m.machine()).empty());
    }
  }
}

TEST(ProcessBoost, StartCommandsAreBase64OfTheCodePageBytes) {
  Session session;
  sim::ScopedMachine m{ProcessMachine()};
  // "=" padded, never broken into lines; code page 1252 holds the accent.
  EXPECT_EQ(EncodeStartCommand("ab"), "YWI=");
  EXPECT_EQ(EncodeStartCommand("a"), "YQ==");
  EXPECT_EQ(EncodeStartCommand(std::string(100, 'x')).find('\r'), std::string::npos);
  EXPECT_EQ(DecodeStartCommand(EncodeStartCommand("C:\\Games\\caf\xC3\xA9.exe -x")),
            "C:\\Games\\caf\xC3\xA9.exe -x");
}

// Seven ended processes: Explorer, a game, the four companions (one in a folder with a
// blank) and a program whose file is gone.
const char* const kEnded[] = {"C:\\Windows\\explorer.exe",
                              "C:\\Games\\game.exe",
                              "C:\\Trevanic\\DriverCare\\TrvDriverCare.exe",
                              "C:\\Trevanic\\Shield\\trvsysshield.exe",
                              "C:\\Trevanic\\Disk Tidy\\TrvDiskTidy.exe",
                              "C:\\Trevanic\\GameCap\\TrvGameCap.exe",
                              "C:\\Games\\gone.exe"};

// Their restore file.
std::string RestoreFile() {
  std::string text = "[Process]\r\nexplorer.exe=4096\r\n[Process1]\r\n";
  int pid = 101;
  for (const char* path : kEnded) {
    const std::string key = std::to_string(pid++);
    text += key + "=" + path + "\r\n" + key + "_=" + EncodeStartCommand(path) + "\r\n";
  }
  return text;
}

// Where the user's token comes from: the shell, the tray program (no shell), nowhere
// (only elevated processes of the user), or the program's own token (UAC off).
enum class Tokens { Shell, Tray, None, Own };

sim::Process Token(uint32_t pid, const std::string& exe, const std::string& owner, uint32_t type) {
  sim::Process p = Proc(pid, exe, "C:\\Windows\\");
  p.owner = owner;
  p.elevationType = type;
  p.elevated = type == plat::kTokenElevationTypeFull;
  return p;
}

sim::MachineBuilder RestoreMachine(bool restoreAll, Tokens tokens) {
  sim::MachineBuilder b = ProcessMachine();
  for (const char* path : kEnded)  // all but the last; the game capture's tray program
    if (path != kEnded[6]) b.File(path, "MZ");
  b.File("C:\\Trevanic\\GameCap\\TrvGameCapTray.exe", "MZ");
  // Never lent: the user's elevated process, another user's, one of another session.
  b.AddProcess(Token(50, "admin.exe", "Gamer", plat::kTokenElevationTypeFull));
  b.AddProcess(Token(51, "guest.exe", "Guest", plat::kTokenElevationTypeLimited));
  b.AddProcess(Token(52, "remote.exe", "Gamer", plat::kTokenElevationTypeLimited))
      .With([](sim::Machine& m) { m.processes.back().session = 2; });
  if (tokens == Tokens::Tray)
    b.AddProcess(Token(53, "VlxTray.exe", "Gamer", plat::kTokenElevationTypeLimited));
  if (tokens == Tokens::Shell) {
    b.AddProcess(Token(54, "explorer.exe", "Gamer", plat::kTokenElevationTypeLimited));
    b.Window("Progman", "Program Manager").With([](sim::Machine& m) { m.windows.back().pid = 54; });
  }
  if (tokens == Tokens::Own)
    b.With([](sim::Machine& m) { m.elevationType = plat::kTokenElevationTypeDefault; });
  b.File(kSettings,
         std::string("[Config]\r\nFRestoreProcesses=") + (restoreAll ? "1" : "0") + "\r\n");
  return b;
}

// A machine with the restore file, the settings loaded and its processes counted.
struct RestoreRun {
  explicit RestoreRun(bool restoreAll, Tokens tokens = Tokens::Shell)
      : m{RestoreMachine(restoreAll, tokens)} {
    m.WriteFile(kTemp, RestoreFile());
    before = m.machine().processes.size();
  }
  std::vector<sim::Process> Started() {
    return {m.machine().processes.begin() + static_cast<long>(before), m.machine().processes.end()};
  }
  Session session;
  sim::ScopedMachine m;
  Program program;
  size_t before = 0;
};

// Explorer and the companions come back, the rest only with "restore all", each with the
// logged-on user's own token or not at all.
TEST(ProcessRestore, WhatComesBackAndWithWhichToken) {
  const struct {
    bool all;
    Tokens tokens;
    uint32_t type;  // of the started processes; 0: none starts
    std::string source;
  } rows[] = {
      {false, Tokens::Shell, plat::kTokenElevationTypeLimited, "the shell, pid 54"},
      {true, Tokens::Shell, plat::kTokenElevationTypeLimited, "the shell, pid 54"},
      {false, Tokens::Tray, plat::kTokenElevationTypeLimited, "VlxTray.exe, pid 53"},
      {false, Tokens::Own, plat::kTokenElevationTypeDefault, "this program"},
      {false, Tokens::None, 0, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.source + (row.all ? ", all" : ""));
    RestoreRun r(row.all, row.tokens);
    SetDebugOutput(true);
    TProcessController boost(kData, kSettings, kTemp);
    ASSERT_TRUE(boost.HasRestoreData());
    boost.Restore();
    // The sim records the folder as resolved (without its trailing delimiter).
    std::vector<std::string> starts, expected;
    for (const sim::Process& p : r.Started()) {
      starts.push_back(p.commandLine + " in " + p.currentDirectory + " " + std::to_string(p.show));
      EXPECT_EQ(p.owner, "Gamer");
      EXPECT_EQ(p.elevationType, row.type);
      EXPECT_EQ(p.elevated, row.tokens == Tokens::Own);
    }
    if (row.type) expected.push_back("C:\\Windows\\explorer.exe in C:\\Windows 1");
    if (row.all) expected.push_back("C:\\Games\\game.exe in C:\\Games 1");
    for (const char* start :
         {"C:\\Trevanic\\DriverCare\\TrvDriverCare.exe /STARTUP in C:\\Trevanic\\DriverCare 1",
          "C:\\Trevanic\\Shield\\trvsysshield.exe /STARTUP in C:\\Trevanic\\Shield 1",
          "\"C:\\Trevanic\\Disk Tidy\\TrvDiskTidy.exe\" /autorun in C:\\Trevanic\\Disk Tidy 1",
          "C:\\Trevanic\\GameCap\\TrvGameCapTray.exe /auto in C:\\Trevanic\\GameCap 1"})
      if (row.type) expected.push_back(start);
    EXPECT_EQ(starts, expected);
    const auto log = RunLogLines(r.m);
    EXPECT_EQ(Contains(log,
                       "StartProcessByPath : \"C:\\Games\\gone.exe\" is not an existing "
                       "file, not started"),
              row.all);
    EXPECT_TRUE(row.type ? Contains(r.m.machine().debugOutput,
                                    "StartProcessByPath : token of " + row.source)
                         : Contains(log,
                                    "StartProcessByPath : no token of the logged-on user (no "
                                    "process of the user runs without elevation), no "
                                    "program is started"));
    // Every key of "Process1" counted, the names ending in "_" too; "Process1" is emptied,
    // "Process" stays, so the module still has restore data.
    EXPECT_EQ(boost.GetDoneCount(), 14);
    EXPECT_EQ(r.m.ReadFile(kTemp), "[Process]\r\nexplorer.exe=4096\r\n[Process1]\r\n");
    EXPECT_TRUE(boost.HasRestoreData());
    // A second restore finds nothing more to start.
    boost.Restore();
    EXPECT_EQ(r.Started().size(), expected.size());
  }
}

}  // namespace
