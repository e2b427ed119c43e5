// The AMD8 overclock switch from "Update\Update.ini", the files this program must never
// rewrite, and the web links.
#include <gtest/gtest.h>

#include <string>

#include "config/UnitGAConfig.h"
#include "platform/Platform.h"
#include "tests/settings/SettingsMachine.h"

namespace {

using namespace settingstest;

sim::MachineBuilder WithHost(const std::string& update) {
  sim::MachineBuilder b = Machine();
  b.File(kMainExe, "MZ").Version(kMainExe, Version(5, 2, 1, 154));
  if (!update.empty()) b.File(kUpdateIni, update);
  return b;
}

// ---------------------------------------------------------------- AMD8

// The four-number key before the three-number one before the common one; only 1 is
// support. Without a version of the host only the common key counts. The rest of the
// settings file stays.
TEST(AMD8Support, TheMostSpecificKeyOfUpdateIniDecidesAndIsSaved) {
  const struct {
    bool hostVersion;
    std::string update, support;
  } rows[] = {
      {true, "MISC_OCAMD8=0\r\nMISC_OCAMD8_5.2.1=1\r\n", "1"},
      {true, "MISC_OCAMD8=1\r\nMISC_OCAMD8_5.2.1=1\r\nMISC_OCAMD8_5.2.1.154=0\r\n", "0"},
      {true, "MISC_OCAMD8_5.2.1.154=2\r\n", "0"},
      {true, "MISC_OCAMD8=1\r\n", "1"},
      {false, "MISC_OCAMD8=1\r\nMISC_OCAMD8_5.2.1.154=0\r\n", "1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.update);
    Session session;
    const std::string update = "[vlmx_config]\r\n" + row.update;
    sim::MachineBuilder b = row.hostVersion ? WithHost(update) : Machine();
    b.File(kUpdateIni, update).File(kSettings, Ini("[Config]\r\nLanguage=Deutsch\r\n"));
    sim::ScopedMachine m{b};
    InitAMD8Support();
    EXPECT_EQ(Text(m, kSettings), "[Config]\r\nLanguage=Deutsch\r\n\r\n[AMD8API]\r\nSupport=" +
                                      row.support + "\r\n\r\n");
    EXPECT_EQ(m.ReadFile(kUpdateIni), update);
  }
}

TEST(ForeignFiles, UpdateAndStatisticsFilesStayByteIdentical) {
  const std::string update = "[vlmx_config]\r\nMISC_OCAMD8 = 1\r\n; from the updater\r\n";
  const std::string stat = "[Stat]\r\nRuns=5\r\n[Usage]\r\nBoosts = 12\r\n";
  Session session;
  sim::ScopedMachine m{WithHost(update).File(kData + "Stat.ini", stat)};
  InitAMD8Support();
  InitConfigGlobals(false);
  ASSERT_TRUE(GStatIni);
  EXPECT_EQ(GStatIni->ReadInteger("Usage", "Boosts", 0), 12);
  // The host updates the statistics while this program runs.
  const std::string newer = "[Stat]\r\nRuns=6\r\n";
  m.WriteFile(kData + "Stat.ini", newer);
  DoneConfigGlobals();
  EXPECT_EQ(m.ReadFile(kUpdateIni), update);
  EXPECT_EQ(m.ReadFile(kData + "Stat.ini"), newer);
}

// ---------------------------------------------------------------- web links

// The link names the partner, the host's version and the language from the program
// folder's data files, which are never written.
TEST(WebLink, NameVersionAndLanguageFromTheProgramFolder) {
  const std::string pr = "[Option]\r\nName=partner7\r\n";
  const struct {
    bool host, hostVersion;
    std::string pr, lang, link;
  } rows[] = {
      {true, true, pr, "[CusLan]\r\nName=de\r\n", "?name=partner7&ver=5.2.1.154&lan=de&"},
      {false, false, "", "", "?name=vlmx&ver=4.2.0.0&lan=&"},
      {true, false, "[Other]\r\nName=x\r\n", "", "?name=vlmx&ver=Unknown&lan=&"},
  };
  for (const auto& row : rows) {
    Session session;
    sim::MachineBuilder b = row.hostVersion ? WithHost("") : Machine();
    if (row.host && !row.hostVersion) b.File(kMainExe, "MZ");
    if (!row.pr.empty()) b.File(kProgram + "PR.dat", row.pr).File(kProgram + "Lang.dat", row.lang);
    sim::ScopedMachine m{b};
    if (!row.host) plat::DeleteFileW(kMainExe);  // the default machine runs the host from there
    EXPECT_EQ(BuildWebLink(""), std::string(kWebLinkBase) + row.link);
    EXPECT_EQ(BuildWebLink("https://example.test/go.php"),
              "https://example.test/go.php" + row.link);
    EXPECT_EQ(m.Exists(kProgram + "PR.dat") ? m.ReadFile(kProgram + "PR.dat") : "", row.pr);
  }
}

TEST(WebLink, InternetExplorerOnlyOnNewWindows10WithABrowserHijacker) {
  // The 32-bit program sees the 32-bit view of the uninstall keys.
  const std::string uninstall =
      "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const struct {
    uint32_t major, build;
    std::string product;
    bool expected;
  } rows[] = {
      // clang-format off
      {10, 19045, "", false}, {10, 10586, "MPC", true}, {10, 19045, "360TotalSecurity", true},
      {10, 22631, "MPC AdCleaner", true}, {10, 19045, "iSafe", true}, {10, 10240, "iSafe", false},
      {6, 9600, "MPC", false}, {10, 19045, "MPC Cleaner", false},
      // clang-format on
  };
  for (const auto& c : rows) {
    Session session;
    sim::MachineBuilder b = Machine();
    b.Os(c.major, c.major == 10 ? 0 : 3, c.build);
    if (!c.product.empty()) b.RegSz(uninstall + c.product, "DisplayName", c.product);
    sim::ScopedMachine m{b};
    EXPECT_EQ(UseInternetExplorerForLinks(), c.expected)
        << c.major << "." << c.build << " " << c.product;
  }
}

}  // namespace
