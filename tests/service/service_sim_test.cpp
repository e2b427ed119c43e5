// The service catalogue, stopping the chosen services and starting them again, on
// simulated machines: the restore file byte for byte, the machine's services before
// and after, the day rule and the run log.
#include <gtest/gtest.h>

#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "modules/service/uServiceBoost.h"
#include "modules/service/uServiceControl.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"
#include "tests/settings/SettingsMachine.h"
#include "tests/support/LogText.h"

namespace {

using namespace settingstest;
using S = sim::StopBehaviour;

const std::string kTemp = kData + "Temp.ini";
const std::string kChoices = kData + "UserWinSvc.ini";
const std::string kWhite = kData + "User3rdSvcWL.txt";
const std::string kFails = kData + "ServiceBoost.ini";
const std::string kRunLog = kLogs + "VlxMiniAppRun.log";
const std::string kHost = "C:\\Windows\\System32\\svchost.exe";
const std::string kVendor = "C:\\Program Files\\Vendor\\svc.exe";
const std::string kPlain = "C:\\Tools\\plain.exe";  // no version resource

sim::VersionResource Maker(const std::string& company) {
  sim::VersionResource v;
  v.translations = {{0x0409, 0x04B0}};
  v.stringTables = {{"040904B0", {{"CompanyName", company}}}};
  return v;
}

sim::Service Svc(const std::string& name, const std::string& path,
                 std::vector<std::string> dependsOn = {},
                 sim::StopBehaviour stop = sim::StopBehaviour::Now, uint32_t arg = 0) {
  sim::Service s;
  s.name = name;
  s.displayName = name + " service";
  s.binaryPath = path;
  s.dependsOn = std::move(dependsOn);
  s.stop = stop;
  s.stopDelayMs = s.refuseError = arg;
  return s;
}

// The settings machine (Windows 10) with only the given services, the program
// files, "UserWinSvc.ini" and, when given, the white list.
sim::MachineBuilder ServiceMachine(std::vector<sim::Service> services, const std::string& choices,
                                   const std::string& white = "") {
  sim::MachineBuilder b = Machine();
  b.With([services](sim::Machine& m) { m.services = services; })
      .File(kHost, "MZ")
      .Version(kHost, Maker("Microsoft Corporation"))
      .File(kVendor, "MZ")
      .Version(kVendor, Maker("Vendor Inc"))
      .File(kPlain, "MZ")
      .File(kTemp, "")
      .File(kChoices, Ini(choices));
  if (!white.empty()) b.File(kWhite, white);
  return b;
}

// The names of the running services, in the machine's order.
std::string Running(const sim::Machine& m) {
  std::string out;
  for (const sim::Service& s : m.services)
    if (s.state == plat::kSERVICE_RUNNING) out += s.name + " ";
  return out;
}

struct Program {
  Program() { InitConfigGlobals(false); }
};

const std::string kCatalogueChoices =
    "[Services_WIN10]\r\nSysListed=1\r\nDep=0\r\n[Services_3rd]\r\nThird=1\r\n";

std::vector<sim::Service> CatalogueServices() {
  std::vector<sim::Service> list = {
      Svc("SysListed", kHost + " -k netsvcs"),
      Svc("SysUnlisted", kHost + " -k other"),
      Svc("Dep", kHost + " -k dep", {"SysListed"}),
      Svc("Third", "\"" + kVendor + "\" -run"),
      Svc("ThirdWhite", "\"" + kVendor + "\""),
      Svc("ThirdStopped", kVendor),
      Svc("Blank", "C:\\Program Files\\Vendor\\svc.exe -k run"),
      Svc("NoVersion", kPlain),
  };
  list[0].description = "Lists things";
  list[5].state = plat::kSERVICE_STOPPED;
  return list;
}

TEST(ServiceCatalogue, SortsAndFiltersTheRunningServices) {
  struct Row {
    uint32_t major, minor;
    bool lockWhiteList;
    std::string expected;  // name:third:description:dependents, ...
  };
  const Row rows[] = {
      {10, 0, false, "SysListed:0:Lists things:Dep,Dep:0::,Third:1::,NoVersion:1::"},
      {6, 1, false, "Third:1::,NoVersion:1::"},  // Windows 7: no section in the file
      {10, 0, true, ""},                         // the white list cannot be read
  };
  for (const Row& row : rows) {
    Session session;
    sim::ScopedMachine m{ServiceMachine(CatalogueServices(), kCatalogueChoices, "thirdwhite\r\n")
                             .Os(row.major, row.minor, 7601)};
    plat::Handle lock =
        row.lockWhiteList ? plat::CreateFileW(kWhite, plat::kGENERIC_READ, 0, plat::kOPEN_EXISTING)
                          : plat::kInvalidHandle;
    TServices catalogue(kChoices, kWhite);
    std::string got;
    for (const auto& r : catalogue.LoadServices()) {
      got += (got.empty() ? "" : ",") + r->name + ":" + (r->isThird ? "1" : "0") + ":" +
             r->description + ":";
      for (const auto& d : r->dependents)
        got += d.first;
    }
    EXPECT_EQ(got, row.expected) << row.major;
    if (lock != plat::kInvalidHandle) plat::CloseHandle(lock);
    EXPECT_EQ(sim::OpenServiceHandles(), 0u);
    EXPECT_EQ(Text(m, kChoices), txt::DecodeTextFile(Ini(kCatalogueChoices)));  // never saved
  }
}

TEST(ServiceBoost, StopsTheChosenAndTheirDependentsAndStartsThemAgain) {
  const std::vector<sim::Service> services = {
      Svc("Parent", "\"" + kVendor + "\""),
      Svc("Child1", kHost + " -k c", {"Parent"}),
      Svc("Child2", kPlain, {"Child1"}),
      Svc("Refuser", kPlain, {}, S::Refuse, 5),
      Svc("Slow", kPlain, {}, S::After, 2000),
      Svc("Kept", kPlain),
      Svc("RpcSs", kHost + " -k rpcss"),
      Svc("Lender", kPlain),
      Svc("seclogon", kHost + " -k netsvcs", {"Lender"}),
  };
  const std::string choices =
      "[Services_WIN10]\r\nRpcSs=1\r\n"
      "[Services_3rd]\r\nParent=2\r\nRefuser=1\r\nSlow=1\r\nKept=0\r\nLender=1\r\n";
  struct Row {
    std::string restoreSetting;
    bool restored;
  };
  for (const Row& row : {Row{"", true}, Row{"[Config]\r\nFRestoreServices=0\r\n", false}}) {
    Session session;
    sim::ScopedMachine m{
        ServiceMachine(services, choices).File(kSettings, Ini(row.restoreSetting))};
    Program program;
    std::vector<std::string> notes;
    {
      TServiceBoost boost(kData, kSettings, kTemp);
      boost.SetProgressHook([&](void*, TProgressItemKind k, const std::string& caption,
                                bool) { notes.push_back(std::to_string(int(k)) + caption); },
                            &boost);
      EXPECT_TRUE(boost.Boost());
      EXPECT_EQ(*boost.CandidateCount(), 7);  // Child1 and seclogon are not in the section
      EXPECT_EQ(*boost.ActionCount(), 5);     // Parent, Refuser, Slow and two dependents
      EXPECT_EQ(*boost.DoneCount(), 4);       // Refuser did not stop
    }
    EXPECT_EQ(Text(m, kTemp),
              "[Third Services]\r\nParent=Parent service\r\nChild1=Child1 service\r\n"
              "Child2=Child2 service\r\nSlow=Slow service\r\n");
    EXPECT_EQ(notes, (std::vector<std::string>{"1Child2 service", "1Child1 service",
                                               "2Parent service", "2Slow service"}));
    EXPECT_EQ(Running(m.machine()), "Refuser Kept RpcSs Lender seclogon ");
    plat::Sleep(2000);  // Slow ends its stop

    TServiceBoost restore(kData, kSettings, kTemp);
    restore.Restore();
    EXPECT_EQ(Running(m.machine()), row.restored ? "Parent Child1 Child2 Refuser Slow Kept RpcSs "
                                                   "Lender seclogon "
                                                 : "Refuser Kept RpcSs Lender seclogon ");
    EXPECT_EQ(restore.HasRestoreData(), !row.restored);
    EXPECT_EQ(sim::OpenServiceHandles(), 0u);
  }
}

TEST(ServiceBoost, AStopThatHangsEndsThePassAndWaitsForTheNextDay) {
  Session session;
  sim::ScopedMachine m{ServiceMachine({Svc("Hang", kPlain, {}, S::Never), Svc("Later", kPlain)},
                                      "[Services_3rd]\r\nHang=1\r\nLater=1\r\n")};
  const std::string today = std::to_string(TodayNumber());
  const auto boost = [] {
    TServiceBoost b(kData, kSettings, kTemp);
    b.Boost();
    plat::Sleep(30000);  // the manager gives up on the hanging stop
    return *b.DoneCount();
  };
  EXPECT_EQ(boost(), 0);
  EXPECT_NE(Running(m.machine()).find("Later"), std::string::npos);
  EXPECT_EQ(Text(m, kFails), "[StopServiceFail]\r\nHang=" + today + "\r\n\r\n");
  EXPECT_EQ(Text(m, kTemp), "[Third Services]\r\nHang=Hang service\r\n");
  EXPECT_EQ(test::LogMessages(Text(m, kRunLog)).back(), "SetServiceStop Time Out Hang");

  EXPECT_EQ(boost(), 1);  // the same day: passed over
  EXPECT_EQ(Running(m.machine()).find("Later"), std::string::npos);
  m.machine().localTime += 1;
  EXPECT_EQ(boost(), 0);  // the next day: tried again
  EXPECT_EQ(Text(m, kFails),
            "[StopServiceFail]\r\nHang=" + std::to_string(TodayNumber()) + "\r\n\r\n");
}

TEST(ServiceBoost, TheRestoreStartsOnlyServicesOfThisMachine) {
  Session session;
  sim::ScopedMachine m{ServiceMachine({Svc("Real", kPlain), Svc("Off", kPlain)}, "")};
  Program program;
  for (sim::Service& s : m.machine().services)
    s.state = plat::kSERVICE_STOPPED;
  m.machine().services[1].startType = plat::kSERVICE_DISABLED;
  m.WriteFile(kTemp, "[System Services]\r\nBogus=Bogus\r\nReal=Real service\r\nOff=Off\r\n");
  TServiceBoost restore(kData, kSettings, kTemp);
  std::vector<bool> reported;
  restore.SetProgressHook(
      [&](void*, TProgressItemKind, const std::string&, bool ok) { reported.push_back(ok); },
      nullptr);
  restore.Restore();
  EXPECT_EQ(Running(m.machine()), "Real ");
  EXPECT_EQ(*restore.ActionCount(), 3);
  EXPECT_FALSE(restore.HasRestoreData());
  EXPECT_EQ(reported, (std::vector<bool>{true, false}));  // a failed start is not a success
  const auto log = test::LogMessages(Text(m, kRunLog));
  EXPECT_EQ(
      std::vector<std::string>(log.end() - 2, log.end()),
      (std::vector<std::string>{"TServiceBoost.Restore Bogus is not a service of this machine",
                                "TServiceBoost.Restore Off did not start"}));
}

}  // namespace
