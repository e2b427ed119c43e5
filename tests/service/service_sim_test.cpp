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
#include "tests/service/ServiceMachine.h"
#include "tests/support/LogText.h"

namespace {

using namespace servicetest;
using S = sim::StopBehaviour;

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
      EXPECT_EQ(r->dependentCount, static_cast<int32_t>(r->dependents.size()));
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
    for (const char* name : {"Parent", "Child1", "Child2", "Slow"})
      EXPECT_FALSE(Running(m.machine(), name)) << name;
    for (const char* name : {"Refuser", "Kept", "RpcSs", "Lender", "seclogon"})
      EXPECT_TRUE(Running(m.machine(), name)) << name;
    plat::Sleep(2000);  // Slow ends its stop

    TServiceBoost restore(kData, kSettings, kTemp);
    restore.Restore();
    for (const char* name : {"Parent", "Child1", "Child2", "Slow"})
      EXPECT_EQ(Running(m.machine(), name), row.restored) << name;
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
  EXPECT_TRUE(Running(m.machine(), "Later"));
  EXPECT_EQ(Text(m, kFails), "[StopServiceFail]\r\nHang=" + today + "\r\n\r\n");
  EXPECT_EQ(Text(m, kTemp), "[Third Services]\r\nHang=Hang service\r\n");
  EXPECT_EQ(test::LogMessages(Text(m, kRunLog)).back(), "SetServiceStop Time Out Hang");

  EXPECT_EQ(boost(), 1);  // the same day: passed over
  EXPECT_FALSE(Running(m.machine(), "Later"));
  m.machine().localTime += 1;
  EXPECT_EQ(boost(), 0);  // the next day: tried again
  EXPECT_EQ(test::LogMessages(Text(m, kRunLog)).back(), "SetServiceStop Time Out Hang");
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
  EXPECT_TRUE(Running(m.machine(), "Real"));
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
