// The process scenario end to end: user-program doubles run beside the installed
// VlxMini.exe; the user's black list, the rating database and the recorded choices
// decide which of them "-game" ends; "-normal" starts again what the restore rules
// say, with "FRestoreProcesses" off and on, and only the program a record names.
// The doubles live in a folder with blanks; a shell stand-in plays Explorer's
// desktop window, whose token the restore starts programs with.
#include <sqlite3.h>

#include <map>
#include <set>

#include "config/IniFiles.h"
#include "config/PSafeIniFile.h"
#include "modules/process/uProcessBoost.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/support/ScoreDb.h"

namespace {

using e2e::PollUntil;
using e2e::Process;

// Which double is which program (copies of three builds with different version
// resources), and what the rules make of it.
struct Double {
  const char* name;
  const char* build;  // helper it is a copy of
  bool ended;         // "-game" ends it
};
const Double kDoubles[] = {
    {"AlphaSync.exe", "process_alpha_helper", true},      // rated 90, no choice
    {"AlphaHelper.exe", "process_alpha_helper", false},   // rated 95, Process0 = 0
    {"BravoTray.exe", "process_bravo_helper", true},      // rated exactly 80 (company "Bravo's")
    {"CharlieUpd.exe", "process_charlie_helper", false},  // rated 79.9, no choice
    {"CharliePlus.exe", "process_charlie_helper", true},  // rated 79.9, Process1 = 1
    {"NoteKeeper.exe", "process_alpha_helper", false},  // rated under another company, Process1 = 2
    {"Blocked.exe", "process_charlie_helper", true},    // black-listed, Process0 = 5
    {"Allowed.exe", "process_charlie_helper", false},   // black-listed, Process0 = 0
    {"TrvDiskTidy.exe", "process_alpha_helper", true},  // black-listed companion program
};
// A black-listed double started from the installation folder: protected.
constexpr const char* kInstalledDouble = "Blocked.exe";

std::string DoublesBuildDir() {
  std::string dir = plat::GetEnvironmentVariableW("VLX_TEST_BIN_DIR")
                        .value_or(fileutil::ExtractFilePath(plat::GetModuleFileNameW()));
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

std::string Base64Decode(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const size_t v = kAlphabet.find(c);
    if (v == std::string::npos) return "<not Base64>";
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<char>((bits >> count) & 0xFF));
    }
  }
  return out;
}

// Processes of the given executable name whose image lies in folder.
std::vector<DWORD> RunningFrom(const std::string& folder, const std::string& name) {
  std::vector<DWORD> pids;
  std::vector<plat::ProcessEntry> entries;
  if (!plat::SnapshotProcesses(entries)) return pids;
  for (const plat::ProcessEntry& entry : entries) {
    if (!txt::SameText(entry.exeFile, name)) continue;
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.pid);
    if (!process) continue;
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (::QueryFullProcessImageNameW(process, 0, path, &size) &&
        txt::SameText(e2e::Narrow(path), folder + name)) {
      pids.push_back(entry.pid);
    }
    ::CloseHandle(process);
  }
  return pids;
}

class ProcessScenario : public e2e::E2eFixture {
 protected:
  void SetUp() override {
    E2eFixture::SetUp();
    if (HasFatalFailure()) return;
    shell_ = e2e::Start(DoublesBuildDir() + "shell_helper.exe", "", "");
    ASSERT_TRUE(PollUntil(
        [&] {
          DWORD owner = 0;
          ::GetWindowThreadProcessId(::GetShellWindow(), &owner);
          return owner == shell_.pid();
        },
        10000))
        << "the shell stand-in did not become the shell window";
    // A long folder name with blanks: the recorded start commands then exceed one
    // Base64 line, and a bare path must be quoted to start.
    doubles_ = box_.Path("Doubles Of The Users Programs For The Process Scenario") + "\\";
    ASSERT_TRUE(plat::CreateDirectoryW(doubles_));
    for (const Double& d : kDoubles) {
      const std::string build = DoublesBuildDir() + d.build + ".exe";
      ASSERT_TRUE(plat::CopyFileW(build, doubles_ + d.name, false)) << build;
    }
    ASSERT_TRUE(plat::CopyFileW(DoublesBuildDir() + "process_charlie_helper.exe",
                                install() + kInstalledDouble, false));
    WriteRules();
    for (const Double& d : kDoubles) {
      running_[d.name] = e2e::Start(doubles_ + d.name, "", doubles_);
      ASSERT_TRUE(running_[d.name].valid()) << d.name;
    }
    installed_ = StartInstalled(kInstalledDouble, "");
    ASSERT_TRUE(installed_.valid());
    // Each double has recorded its start before the program looks at it.
    for (const Double& d : kDoubles)
      ASSERT_TRUE(PollUntil([&] { return Starts(d.name).size() == 1; }, 10000)) << d.name;
  }

  void TearDown() override {
    for (auto& [name, process] : running_)
      process.Kill();
    installed_.Kill();
    shell_.Kill();
    // Doubles the program started again.
    for (const Double& d : kDoubles) {
      for (DWORD pid : RunningFrom(doubles_, d.name)) {
        const HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!process) continue;
        ::TerminateProcess(process, 99);
        ::WaitForSingleObject(process, 5000);
        ::CloseHandle(process);
      }
    }
    E2eFixture::TearDown();
  }

  // The user's black list, the rating database and the recorded choices.
  void WriteRules() {
    WriteData("UserProcBL.txt",
              test::Utf16File("Blocked.exe\r\nAllowed.exe\r\nTrvDiskTidy.exe\r\n"));
    WriteData("Process.ini", test::Utf16File("[Process0]\r\nAlphaHelper.exe=0\r\nBlocked.exe=5\r\n"
                                             "Allowed.exe=0\r\n[Process1]\r\nCharliePlus.exe=1\r\n"
                                             "NoteKeeper.exe=2\r\n"));
    test::WriteScoreDb(DataFile("Score.db"),
                       {{"alphasync.exe", "Alpha Software Ltd", "Alpha Sync", 90.0, 12},
                        {"alphahelper.exe", "ALPHA SOFTWARE LTD", "Alpha Sync", 95.0, 3},
                        {"bravotray.exe", "Bravo's Media", "Bravo Player", 80.0, 1},
                        {"charlieupd.exe", "Charlie Corp", "Charlie Update", 79.9, 7},
                        {"charlieplus.exe", "Charlie Corp", "Charlie Update", 79.9, 0},
                        {"notekeeper.exe", "Someone Else", "Alpha Sync", 99.0, 40}});
  }

  // The command lines a double was started with, in order.
  std::vector<std::string> Starts(const std::string& name) const {
    return txt::SplitLines(e2e::ReadBytes(doubles_ + name + ".starts.txt"));
  }

  void SetRestoreProcesses(bool value) {
    TSafeIniFile ini(DataFile("Velmorix.ini"));
    ini.WriteBool("Config", "FRestoreProcesses", value);
  }

  // "-game": exactly the chosen doubles are ended and recorded in "Temp.ini".
  void BoostAndCheck() {
    ASSERT_EQ(RunProgram("-game"), std::optional<DWORD>(0));
    for (const Double& d : kDoubles) {
      Process& p = running_[d.name];
      if (d.ended) {
        EXPECT_TRUE(PollUntil([&] { return !p.Running(); }, 5000)) << d.name << " still runs";
      } else {
        EXPECT_TRUE(p.Running()) << d.name << " was ended";
      }
    }
    EXPECT_TRUE(installed_.Running()) << "the double in the installation folder was ended";

    ASSERT_TRUE(DataExists("Temp.ini"));
    TIniFile temp(DataFile("Temp.ini"));
    std::vector<std::string> names;
    temp.ReadSection("Process", names);
    std::set<std::string> ended;
    for (const std::string& name : names) {
      ended.insert(txt::LowerCase(name));
      int32_t memory = -1;
      EXPECT_TRUE(txt::TryStrToInt(temp.ReadString("Process", name, ""), memory)) << name;
    }
    std::set<std::string> expected;
    for (const Double& d : kDoubles)
      if (d.ended) expected.insert(txt::LowerCase(d.name));
    EXPECT_EQ(ended, expected);

    std::vector<std::string> keys;
    temp.ReadSection("Process1", keys);
    EXPECT_EQ(keys.size(), 2 * expected.size());
    const std::string raw = txt::DecodeTextFile(e2e::ReadBytes(DataFile("Temp.ini")));
    for (const Double& d : kDoubles) {
      if (!d.ended) continue;
      const std::string pid = std::to_string(running_[d.name].pid());
      EXPECT_TRUE(txt::SameText(temp.ReadString("Process1", pid, ""), doubles_ + d.name))
          << d.name << ": " << temp.ReadString("Process1", pid, "");
      const std::string command = temp.ReadString("Process1", pid + "_", "");
      EXPECT_GT(command.size(), 76u) << "the path is too short to need a second Base64 line";
      EXPECT_EQ(command.find_first_of("\r\n"), std::string::npos);
      EXPECT_NE(raw.find("\r\n" + pid + "_=" + command + "\r\n"), std::string::npos) << d.name;
      EXPECT_TRUE(txt::SameText(Base64Decode(command), doubles_ + d.name))
          << d.name << ": " << Base64Decode(command);
    }
  }

  test::Sandbox box_;
  std::string doubles_;
  std::map<std::string, Process> running_;
  Process installed_;
  Process shell_;
};

TEST_F(ProcessScenario, GameEndsTheChosenProgramsAndNormalStartsOnlyTheCompanionAgain) {
  ASSERT_NO_FATAL_FAILURE(BoostAndCheck());

  SetRestoreProcesses(false);
  ASSERT_EQ(RunProgram("-normal"), std::optional<DWORD>(0));
  EXPECT_FALSE(DataExists("Temp.ini"));
  // The companion program comes back with its start switch as its first argument;
  // nothing else does.
  EXPECT_TRUE(PollUntil([&] { return Starts("TrvDiskTidy.exe").size() == 2; }, 10000));
  const auto tidy = Starts("TrvDiskTidy.exe");
  ASSERT_EQ(tidy.size(), 2u);
  EXPECT_TRUE(txt::SameText(tidy[1], "\"" + doubles_ + "TrvDiskTidy.exe\" /autorun")) << tidy[1];
  EXPECT_EQ(RunningFrom(doubles_, "TrvDiskTidy.exe").size(), 1u);
  for (const Double& d : kDoubles) {
    if (std::string(d.name) == "TrvDiskTidy.exe") continue;
    EXPECT_EQ(Starts(d.name).size(), 1u) << d.name << " was started again";
    EXPECT_EQ(RunningFrom(doubles_, d.name).size(), d.ended ? 0u : 1u) << d.name;
  }
}

TEST_F(ProcessScenario, NormalWithRestoreProcessesStartsEveryRecordedCommand) {
  ASSERT_NO_FATAL_FAILURE(BoostAndCheck());

  SetRestoreProcesses(true);
  ASSERT_EQ(RunProgram("-normal"), std::optional<DWORD>(0));
  EXPECT_FALSE(DataExists("Temp.ini"));
  for (const Double& d : kDoubles) {
    if (!d.ended) {
      EXPECT_EQ(Starts(d.name).size(), 1u) << d.name << " was started again";
      continue;
    }
    EXPECT_TRUE(PollUntil([&] { return Starts(d.name).size() == 2; }, 10000))
        << d.name << " was not started again";
    const auto starts = Starts(d.name);
    if (starts.size() != 2) continue;
    const std::string switches = std::string(d.name) == "TrvDiskTidy.exe" ? " /autorun" : "";
    EXPECT_TRUE(txt::SameText(starts[1], "\"" + doubles_ + d.name + "\"" + switches)) << starts[1];
    EXPECT_EQ(RunningFrom(doubles_, d.name).size(), 1u) << d.name;
  }
}

}  // namespace

TEST_F(ProcessScenario, ARecordWhoseCommandNamesAnotherProgramStartsOnlyItsOwnProgram) {
  // A forged record: the companion's path, but a command naming another double.
  const std::string tidy = doubles_ + "TrvDiskTidy.exe", alpha = doubles_ + "AlphaSync.exe";
  WriteData("Temp.ini", test::Utf16File("[Process]\r\nTrvDiskTidy.exe=4096\r\n[Process1]\r\n4242=" +
                                        tidy + "\r\n4242_=" + EncodeStartCommand(alpha) + "\r\n"));
  ASSERT_EQ(RunProgram("-normal"), std::optional<DWORD>(0));
  // The recorded program runs, with the record's command as its command line.
  EXPECT_TRUE(PollUntil([&] { return Starts("TrvDiskTidy.exe").size() == 2; }, 10000));
  const auto starts = Starts("TrvDiskTidy.exe");
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_TRUE(txt::SameText(starts[1], alpha + " /autorun")) << starts[1];
  EXPECT_FALSE(PollUntil([&] { return Starts("AlphaSync.exe").size() > 1; }, 1000))
      << "the program named by the command was started";
}
