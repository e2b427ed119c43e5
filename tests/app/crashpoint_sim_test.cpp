// A boost or a restore ended at one of its state-changing calls (as TerminateProcess
// would end it), then restored by "-normal": the machine must come back as it was before
// the boost. A busy machine gives every module of the table something to do. The test
// command tries a fixed sample; VLX_CRASHPOINTS=all tries every point and prints the count.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "app/VlxMini.h"
#include "app/uBoostModules.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/settings/SettingsMachine.h"
#include "tests/support/SimProgram.h"
#include "tests/support/TweakLibraries.h"

namespace {

using settingstest::Ini;

const std::string kProgram = "C:\\Program Files (x86)\\Velmora\\";
const std::string kData = "C:\\Users\\Gamer\\AppData\\Roaming\\Trevanic\\Velmora\\";
using test::kUserPlan;

// An EDID base block naming the monitor "Panel".
std::string Edid() {
  std::string e(128, '\0');
  e.replace(8, 2, "\x04\x43");
  e.replace(108, 5, std::string("\0\0\0\xFC\0", 5));
  return e.replace(113, 6, "Panel\n");
}

// Every module with a pass has something to do: processes on the black list, chosen
// services, a DDC/CI monitor with a gaming choice (its EDID where Plug and Play keeps it),
// the power and overclock libraries, the clipboard in use, and on Windows 10 Game Mode
// off, on Windows 7 automatic updates on.
sim::MachineBuilder Busy(bool win7) {
  sim::MachineBuilder b;
  if (win7) b.Os(6, 1, 7601);
  b.File(kData + "UserProcBL.txt", "OneDrive.exe\r\nexplorer.exe\r\nSpotify.exe\r\n")
      .File(kData + "Velmorix.ini",
            Ini("[Config]\r\nFRestoreProcesses=1\r\nFRestoreServices=1\r\n"))
      .File(kData + "UserWinSvc.ini",
            Ini(std::string(win7 ? "[Services_WIN7]" : "[Services_WIN10]") +
                "\r\nFax=1\r\nWSearch=1\r\nSysMain=1\r\n"))
      .File(kData + "Monitor.ini", Ini("[Panel]\r\nGamingModeEnabled=1\r\nGamingModeValue=5\r\n"))
      .File("C:\\mon\\caps.txt",
            "(prot(monitor)type(LCD)vcp(10 12 14(05 08 0B) B0 DC(00 02 05))mccs_ver(2.1))")
      .File("C:\\mon\\edid.bin", Edid())
      .File(kProgram + "PowerMgr.dll", "")
      .File(kProgram + "OverDrive.dll", "")
      .RegDword("HKCU\\Software\\Microsoft\\GameBar", "AutoGameModeEnabled", 0)
      .RegRaw(
          "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\Default_Monitor\\0000&0000\\Device "
          "Parameters",
          "EDID", plat::kREG_BINARY, Edid())
      .With([](sim::Machine& m) {
        m.updateAgent.level = 3;
        m.libraries[kProgram + "PowerMgr.dll"] = test::PowerMgr();
        m.libraries[kProgram + "OverDrive.dll"] = test::OverDrive();
        sim::SimMonitor mon;
        const auto drive = std::filesystem::path(m.home) / m.drives.at('C');
        mon.edidFile = (drive / "mon" / "edid.bin").string();
        mon.capsFile = (drive / "mon" / "caps.txt").string();
        mon.vcp = {{0x10, {50, 100}}, {0x12, {60, 100}}, {0x14, {5, 13}}, {0xDC, {0, 255}}};
        m.monitors.monitors.push_back(mon);
        m.clipboard.formats = {"CF_UNICODETEXT"};
      });
  return b;
}

// What a completed boost and restore put back, one line per item. Never restored and
// left out: working sets and the memory figures, the clipboard, the program's own token,
// the program's settings record and statistics, logs, journals and message logs, and the
// temporary file of a save cut short (the next save replaces it).
std::multiset<std::string> Restorable(const sim::Machine& m) {
  std::multiset<std::string> items;
  std::istringstream text(sim::Serialize(m));
  std::string line, kind, section;
  while (std::getline(text, line)) {
    if (line.rfind('[', 0) == 0) {
      section = line;
      kind = line.substr(1, line.find_first_of(" ]") - 1);
      continue;
    }
    const std::string key = line.substr(0, line.find(" = "));
    if (kind == "process" && key == "path") items.insert("process " + line.substr(7));
    if ((kind == "reg" || kind == "service" || kind == "monitor" || kind == "window" ||
         kind == "file") &&
        !line.empty() && key != "lastShow")
      items.insert(section + " " + line);
    if (kind == "desktop" && key == "foregroundLockTimeout") items.insert(line);
    if (kind == "updateagent") items.insert(line);
  }
  std::string plan = kUserPlan, overclocked = "no";
  for (const sim::LibraryCall& c : m.calls) {
    if (c.function == "SetGamePwrCFG") plan = c.arguments.at(2);
    if (c.function == "SetPwrCFG") plan = c.arguments.at(0);
    if (c.function == "OverClock") overclocked = "yes";
    if (c.function == "Reset") overclocked = "no";
  }
  items.insert("power plan " + plan);
  items.insert("overclocked " + overclocked);
  namespace fs = std::filesystem;
  const fs::path drive = sim::HostPath(m, "C:\\");
  for (const auto& e : fs::recursive_directory_iterator(drive)) {
    const std::string name = fs::relative(e.path(), drive).string();
    if (!e.is_regular_file() || name.find("/Logs/") != std::string::npos ||
        name.ends_with("Velmorix.ini") || name.ends_with("Stat.ini") ||
        name.ends_with("OverDrive.ini") || name.ends_with("Update.ini") || name.ends_with(".tmp"))
      continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    // Records compare by their text: a rewrite may add a blank line.
    std::string content = bytes.str();
    if (name.ends_with(".ini")) {
      content = txt::DecodeTextFile(content);
      std::erase(content, '\r');
      while (content.find("\n\n") != std::string::npos)
        content.replace(content.find("\n\n"), 2, "\n");
    }
    items.insert("file " + name + " " + std::to_string(std::hash<std::string>{}(content)));
  }
  return items;
}

// Runs the program with arg over the home, ended at its endAt-th change (0: never);
// whether it was ended there.
bool Run(const test::SimHome& home, const std::string& arg, uint64_t endAt) {
  const test::ProgramResult r = test::RunSimProgram(home.dir(), [&] {
    sim::Session& s = sim::Current();
    {
      auto lock = s.Lock();
      s.machine().endAtChange = endAt;
      s.Changed();
    }
    const std::vector<std::string> args = {kProgram + "VlxMini.exe", arg};
    sim::SetCommandLineArgs(args);
    sim::CountChanges();
    return RunVlxMini(args, DefaultBoostModules());
  });
  EXPECT_FALSE(r.timedOut) << arg << " " << endAt;
  return r.exitCode == sim::kEndedAtChangeExitCode;
}

// One crash point: "-game" ended at change n (or, with restoreAt, a full "-game" and
// "-normal" ended at change restoreAt), then "-normal". Empty when fully restored, else
// the items that differ; ended tells whether the point was reached.
std::string CrashPoint(bool win7, uint64_t n, uint64_t restoreAt, bool& ended) {
  test::SimHome home(Busy(win7));
  const auto before = Restorable(*home.Load());
  ended = Run(home, "-game", n);
  if (restoreAt) ended = Run(home, "-normal", restoreAt);
  Run(home, "-normal", 0);
  const auto after = Restorable(*home.Load());
  // Items of one and not the other, as multisets: a copy more of a process shows.
  std::vector<std::string> lost, extra;
  std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                      std::back_inserter(lost));
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(extra));
  std::string diff;
  for (const auto& l : lost)
    diff += "  - " + l + "\n";
  for (const auto& l : extra)
    diff += "  + " + l + "\n";
  return diff;
}

TEST(CrashPoints, AnEndedBoostOrRestoreIsStillFullyRestored) {
  bool ended = true;
  const char* mode = std::getenv("VLX_CRASHPOINTS");
  if (!mode || std::string(mode) != "all") {
    // On these machines with the present table: both complete; ended right after the
    // overclock call, before its amounts are recorded (the first record asks for a reset);
    // Explorer recorded but not yet ended (no second copy); a restore ended after
    // Explorer's start and the removal of its record; on Windows 7, both complete, and a
    // boost ended right after the update level was changed (its record already on disk).
    const struct {
      bool win7;
      uint64_t boostAt, restoreAt;  // 0: runs to its end
    } sample[] = {{false, 0, 0},  {false, 32, 0}, {false, 39, 0},
                  {false, 0, 23}, {true, 0, 0},   {true, 62, 0}};
    for (const auto& p : sample)
      EXPECT_EQ(CrashPoint(p.win7, p.boostAt, p.restoreAt, ended), "")
          << (p.win7 ? "Windows 7, " : "Windows 10, ") << p.boostAt << " " << p.restoreAt;
    return;
  }
  int tried = 0, restored = 0;
  std::string failures, exceptions;
  for (const bool win7 : {false, true}) {
    for (const bool restore : {false, true}) {
      ended = true;
      for (uint64_t n = 1; ended; ++n) {
        const std::string diff = CrashPoint(win7, restore ? 0 : n, restore ? n : 0, ended);
        const std::string at = std::string(win7 ? "Windows 7, " : "Windows 10, ") +
                               (restore ? "restore" : "boost") + " ended at " + std::to_string(n);
        ++tried;
        restored += diff.empty();
        // The one point per program a restore cannot close: ended after the program's
        // start, before its record is removed, the next restore starts it again.
        if (restore && diff.rfind("  + process ", 0) == 0 &&
            std::count(diff.begin(), diff.end(), '\n') == 1)
          exceptions += at + ":\n" + diff;
        else if (!diff.empty())
          failures += at + ":\n" + diff;
      }
    }
  }
  std::printf("crash points tried: %d, fully restored: %d\nexceptions (a copy started twice):\n%s",
              tried, restored, exceptions.c_str());
  EXPECT_EQ(failures, "");
}

}  // namespace
