// VlxMini.exe from launch to exit on Windows: installed beside doubles of the host,
// the tray program and the data-channel library, started as the host starts it.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_fixture.h"

namespace {

using e2e::Msg;
using e2e::OfKind;
using e2e::Posted;
using e2e::Sent;

const std::string kNotice = "VLMX4_MINIBOOST_20161205\t/MiniBoostOver\t30\t4096";
const std::string kMissingText =
    "An essential file is missing. Please reinstall Velmora and try again.";

class Launch : public e2e::E2eFixture {
 protected:
  // A state file as a boost leaves it (the machine is boosted).
  void Boosted() { WriteData("Temp.ini", test::Utf16File("[Clipbrd]\r\nClear=1\r\n")); }

  // The mini window of a running program, or 0.
  static HWND MiniWindow(const e2e::Process& program) {
    const auto windows = e2e::WindowsOf(program.pid(), e2e::kMiniClass);
    return windows.empty() ? nullptr : windows.front();
  }
};

TEST_F(Launch, GameBoostsTellsHostAndTrayAndEnds) {
  EXPECT_EQ(RunProgram("-game"), 0u);

  EXPECT_TRUE(DataExists("Temp.ini"));
  EXPECT_TRUE(DataExists("Logs\\Boost.txt"));
  const std::string settings = DataText("Velmorix.ini");
  EXPECT_NE(settings.find("IsBoost=0\r\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("Lastboosttime="), std::string::npos) << settings;

  const auto host = HostMessages();
  EXPECT_EQ(OfKind(host, true), (std::vector<Msg>{Sent(21025, 0, 0), Sent(21025, 1, 0)}));
  EXPECT_EQ(OfKind(host, false), (std::vector<Msg>{Posted(6064, 0, 123)}));
  const auto tray = TrayMessages();
  EXPECT_EQ(OfKind(tray, true), (std::vector<Msg>{Sent(7025, 1, 0), Sent(7026, 0, 0)}));
  EXPECT_EQ(OfKind(tray, false), (std::vector<Msg>{Posted(1027, 0, 123)}));
  EXPECT_EQ(ChannelCalls(), (std::vector<std::string>{kNotice}));

  const std::string log = e2e::ReadBytes(DataFile("Logs\\VlxMiniAppRun.log"));
  EXPECT_EQ(log.substr(0, 2), std::string("\xFF\xFE", 2)) << "the run log is UTF-16 LE";
  for (const char* line : {"ParamStr(1) : -game", "CheckPrevInst Leave",
                           "Application.ShowMainForm : -1", "RunParam : -game", "gBoost : 0",
                           "UnnecessBoost : 0", "TBoost.Execute 4 osBoost", "WMExitProcess"})
    EXPECT_TRUE(Logged(line)) << line;
}

TEST_F(Launch, NormalRestoresAndRemovesTheStateFile) {
  Boosted();
  EXPECT_EQ(RunProgram("-normal"), 0u);

  EXPECT_FALSE(DataExists("Temp.ini"));
  EXPECT_TRUE(Logged("gBoost : -1"));
  EXPECT_TRUE(Logged("UnnecessBoost : 0"));
  EXPECT_TRUE(Logged("gBoost.ExitGameDesktop"));
  EXPECT_TRUE(Logged("TBoost.Execute 6 osRestore Over"));
  const auto host = HostMessages();
  EXPECT_EQ(OfKind(host, true), (std::vector<Msg>{Sent(21025, 0, 0), Sent(21025, 1, 0)}));
  EXPECT_EQ(OfKind(host, false), (std::vector<Msg>{Posted(6064, 0, 123)}));
  const auto tray = TrayMessages();
  EXPECT_EQ(OfKind(tray, true), (std::vector<Msg>{Sent(7025, 1, 0), Sent(7026, 0, 0)}));
  EXPECT_EQ(OfKind(tray, false), (std::vector<Msg>{Posted(1026, 0, 123)}));
  EXPECT_EQ(ChannelCalls(), (std::vector<std::string>{kNotice}));
}

TEST_F(Launch, ARestoreUndoesTheBoostBeforeIt) {
  EXPECT_EQ(RunProgram("-game"), 0u);
  ASSERT_TRUE(DataExists("Temp.ini"));
  EXPECT_EQ(RunProgram("-normal"), 0u);
  EXPECT_FALSE(DataExists("Temp.ini"));
  EXPECT_TRUE(DataExists("Logs\\Boost.txt"));
  EXPECT_TRUE(Logged("RunParam : -normal"));
  EXPECT_TRUE(Logged("TBoost.Execute 6 osRestore Over"));
  EXPECT_EQ(CountLogged("WMExitProcess"), 2u);
  EXPECT_EQ(OfKind(TrayMessages(), false),
            (std::vector<Msg>{Posted(1027, 0, 123), Posted(1026, 0, 123)}));
  EXPECT_EQ(ChannelCalls(), (std::vector<std::string>{kNotice, kNotice}));
}

TEST_F(Launch, NothingToDoEndsAtOnceWithNotice) {
  struct Case {
    std::string args;
    bool boosted;
  } cases[] = {{"-game", true}, {"-normal", false}, {"-GAME", false}, {"", false}};
  size_t notices = 0;
  for (const Case& c : cases) {
    const std::string what = c.args.empty() ? "(none)" : c.args;
    if (c.boosted) {
      Boosted();
    } else {
      plat::DeleteFileW(DataFile("Temp.ini"));
    }
    EXPECT_EQ(RunProgram(c.args), 0u) << what;
    EXPECT_EQ(ChannelCalls().size(), ++notices) << what;
    EXPECT_EQ(DataExists("Temp.ini"), c.boosted) << what;
  }
  EXPECT_EQ(ChannelCalls(), std::vector<std::string>(notices, kNotice));
  EXPECT_EQ(CountLogged("TfrmMiniBoost.FormCreate"), notices);
  EXPECT_EQ(CountLogged("RunParam : -game"), 1u);
  EXPECT_EQ(CountLogged("RunParam : -normal"), 1u);
  EXPECT_TRUE(Logged("ParamStr(1) : -GAME"));
  EXPECT_FALSE(Logged("ChangeLan"));
  EXPECT_FALSE(Logged("TBoost.Execute 1"));
  EXPECT_TRUE(HostMessages().empty());
  EXPECT_TRUE(TrayMessages().empty());
}

TEST_F(Launch, ASecondCopyEndsSilently) {
  e2e::Process first = StartProgram("-game");
  ASSERT_TRUE(first.valid());
  // The first copy holds the mutex once its window exists.
  ASSERT_TRUE(e2e::PollUntil([&] { return MiniWindow(first) != nullptr; }, 30000));

  EXPECT_EQ(RunProgram("-game"), 0u);
  EXPECT_TRUE(first.Running()) << "the first copy ended before the second: nothing was tested";
  EXPECT_EQ(first.Wait(), 0u);

  // Only the first copy got past the mutex, told the host and sent the notice.
  EXPECT_EQ(CountLogged("ParamStr(1) : -game"), 2u);
  EXPECT_EQ(CountLogged("CheckPrevInst"), 2u);
  EXPECT_EQ(CountLogged("CheckPrevInst Leave"), 1u);
  EXPECT_EQ(CountLogged("TfrmMiniBoost.FormCreate"), 1u);
  EXPECT_EQ(ChannelCalls(), (std::vector<std::string>{kNotice}));
  EXPECT_EQ(OfKind(HostMessages(), true), (std::vector<Msg>{Sent(21025, 0, 0), Sent(21025, 1, 0)}));
}

TEST_F(Launch, HiddenRestoreShowsNoWindowAndStillEndsThroughTheTimer) {
  Boosted();
  e2e::Process program = StartProgram("-normal -hide");
  ASSERT_TRUE(program.valid());
  bool created = false, shown = false;
  while (program.Running()) {
    if (HWND w = MiniWindow(program)) {
      created = true;
      shown = shown || ::IsWindowVisible(w);
    }
    ::Sleep(10);
  }
  EXPECT_EQ(program.Wait(), 0u);
  EXPECT_TRUE(created) << "the window (hidden) never existed";
  EXPECT_FALSE(shown) << "the window was shown";

  EXPECT_FALSE(DataExists("Temp.ini"));
  EXPECT_TRUE(Logged("Application.ShowMainForm : 0"));
  EXPECT_TRUE(Logged("TBoost.Execute 6 osRestore Over"));
  EXPECT_FALSE(Logged("UnnecessBoost : 0")) << "the start message came";
  EXPECT_TRUE(Logged("WMExitProcess"));
  const auto tray = TrayMessages();
  EXPECT_EQ(OfKind(tray, true),
            (std::vector<Msg>{Sent(7025, 0, 0), Sent(7025, 1, 0), Sent(7026, 0, 0)}));
  EXPECT_EQ(OfKind(tray, false), (std::vector<Msg>{Posted(1026, 0, 123)}));
  EXPECT_EQ(OfKind(HostMessages(), false), (std::vector<Msg>{Posted(6064, 0, 123)}));
  EXPECT_EQ(ChannelCalls(), (std::vector<std::string>{kNotice}));
}

TEST_F(Launch, BrokenInstallationTellsTheUserAndStopsTheProduct) {
  ASSERT_TRUE(plat::DeleteFileW(install() + "VlxUpdater.exe"));
  // The product's host and tray programs run (copies of a waiting double).
  e2e::Process vlxMain = StartInstalled("VlxMain.exe", "wait 60000");
  e2e::Process vlxTray = StartInstalled("VlxTray.exe", "wait 60000");
  ASSERT_TRUE(vlxMain.valid() && vlxTray.valid());
  ASSERT_TRUE(e2e::PollUntil([&] { return vlxMain.Running() && vlxTray.Running(); }, 5000));

  e2e::Process program = StartProgram("-game");
  ASSERT_TRUE(program.valid());
  HWND box = nullptr;
  ASSERT_TRUE(e2e::PollUntil(
      [&] {
        const auto boxes = e2e::WindowsOf(program.pid(), "#32770");
        box = boxes.empty() ? nullptr : boxes.front();
        return box != nullptr && ::IsWindowVisible(box);
      },
      30000))
      << "no message box";
  EXPECT_EQ(e2e::WindowText(box), "Velmora");
  EXPECT_EQ(e2e::WindowText(::GetDlgItem(box, 0xFFFF)), kMissingText);
  // The user presses OK.
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));

  EXPECT_EQ(program.Wait(), 0u);
  // Ended from outside: a double that ran out would end with 3 after a minute.
  EXPECT_EQ(vlxMain.Wait(10000), 0u) << "VlxMain.exe still runs";
  EXPECT_EQ(vlxTray.Wait(10000), 0u) << "VlxTray.exe still runs";
  EXPECT_EQ(TrayMessages(), (std::vector<Msg>{Sent(6026, 0, 0)}));
  EXPECT_TRUE(HostMessages().empty());
  EXPECT_TRUE(ChannelCalls().empty());
  EXPECT_TRUE(Logged("ParamStr(1) : -game"));
  EXPECT_FALSE(Logged("CheckPrevInst"));
  EXPECT_FALSE(Logged("TfrmMiniBoost.FormCreate"));
}

TEST_F(Launch, TheWindowComesToTheFrontAndLeavesTheLockTimeOutAsItWas) {
  DWORD before = 0;
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &before, 0));
  // Another program's window is in front when the boost starts.
  const HWND hostWindow = e2e::FindWin(e2e::kHostClass, e2e::kHostCaption);
  ::SetForegroundWindow(hostWindow);
  e2e::PollUntil([&] { return ::GetForegroundWindow() == hostWindow; }, 2000);

  e2e::Process program = StartProgram("-game");
  ASSERT_TRUE(program.valid());
  bool inFront = false;
  while (program.Running() && !inFront) {
    const HWND mini = MiniWindow(program);
    inFront = mini != nullptr && ::GetForegroundWindow() == mini;
    ::Sleep(10);
  }
  EXPECT_EQ(program.Wait(), 0u);
  EXPECT_TRUE(inFront) << "the mini window never came to the front";
  DWORD after = 0;
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &after, 0));
  EXPECT_EQ(after, before);
}

TEST_F(Launch, ASynchronisationMessageFromOutsideIsIgnored) {
  // Another program broadcasts the window's synchronisation message (6124) with a
  // parameter that points nowhere, and sends it to the window, while the boost runs.
  e2e::Process program = StartProgram("-game");
  ASSERT_TRUE(program.valid());
  ASSERT_TRUE(e2e::PollUntil([&] { return MiniWindow(program) != nullptr; }, 30000));
  for (int i = 0; i < 10 && program.Running(); ++i) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, 6124, 0xBAD, 0x7FFF0BAD, SMTO_ABORTIFHUNG, 1000, &result);
    if (HWND mini = MiniWindow(program))
      ::SendMessageTimeoutW(mini, 6124, 1, 0x10, SMTO_ABORTIFHUNG, 1000, &result);
    ::Sleep(20);
  }
  EXPECT_EQ(program.Wait(), 0u);
  EXPECT_TRUE(Logged("WMExitProcess"));
  EXPECT_EQ(ChannelCalls(), (std::vector<std::string>{kNotice}));
}

// A test exception, and an access violation on a worker thread of a program with the same
// handlers: report, reporter, census, no notice, code 0, the same crash identifier twice.
TEST_F(Launch, FailuresEndThroughTheBugReport) {
  for (const char* name : {"bugreport_helper.exe", "crash_helper.exe", "gdiresource.dll"})
    ASSERT_TRUE(plat::CopyFileW(BinDir() + name, install() + name, false)) << name;
  ASSERT_TRUE(
      plat::MoveFileExW(install() + "bugreport_helper.exe", install() + "Bugreport.exe", true));
  ASSERT_TRUE(
      plat::MoveFileExW(install() + "gdiresource.dll", install() + "GDIResource.dll", true));
  const std::string record = install() + "bugreport_record.txt";
  std::vector<std::string> ids;
  for (const char* run : {"/TestBugReport", "", ""}) {
    plat::DeleteFileW(record);
    EXPECT_EQ(*run ? RunProgram(run) : StartInstalled("crash_helper.exe", "").Wait(), 0u) << run;
    ASSERT_TRUE(e2e::PollUntil([&] { return !e2e::ReadBytes(record).empty(); }, 20000)) << run;
    EXPECT_EQ(e2e::ReadBytes(record),
              "/bugreport /vlmx /normal /files=\"" + install() + "bugreport_.txt\"\n");
    const std::string text = e2e::ReadBytes(install() + "bugreport_copy.txt");
    for (const char* line : {*run ? "Message           : testbug"
                                  : "Exception         : structured exception 0xC0000005",
                             "DCHandle     : 11"})
      EXPECT_NE(text.find(std::string("\r\n") + line + "\r\n"), std::string::npos) << text;
    const size_t at = text.find("Crash identifier  : ");
    if (!*run && at != std::string::npos) ids.push_back(text.substr(at + 20, 8));
  }
  EXPECT_TRUE(ids.size() == 2 && ids[0] == ids[1]);
  EXPECT_TRUE(ChannelCalls().empty() && TrayMessages().empty());
}

}  // namespace
