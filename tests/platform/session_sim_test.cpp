// File-backed machines: two programs changing one machine at the same time lose
// nothing of what either wrote.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

using namespace plat;
namespace fs = std::filesystem;

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
  // Opens a session on the home and makes it the current one.
  std::shared_ptr<sim::Session> Open() {
    auto s = sim::Session::OpenHome(home_);
    auto old = sim::Install(s);
    if (!installed_) previous_ = old;
    installed_ = true;
    return s;
  }

  std::string home_;
  std::shared_ptr<sim::Session> previous_;
  bool installed_ = false;
};

// A REG_SZ value of plain ASCII text ("<no value>" when there is none).
std::string QuerySz(const std::string& name) {
  RegKey k = 0;
  uint8_t data[256] = {};
  uint32_t size = sizeof data;
  if (RegOpenKeyExW(kHKEY_CURRENT_USER, "Software\\VlxTest", kKEY_READ, &k) != 0) return "<no key>";
  const int32_t rc = RegQueryValueExW(k, name, nullptr, data, &size);
  RegCloseKey(k);
  std::string out;
  for (uint32_t i = 0; rc == 0 && i + 1 < size && data[i]; i += 2)
    out += static_cast<char>(data[i]);
  return rc == 0 ? out : "<no value>";
}

void SetSz(const std::string& key, const std::string& name, const std::string& value) {
  RegKey k = 0;
  ASSERT_EQ(RegCreateKeyExW(kHKEY_CURRENT_USER, key, kKEY_WRITE, &k), 0);
  std::string data;
  for (const char c : value)
    data += {c, '\0'};
  data += std::string(2, '\0');
  ASSERT_EQ(RegSetValueExW(k, name, kREG_SZ, reinterpret_cast<const uint8_t*>(data.data()),
                           static_cast<uint32_t>(data.size())),
            0);
  RegCloseKey(k);
}

TEST_F(HomeTest, AnotherProcessesChangesArePickedUp) {
  Open();
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
    SetSz("Software\\VlxTest", "V" + std::to_string(i), "x");
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

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
  Open();
  EXPECT_EQ(QuerySz("V19"), "x");
  ASSERT_EQ(RegOpenKeyExW(kHKEY_CURRENT_USER, "Software\\Child\\K0", kKEY_READ, &k), 0);
  RegCloseKey(k);
}

}  // namespace
