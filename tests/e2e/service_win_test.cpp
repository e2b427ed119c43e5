// The service scenario end to end: copies of this project's service double are
// installed as services of the test prefix (paths with and without blanks and
// quotes; makers "Alpha Software Ltd", "Microsoft Corporation" and none), and
// "UserWinSvc.ini" and the white list name only these copies. "-game" stops exactly
// the chosen ones and records them; "-normal" starts them again when
// "FRestoreServices" is on and leaves them as they are when it is off.
#include <chrono>
#include <set>
#include <thread>

#include "config/PSafeIniFile.h"
#include "tests/e2e/e2e_fixture.h"

namespace {

using e2e::PollUntil;

struct Copy {
  const char* name;
  const char* build;  // the double it is a copy of
  bool blanks;        // its folder has blanks (the path is then quoted)
  bool quoted;
  const char* mode;     // how it answers a stop
  const char* section;  // where "-game" records it; nullptr: it keeps running
};
const Copy kCopies[] = {
    {"VlxSvcAlpha", "service_alpha_helper", true, true, "now", "Third Services"},
    {"VlxSvcAlphaWL", "service_alpha_helper", true, true, "now", nullptr},  // white-listed
    {"VlxSvcZero", "service_alpha_helper", false, true, "now", nullptr},    // Services_3rd 0
    {"VlxSvcSys", "service_system_helper", false, false, "delay 800", "System Services"},
    {"VlxSvcSysOff", "service_system_helper", false, false, "now", nullptr},  // WIN10 value 0
    {"VlxSvcPlain", "service_plain_helper", true, true, "now", "Third Services"},
    {"VlxSvcRefuse", "service_plain_helper", false, true, "refuse", nullptr},
};
const char* const kChoices =
    "[Services_WIN10]\r\nVlxSvcSys=1\r\nVlxSvcSysOff=0\r\n"
    "[Services_3rd]\r\nVlxSvcAlpha=1\r\nVlxSvcAlphaWL=1\r\nVlxSvcZero=0\r\nVlxSvcPlain=2\r\n"
    "VlxSvcRefuse=1\r\n";

std::string BuildDir() {
  std::string dir = plat::GetEnvironmentVariableW("VLX_TEST_BIN_DIR")
                        .value_or(fileutil::ExtractFilePath(plat::GetModuleFileNameW()));
  if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
  return dir;
}

DWORD StateOf(const std::string& name) {
  SC_HANDLE manager = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  SC_HANDLE service = ::OpenServiceW(manager, e2e::Wide(name).c_str(), SERVICE_QUERY_STATUS);
  SERVICE_STATUS status{};
  const bool ok = service && ::QueryServiceStatus(service, &status);
  if (service) ::CloseServiceHandle(service);
  ::CloseServiceHandle(manager);
  return ok ? status.dwCurrentState : 0;
}

bool WaitState(const std::string& name, DWORD state) {
  return PollUntil([&] { return StateOf(name) == state; }, 15000, 50);
}

class ServiceScenario : public e2e::E2eFixture {
 protected:
  void SetUp() override {
    E2eFixture::SetUp();
    if (HasFatalFailure()) return;
    const std::string blanks = box_.Path("Service Doubles With Blanks") + "\\";
    const std::string plain = box_.Path("ServiceDoubles") + "\\";
    ASSERT_TRUE(plat::CreateDirectoryW(blanks));
    ASSERT_TRUE(plat::CreateDirectoryW(plain));
    manager_ = ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_TRUE(manager_);
    for (const Copy& c : kCopies) {
      const std::string exe = (c.blanks ? blanks : plain) + c.name + ".exe";
      ASSERT_TRUE(plat::CopyFileW(BuildDir() + c.build + ".exe", exe, false)) << c.build;
      Install(c.name, (c.quoted ? "\"" + exe + "\"" : exe) + " " + c.mode);
    }
    WriteData("UserWinSvc.ini", test::Utf16File(kChoices));
    WriteData("User3rdSvcWL.txt", "vlxsvcalphawl\r\n");
  }
  void TearDown() override {
    // Stopped through the manager, or ended when its handler does not answer.
    for (SC_HANDLE service : installed_) {
      SERVICE_STATUS_PROCESS info{};
      DWORD size = 0;
      if (::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&info),
                                 sizeof info, &size) &&
          info.dwCurrentState != SERVICE_STOPPED) {
        if (HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, info.dwProcessId)) {
          ::TerminateProcess(process, 0);
          ::CloseHandle(process);
        }
      }
      ::DeleteService(service);
      ::CloseServiceHandle(service);
    }
    if (manager_) ::CloseServiceHandle(manager_);
    E2eFixture::TearDown();
  }
  void Install(const std::string& name, const std::string& command) {
    SC_HANDLE service = ::CreateServiceW(
        manager_, e2e::Wide(name).c_str(), e2e::Wide(name + " display").c_str(), SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
        e2e::Wide(command).c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(service) << name << " not created, error " << ::GetLastError();
    installed_.push_back(service);
    ASSERT_TRUE(::StartServiceW(service, 0, nullptr)) << name << " " << ::GetLastError();
    ASSERT_TRUE(WaitState(name, SERVICE_RUNNING)) << name;
  }
  void RestoreServices(bool value) {
    TSafeIniFile ini(DataFile("Velmorix.ini"));
    ini.WriteBool("Config", "FRestoreServices", value);
  }
  std::set<std::string> Keys(const std::string& section) const {
    TSafeIniFile ini;
    ini.LoadFromFile(DataFile("Temp.ini"));
    std::vector<std::string> keys;
    ini.ReadSection(section, keys);
    return {keys.begin(), keys.end()};
  }
  // After "-game": the chosen copies stopped and recorded, the others running.
  void Game() {
    {
      // Only the services count as optimised items: memory and clipboard switched off.
      TSafeIniFile ini(DataFile("Velmorix.ini"));
      ini.WriteBool("Boost", "RAM", false);
      ini.WriteBool("Boost", "Clipbrd", false);
    }
    ASSERT_EQ(RunProgram("-game"), std::optional<DWORD>(0));
    std::set<std::string> third, system;
    for (const Copy& c : kCopies) {
      EXPECT_TRUE(WaitState(c.name, c.section ? SERVICE_STOPPED : SERVICE_RUNNING)) << c.name;
      if (c.section) (std::string(c.section) == "System Services" ? system : third).insert(c.name);
    }
    EXPECT_EQ(Keys("Third Services"), third);
    EXPECT_EQ(Keys("System Services"), system);
    const auto log = RunLog();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
      return l.rfind("TBoost: CPUPercent:=3/", 0) == 0;
    })) << "three services counted";
  }

  test::Sandbox box_;
  SC_HANDLE manager_ = nullptr;
  std::vector<SC_HANDLE> installed_;
};

TEST_F(ServiceScenario, GameStopsTheChosenCopiesAndNormalStartsThemAgain) {
  Game();
  if (HasFatalFailure()) return;
  ASSERT_EQ(RunProgram("-normal"), std::optional<DWORD>(0));
  for (const Copy& c : kCopies)
    EXPECT_TRUE(WaitState(c.name, SERVICE_RUNNING)) << c.name;
  EXPECT_FALSE(DataExists("Temp.ini"));
}

TEST_F(ServiceScenario, NormalWithoutRestoreServicesLeavesThemStopped) {
  Game();
  if (HasFatalFailure()) return;
  RestoreServices(false);
  ASSERT_EQ(RunProgram("-normal"), std::optional<DWORD>(0));
  for (const Copy& c : kCopies)
    EXPECT_EQ(StateOf(c.name), c.section ? SERVICE_STOPPED : SERVICE_RUNNING) << c.name;
}

// What Wine does with a stop handler that never returns: ControlService waits for
// the handler (the manager gives up after 10 s with 1053), so a stop thread of the
// boost outlives its 3-second wait under Wine as on Windows.
TEST_F(ServiceScenario, ControlServiceWaitsForAStopHandlerThatNeverReturns) {
  const std::string exe = box_.Path("ServiceDoubles") + "\\VlxSvcBlock.exe";
  ASSERT_TRUE(plat::CopyFileW(BuildDir() + "service_plain_helper.exe", exe, false));
  Install("VlxSvcBlock", "\"" + exe + "\" block");
  SC_HANDLE service = ::OpenServiceW(manager_, L"VlxSvcBlock", SERVICE_STOP);
  SERVICE_STATUS status{};
  const auto start = std::chrono::steady_clock::now();
  const BOOL ok = ::ControlService(service, SERVICE_CONTROL_STOP, &status);
  const DWORD error = ::GetLastError();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  ::CloseServiceHandle(service);
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));
  EXPECT_GE(ms, 3000);
}

}  // namespace
