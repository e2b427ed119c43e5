// The process inventory and selection over simulated machines of 100 to 1,000
// processes: one RefreshProcess walks the snapshot, reads each process's owner,
// path, version strings, priority and working set, looks it up in black and white
// lists of 500 names each, in a 5,000-row "Score.db" (opened for every lookup)
// and in "Process.ini". Runs without "Score.db" show the share of the ratings.
//
//   bench_process --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "modules/process/uProcessBoost.h"
#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

const std::string kData = "C:\\Data\\";

std::string Name(const char* prefix, int i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%04d.exe", prefix, i);
  return buf;
}

sim::VersionResource Strings(int i) {
  sim::VersionResource v;
  v.translations = {{0x0409, 0x04B0}};
  v.stringTables = {{"040904B0",
                     {{"CompanyName", "Maker " + std::to_string(i % 37)},
                      {"FileDescription", "Program " + std::to_string(i)},
                      {"ProductName", "Product " + std::to_string(i)},
                      {"ProductVersion", "1.0." + std::to_string(i)}}}};
  return v;
}

// N processes of the user: every 10th black-listed, every 20th white-listed, every
// 5th rated 85 in "Score.db", the rest unknown; a few choices in "Process.ini".
sim::MachineBuilder Machine(int processes) {
  sim::MachineBuilder b;
  b.User("Gamer");
  std::string black, white, choices = "[Process0]\r\n";
  for (int i = 0; i < 500; ++i) {
    black += (i < processes / 10 ? Name("app", i * 10) : Name("bl", i)) + "\r\n";
    white += (i < processes / 20 ? Name("app", i * 20 + 3) : Name("wl", i)) + "\r\n";
  }
  for (int i = 0; i < processes; i += 7)
    choices += Name("app", i) + "=0\r\n";
  b.File(kData + "UserProcBL.txt", black)
      .File(kData + "UserProcWL.txt", white)
      .File(kData + "Process.ini", choices)
      .File(kData + "Temp.ini", "");
  for (int i = 0; i < processes; ++i) {
    const std::string path = "C:\\Apps\\" + Name("app", i);
    b.File(path, "MZ").Version(path, Strings(i));
  }
  b.With([processes](sim::Machine& m) {
    m.processes.clear();
    for (int i = 0; i < processes; ++i) {
      sim::Process p;
      p.pid = 1000 + 4 * static_cast<uint32_t>(i);
      p.exeFile = Name("app", i);
      p.imagePath = "C:\\Apps\\" + p.exeFile;
      p.owner = "Gamer";
      p.wsPrivate = 2000 + static_cast<uint32_t>(i);
      p.wsShared = 3000;
      m.processes.push_back(p);
    }
  });
  return b;
}

bool WriteScoreDb(int processes) {
  sqlite3* db = nullptr;
  if (sqlite3_open(plat::NativeFilePath(kData + "Score.db").c_str(), &db) != SQLITE_OK)
    return false;
  sqlite3_exec(db,
               "create table process (process text, corporation text, productname text, "
               "suggest real, userSubmit integer); begin",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "insert into process values (?,?,?,?,?)", -1, &insert, nullptr);
  for (int row = 0; row < 5000; ++row) {
    // The rated fifth of the machine's processes, then programs it does not run.
    const bool onMachine = row * 5 < processes;
    const int i = onMachine ? row * 5 : row;
    const std::string name = onMachine ? Name("app", i) : Name("other", row);
    const std::string company = "maker " + std::to_string(i % 37);
    const std::string product = "product " + std::to_string(i);
    sqlite3_bind_text(insert, 1, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, company.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, product.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_double(insert, 4, onMachine ? 85.0 : 40.0);
    sqlite3_bind_int(insert, 5, row % 3);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "commit", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  return true;
}

void BM_RefreshProcess(benchmark::State& state) {
  const int processes = static_cast<int>(state.range(0));
  const bool ratings = state.range(1) != 0;
  sim::ScopedMachine machine{Machine(processes)};
  if (ratings && !WriteScoreDb(processes)) state.SkipWithError("Score.db not written");
  TProcessBoost boost(kData, kData + "Velmorix.ini", kData + "Temp.ini");
  int32_t listed = 0, toEnd = 0;
  double totalUs = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    boost.RefreshProcess();
    totalUs +=
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
    listed = boost.GetProcessCount();
    toEnd = 0;
    for (int32_t i = 0; i < listed; ++i)
      toEnd += boost.GetProcessItem(i)->end;
  }
  if (ratings && !machine.Exists(kData + "Score.db")) state.SkipWithError("Score.db was deleted");
  state.counters["listed"] = listed;
  state.counters["to_end"] = toEnd;
  state.counters["us_per_process"] =
      totalUs / (static_cast<double>(state.iterations()) * processes);
  state.SetItemsProcessed(state.iterations() * processes);
}
// Second argument: 1 with "Score.db", 0 without (the share of the rating lookups).
BENCHMARK(BM_RefreshProcess)
    ->ArgsProduct({{100, 250, 500, 1000}, {1, 0}})
    ->MinTime(2.0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
