// The memory, clipboard, Game Mode and game desktop modules over simulated machines,
// and one whole boost and restore of the program with scripted memory figures.
#include <gtest/gtest.h>

#include <cstring>

#include "app/uBoostModules.h"
#include "config/RegistryClass.h"
#include "config/UnitGAConfig.h"
#include "diag/uSessionShareMemory.h"
#include "modules/tweaks/uClipbrd.h"
#include "modules/tweaks/uGameDesk.h"
#include "modules/tweaks/uGameMode.h"
#include "modules/tweaks/uMemUsage.h"
#include "modules/tweaks/uRAMClear.h"
#include "tests/app/ProgramRun.h"
#include "tests/engine/EngineMachine.h"

namespace {

using namespace enginetest;

const std::string kGameBar = "HKCU\\Software\\Microsoft\\GameBar";

sim::MachineBuilder With(const std::string& boostKeys) {
  sim::MachineBuilder b = Machine();
  b.File(kSettings, Ini("[Boost]\r\n" + boostKeys));
  return b;
}

template <class T>
T Module() {
  return T(kData, kSettings, kTemp);
}

sim::Process Proc(uint32_t pid, const std::string& exe) {
  sim::Process p;
  p.pid = pid;
  p.exeFile = exe;
  p.wsPrivate = 100;
  return p;
}

TEST(Tweaks, MemoryTrimsAllButExcludedNamesInAnyCase) {
  struct Row {
    const char* keys;
    bool boosted;
    std::vector<uint32_t> trims;
  } rows[] = {
      {"", true, {21, 24}},
      {"RAM=0\r\n", false, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keys);
    Session session;
    sim::ScopedMachine m{With(row.keys).With([](sim::Machine& mc) {
      mc.processes = {Proc(21, "game.exe"), Proc(22, "smc.exe"), Proc(23, "sMcGuI.ExE"),
                      Proc(24, "notepad.exe")};
    })};
    InitConfigGlobals(false);
    auto ram = Module<TRAMClear>();
    EXPECT_EQ(ram.Boost(), row.boosted);
    EXPECT_EQ(m.machine().memory.trims, row.trims);
    EXPECT_EQ(Text(m, kTemp), row.boosted ? "[RAM]\r\nClear=1\r\n" : "<missing>");
    ram.Restore();
    EXPECT_FALSE(ram.HasRestoreData());
  }
}

TEST(Tweaks, FreedMemoryIsTheDropInUsedMemoryNeverNegative) {
  const uint64_t g = 1024ull * 1024 * 1024;
  struct Row {
    std::vector<std::pair<uint64_t, uint64_t>> script;
    int64_t freed;
    uint64_t total;
  } rows[] = {
      {{{2 * g, g / 2}, {2 * g, g + g / 2}}, static_cast<int64_t>(g), 2 * g},
      {{{8 * g, 4 * g}, {8 * g, 3 * g}}, 0, 8 * g},
      {{{0, 0}, {0, 0}}, 0, 0},
  };
  for (const Row& row : rows) {
    sim::ScopedMachine m{Machine().With([&](sim::Machine& mc) { mc.memory.script = row.script; })};
    TMemUsage usage;
    usage.BeginMeasure();
    EXPECT_EQ(usage.FreedMemory(), row.freed);
    EXPECT_EQ(usage.TotalPhysical(), row.total);
  }
}

TEST(Tweaks, ClipboardEmptiedOrLeftWithTheHoldersError) {
  struct Row {
    const char* keys;
    const char* heldBy;
    bool boosted;
    size_t formatsLeft;
    const char* errorLine;
  } rows[] = {
      {"", "", true, 0, nullptr},
      {"", "Notepad", false, 2, "TClipbrd.Boost : Cannot open clipboard: Access is denied."},
      {"Clipbrd=0\r\n", "", false, 2, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.heldBy);
    Session session;
    sim::ScopedMachine m{With(row.keys).With([&](sim::Machine& mc) {
      mc.clipboard.formats = {"CF_UNICODETEXT", "CF_BITMAP"};
      mc.clipboard.heldBy = row.heldBy;
    })};
    InitConfigGlobals(false);
    auto clip = Module<TClipbrd>();
    int notes = 0;
    clip.SetProgressHook([&](void*, TProgressItemKind, const std::string&, bool) { ++notes; },
                         nullptr);
    EXPECT_EQ(clip.Boost(), row.boosted);
    EXPECT_EQ(m.machine().clipboard.formats.size(), row.formatsLeft);
    EXPECT_EQ(Text(m, kTemp), row.boosted ? "[Clipbrd]\r\nClear=1\r\n" : "<missing>");
    const auto errors = LogMessages(Text(m, kLogs + "VlxMiniException.log"));
    EXPECT_EQ(errors.size(), row.errorLine ? 1u : 0u);
    if (row.errorLine && !errors.empty()) {
      EXPECT_EQ(errors[0], row.errorLine);
    }
    clip.Restore();
    EXPECT_EQ(notes, row.boosted ? 2 : 0);
    EXPECT_FALSE(clip.HasRestoreData());
  }
}

TEST(Tweaks, GameModeOnOnlyWhereANumberSaysOff) {
  struct Row {
    const char* name;
    std::function<void(sim::MachineBuilder&)> value;
    bool recorded;
  } rows[] = {
      {"off", [](auto& b) { b.RegDword(kGameBar, "AutoGameModeEnabled", 0); }, true},
      {"on", [](auto& b) { b.RegDword(kGameBar, "AutoGameModeEnabled", 1); }, false},
      {"absent", [](auto& b) { b.RegKey(kGameBar); }, false},
      {"text", [](auto& b) { b.RegSz(kGameBar, "AutoGameModeEnabled", "0"); }, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Session session;
    sim::MachineBuilder b = With("");
    b.With(
        [](sim::Machine& mc) { mc.registry[plat::kHKEY_CURRENT_USER]->subkeys.erase("Software"); });
    row.value(b);
    sim::ScopedMachine m{std::move(b)};
    InitConfigGlobals(false);
    auto mode = Module<TGameMode>();
    auto read = [&] {
      TRegistry reg;
      reg.SetRootKey(plat::kHKEY_CURRENT_USER);
      reg.OpenKey(TGameMode::kKey, false);
      uint32_t type = 0;
      if (!reg.GetDataType(TGameMode::kValue, type)) return std::string("absent");
      return type == plat::kREG_DWORD ? std::to_string(reg.ReadInteger(TGameMode::kValue))
                                      : reg.ReadString(TGameMode::kValue);
    };
    const std::string before = read();
    EXPECT_FALSE(mode.Boost());
    EXPECT_EQ(mode.HasRestoreData(), row.recorded);
    EXPECT_EQ(read(), row.recorded ? "1" : before);
    mode.Restore();
    EXPECT_EQ(read(), row.recorded ? "0" : before);
    EXPECT_FALSE(mode.HasRestoreData());
  }
}

// The desktop: Progman with its icon view, and windows of other programs.
sim::MachineWindow Win(const std::string& cls, uint32_t pid, int left, bool iconic = false,
                       const std::string& parent = "") {
  sim::MachineWindow w;
  w.className = cls;
  w.caption = cls == "Progman" ? "Program Manager" : "";
  w.pid = pid;
  w.iconic = iconic;
  w.parent = parent;
  w.left = left;
  w.top = 10;
  w.right = left + 300;
  w.bottom = 300;
  return w;
}

sim::MachineBuilder Desktop(sim::MachineBuilder b) {
  b.With([](sim::Machine& mc) { mc.windows.clear(); })
      .Window(Win("Progman", 30, 0))
      .Window(Win("SHELLDLL_DefView", 30, 0, false, "Progman"))
      .Window(Win("Notepad", 31, 100))             // on screen: hidden
      .Window(Win("Minimised", 32, -32000, true))  // minimised: hidden
      .Window(Win("OffScreen", 33, 5000))          // entirely off screen: left
      .Window(Win("GameChild", 35, 100))           // a child process of the listed game
      .Window(Win("Shell_TrayWnd", 36, 0))         // a class never hidden
      .With([](sim::Machine& mc) {
        mc.processes = {Proc(30, "explorer.exe"), Proc(31, "notepad.exe"), Proc(34, "valheim.exe"),
                        Proc(35, "crash.exe")};
        mc.processes[3].parentPid = 34;
      });
  return b;
}

std::vector<bool> Visible(const sim::Machine& mc) {
  std::vector<bool> v;
  for (const auto& w : mc.windows)
    v.push_back(w.visible);
  return v;
}

TEST(Tweaks, GameDesktopHidesAndARestoreShowsOnlyWindowsOfTheRecordedClass) {
  Session session;
  sim::ScopedMachine m{Desktop(With("Game Desktop=1\r\n"))};
  InitConfigGlobals(false);
  TSessionShareMemory host;  // the host's game list: valheim.exe
  const uint32_t list[] = {1, 34};
  std::memcpy(plat::MapViewOfFile(plat::OpenFileMappingW(kSessionMappingName)), list, sizeof list);
  auto desk = Module<TGameDesk>();
  EXPECT_TRUE(desk.Boost());
  EXPECT_EQ(Visible(m.machine()), (std::vector<bool>{true, false, false, false, true, true, true}));
  const std::string view = std::to_string(sim::MachineWindowHandle(1));
  const std::string notepad = std::to_string(sim::MachineWindowHandle(2));
  const std::string minimised = std::to_string(sim::MachineWindowHandle(3));
  EXPECT_EQ(Text(m, kTemp), "[Game Desktop]\r\nHide=1\r\nDeskTopHandle=" + view + "\r\n[Hide]\r\n" +
                                notepad + "=0\r\n" + minimised + "=0\r\n[HideClass]\r\n" + notepad +
                                "=Notepad\r\n" + minimised + "=Minimised\r\n");
  m.machine().windows[3].className = "Other";  // the handle names another window now
  desk.Restore();
  EXPECT_EQ(Visible(m.machine()), (std::vector<bool>{true, true, true, false, true, true, true}));
  EXPECT_EQ(m.machine().windows[2].lastShow, plat::kSW_SHOWNA);
  EXPECT_EQ(m.machine().windows[1].lastShow, plat::kSW_RESTORE);
  EXPECT_EQ(Text(m, kTemp), "");
}

TEST(Tweaks, GameDesktopHidesNoWindowWhileTheGameListIsBusy) {
  Session session;
  sim::ScopedMachine m{Desktop(With("Game Desktop=1\r\n"))};
  InitConfigGlobals(false);
  TSessionShareMemory host;
  const plat::Handle lock = plat::OpenEventW(kSessionEventName);
  ASSERT_EQ(plat::WaitForSingleObject(lock, 0), plat::kWAIT_OBJECT_0);  // the host holds it
  auto desk = Module<TGameDesk>();
  EXPECT_TRUE(desk.Boost());
  EXPECT_EQ(Visible(m.machine()), (std::vector<bool>{true, false, true, true, true, true, true}));
  plat::CloseHandle(lock);
}

TEST(Tweaks, WholeBoostSummaryFromScriptedMemory) {
  const uint64_t g = 1024ull * 1024 * 1024;
  sim::MachineBuilder b;
  b.With([&](sim::Machine& mc) {
    mc.memory.script = {{2 * g, g / 2}, {2 * g, g + g / 2}};
    mc.randomValue = 7;
  });
  apptest::ProgramRun run(std::move(b), {"-game"});
  // 1 GiB of 2 GiB freed; RAM and clipboard optimised of 5 items, 12 processes and 4
  // third-party service candidates listed: After (0.5 x 0.6 + 2/5 x 0.4) x 100 = 46;
  // CPU 2/21 = 9.5 -> 10; total 0.4 x 9.52 + 30 + 7 = 40.8 -> 41.
  const std::string temp = run.Text(kTemp);
  EXPECT_EQ(
      temp,
      "[Monitor]\r\nMonitor=1\r\n[RAM]\r\nClear=1\r\nReleased=1.0 GB\r\n[Clipbrd]\r\nClear=1\r\n"
      "[Chart]\r\nBefore=25.0\r\nAfter=46.0\r\n"
      "[PERFORMANCE]\r\nTotalPercent=41\r\nCPUPercent=10\r\n");
  EXPECT_EQ(run.Text(kLogs + "Boost.txt"), temp);
}

TEST(Tweaks, RecordedGameDesktopShownByEveryRestore) {
  for (const char* hide : {"", "-hide"}) {
    SCOPED_TRACE(hide);
    const std::string notepad = std::to_string(sim::MachineWindowHandle(2));
    const std::string minimised = std::to_string(sim::MachineWindowHandle(3));
    sim::MachineBuilder b = Desktop(sim::MachineBuilder());
    b.With([](sim::Machine& mc) {
      mc.windows[1].visible = mc.windows[2].visible = mc.windows[3].visible = false;
      mc.windows[3].className = "Other";  // the handle names another window now
    });
    b.File(kTemp, Ini("[Game Desktop]\r\nHide=1\r\nDeskTopHandle=" +
                      std::to_string(sim::MachineWindowHandle(1)) + "\r\n[Hide]\r\n" + notepad +
                      "=0\r\n" + minimised + "=0\r\n[HideClass]\r\n" + notepad + "=Notepad\r\n" +
                      minimised + "=Minimised\r\n"));
    std::vector<std::string> args = {"-normal"};
    if (*hide) args.push_back(hide);
    apptest::ProgramRun run(std::move(b), args);
    EXPECT_EQ(Visible(run.machine()),
              (std::vector<bool>{true, true, true, false, true, true, true}));
  }
}

}  // namespace
