// The memory, clipboard, Game Mode and game desktop modules over simulated machines.
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

// Memory and clipboard: switched off by their [Boost] keys, recorded only when done.
TEST(Tweaks, MemoryTrimsAllButExcludedNamesAndTheClipboardIsEmptied) {
  const struct {
    const char *keys, *heldBy;
    std::vector<uint32_t> trims;
    size_t formatsLeft;
    const char *record, *error;
  } rows[] = {
      {"", "", {21, 24}, 0, "[RAM]\r\nClear=1\r\n[Clipbrd]\r\nClear=1\r\n", nullptr},
      {"",
       "Notepad",
       {21, 24},
       2,
       "[RAM]\r\nClear=1\r\n",
       "TClipbrd.Boost : Cannot open clipboard: Access is denied."},
      {"RAM=0\r\nClipbrd=0\r\n", "", {}, 2, "<missing>", nullptr},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.keys + std::string(row.heldBy));
    Session session;
    sim::ScopedMachine m{With(row.keys).With([&](sim::Machine& mc) {
      mc.processes = {Proc(21, "game.exe"), Proc(22, "smc.exe"), Proc(23, "sMcGuI.ExE"),
                      Proc(24, "notepad.exe")};
      mc.clipboard.formats = {"CF_UNICODETEXT", "CF_BITMAP"};
      mc.clipboard.heldBy = row.heldBy;
    })};
    InitConfigGlobals(false);
    auto ram = Module<TRAMClear>();
    auto clip = Module<TClipbrd>();
    int notes = 0;
    clip.SetProgressHook([&](void*, TProgressItemKind, const std::string&, bool) { ++notes; },
                         nullptr);
    EXPECT_EQ(ram.Boost(), !row.trims.empty());
    EXPECT_EQ(clip.Boost(), row.formatsLeft == 0);
    EXPECT_EQ(m.machine().memory.trims, row.trims);
    EXPECT_EQ(m.machine().clipboard.formats.size(), row.formatsLeft);
    EXPECT_EQ(Text(m, kTemp), row.record);
    const auto errors = LogMessages(Text(m, kLogs + "VlxMiniException.log"));
    EXPECT_EQ(errors, row.error ? std::vector<std::string>{row.error} : std::vector<std::string>{});
    ram.Restore();
    clip.Restore();
    EXPECT_EQ(notes, row.formatsLeft == 0 ? 2 : 0);
    EXPECT_FALSE(ram.HasRestoreData() || clip.HasRestoreData());
  }
}

TEST(Tweaks, FreedMemoryIsTheDropInUsedMemoryNeverNegative) {
  const uint64_t g = 1024ull * 1024 * 1024;
  const struct {
    std::vector<std::pair<uint64_t, uint64_t>> script;
    int64_t freed;
  } rows[] = {{{{2 * g, g / 2}, {2 * g, g + g / 2}}, static_cast<int64_t>(g)},
              {{{8 * g, 4 * g}, {8 * g, 3 * g}}, 0}};
  for (const auto& row : rows) {
    sim::ScopedMachine m{Machine().With([&](sim::Machine& mc) { mc.memory.script = row.script; })};
    TMemUsage usage;
    usage.BeginMeasure();
    EXPECT_EQ(usage.FreedMemory(), row.freed);
    EXPECT_EQ(usage.TotalPhysical(), row.script[0].first);
  }
}

// Game Mode is switched on, and recorded, only where a number says it is off.
TEST(Tweaks, GameModeOnOnlyWhereANumberSaysOff) {
  // The value: a number, -1 the text "0", -2 none.
  for (const auto& [value, recorded] : {std::pair{0, true}, {1, false}, {-1, false}, {-2, false}}) {
    SCOPED_TRACE(value);
    Session session;
    sim::MachineBuilder b = With("");
    b.With(
        [](sim::Machine& mc) { mc.registry[plat::kHKEY_CURRENT_USER]->subkeys.erase("Software"); });
    if (value >= 0) b.RegDword(kGameBar, "AutoGameModeEnabled", static_cast<uint32_t>(value));
    if (value == -1) b.RegSz(kGameBar, "AutoGameModeEnabled", "0");
    if (value == -2) b.RegKey(kGameBar);
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
    EXPECT_EQ(mode.HasRestoreData(), recorded);
    EXPECT_EQ(read(), recorded ? "1" : before);
    mode.Restore();
    EXPECT_EQ(read(), recorded ? "0" : before);
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

// The record of a boost that hid the notepad and the minimised window.
std::string DesktopRecord() {
  const std::string notepad = std::to_string(sim::MachineWindowHandle(2));
  const std::string minimised = std::to_string(sim::MachineWindowHandle(3));
  return "[Game Desktop]\r\nHide=1\r\nDeskTopHandle=" +
         std::to_string(sim::MachineWindowHandle(1)) + "\r\n[Hide]\r\n" + notepad + "=0\r\n" +
         minimised + "=0\r\n[HideClass]\r\n" + notepad + "=Notepad\r\n" + minimised +
         "=Minimised\r\n";
}

// While the host holds its game list, no window is hidden but the desktop icons.
TEST(Tweaks, GameDesktopHidesAndARestoreShowsOnlyWindowsOfTheRecordedClass) {
  for (const bool busy : {false, true}) {
    SCOPED_TRACE(busy);
    Session session;
    sim::ScopedMachine m{Desktop(With("Game Desktop=1\r\n"))};
    InitConfigGlobals(false);
    TSessionShareMemory host;  // the host's game list: valheim.exe
    const uint32_t list[] = {1, 34};
    std::memcpy(plat::MapViewOfFile(plat::OpenFileMappingW(kSessionMappingName)), list,
                sizeof list);
    const plat::Handle lock = plat::OpenEventW(kSessionEventName);
    // The host holds its list.
    EXPECT_FALSE(busy && plat::WaitForSingleObject(lock, 0) != plat::kWAIT_OBJECT_0);
    auto desk = Module<TGameDesk>();
    EXPECT_TRUE(desk.Boost());
    plat::CloseHandle(lock);
    EXPECT_EQ(Visible(m.machine()), (std::vector<bool>{true, false, busy, busy, true, true, true}));
    if (busy) continue;
    EXPECT_EQ(Text(m, kTemp), DesktopRecord());
    m.machine().windows[3].className = "Other";  // the handle names another window now
    desk.Restore();
    EXPECT_EQ(Visible(m.machine()), (std::vector<bool>{true, true, true, false, true, true, true}));
    EXPECT_EQ(m.machine().windows[2].lastShow, plat::kSW_SHOWNA);
    EXPECT_EQ(m.machine().windows[1].lastShow, plat::kSW_RESTORE);
    EXPECT_EQ(Text(m, kTemp), "");
  }
}

}  // namespace
