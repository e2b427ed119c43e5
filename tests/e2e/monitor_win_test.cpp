// End to end: a boost switches a DDC/CI monitor to its gaming preset and the restore puts
// its settings back. The monitor is played by the stand-in "dxva2.dll" beside the program
// (loaded instead of Wine's own, which fails every call); its EDID goes into the registry
// after the fixture's GUI doubles have started, since the first GUI process of a Wine
// server clears it.
#include <sstream>

#include "platform/Monitors.h"
#include "tests/e2e/e2e_fixture.h"

namespace e2e {
namespace {

const char kCaps[] = "(prot(monitor)type(LCD)vcp(10 12 14(05 08 0B) B0 DC(00 02 05))mccs_ver(2.1))";

std::string Edid(const std::string& name) {
  std::string b(128, '\0');
  b.replace(8, 2, "\x04\x43");
  b.replace(108, 5, std::string("\0\0\0\xFC\0", 5));
  b.replace(113, name.size() + 1, name + "\n");
  return b;
}

// The SetVCPFeature calls of the journal: ("CODE=value", ms).
std::vector<std::pair<std::string, uint64_t>> Sets(const std::string& journal) {
  std::vector<std::pair<std::string, uint64_t>> out;
  for (const std::string& line : txt::SplitLines(journal)) {
    std::istringstream in(line);
    uint64_t ms = 0;
    std::string function, argument, result;
    if (in >> ms >> function >> argument >> result && function == "SetVCPFeature" && result == "ok")
      out.push_back({argument, ms});
  }
  return out;
}

class MonitorE2e : public E2eFixture {
 protected:
  void SetUp() override {
    E2eFixture::SetUp();
    if (HasFatalFailure()) return;
    const std::string dll = fileutil::ExtractFilePath(plat::GetModuleFileNameW()) + "dxva2.dll";
    ASSERT_TRUE(plat::CopyFileW(dll, install() + "dxva2.dll", false)) << dll;
    ASSERT_TRUE(fileutil::AppendFileBytes(install() + "dxva2_caps.txt", kCaps));
    ASSERT_TRUE(fileutil::AppendFileBytes(install() + "dxva2_state.txt",
                                          "10 50 100\n12 60 100\n14 5 13\nDC 3 255\n"));
    // The monitor device's EDID, written now that the doubles' windows are up.
    std::vector<std::string> ids;
    ASSERT_TRUE(plat::EnumMonitorDevices(ids));
    ASSERT_FALSE(ids.empty());
    const std::wstring key =
        Wide("System\\CurrentControlSet\\Enum\\" + ids[0] + "\\Device Parameters");
    HKEY k = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                &k, nullptr),
              ERROR_SUCCESS);
    const std::string edid = Edid("E2E Panel");
    ::RegSetValueExW(k, L"EDID", 0, REG_BINARY, reinterpret_cast<const BYTE*>(edid.data()),
                     static_cast<DWORD>(edid.size()));
    ::RegCloseKey(k);
    // The stand-in, not Wine's own library, for the program's processes.
    overrides_ = plat::GetEnvironmentVariableW("WINEDLLOVERRIDES");
    plat::SetEnvironmentVariableW("WINEDLLOVERRIDES",
                                  overrides_.value_or("") + (overrides_ ? ";" : "") + "dxva2=n");
  }
  void TearDown() override {
    plat::SetEnvironmentVariableW("WINEDLLOVERRIDES", overrides_);
    E2eFixture::TearDown();
  }
  std::optional<std::string> overrides_;
};

TEST_F(MonitorE2e, GameAppliesTheChosenPresetAndNormalPutsEverythingBack) {
  WriteData("Monitor.ini",
            "[E2E Panel]\r\nGamingModeEnabled=1\r\nGamingModeValue=257\r\n"
            "[E2E Panel101]\r\nColorTemp=8\r\nBrightness=30\r\nContrast=40\r\n");
  ASSERT_EQ(RunProgram("-game"), 0u);
  const auto log = test::LogMessages(DataText("Logs\\MonitorAppRun.log"));
  EXPECT_NE(std::find(log.begin(), log.end(), "TMonitorInfo.Init start ABC  E2E Panel"), log.end());
  EXPECT_EQ(ReadBytes(install() + "dxva2_state.txt"), "10 30 100\n12 40 100\n14 8 13\nDC 0 255\n");
  const std::string ini = DataText("Monitor.ini");
  for (const char* saved : {"[E2E Panel_Boost]", "PresetMode=3", "Brightness=50", "Contrast=60",
                            "ColorTemp=5", "BoostValue=257"})
    EXPECT_NE(ini.find(saved), std::string::npos) << saved;

  // The Part's order, with its waits: 50 ms around every attempt, 100 ms after the mode.
  const auto sets = Sets(ReadBytes(install() + "dxva2_journal.txt"));
  const std::vector<std::pair<std::string, uint64_t>> expected = {
      {"DC=0", 0}, {"14=8", 200}, {"10=30", 100}, {"12=40", 100}, {"B0=1", 100}};
  ASSERT_EQ(sets.size(), expected.size());
  for (size_t i = 0; i < sets.size(); ++i) {
    EXPECT_EQ(sets[i].first, expected[i].first);
    if (i > 0) {
      EXPECT_GE(sets[i].second - sets[i - 1].second, expected[i].second) << sets[i].first;
    }
  }

  ASSERT_EQ(RunProgram("-normal"), 0u);
  EXPECT_EQ(ReadBytes(install() + "dxva2_state.txt"), "10 50 100\n12 60 100\n14 5 13\nDC 3 255\n");
  EXPECT_EQ(DataText("Monitor.ini").find("E2E Panel_Boost"), std::string::npos);
}

}  // namespace
}  // namespace e2e
