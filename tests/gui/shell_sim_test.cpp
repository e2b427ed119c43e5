// The shell, message boxes, simulated libraries and the end of the process over
// the simulated machine; the machine file keeps what the program did.
#include <gtest/gtest.h>

#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/SimProgram.h"

namespace {

const char kStandIn[] = "C:\\Program Files (x86)\\Velmora\\standin.dll";

sim::MachineBuilder WithStandIn(std::vector<int64_t> results) {
  sim::MachineBuilder b;
  b.File(kStandIn, "MZ").With([results](sim::Machine& m) {
    m.libraries[kStandIn]["Func"] = sim::LibraryExport{"text-reply", results};
  });
  return b;
}

sim::MachineWindow Window(const std::string& className, const std::string& caption, bool present) {
  sim::MachineWindow w;
  w.className = className;
  w.caption = caption;
  w.present = present;
  return w;
}

TEST(SimShell, ShellExecuteAndMessageBoxAreRecorded) {
  sim::ScopedMachine machine{
      sim::MachineBuilder().With([](sim::Machine& m) { m.messageBoxAnswer = 2; })};
  EXPECT_EQ(plat::ShellExecuteW(0, "open", "C:\\x\\vxtray.exe", "-mini", "C:\\x\\", 1), 42);
  EXPECT_EQ(plat::MessageBoxW(0, "Files are missing", "Velmora", plat::kMB_ICONERROR), 2);
  const sim::Machine& m = machine.machine();
  ASSERT_EQ(m.shellCalls.size(), 1u);
  EXPECT_EQ(m.shellCalls[0].verb, "open");
  EXPECT_EQ(m.shellCalls[0].file, "C:\\x\\vxtray.exe");
  EXPECT_EQ(m.shellCalls[0].parameters, "-mini");
  EXPECT_EQ(m.shellCalls[0].directory, "C:\\x\\");
  EXPECT_EQ(m.shellCalls[0].show, 1);
  ASSERT_EQ(m.messageBoxes.size(), 1u);
  EXPECT_EQ(m.messageBoxes[0].text, "Files are missing");
  EXPECT_EQ(m.messageBoxes[0].caption, "Velmora");
  EXPECT_EQ(m.messageBoxes[0].type, plat::kMB_ICONERROR);
}

TEST(SimShell, StandInExportRecordsItsCallAndAnswersWithItsResults) {
  sim::ScopedMachine machine{WithStandIn({7, 3})};
  const plat::Module lib = plat::LoadLibraryW("STANDIN.dll");
  ASSERT_NE(lib, 0u);
  EXPECT_EQ(plat::GetProcAddress(lib, "Other"), nullptr);
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_PROC_NOT_FOUND);
  auto func = reinterpret_cast<plat::DataStateFunc>(plat::GetProcAddress(lib, "Func"));
  ASSERT_NE(func, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(func), plat::GetProcAddress(lib, "Func"));
  const std::u16string channel = u"MiniBoost";
  const std::u16string text = u"state=1;game=\u00e9t\u00e9";
  uint32_t capacity = 16;
  char reply[16];
  EXPECT_EQ(
      func(channel.c_str(), text.c_str(), static_cast<int32_t>(text.size() * 2), reply, &capacity),
      7);
  EXPECT_EQ(capacity, 3u);
  ASSERT_EQ(machine.machine().calls.size(), 1u);
  const sim::LibraryCall& call = machine.machine().calls[0];
  EXPECT_EQ(call.library, "standin.dll");
  EXPECT_EQ(call.function, "Func");
  EXPECT_EQ(call.arguments,
            (std::vector<std::string>{"MiniBoost", "state=1;game=\xC3\xA9t\xC3\xA9"}));
  EXPECT_EQ(call.result, 7);
  EXPECT_TRUE(plat::FreeLibrary(lib));
}

TEST(SimShell, LibrariesLoadOnlyWhenTheirFileExists) {
  sim::ScopedMachine machine{sim::MachineBuilder()};
  EXPECT_EQ(plat::LoadLibraryW("nosuchlib.dll"), 0u);
  EXPECT_EQ(plat::GetLastError(), 126u);
  EXPECT_NE(plat::LoadLibraryW("kernel32.dll"), 0u);  // in the system folder
  EXPECT_EQ(plat::LoadLibraryW("C:\\Nowhere\\kernel32.dll"), 0u);
}

TEST(SimShell, CommandLineIsTheQuotedProgramPathUnlessSet) {
  sim::ScopedMachine machine{sim::MachineBuilder().ExePath("C:\\Games\\VlxMini.exe")};
  EXPECT_EQ(plat::GetCommandLineW(), "\"C:\\Games\\VlxMini.exe\"");
  sim::SetCommandLineArgs({"/usr/bin/vlxmini", "-game", "two words", ""});
  EXPECT_EQ(plat::GetCommandLineW(), "\"C:\\Games\\VlxMini.exe\" -game \"two words\" \"\"");
  sim::SetCommandLine("\"C:\\X.exe\" -normal");
  EXPECT_EQ(plat::GetCommandLineW(), "\"C:\\X.exe\" -normal");
  sim::SetCommandLine("");
  EXPECT_EQ(plat::GetCommandLineW(), "\"C:\\Games\\VlxMini.exe\"");
}

TEST(SimShell, MachineFileKeepsTheDesktopAndWhatTheProgramDid) {
  sim::Machine m;
  m.windows.push_back(Window("TfrmVelmorixMain", "Velmorix Game Booster", true));
  m.windows.push_back(Window("Tray Window", "", false));
  m.messageLog.push_back(sim::LoggedMessage{"TfrmVelmorixMain", 0x0405, 1, -2, true, 5000180});
  m.shellCalls.push_back(sim::ShellCall{"open", "C:\\a b\\vxtray.exe", "-x", "C:\\a b\\", 1});
  m.messageBoxes.push_back(sim::MessageBoxCall{"Line one\nline two", "Velmora", 0x10});
  m.libraries["C:\\x\\standin.dll"]["Func"] = sim::LibraryExport{"text-reply", {0, 4}};
  m.calls.push_back(sim::LibraryCall{"standin.dll", "Func", {"MiniBoost", "a=\"1\""}, -1});
  m.exitCode = 3;
  m.messageBoxAnswer = 7;
  m.hasDpiFunctions = false;
  const std::string text = sim::Serialize(m);
  EXPECT_NE(text.find("[window TfrmVelmorixMain]"), std::string::npos) << text;
  sim::Machine back;
  std::string error;
  ASSERT_TRUE(sim::Parse(text, back, error)) << error;
  EXPECT_EQ(sim::Serialize(back), text);
  // Serialize(Parse(text)) == text; a field both sides dropped shows here.
  EXPECT_FALSE(back.windows.at(1).present);
  EXPECT_EQ(back.messageLog.at(0).tick, 5000180u);
  EXPECT_EQ(back.calls.at(0).arguments.at(1), "a=\"1\"");
  EXPECT_EQ(back.exitCode, 3u);
  EXPECT_FALSE(back.hasDpiFunctions);

  sim::Machine bad;
  EXPECT_FALSE(sim::Parse("[message 1]\nhow = maybe\n", bad, error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_FALSE(sim::Parse("[library C:\\a.dll]\nF = no-such-kind\n", bad, error));
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST(SimProgram, ExitProcessEndsTheChildAndTheMachineKeepsItsCode) {
  test::SimHome home{sim::MachineBuilder().With(
      [](sim::Machine& m) { m.windows.push_back(Window("TfrmVelmorixMain", "Velmorix", true)); })};
  const test::ProgramResult result = test::RunSimProgram(home.dir(), [] {
    plat::Sleep(1000);
    const plat::Hwnd host = plat::FindWindowW("TfrmVelmorixMain", std::nullopt);
    plat::PostMessageW(host, plat::kWM_USER + 9, 0, 1);
    plat::ShellExecuteW(0, "open", "vxtray.exe", "", "", 1);
    plat::ExitProcess(5);
    return 0;  // never reached
  });
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitCode, 5);
  const auto m = home.Load();
  EXPECT_EQ(m->exitCode, 5u);
  ASSERT_EQ(m->messageLog.size(), 1u);
  EXPECT_EQ(m->messageLog[0].tick, m->tickMs);
  EXPECT_EQ(m->shellCalls.size(), 1u);
}

TEST(SimProgram, NamedMutexIsSeenByASecondProcessOnTheSameHome) {
  test::SimHome home{sim::MachineBuilder()};
  sim::ScopedMachine unused{sim::MachineBuilder()};
  sim::Install(sim::Session::OpenHome(home.dir()));
  plat::SetLastError(0);
  const plat::Handle mine = plat::CreateMutexW("VlxMini_Single");
  ASSERT_NE(mine, 0u);
  EXPECT_EQ(plat::GetLastError(), 0u);
  const auto second = test::RunSimProgram(home.dir(), [] {
    plat::CreateMutexW("VlxMini_Single");
    return plat::GetLastError() == plat::kERROR_ALREADY_EXISTS ? 183 : 0;
  });
  EXPECT_EQ(second.exitCode, 183);
  plat::CloseHandle(mine);
  const auto third = test::RunSimProgram(home.dir(), [] {
    plat::CreateMutexW("VlxMini_Single");
    return plat::GetLastError() == plat::kERROR_ALREADY_EXISTS ? 183 : 0;
  });
  EXPECT_EQ(third.exitCode, 0);
}

}  // namespace
