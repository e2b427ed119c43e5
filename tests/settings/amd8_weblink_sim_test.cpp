// The AMD8 overclock switch from "Update\Update.ini", the files this program must never
// rewrite, and the web links.
#include <gtest/gtest.h>

#include <string>

#include "config/UnitGAConfig.h"
#include "platform/Platform.h"
#include "tests/settings/SettingsMachine.h"

namespace {

using namespace settingstest;
using test::Hex;

std::string RunLog(const sim::ScopedMachine& m) {
  return Text(m, kLogs + "VlxMiniAppRun.log");
}

bool Logged(const std::string& log, const std::string& message) {
  return log.find("  " + message + "\r\n") != std::string::npos;
}

sim::MachineBuilder WithHost(const std::string& update) {
  sim::MachineBuilder b = Machine();
  b.File(kMainExe, "MZ").Version(kMainExe, Version(5, 2, 1, 154));
  if (!update.empty()) b.File(kUpdateIni, update);
  return b;
}

// ---------------------------------------------------------------- AMD8

TEST(AMD8Support, TheMostSpecificKeyOfUpdateIniDecidesAndIsSaved) {
  const struct {
    const char* what;
    std::string update, logged, settings;
  } rows[] = {
      {"three-number key over the common one",
       "[vlmx_config]\r\nMISC_OCAMD8=0\r\nMISC_OCAMD8_5.2.1=1\r\n", "3 Support=True", "1"},
      {"four-number key first",
       "[vlmx_config]\r\nMISC_OCAMD8=1\r\nMISC_OCAMD8_5.2.1=1\r\nMISC_OCAMD8_5.2.1.154=0\r\n",
       "4 Support=False", "0"},
      {"only 1 is support", "[vlmx_config]\r\nMISC_OCAMD8_5.2.1.154=2\r\n", "4 Support=False", "0"},
      {"common key alone", "[vlmx_config]\r\nMISC_OCAMD8=1\r\n", "Common Support=True", "1"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    Session session;
    sim::ScopedMachine m{WithHost(row.update)};
    InitAMD8Support();
    const std::string log = RunLog(m);
    EXPECT_TRUE(Logged(log, std::string("InitAMD8Support ") + row.logged)) << log;
    EXPECT_TRUE(Logged(log, "InitAMD8Support Save Support=" +
                                std::string(row.settings == "1" ? "True" : "False")));
    EXPECT_EQ(Text(m, kSettings), "[AMD8API]\r\nSupport=" + row.settings + "\r\n\r\n");
    EXPECT_EQ(m.ReadFile(kUpdateIni), row.update);
  }
}

TEST(AMD8Support, HostWithoutVersionUsesTheCommonKey) {
  Session session;
  sim::ScopedMachine m{Machine().File(kUpdateIni, "[vlmx_config]\r\nMISC_OCAMD8=1\r\n")};
  InitAMD8Support();
  const std::string log = RunLog(m);
  EXPECT_TRUE(Logged(log, "Get MainVer Failed,Use common")) << log;
  EXPECT_TRUE(Logged(log, "InitAMD8Support Save Support=True"));
}

TEST(AMD8Support, KeepsTheRestOfTheSettingsFile) {
  Session session;
  sim::ScopedMachine m{WithHost("").File(
      kSettings, Ini("[Config]\r\nLanguage=Deutsch\r\n\r\n[AMD8API]\r\nSupport=1\r\n\r\n"))};
  InitAMD8Support();
  EXPECT_EQ(Text(m, kSettings),
            "[Config]\r\nLanguage=Deutsch\r\n\r\n[AMD8API]\r\nSupport=0\r\n\r\n");
}

// ---------------------------------------------------------------- files never written

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

TEST(WebLink, NameVersionAndLanguageFromTheProgramFolder) {
  const std::string pr = "[Option]\r\nName=partner7\r\n";
  Session session;
  sim::ScopedMachine m{WithHost("")
                           .File(kProgram + "PR.dat", pr)
                           .File(kProgram + "Lang.dat", "[CusLan]\r\nName=de\r\n")};
  EXPECT_EQ(GetLinkName(), "partner7");
  EXPECT_EQ(GetCustomLanguage(), "de");
  EXPECT_EQ(BuildWebLink(""), std::string(kWebLinkBase) + "?name=partner7&ver=5.2.1.154&lan=de&");
  EXPECT_EQ(BuildWebLink("https://example.test/go.php") + "&st=filerupt&to=filerupt",
            "https://example.test/go.php?name=partner7&ver=5.2.1.154&lan=de&&st=filerupt"
            "&to=filerupt");
  EXPECT_EQ(m.ReadFile(kProgram + "PR.dat"), pr);  // read-only data files are never saved
}

TEST(WebLink, DefaultsWithoutDataFilesAndHost) {
  Session session;
  sim::ScopedMachine m{Machine()};
  plat::DeleteFileW(kMainExe);  // the default machine runs the host from there
  EXPECT_EQ(GetLinkName(), "vlmx");
  EXPECT_EQ(GetCustomLanguage(), "");
  EXPECT_EQ(BuildWebLink(""), std::string(kWebLinkBase) + "?name=vlmx&ver=4.2.0.0&lan=&");
  EXPECT_FALSE(m.Exists(kProgram + "PR.dat"));
}

TEST(WebLink, HostWithoutVersionResourceAndDataFilesWithoutKeys) {
  Session session;
  sim::ScopedMachine m{Machine()
                           .File(kMainExe, "MZ")
                           .File(kProgram + "PR.dat", "[Other]\r\nName=x\r\n")
                           .File(kProgram + "Lang.dat", "")};
  EXPECT_EQ(BuildWebLink(""), std::string(kWebLinkBase) + "?name=vlmx&ver=Unknown&lan=&");
}

TEST(WebLink, InternetExplorerOnlyOnNewWindows10WithABrowserHijacker) {
  // The 32-bit program sees the 32-bit view of the uninstall keys.
  const std::string uninstall =
      "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  struct Case {
    uint32_t major, build;
    std::string product;
    bool expected;
  };
  for (const Case& c :
       {Case{10, 19045, "", false}, Case{10, 10586, "MPC", true},
        Case{10, 19045, "360TotalSecurity", true}, Case{10, 22631, "MPC AdCleaner", true},
        Case{10, 19045, "iSafe", true}, Case{10, 10240, "iSafe", false},
        Case{6, 9600, "MPC", false}, Case{10, 19045, "MPC Cleaner", false}}) {
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
