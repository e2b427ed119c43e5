// The service catalogue and the choice over simulated machines of 50 to 300 running
// services: one LoadServices enumerates them, opens each, reads its status,
// configuration (and the maker of its program file), description and dependents,
// checks the white list and the version section; SelectServices then reads the
// user's choice for each. White list and "UserWinSvc.ini" hold 300 names each.
//
//   bench_service --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "modules/service/uServiceBoost.h"
#include "platform/sim/SimMachine.h"

namespace {

const std::string kData = "C:\\Data\\";
const std::string kHost = "C:\\Windows\\System32\\svchost.exe";

std::string Name(int i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Svc%04d", i);
  return buf;
}

sim::VersionResource Maker(const std::string& company) {
  sim::VersionResource v;
  v.translations = {{0x0409, 0x04B0}};
  v.stringTables = {{"040904B0", {{"CompanyName", company}}}};
  return v;
}

// N running services: even ones system services of svchost, odd ones third services
// with a program file of their own; every 5th has a dependent (the next one). The
// lists name 300 services, the machine's among them.
sim::MachineBuilder Machine(int services) {
  sim::MachineBuilder b;
  std::string white, choices = "[Services_WIN10]\r\n", third = "[Services_3rd]\r\n";
  for (int i = 0; i < 300; ++i) {
    white += (i % 6 == 1 ? Name(i) : "Other" + std::to_string(i)) + "\r\n";
    (i % 2 ? third : choices) += Name(i) + "=" + std::to_string(i % 3) + "\r\n";
  }
  b.File(kHost, "MZ").Version(kHost, Maker("Microsoft Corporation"));
  b.File(kData + "User3rdSvcWL.txt", white)
      .File(kData + "UserWinSvc.ini", choices + third)
      .File(kData + "Temp.ini", "");
  for (int i = 1; i < services; i += 2) {
    const std::string path = "C:\\Vendors\\" + Name(i) + "\\svc.exe";
    b.File(path, "MZ").Version(path, Maker("Vendor " + std::to_string(i % 17)));
  }
  b.With([services](sim::Machine& m) {
    m.services.clear();
    for (int i = 0; i < services; ++i) {
      sim::Service s;
      s.name = Name(i);
      s.displayName = "Service " + std::to_string(i);
      s.description = "What service " + std::to_string(i) + " does";
      s.binaryPath =
          i % 2 ? "\"C:\\Vendors\\" + Name(i) + "\\svc.exe\" -run" : kHost + " -k netsvcs";
      if (i % 5 == 1) s.dependsOn = {Name(i - 1)};
      m.services.push_back(s);
    }
  });
  return b;
}

void BM_CatalogueAndChoice(benchmark::State& state) {
  const int services = static_cast<int>(state.range(0));
  sim::ScopedMachine machine{Machine(services)};
  TServiceBoost boost(kData, kData + "Velmorix.ini", kData + "Temp.ini");
  size_t listed = 0;
  double totalUs = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    listed = boost.Catalogue().LoadServices().size();
    boost.SelectServices();
    totalUs +=
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
  }
  state.counters["listed"] = static_cast<double>(listed);
  state.counters["us_per_service"] = totalUs / (static_cast<double>(state.iterations()) * services);
  state.SetItemsProcessed(state.iterations() * services);
}
BENCHMARK(BM_CatalogueAndChoice)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Arg(300)
    ->MinTime(2.0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
