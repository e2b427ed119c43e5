// The memory, clipboard and Game Mode modules of a real boost and restore: records,
// the clipboard, the Game Mode value and the summary's formats (Wine's memory figures
// are the host's and its working-set trims change nothing, so figures are not checked).
#include <gtest/gtest.h>

#include <cstring>
#include <regex>
#include <utility>

#include "tests/e2e/e2e_fixture.h"

namespace {

using e2e::PollUntil;

const wchar_t kGameBar[] = L"Software\\Microsoft\\GameBar";
const wchar_t kGameMode[] = L"AutoGameModeEnabled";

class Tweaks : public e2e::E2eFixture {
 protected:
  void TearDown() override {
    GameMode(std::nullopt, true);
    e2e::E2eFixture::TearDown();
  }
  // Game Mode's value: -1 when absent.
  static int64_t GameMode(std::optional<DWORD> set = std::nullopt, bool remove = false) {
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, kGameBar, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
      return -2;
    if (set) ::RegSetValueExW(key, kGameMode, 0, REG_DWORD, reinterpret_cast<BYTE*>(&*set), 4);
    if (remove) ::RegDeleteValueW(key, kGameMode);
    DWORD value = 0, size = sizeof value, type = 0;
    const LONG rc =
        ::RegQueryValueExW(key, kGameMode, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS ? static_cast<int64_t>(value) : -1;
  }
  static void PutText() {
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, 8);
    std::memcpy(::GlobalLock(mem), L"abc", 8);
    ::GlobalUnlock(mem);
    ASSERT_NE(::SetClipboardData(CF_UNICODETEXT, mem), nullptr);
    ::CloseClipboard();
  }
};

TEST_F(Tweaks, BoostEmptiesTheClipboardSwitchesGameModeAndWritesTheSummary) {
  PutText();
  ASSERT_EQ(GameMode(0), 0);
  EXPECT_EQ(RunProgram("-game"), 0u);
  EXPECT_FALSE(::IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(GameMode(), 1);
  const std::string temp = DataText("Temp.ini");
  EXPECT_TRUE(std::regex_search(
      temp, std::regex("\\[RAM\\]\r\nClear=1\r\nReleased=([0-9]+ Byte|[0-9]+\\.[0-9] [KMG]B)\r\n")))
      << temp;
  EXPECT_NE(temp.find("[Clipbrd]\r\nClear=1\r\n"), std::string::npos) << temp;
  EXPECT_NE(temp.find("[GameMode]\r\nGameMode=1\r\n"), std::string::npos) << temp;
  EXPECT_TRUE(std::regex_search(
      temp, std::regex("\\[Chart\\]\r\nBefore=[0-9]+\\.[0-9]\r\nAfter=[0-9]+\\.[0-9]\r\n"
                       "\\[PERFORMANCE\\]\r\nTotalPercent=[0-9]+\r\nCPUPercent=[0-9]+\r\n$")))
      << temp;
  EXPECT_EQ(DataText("Logs\\Boost.txt"), temp);

  EXPECT_EQ(RunProgram("-normal"), 0u);
  EXPECT_EQ(GameMode(), 0);
  EXPECT_FALSE(DataExists("Temp.ini"));
}

TEST_F(Tweaks, HeldClipboardIsLoggedAndAbsentGameModeNeverCreated) {
  PutText();
  GameMode(std::nullopt, true);
  // Held open by a window of this process during the boost.
  HWND holder =
      ::CreateWindowExW(0, L"STATIC", L"holder", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(::OpenClipboard(holder));
  EXPECT_EQ(RunProgram("-game"), 0u);
  ::CloseClipboard();
  ::DestroyWindow(holder);
  EXPECT_TRUE(::IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_EQ(GameMode(), -1);
  const std::string temp = DataText("Temp.ini");
  EXPECT_EQ(temp.find("[Clipbrd]"), std::string::npos) << temp;
  EXPECT_EQ(temp.find("[GameMode]"), std::string::npos) << temp;
  const std::string errors = DataText("Logs\\VlxMiniException.log");
  EXPECT_NE(errors.find("TClipbrd.Boost : Cannot open clipboard: "), std::string::npos) << errors;
}

TEST_F(Tweaks, PowerPlanSwitchedThroughTheLibraryAndSetBack) {
  ASSERT_TRUE(plat::CopyFileW(BinDir() + "PowerMgr.dll", install() + "PowerMgr.dll", false));
  EXPECT_EQ(RunProgram("-game"), 0u);
  EXPECT_NE(DataText("Temp.ini").find("[Power]\r\nCustom=1\r\n"), std::string::npos);
  EXPECT_NE(DataText("Velmorix.ini").find("BasePwrSchID={USER-PLAN}"), std::string::npos);
  EXPECT_EQ(RunProgram("-normal"), 0u);
  const std::string game = "{58231417-2B7B-4575-8231-96CB9CF58B36}";
  EXPECT_EQ(e2e::ReadBytes(install() + "powermgr_record.txt"),
            "GetCurrentPwrCFG\t260\t260\nDeletePwrCFGByName\tVelmoran Power Plan\n"
            "SetSleepTimeValue\t0\nSetDisplayTimeValue\t0\nGetCurrentDisplayBrightness\n"
            "SetGamePwrCFG\tVelmoran Power Plan\tActivate it when you switch to Gaming Mode for "
            "boosting.\t" +
                game + "\t70\t40\nSetPwrCFG\t{USER-PLAN}\n");
  EXPECT_EQ(e2e::ReadBytes(install() + "powermgr_plan.txt"), "{USER-PLAN}");
}

TEST_F(Tweaks, PartlyAppliedOverclockRecordedAndReset) {
  ASSERT_TRUE(plat::CopyFileW(BinDir() + "OverDrive.dll", install() + "OverDrive.dll", false));
  ASSERT_TRUE(fileutil::AppendFileBytes(install() + "overdrive.txt", "0 30 0"));
  EXPECT_EQ(RunProgram("-game"), 0u);
  EXPECT_NE(DataText("Temp.ini").find("[OverClock]\r\nOverClockGPU=30\r\nOverClockMem=0\r\n"),
            std::string::npos)
      << DataText("Temp.ini");
  EXPECT_EQ(RunProgram("-normal"), 0u);
  EXPECT_EQ(e2e::ReadBytes(install() + "overdrive_record.txt"),
            "CanOverClock\nGetGPUInfo\nOverClock\t0\nCanOverClock\nReset\n");
}

// "-game" ended by TerminateProcess while a library call it made is held (the clocks
// raised before their amounts are recorded; the game plan active), then "-normal": the
// clocks are reset and the user's plan is active again.
TEST_F(Tweaks, BoostEndedInsideALibraryCallIsStillRestored) {
  for (const std::string held : {"OverClock", "SetGamePwrCFG"}) {
    SCOPED_TRACE(held);
    for (const char* name : {"OverDrive.dll", "PowerMgr.dll"})
      ASSERT_TRUE(plat::CopyFileW(BinDir() + name, install() + name, false));
    for (const char* name : {"overdrive_record.txt", "powermgr_record.txt", "powermgr_plan.txt"})
      plat::DeleteFileW(install() + name);
    ASSERT_TRUE(fileutil::WriteFileBytes(install() + "hold.txt", held));
    e2e::Process game = StartProgram("-game");
    const std::string record =
        install() + (held == "OverClock" ? "overdrive" : "powermgr") + "_record.txt";
    ASSERT_TRUE(PollUntil(
        [&] { return e2e::ReadBytes(record).find("\n" + held + "\t") != std::string::npos; },
        30000));
    game.Kill();
    plat::DeleteFileW(install() + "hold.txt");
    EXPECT_EQ(RunProgram("-normal"), 0u);
    const std::string overdrive = e2e::ReadBytes(install() + "overdrive_record.txt");
    EXPECT_TRUE(overdrive.ends_with("Reset\n")) << overdrive;
    EXPECT_EQ(e2e::ReadBytes(install() + "powermgr_plan.txt"),
              held == "OverClock" ? "" : "{USER-PLAN}");
    EXPECT_FALSE(DataExists("Temp.ini"));
  }
}

// The Windows Update module works where Windows is not 10: these run in a Windows 7
// prefix of their own (scripts/test.sh), which serves the automation object from the
// project's stand-in.
class WindowsUpdate : public e2e::E2eFixture {
 protected:
  void SetUp() override {
    if (GetOSName() != "Windows 7") GTEST_SKIP() << "needs a Windows 7 prefix";
    e2e::E2eFixture::SetUp();
    const std::string dll = install() + "autoupdates.dll";
    ASSERT_TRUE(plat::CopyFileW(BinDir() + "autoupdates.dll", dll, false));
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                                L"Software\\Classes\\CLSID\\{BFE18E9C-6D87-4450-B37C-E02F0B373803}"
                                L"\\InprocServer32",
                                0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const auto& [name, value] :
         {std::pair<const wchar_t*, std::wstring>{nullptr, e2e::Wide(dll)},
          {L"ThreadingModel", L"Both"}}) {
      ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    ::RegCloseKey(key);
  }
  void Settings(const std::string& values) {
    plat::DeleteFileW(install() + "autoupdates.txt");
    ASSERT_TRUE(fileutil::AppendFileBytes(install() + "autoupdates.txt", values));
  }
  std::string Level() { return e2e::ReadBytes(install() + "autoupdates.txt").substr(0, 1); }
};

TEST_F(WindowsUpdate, LevelReadInOneApartmentSetInAnotherAndPutBack) {
  Settings("3 0 0 1 0");
  EXPECT_EQ(RunProgram("-game"), 0u);
  EXPECT_NE(DataText("Temp.ini").find("[WindowsUpdate]\r\nPreviousStaus=3\r\n"), std::string::npos)
      << DataText("Temp.ini");
  EXPECT_EQ(Level(), "1");
  EXPECT_EQ(RunProgram("-normal"), 0u);
  EXPECT_EQ(Level(), "3");
  const std::string set =
      "CreateInstance\tmta\nget_ServiceEnabled\tmta\nget_ServiceEnabled\tmta\nget_Settings\tmta\n"
      "get_ReadOnly\tmta\nget_Required\tmta\nput_NotificationLevel\t";
  EXPECT_EQ(e2e::ReadBytes(install() + "autoupdates_record.txt"),
            "CreateInstance\tsta\nget_ServiceEnabled\tsta\nget_Settings\tsta\n"
            "get_NotificationLevel\tsta\n" +
                set + "1\tmta\nSave\tmta\n" + set + "3\tmta\nSave\tmta\n");
}

TEST_F(WindowsUpdate, SlowSaveStillRecordsThePreviousLevel) {
  Settings("2 0 0 1 1500");
  EXPECT_EQ(RunProgram("-game"), 0u);
  EXPECT_TRUE(Logged("SetUpdateState_boost Time Out"));
  EXPECT_NE(DataText("Temp.ini").find("[WindowsUpdate]\r\nPreviousStaus=2\r\n"), std::string::npos)
      << DataText("Temp.ini");
  Settings("1 0 0 1 0");  // as the late change leaves it
  EXPECT_EQ(RunProgram("-normal"), 0u);
  EXPECT_EQ(Level(), "2");
}

}  // namespace
