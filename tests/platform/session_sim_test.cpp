// File-backed machines: seeding a new home, writing every change through at once,
// and picking up what another session or process wrote.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

using namespace plat;
namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class HomeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vlxsim-home-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
  }
  void TearDown() override {
    sim::Install(previous_);
    fs::remove_all(home_);
  }
  // Makes a session on the home the current one.
  std::shared_ptr<sim::Session> Use(std::shared_ptr<sim::Session> s) {
    std::shared_ptr<sim::Session> old = sim::Install(s);
    if (!installed_) previous_ = old;
    installed_ = true;
    return s;
  }
  std::string MachineText() const { return ReadText(home_ + "/machine.txt"); }

  std::string home_;
  std::shared_ptr<sim::Session> previous_;
  bool installed_ = false;
};

std::string QuerySz(RegKey root, const std::string& key, const std::string& name) {
  RegKey k = 0;
  if (RegOpenKeyExW(root, key, kKEY_READ, &k) != 0) return "<no key>";
  uint8_t data[256] = {};
  uint32_t size = sizeof data;
  const int32_t rc = RegQueryValueExW(k, name, nullptr, data, &size);
  RegCloseKey(k);
  if (rc != 0) return "<no value>";
  std::string out;
  for (uint32_t i = 0; i + 1 < size && data[i]; i += 2)
    out += static_cast<char>(data[i]);
  return out;
}

void SetSz(RegKey root, const std::string& key, const std::string& name, const std::string& value) {
  RegKey k = 0;
  ASSERT_EQ(RegCreateKeyExW(root, key, kKEY_WRITE, &k), 0);
  std::string data;
  for (const char c : value)
    data += {c, '\0'};
  data += std::string(2, '\0');
  ASSERT_EQ(RegSetValueExW(k, name, kREG_SZ, reinterpret_cast<const uint8_t*>(data.data()),
                           static_cast<uint32_t>(data.size())),
            0);
  RegCloseKey(k);
}

TEST_F(HomeTest, ANewHomeIsSeededWithTheDefaultMachine) {
  Use(sim::Session::OpenHome(home_));
  EXPECT_EQ(MachineText(), sim::DefaultMachineText());
  EXPECT_TRUE(fs::is_directory(home_ + "/drive_c/Windows/SysWOW64"));
  EXPECT_TRUE(fs::is_directory(home_ + "/drive_c/Users/Gamer/AppData/Roaming/Trevanic/Velmora"));
  EXPECT_TRUE(fs::is_directory(home_ + "/drive_c/Users/Gamer/AppData/Local/Temp"));
  EXPECT_EQ(ReadText(home_ + "/drive_c/Program Files (x86)/Velmora/VlxMini.exe").substr(0, 2),
            "MZ");
  EXPECT_EQ(GetModuleFileNameW(), "C:\\Program Files (x86)\\Velmora\\VlxMini.exe");
  EXPECT_EQ(QuerySz(kHKEY_LOCAL_MACHINE,
                    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora_is1",
                    "DisplayVersion"),
            "5.2.1.154");
}

TEST_F(HomeTest, ChangesAreWrittenThroughAndSeenByTheNextSession) {
  auto first = Use(sim::Session::OpenHome(home_));
  SetSz(kHKEY_CURRENT_USER, "Software\\VlxTest", "Mode", "boost");
  EXPECT_NE(MachineText().find("[reg HKCU\\Software\\VlxTest]\nMode = sz:boost\n"),
            std::string::npos);
  ASSERT_TRUE(SetFileAttributesW("C:\\Windows\\explorer.exe", kFILE_ATTRIBUTE_READONLY));
  EXPECT_NE(MachineText().find("[file C:\\Windows\\explorer.exe]\nattributes = readonly\n"),
            std::string::npos);
  // No temporary files are left beside the machine.
  for (const auto& entry : fs::directory_iterator(home_)) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "machine.txt" || name == "machine.lock" || name == "drive_c") << name;
  }

  // A second session on the same home (as another program would have) sees it all,
  // and what it changes is seen by the first.
  auto second = Use(sim::Session::OpenHome(home_));
  EXPECT_EQ(QuerySz(kHKEY_CURRENT_USER, "Software\\VlxTest", "Mode"), "boost");
  EXPECT_EQ(GetFileAttributesW("C:\\Windows\\explorer.exe"), kFILE_ATTRIBUTE_READONLY);
  SetSz(kHKEY_CURRENT_USER, "Software\\VlxTest", "Mode", "normal");
  Use(first);
  EXPECT_EQ(QuerySz(kHKEY_CURRENT_USER, "Software\\VlxTest", "Mode"), "normal");
}

TEST_F(HomeTest, TheProgramsOwnStateStaysWithTheProgram) {
  auto first = Use(sim::Session::OpenHome(home_));
  ASSERT_TRUE(SetEnvironmentVariableW("VLX_ONLY_HERE", std::string("1")));
  ASSERT_TRUE(SetCurrentDirectoryW("C:\\Windows"));
  SetSz(kHKEY_CURRENT_USER, "Software\\VlxTest", "Written", "yes");  // forces a write
  EXPECT_EQ(MachineText().find("VLX_ONLY_HERE"), std::string::npos);
  EXPECT_NE(MachineText().find("currentDirectory = C:\\Program Files (x86)\\Velmora\n"),
            std::string::npos);
  auto second = Use(sim::Session::OpenHome(home_));
  EXPECT_FALSE(GetEnvironmentVariableW("VLX_ONLY_HERE").has_value());
  EXPECT_EQ(GetCurrentDirectoryW(), "C:\\Program Files (x86)\\Velmora");
  // The first program keeps its own after picking up the second one's change.
  SetSz(kHKEY_CURRENT_USER, "Software\\VlxTest", "Written", "again");
  Use(first);
  EXPECT_EQ(QuerySz(kHKEY_CURRENT_USER, "Software\\VlxTest", "Written"), "again");
  EXPECT_EQ(GetEnvironmentVariableW("VLX_ONLY_HERE"), std::optional<std::string>("1"));
  EXPECT_EQ(GetCurrentDirectoryW(), "C:\\Windows");
}

TEST_F(HomeTest, AnotherProcessesChangesArePickedUp) {
  Use(sim::Session::OpenHome(home_));
  std::vector<ProcessEntry> before;
  ASSERT_TRUE(SnapshotProcesses(before));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The other program: its own session on the same home.
    sim::Install(sim::Session::OpenHome(home_));
    bool ok = true;
    for (int i = 0; i < 20; ++i) {
      RegKey k = 0;
      ok &= RegCreateKeyExW(kHKEY_CURRENT_USER, "Software\\Child\\K" + std::to_string(i),
                            kKEY_WRITE, &k) == 0;
      RegCloseKey(k);
    }
    const Handle p = OpenProcess(kPROCESS_TERMINATE, false, 7016);  // Spotify.exe
    ok &= p != 0 && TerminateProcess(p, 1);
    std::_Exit(ok ? 0 : 1);
  }
  // Meanwhile this program keeps changing the machine too.
  for (int i = 0; i < 20; ++i)
    SetSz(kHKEY_CURRENT_USER, "Software\\Parent", "V" + std::to_string(i), "x");
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);

  RegKey k = 0;
  ASSERT_EQ(RegOpenKeyExW(kHKEY_CURRENT_USER, "Software\\Child", kKEY_READ, &k), 0);
  std::string name;
  EXPECT_EQ(RegEnumKeyExW(k, 19, &name), 0);
  EXPECT_EQ(RegEnumKeyExW(k, 20, &name), kERROR_NO_MORE_ITEMS);
  RegCloseKey(k);
  std::vector<ProcessEntry> after;
  ASSERT_TRUE(SnapshotProcesses(after));
  EXPECT_EQ(after.size(), before.size() - 1);
  // Nothing either program wrote was lost.
  auto fresh = Use(sim::Session::OpenHome(home_));
  EXPECT_EQ(QuerySz(kHKEY_CURRENT_USER, "Software\\Parent", "V19"), "x");
  ASSERT_EQ(RegOpenKeyExW(kHKEY_CURRENT_USER, "Software\\Child\\K0", kKEY_READ, &k), 0);
  RegCloseKey(k);
}

}  // namespace
