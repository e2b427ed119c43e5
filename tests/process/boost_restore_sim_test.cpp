// Ending processes and starting them again: the restore file "Temp.ini" byte for
// byte, the progress notifications, the debug trace, and the restore's choice of
// what comes back.
#include <gtest/gtest.h>

#include "modules/process/uProcessBoost.h"
#include "modules/process/uProcessController.h"
#include "tests/process/ProcessMachine.h"

namespace {

using namespace processtest;

// Settings globals of one test, released while the machine is still there.
struct Program {
  Program() { InitConfigGlobals(false); }
  ~Program() { DoneConfigGlobals(); }
};

struct Note {
  TProgressItemKind kind;
  std::string caption;
  bool success;
  bool operator==(const Note&) const = default;
};

// The debug lines of the module's own steps.
std::vector<std::string> Trace(const sim::Machine& m) {
  std::vector<std::string> out;
  for (const std::string& line : m.debugOutput)
    for (const char* prefix : {"ProcessBoost.Boost", "KillProcessByPID", "TProcessBoost.Boost",
                               "WriteBoostProcessToTempFile", "StartProcessByPath"})
      if (line.rfind(prefix, 0) == 0) out.push_back(line);
  return out;
}

// Processes the program started, in order (those not on the machine before).
std::vector<sim::Process> Started(const sim::Machine& m, size_t before) {
  return std::vector<sim::Process>(m.processes.begin() + static_cast<long>(before),
                                   m.processes.end());
}

TEST(ProcessBoost, EndsTheChosenProcessesAndRecordsThem) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  const auto dupVersion = Strings("Dup Corp", "Dup tool", "Dup");
  auto first = Proc(301, "dup.exe", kGames + "One\\");
  first.wsPrivate = 10;
  auto second = Proc(302, "dup.exe", kGames + "Two\\");
  second.wsPrivate = 20;
  auto stubborn = Proc(303, "solo.exe");
  stubborn.canTerminate = false;
  auto guarded = Proc(304, "guarded.exe");
  guarded.access = plat::kPROCESS_QUERY_INFORMATION | plat::kPROCESS_QUERY_LIMITED_INFORMATION;
  Add(b, first, &dupVersion);
  Add(b, second, &dupVersion);
  Add(b, stubborn);
  Add(b, guarded);
  Add(b, Proc(305, "spared.exe"));
  b.File(kBlack, "dup.exe\r\nsolo.exe\r\nguarded.exe\r\n");
  sim::ScopedMachine m{b};

  TProcessController boost(kData, kSettings, kTemp);
  EXPECT_FALSE(boost.IsEnabled());
  std::vector<Note> notes;
  boost.SetProgressHook(
      [&](void* sender, TProgressItemKind kind, const std::string& caption, bool ok) {
        EXPECT_EQ(sender, &boost);
        notes.push_back({kind, caption, ok});
      },
      &boost);
  EXPECT_TRUE(boost.Boost());
  EXPECT_EQ(boost.GetActionCount(), 4);
  EXPECT_EQ(boost.GetDoneCount(), 4);

  EXPECT_FALSE(Running(m.machine(), 301));
  EXPECT_FALSE(Running(m.machine(), 302));
  EXPECT_TRUE(Running(m.machine(), 303));
  EXPECT_TRUE(Running(m.machine(), 304));
  EXPECT_TRUE(Running(m.machine(), 305));

  const std::string one = B64("C:\\Games\\One\\dup.exe");
  const std::string two = B64("C:\\Games\\Two\\dup.exe");
  EXPECT_EQ(EncodeStartCommand("C:\\Games\\One\\dup.exe"), one);
  EXPECT_EQ(one, "QzpcR2FtZXNcT25lXGR1cC5leGU=");
  EXPECT_EQ(EncodeStartCommand("ab"), "YWI=");
  EXPECT_EQ(EncodeStartCommand("a"), "YQ==");
  EXPECT_EQ(EncodeStartCommand(std::string(100, 'x')).find('\r'), std::string::npos);
  // Two processes of one name leave one "Process" key (the later value) and two pairs;
  // processes not ended keep no start record.
  EXPECT_EQ(m.ReadFile(kTemp),
            "[Process]\r\n"
            "dup.exe=81920\r\n"
            "solo.exe=409600\r\n"
            "guarded.exe=0\r\n"
            "[Process1]\r\n"
            "301=C:\\Games\\One\\dup.exe\r\n"
            "301_=" +
                one +
                "\r\n"
                "302=C:\\Games\\Two\\dup.exe\r\n"
                "302_=" +
                two + "\r\n");

  EXPECT_EQ(notes, (std::vector<Note>{{TProgressItemKind::Process, "Dup tool", true},
                                      {TProgressItemKind::Process, "Dup tool", true},
                                      {TProgressItemKind::Process, "solo.exe", false},
                                      {TProgressItemKind::Process, "guarded.exe", false}}));
  // A later run finds the records: the done count is the number of "Process" keys.
  TProcessController later(kData, kSettings, kTemp);
  EXPECT_TRUE(later.HasRestoreData());
  EXPECT_EQ(later.GetDoneCount(), 3);
  EXPECT_EQ(later.GetProcessCount(), 3);
  EXPECT_EQ(later.GetProcessItem(2)->name, "guarded.exe");
}

TEST(ProcessBoost, AStopRequestKeepsTheRecordsSoFarAndReturnsFalse) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  Add(b, Proc(401, "a.exe"));
  Add(b, Proc(402, "b.exe"));
  b.File(kBlack, "a.exe\r\nb.exe\r\n");
  sim::ScopedMachine m{b};

  TProcessController boost(kData, kSettings, kTemp);
  boost.SetProgressHook([&](void*, TProgressItemKind, const std::string&, bool) { boost.Stop(); },
                        nullptr);
  EXPECT_FALSE(boost.Boost());
  EXPECT_FALSE(Running(m.machine(), 401));
  EXPECT_TRUE(Running(m.machine(), 402));
  EXPECT_EQ(boost.GetActionCount(), 2);
  EXPECT_EQ(boost.GetDoneCount(), 1);
  EXPECT_EQ(m.ReadFile(kTemp),
            "[Process]\r\na.exe=409600\r\n[Process1]\r\n401=C:\\Games\\a.exe\r\n"
            "401_=" +
                EncodeStartCommand("C:\\Games\\a.exe") + "\r\n");
  // A stopped module does not start again.
  EXPECT_FALSE(boost.Boost());
  boost.ResetStop();
  EXPECT_TRUE(boost.Boost());
  EXPECT_FALSE(Running(m.machine(), 402));
}

TEST(ProcessBoost, NothingChosenLeavesNoRecords) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  Add(b, Proc(501, "a.exe"));
  sim::ScopedMachine m{b};
  TProcessController boost(kData, kSettings, kTemp);
  EXPECT_FALSE(boost.Boost());
  EXPECT_EQ(boost.GetActionCount(), 0);
  EXPECT_EQ(boost.GetDoneCount(), 0);
  EXPECT_TRUE(Running(m.machine(), 501));
  EXPECT_EQ(m.ReadFile(kTemp), "");
}

TEST(ProcessBoost, AnIdentifierGivenToAnotherProcessSinceTheInventoryIsNotEnded) {
  // After the inventory, 802 goes to another start of b.exe, or to another program.
  for (const auto& [path, created] :
       {std::pair<std::string, uint64_t>{"C:\\Games\\b.exe", 2}, {"C:\\Games\\c.exe", 1}}) {
    Session session;
    sim::MachineBuilder b = ProcessMachine();
    auto reused = Proc(802, "b.exe");
    reused.created = 1;
    Add(b, Proc(801, "a.exe"));
    Add(b, reused);
    b.File(kBlack, "a.exe\r\nb.exe\r\n");
    sim::ScopedMachine m{b};
    TProcessController boost(kData, kSettings, kTemp);
    boost.SetProgressHook(
        [&](void*, TProgressItemKind, const std::string&, bool) {
          m.machine().processes.back().imagePath = path;
          m.machine().processes.back().created = created;
        },
        nullptr);
    EXPECT_TRUE(boost.Boost());
    EXPECT_EQ(m.machine().processes.size(), 1u);
    EXPECT_TRUE(Contains(enginetest::RunLogLines(m),
                         "KillProcessByPID : 802 is no longer C:\\Games\\b.exe, not ended"));
  }
}

// A restore file of seven ended processes: Explorer, a game, the four companions
// (one in a folder with a blank) and a program whose file is gone.
std::string RestoreFile() {
  std::string text = "[Process]\r\nexplorer.exe=4096\r\n[Process1]\r\n";
  const std::vector<std::pair<int, std::string>> ended = {
      {101, "C:\\Windows\\explorer.exe"},
      {102, "C:\\Games\\game.exe"},
      {103, "C:\\Trevanic\\DriverCare\\TrvDriverCare.exe"},
      {104, "C:\\Trevanic\\Shield\\trvsysshield.exe"},
      {105, "C:\\Trevanic\\Disk Tidy\\TrvDiskTidy.exe"},
      {106, "C:\\Trevanic\\GameCap\\TrvGameCap.exe"},
      {107, "C:\\Games\\gone.exe"},
  };
  for (const auto& [pid, path] : ended)
    text +=
        std::to_string(pid) + "=" + path + "\r\n" + std::to_string(pid) + "_=" + B64(path) + "\r\n";
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

sim::MachineBuilder RestoreMachine(bool restoreAll, Tokens tokens = Tokens::Shell) {
  sim::MachineBuilder b = ProcessMachine();
  b.File(kTemp, RestoreFile());
  for (const char* path :
       {"C:\\Windows\\explorer.exe", "C:\\Games\\game.exe",
        "C:\\Trevanic\\DriverCare\\TrvDriverCare.exe", "C:\\Trevanic\\Shield\\trvsysshield.exe",
        "C:\\Trevanic\\Disk Tidy\\TrvDiskTidy.exe", "C:\\Trevanic\\GameCap\\TrvGameCapTray.exe"})
    b.File(path, "MZ");
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

// The sim records the folder as resolved (without its trailing delimiter).
struct Start {
  std::string commandLine, currentDirectory;
  int show;
  bool operator==(const Start&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Start& s) {
  return os << s.commandLine << " in " << s.currentDirectory << " show " << s.show;
}

std::vector<Start> Starts(const sim::Machine& m, size_t before) {
  std::vector<Start> out;
  for (const sim::Process& p : Started(m, before))
    out.push_back({p.commandLine, p.currentDirectory, p.show});
  return out;
}

const Start kExplorerStart{"C:\\Windows\\explorer.exe", "C:\\Windows", 1};
const Start kGameStart{"C:\\Games\\game.exe", "C:\\Games", 1};
const std::vector<Start> kCompanionStarts = {
    {"C:\\Trevanic\\DriverCare\\TrvDriverCare.exe /STARTUP", "C:\\Trevanic\\DriverCare", 1},
    {"C:\\Trevanic\\Shield\\trvsysshield.exe /STARTUP", "C:\\Trevanic\\Shield", 1},
    {"\"C:\\Trevanic\\Disk Tidy\\TrvDiskTidy.exe\" /autorun", "C:\\Trevanic\\Disk Tidy", 1},
    {"C:\\Trevanic\\GameCap\\TrvGameCapTray.exe /auto", "C:\\Trevanic\\GameCap", 1},
};

TEST(ProcessRestore, WithoutRestoreAllOnlyExplorerAndCompanionsComeBack) {
  Session session;
  sim::ScopedMachine m{RestoreMachine(false)};
  Program program;
  SetDebugOutput(true);
  const size_t before = m.machine().processes.size();

  TProcessController boost(kData, kSettings, kTemp);
  ASSERT_TRUE(boost.HasRestoreData());
  boost.Restore();
  std::vector<Start> expected{kExplorerStart};
  expected.insert(expected.end(), kCompanionStarts.begin(), kCompanionStarts.end());
  EXPECT_EQ(Starts(m.machine(), before), expected);
  // Every key of "Process1" counted, the names ending in "_" too.
  EXPECT_EQ(boost.GetDoneCount(), 14);
  // "Process1" is emptied; "Process" stays, so the module still has restore data.
  EXPECT_EQ(m.ReadFile(kTemp), "[Process]\r\nexplorer.exe=4096\r\n[Process1]\r\n");
  EXPECT_TRUE(boost.HasRestoreData());
  EXPECT_TRUE(Contains(Trace(m.machine()), "StartProcessByPath : C:\\Windows\\explorer.exe"));
  EXPECT_FALSE(Contains(Trace(m.machine()), "StartProcessByPath : C:\\Games\\game.exe"));

  // A second restore finds nothing more to start.
  const size_t after = m.machine().processes.size();
  boost.Restore();
  EXPECT_EQ(m.machine().processes.size(), after);
}

TEST(ProcessRestore, WithRestoreAllEveryRecordedCommandComesBack) {
  Session session;
  sim::ScopedMachine m{RestoreMachine(true)};
  Program program;
  const size_t before = m.machine().processes.size();

  TProcessController boost(kData, kSettings, kTemp);
  boost.Restore();
  std::vector<Start> expected{kExplorerStart, kGameStart};
  expected.insert(expected.end(), kCompanionStarts.begin(), kCompanionStarts.end());
  EXPECT_EQ(Starts(m.machine(), before), expected);
  EXPECT_TRUE(Contains(enginetest::RunLogLines(m),
                       "StartProcessByPath : \"C:\\Games\\gone.exe\" is not an existing file, "
                       "not started"));
}

TEST(ProcessRestore, ProgramsStartWithTheLoggedOnUsersOwnTokenOrNotAtAll) {
  const struct {
    Tokens tokens;
    uint32_t type;  // of the started processes; 0: none starts
    bool elevated;
    std::string source;
  } rows[] = {
      {Tokens::Shell, plat::kTokenElevationTypeLimited, false, "the shell, pid 54"},
      {Tokens::Tray, plat::kTokenElevationTypeLimited, false, "VlxTray.exe, pid 53"},
      {Tokens::Own, plat::kTokenElevationTypeDefault, true, "this program"},
      {Tokens::None, 0, false, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.source);
    Session session;
    sim::ScopedMachine m{RestoreMachine(false, row.tokens)};
    Program program;
    SetDebugOutput(true);
    const size_t before = m.machine().processes.size();
    TProcessController(kData, kSettings, kTemp).Restore();
    const auto started = Started(m.machine(), before);
    EXPECT_EQ(started.size(), row.type ? 5u : 0u);
    for (const sim::Process& p : started) {
      EXPECT_EQ(p.owner, "Gamer");
      EXPECT_EQ(p.elevationType, row.type);
      EXPECT_EQ(p.elevated, row.elevated);
      EXPECT_NE(p.created, 0u);
    }
    EXPECT_TRUE(row.type
                    ? Contains(Trace(m.machine()), "StartProcessByPath : token of " + row.source)
                    : Contains(enginetest::RunLogLines(m),
                               "StartProcessByPath : no token of the logged-on user (no "
                               "process of the user runs without elevation), no program is "
                               "started"));
  }
}

TEST(ProcessRestore, AStoppedModuleOrAnEmptyRecordRestoresNothing) {
  Session session;
  sim::ScopedMachine m{RestoreMachine(true)};
  Program program;
  const size_t before = m.machine().processes.size();
  {
    TProcessController boost(kData, kSettings, kTemp);
    boost.Stop();
    boost.Restore();
  }
  EXPECT_EQ(m.machine().processes.size(), before);
  EXPECT_EQ(m.ReadFile(kTemp), RestoreFile());
  // Only a header: no restore data.
  m.WriteFile(kTemp, "[Process]\r\n[Process1]\r\n101=C:\\Windows\\explorer.exe\r\n");
  TProcessController boost(kData, kSettings, kTemp);
  EXPECT_FALSE(boost.HasRestoreData());
  boost.Restore();
  EXPECT_EQ(m.machine().processes.size(), before);
}

TEST(ProcessRestore, CommandsTheCodePageCannotHoldComeBackWithQuestionMarks) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  const std::string folder = "C:\\Games\\\xCE\xA9mega\\";  // Greek capital omega
  Add(b, Proc(601, "run.exe", folder));
  b.File(kBlack, "run.exe\r\n");
  b.File(kSettings, "[Config]\r\nFRestoreProcesses=1\r\n");
  sim::ScopedMachine m{b};
  Program program;
  SetDebugOutput(true);
  // Code page 1252 holds the accent.
  EXPECT_EQ(DecodeStartCommand(EncodeStartCommand("C:\\Games\\caf\xC3\xA9.exe -x")),
            "C:\\Games\\caf\xC3\xA9.exe -x");
  {
    TProcessController boost(kData, kSettings, kTemp);
    ASSERT_TRUE(boost.Boost());
  }
  EXPECT_EQ(DecodeStartCommand(EncodeStartCommand(folder + "run.exe")),
            "C:\\Games\\?mega\\run.exe");
  TProcessController boost(kData, kSettings, kTemp);
  boost.Restore();
  EXPECT_TRUE(Contains(Trace(m.machine()), "StartProcessByPath : C:\\Games\\?mega\\run.exe"));
}

TEST(ProcessModule, TheSwitchIsKeptInTheChoicesFile) {
  Session session;
  sim::ScopedMachine m{ProcessMachine()};
  TProcessController boost(kData, kSettings, kTemp);
  boost.SetEnabled(true);
  EXPECT_EQ(Text(m, kChoices), "[Boost]\r\nKillExplorer=1\r\n\r\n");
  boost.SetEnabled(false);
  EXPECT_EQ(Text(m, kChoices), "[Boost]\r\nKillExplorer=0\r\n\r\n");
  EXPECT_FALSE(boost.IsEnabled());
}

TEST(ProcessModule, WithoutAStateFileThereIsNothingToRecordOrRestore) {
  Session session;
  sim::MachineBuilder b = ProcessMachine();
  Add(b, Proc(701, "a.exe"));
  b.File(kBlack, "a.exe\r\n");
  sim::ScopedMachine m{b};
  TProcessController boost(kData, kSettings, "");
  EXPECT_FALSE(boost.HasRestoreData());
  EXPECT_FALSE(boost.Boost());
  EXPECT_EQ(boost.GetDoneCount(), 1);
  boost.Restore();
}

}  // namespace
