// A boost pass and a restore pass of the program's own module table over a heavy
// simulated machine: 1,000 processes (every 10th black-listed, every 5th rated for
// ending in a 5,000-row "Score.db", every 7th kept by the user), 300 services (about
// 80 chosen, four of them slow to stop), four DDC/CI monitors that take 40 ms per call
// (factory reset, custom preset, display mode and first-seen settings), the power plan
// and overclock libraries, Game Mode and a full clipboard. A second scenario has
// monitors that never answer DDC/CI and one chosen service that never stops. A third is the
// same machine on Windows 7, where the automatic updates (level 3, a Save that takes
// 0.4 s) are paused too.
//
// BM_Pass times each module on the machine clock (what the progress bar sees: the
// mandated waits included) and in process CPU time (the engine's own work; waits on
// the manual clock cost none), and takes the pass's peak resident memory. Its time
// column is the pass on the machine clock (manual time), its CPU column the process
// CPU time of the pass. BM_Program runs the Linux program (app/vlxmini of the same
// build tree) over the same machine as the host starts it: from start to exit on the
// machine clock, whether the pass ended before the bar did, its peak memory.
// After the runs a table per module and scenario is printed.
//
//   bench_pass --benchmark_counters_tabular=true

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/uBoostModules.h"
#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "display/uMonitorBaseInfo.h"
#include "display/uMonitorManager.h"
#include "engine/uBoost.h"
#include "modules/tweaks/uOverFun.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/TweakLibraries.h"

namespace {

const std::string kRoaming = "C:\\Users\\Gamer\\AppData\\Roaming";
const std::string kData = kRoaming + "\\Trevanic\\Velmora\\";
const std::string kProgram = "C:\\Program Files (x86)\\Velmora\\";
const std::string kHost = "C:\\Windows\\System32\\svchost.exe";
constexpr int kProcesses = 1000;
constexpr int kServices = 300;
constexpr uint32_t kDdcCallMs = 40;
constexpr double kBarMs = 18000;

// ---------------------------------------------------------------- clocks

double CpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double SimMs() {
  return static_cast<double>(plat::GetTickCount64());
}

// Resident-set figures of this process in MiB ("VmRSS", "VmHWM").
double StatusMiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(line.find(':') + 1)) / 1024.0;
  return 0;
}

// Lets the peak ("VmHWM") start again from the current resident set.
void ResetPeak() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

// ---------------------------------------------------------------- per-module figures

struct Figures {
  double simMs = 0, cpuMs = 0;
  int runs = 0;
};

// Pass name -> figures, for the pass being measured (written by the worker thread).
std::atomic<std::map<std::string, Figures>*> gCurrent{nullptr};
std::vector<std::string> gOrder;  // pass names in pass order
// Per scenario: 0 every device answers, 1 the monitors never answer DDC/CI and one chosen
// service never stops, 2 every device answers on Windows 7 with automatic updates.
constexpr int kScenarios = 3;
std::map<std::string, Figures> gBoost[kScenarios], gRestore[kScenarios], gPass[kScenarios];
int gScenario = 0;  // the machine being built

// Runs the module of a table row and adds its time to the pass being measured.
class TTimed : public TBoostBase {
 public:
  TTimed(std::string name, std::unique_ptr<TBoostBase> inner)
      : TBoostBase("", "", ""), name_(std::move(name)), inner_(std::move(inner)) {}

  bool IsEnabled() override { return inner_->IsEnabled(); }
  void SetEnabled(bool v) override { inner_->SetEnabled(v); }
  bool Boost() override {
    Pass();
    return Timed([&] { return inner_->Boost(); });
  }
  void Restore() override {
    Pass();
    Timed([&] {
      inner_->Restore();
      return true;
    });
  }
  void Stop() override {
    TBoostBase::Stop();
    inner_->Stop();
  }
  bool HasRestoreData() override { return inner_->HasRestoreData(); }
  std::optional<int32_t> ActionCount() const override { return inner_->ActionCount(); }
  std::optional<int32_t> DoneCount() const override { return inner_->DoneCount(); }
  std::optional<int32_t> CandidateCount() const override { return inner_->CandidateCount(); }
  std::optional<int32_t> ProcessCount() const override { return inner_->ProcessCount(); }
  std::optional<TOverClockGain> OverClockGain() const override { return inner_->OverClockGain(); }
  void SetPowerSchText(const std::string& n, const std::string& d) override {
    inner_->SetPowerSchText(n, d);
  }

 private:
  // The orchestrator resets and hooks this wrapper; the module inside follows it.
  void Pass() {
    if (!Stopped()) inner_->ResetStop();
    inner_->SetProgressHook(OnProgress, fProgressSender);
  }
  template <typename F>
  bool Timed(F call) {
    const double sim0 = SimMs(), cpu0 = CpuMs();
    const bool result = call();
    if (std::map<std::string, Figures>* figures = gCurrent) {
      Figures& f = (*figures)[name_];
      f.simMs += SimMs() - sim0;
      f.cpuMs += CpuMs() - cpu0;
      ++f.runs;
    }
    return result;
  }

  std::string name_;
  std::unique_ptr<TBoostBase> inner_;
};

TBoostModules TimedModules() {
  TBoostModules m = DefaultBoostModules();
  std::vector<std::pair<int, std::string>> order;
  for (TBoostModuleRow& row : m.Table) {
    if (!row.Make || row.PassOrder == 0) continue;
    order.emplace_back(row.PassOrder, row.PassName);
    row.Make = [name = row.PassName, make = row.Make](const std::string& p, const std::string& s,
                                                      const std::string& t) {
      return std::make_unique<TTimed>(name, make(p, s, t));
    };
  }
  std::sort(order.begin(), order.end());
  gOrder.clear();
  for (const auto& [pos, name] : order)
    gOrder.push_back(name);
  return m;
}

// ---------------------------------------------------------------- the heavy machine

std::string Numbered(const char* format, int i) {
  char buf[48];
  std::snprintf(buf, sizeof buf, format, i);
  return buf;
}

sim::VersionResource Strings(const std::string& company, int i) {
  sim::VersionResource v;
  v.translations = {{0x0409, 0x04B0}};
  v.stringTables = {{"040904B0",
                     {{"CompanyName", company},
                      {"FileDescription", "Program " + std::to_string(i)},
                      {"ProductName", "Product " + std::to_string(i)},
                      {"ProductVersion", "1.0." + std::to_string(i)}}}};
  return v;
}

// An EDID base block naming the monitor (maker "ABC").
std::string Edid(const std::string& name) {
  std::string b(kEdidBlockSize, '\0');
  b.replace(0, 8, std::string("\0\xFF\xFF\xFF\xFF\xFF\xFF\0", 8));
  b.replace(8, 2, "\x04\x43");
  b.replace(108, 5, std::string("\0\0\0\xFC\0", 5));
  b.replace(113, name.size() + 1, name + "\n");
  return b;
}

const char kCaps[] =
    "(prot(monitor)type(LCD)model(Panel)cmds(01 02 03 07 0C E3 F3)vcp(02 04 05 08 0B 0C 10 12 "
    "14(01 02 04 05 06 08 0B) 16 18 1A 52 60(01 03 0F 11) 62 6C 6E 70 86(01 02) 87 AC AE B0 B6 "
    "C6 C8 C9 CA(01 02) CC(01 02 03 04 05 06 07 08 09 0A 0C 0D 0E 14 16 1E) D6(01 04 05) "
    "DC(00 01 02 03 04 05 06 07 08 09) DF E0 E1 E2)mswhql(1)asset_eep(40)mccs_ver(2.1))";

sim::MachineBuilder HeavyMachine() {
  sim::MachineBuilder b;
  b.User("Gamer").Folder(plat::kCSIDL_APPDATA, kRoaming).LocalTime(45366.4375);
  if (gScenario == 2) b.Os(6, 1, 7601);
  // Every 10th generated process black-listed; lists of 500 names each.
  std::string black, white;
  for (int i = 0; i < 500; ++i) {
    black += (i < kProcesses / 10 ? Numbered("app%04d.exe", i * 10) : Numbered("bl%04d.exe", i)) +
             "\r\n";
    white +=
        (i < kProcesses / 20 ? Numbered("app%04d.exe", i * 20 + 3) : Numbered("wl%04d.exe", i)) +
        "\r\n";
  }
  std::string choices = "[Process0]\r\n";
  for (int i = 1; i < kProcesses; i += 7)
    choices += Numbered("app%04d.exe", i) + "=0\r\n";
  // About 40 services chosen: every 8th system service, every 6th third service.
  std::string svcWin = gScenario == 2 ? "[Services_WIN7]\r\n" : "[Services_WIN10]\r\n",
              svc3rd = "[Services_3rd]\r\n", svcWhite;
  for (int i = 0; i < kServices; ++i) {
    const std::string name = Numbered("Svc%04d", i);
    if (i % 2 == 0) svcWin += name + "=" + (i % 8 == 0 ? "1" : "0") + "\r\n";
    if (i % 2 == 1) svc3rd += name + "=" + (i % 6 == 1 ? "1" : "0") + "\r\n";
    if (i % 14 == 3) svcWhite += name + "\r\n";
  }
  const std::string monitorIni =
      "[Panel A]\r\nGamingModeEnabled=1\r\nGamingModeValue=0\r\n"
      "[Panel B]\r\nGamingModeEnabled=1\r\nGamingModeValue=257\r\n"
      "[Panel B101]\r\nColorTemp=5\r\nBrightness=40\r\nContrast=70\r\n"
      "[Panel C]\r\nGamingModeEnabled=1\r\nGamingModeValue=5\r\n"
      "[Panel D]\r\nGamingModeEnabled=1\r\nGamingModeValue=3840\r\n"
      "[Panel D_original]\r\nDCMode=1\r\nBrightness=80\r\nContrast=75\r\nColorTemp=5\r\n";
  b.File(kData + "Velmorix.ini",
         "[Boost]\r\nRAM=1\r\nClipbrd=1\r\nPower=1\r\nGameMode=1\r\nOCLevel=2\r\n"
         "[Config]\r\nFRestoreProcesses=1\r\nFRestoreServices=1\r\n")
      .File(kData + "UserProcBL.txt", black)
      .File(kData + "UserProcWL.txt", white)
      .File(kData + "Process.ini", choices)
      .File(kData + "UserWinSvc.ini", svcWin + svc3rd)
      .File(kData + "User3rdSvcWL.txt", svcWhite)
      .File(kData + "Monitor.ini", monitorIni)
      .RegDword("HKCU\\Software\\Microsoft\\GameBar", "AutoGameModeEnabled", 0);
  for (int i = 0; i < kProcesses; ++i) {
    const std::string path = "C:\\Apps\\" + Numbered("app%04d.exe", i);
    b.File(path, "MZ").Version(path, Strings("Maker " + std::to_string(i % 37), i));
  }
  for (int i = 1; i < kServices; i += 2) {
    const std::string path = "C:\\Vendors\\" + Numbered("Svc%04d", i) + "\\svc.exe";
    b.File(path, "MZ").Version(path, Strings("Vendor " + std::to_string(i % 17), i));
  }
  b.With([](sim::Machine& m) {
    // The default machine's own processes and services, then generated ones up to the
    // counts. Generated processes belong to the user and run from C:\Apps.
    for (int i = 0; m.processes.size() < kProcesses; ++i) {
      sim::Process p;
      p.pid = 20000 + 4 * static_cast<uint32_t>(i);
      p.exeFile = Numbered("app%04d.exe", i);
      p.imagePath = "C:\\Apps\\" + p.exeFile;
      p.commandLine = "\"" + p.imagePath + "\" -background";
      p.owner = "Gamer";
      p.created = 133500000000000000ull + static_cast<uint64_t>(i);
      p.wsPrivate = 2000 + static_cast<uint32_t>(i);
      p.wsShared = 3000;
      m.processes.push_back(p);
    }
    // Four of the chosen services stop slowly: stop pending for 0.8 to 4 s.
    const std::map<int, uint32_t> slow = {{8, 800}, {49, 1500}, {96, 2500}, {151, 4000}};
    for (int i = 0; m.services.size() < kServices; ++i) {
      sim::Service s;
      s.name = Numbered("Svc%04d", i);
      s.displayName = "Service " + std::to_string(i);
      s.description = "What service " + std::to_string(i) + " does";
      s.binaryPath =
          i % 2 ? "\"C:\\Vendors\\" + s.name + "\\svc.exe\" -run" : kHost + " -k netsvcs";
      s.waitHint = 2000;
      if (i % 10 == 5) s.dependsOn = {Numbered("Svc%04d", i - 1)};
      if (gScenario == 1 && i == 200) s.stop = sim::StopBehaviour::Never;
      if (const auto it = slow.find(i); it != slow.end()) {
        s.stop = sim::StopBehaviour::After;
        s.stopDelayMs = it->second;
      }
      m.services.push_back(s);
    }
    m.clipboard.formats = {"CF_UNICODETEXT", "CF_BITMAP"};
    m.updateAgent.level = 3;
    m.updateAgent.saveDelay = 400;
    m.libraries[kProgram + "PowerMgr.dll"] = test::PowerMgr();
    m.libraries[kProgram + "OverDrive.dll"] = test::OverDrive();
  });
  return b;
}

// The rated fifth of the generated processes, then 4,800 programs the machine does not run.
void WriteScoreDb() {
  sqlite3* db = nullptr;
  if (sqlite3_open(plat::NativeFilePath(kData + "Score.db").c_str(), &db) != SQLITE_OK) return;
  sqlite3_exec(db,
               "create table process (process text, corporation text, productname text, "
               "suggest real, userSubmit integer); begin",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "insert into process values (?,?,?,?,?)", -1, &insert, nullptr);
  for (int row = 0; row < 5000; ++row) {
    const bool onMachine = row * 5 < kProcesses;
    const int i = onMachine ? row * 5 : row;
    const std::string name = Numbered(onMachine ? "app%04d.exe" : "other%04d.exe", i);
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
}

// The heavy machine with its "Score.db" and its four monitors.
struct HeavyMachineFiles {
  HeavyMachineFiles() : m(HeavyMachine()) {
    WriteScoreDb();
    const char* names[] = {"Panel A", "Panel B", "Panel C", "Panel D"};
    m.WriteFile("C:\\mon\\caps.txt", kCaps);
    for (int i = 0; i < 4; ++i) {
      const std::string edid = "C:\\mon\\edid" + std::to_string(i) + ".bin";
      m.WriteFile(edid, Edid(names[i]));
      sim::SimMonitor mon;
      mon.edidFile = m.Host(edid);
      mon.capsFile = m.Host("C:\\mon\\caps.txt");
      mon.delayMs = kDdcCallMs;
      if (gScenario == 1) mon.failures = 1000000;
      mon.vcp = {{0x10, {50, 100}}, {0x12, {60, 100}}, {0x14, {5, 13}}, {0xDC, {3, 255}}};
      mon.factory = {{0x10, 75}, {0x12, 80}, {0x14, 2}};
      m.machine().monitors.monitors.push_back(mon);
    }
  }
  sim::ScopedMachine m;
};

// The machine with the program's units started as the program starts them; the
// start-up monitor enumeration is timed.
struct Heavy : HeavyMachineFiles {
  Heavy() {
    InitAppLog(kData + "Logs\\", "VlxMiniAppRun.log", "VlxMiniException.log");
    InitConfigGlobals(false);
    const double sim0 = SimMs();
    InitMonitorUnits();
    monitorStartMs = SimMs() - sim0;
    LoadOverDriveDll();
  }
  ~Heavy() {
    FreeOverDriveDll();
    DoneMonitorUnits();
    DoneConfigGlobals();
    DoneAppLog();
  }
  double monitorStartMs = 0;
};

// What the program acts on: running program paths, running services, monitor values.
struct Snapshot {
  explicit Snapshot(const sim::Machine& m) {
    for (const sim::Process& p : m.processes)
      ++paths[p.imagePath];
    for (const sim::Service& s : m.services)
      running.push_back(s.state == plat::kSERVICE_RUNNING);
    for (const sim::SimMonitor& mon : m.monitors.monitors)
      vcp.push_back(mon.vcp);
  }
  std::map<std::string, int> paths;
  std::vector<bool> running;
  std::vector<std::map<uint8_t, std::pair<uint32_t, uint32_t>>> vcp;
};

// Copies of programs gone, services stopped and monitors changed between two snapshots.
struct Changes {
  int ended = 0, stopped = 0, monitors = 0;
};
Changes Compare(const Snapshot& before, const Snapshot& after) {
  Changes c;
  for (const auto& [path, n] : before.paths) {
    const auto it = after.paths.find(path);
    c.ended += std::max(0, n - (it == after.paths.end() ? 0 : it->second));
  }
  for (size_t i = 0; i < before.running.size() && i < after.running.size(); ++i)
    c.stopped += before.running[i] && !after.running[i];
  for (size_t i = 0; i < before.vcp.size() && i < after.vcp.size(); ++i)
    c.monitors += before.vcp[i] != after.vcp[i];
  return c;
}

// Runs one pass as the window asks for it and waits for the finish callback.
void RunPass(bool boost, std::map<std::string, Figures>* figures, double* simMs, double* cpuMs) {
  const plat::Handle done = plat::CreateEventW(true, false, "");
  {
    TBoost engine(
        kData, kData + "Velmorix.ini", kData + "Temp.ini",
        [done](void*, bool) { plat::SetEvent(done); }, nullptr, TimedModules());
    engine.PrepareProgress();
    gCurrent = figures;
    const double sim0 = SimMs(), cpu0 = CpuMs();
    if (boost) {
      engine.Boost();
    } else {
      engine.ExitGameDesktop();
      engine.Restore();
    }
    plat::WaitForSingleObject(done, plat::kINFINITE);
    if (simMs) *simMs = SimMs() - sim0;
    if (cpuMs) *cpuMs = CpuMs() - cpu0;
    gCurrent = nullptr;
  }
  plat::CloseHandle(done);
}

double gMonitorStartMs = 0;
double gPeakMiB[kScenarios][2] = {},
       gBaseMiB[kScenarios][2] = {};  // [scenario][boost 0, restore 1]

// Argument 0: the boost pass; 1: the restore pass after a boost.
void BM_Pass(benchmark::State& state) {
  const bool boost = state.range(0) == 0;
  const int scenario = static_cast<int>(state.range(1));
  gScenario = scenario;
  std::map<std::string, Figures>& perModule = boost ? gBoost[scenario] : gRestore[scenario];
  Figures& whole = gPass[scenario][boost ? "boost" : "restore"];
  double peak = 0, base = 0;
  Changes changes;
  for (auto _ : state) {
    state.PauseTiming();
    auto heavy = std::make_unique<Heavy>();
    gMonitorStartMs = heavy->monitorStartMs;
    const Snapshot start(heavy->m.machine());
    if (!boost) {
      RunPass(true, nullptr, nullptr, nullptr);
      plat::Sleep(60000);  // a minute of play: the slow services have stopped
    }
    base = StatusMiB("VmRSS:");
    ResetPeak();
    state.ResumeTiming();
    double simMs = 0, cpuMs = 0;
    RunPass(boost, &perModule, &simMs, &cpuMs);
    state.SetIterationTime(simMs / 1000.0);
    state.PauseTiming();
    peak = std::max(peak, StatusMiB("VmHWM:"));
    whole.simMs += simMs;
    whole.cpuMs += cpuMs;
    ++whole.runs;
    changes = Compare(start, Snapshot(heavy->m.machine()));
    // A stop the service module gave up on still runs on its own thread: it ends with
    // the service manager's 30 s, before the machine goes.
    plat::Sleep(31000);
    if (boost && !heavy->m.Exists(kData + "Temp.ini")) state.SkipWithError("no Temp.ini");
    if (!boost && heavy->m.Exists(kData + "Temp.ini")) state.SkipWithError("Temp.ini left");
    heavy.reset();
    state.ResumeTiming();
  }
  gPeakMiB[scenario][boost ? 0 : 1] = peak;
  gBaseMiB[scenario][boost ? 0 : 1] = base;
  state.counters["sim_ms"] = whole.simMs / whole.runs;
  state.counters["cpu_ms"] = whole.cpuMs / whole.runs;
  state.counters["peak_MiB"] = peak;
  state.counters["base_MiB"] = base;
  // Boost: what it changed; restore: what is still changed afterwards.
  state.counters["ended"] = changes.ended;
  state.counters["stopped"] = changes.stopped;
  state.counters["monitors"] = changes.monitors;
}
// Arguments: the pass (0 boost, 1 restore) and the scenario (0 answering, 1 silent,
// 2 Windows 7).
BENCHMARK(BM_Pass)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Iterations(3)
    ->UseManualTime()
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- the whole program

// The Linux program beside this benchmark's folder in the build tree.
std::string ProgramPath() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (self.parent_path().parent_path() / "app" / "vlxmini").string();
}

std::unique_ptr<sim::Machine> LoadMachine(const std::string& home) {
  std::ifstream in(home + "/machine.txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  auto m = std::make_unique<sim::Machine>();
  std::string error;
  if (!sim::Parse(text.str(), *m, error)) std::fprintf(stderr, "machine file: %s\n", error.c_str());
  return m;
}

void SaveMachine(const std::string& home, const sim::Machine& m) {
  std::ofstream(home + "/machine.txt", std::ios::binary) << sim::Serialize(m);
}

struct ProgramRun {
  bool ok = false;  // ended with exit code 0
  double peakMiB = 0, cpuMs = 0;
};

// Runs the program with one parameter over the machine in home, as the host starts it.
ProgramRun RunProgram(const std::string& home, const char* param) {
  std::fflush(stdout);
  const std::string exe = ProgramPath();
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("VLXSIM_HOME", home.c_str(), 1);
    ::execl(exe.c_str(), exe.c_str(), param, static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  ProgramRun run;
  int status = 0;
  rusage usage{};
  if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return run;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  const auto ms = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
  };
  run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
  return run;
}

// The whole program over a machine file, as the host starts it. Arguments: 0 "-game" on
// the fresh machine, 1 "-normal" a minute after it; the scenario as for BM_Pass. The time
// column is the run on the machine clock from start to exit, the bar included; the CPU
// figure includes the simulated machine's own work (its file is written through at
// every change), which a real Windows does not charge to the program.
void BM_Program(benchmark::State& state) {
  const bool boost = state.range(0) == 0;
  gScenario = static_cast<int>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    HeavyMachineFiles heavy;
    // The machine file beside the drive folders the builder seeded.
    const std::string home = heavy.m.machine().home + "-home";
    std::filesystem::create_directories(home);
    for (auto& [letter, folder] : heavy.m.machine().drives)
      if (!std::filesystem::path(folder).is_absolute())
        folder = (std::filesystem::path(heavy.m.machine().home) / folder).string();
    SaveMachine(home, heavy.m.machine());
    const Snapshot start(heavy.m.machine());
    if (!boost) {
      if (!RunProgram(home, "-game").ok) state.SkipWithError("-game failed");
      auto m = LoadMachine(home);
      m->tickMs += 60000;
      SaveMachine(home, *m);
    }
    const uint64_t tick0 = LoadMachine(home)->tickMs;
    state.ResumeTiming();
    const ProgramRun run = RunProgram(home, boost ? "-game" : "-normal");
    state.PauseTiming();
    const auto after = LoadMachine(home);
    state.SetIterationTime(static_cast<double>(after->tickMs - tick0) / 1000.0);
    if (!run.ok) state.SkipWithError("the program failed");
    const Changes changes = Compare(start, Snapshot(*after));
    // The summary is the pass's last record: without it the bar ended the pass.
    const std::string temp = txt::DecodeTextFile(heavy.m.ReadFile(kData + "Temp.ini"));
    state.counters["pass_done"] = boost ? temp.find("[PERFORMANCE]") != std::string::npos
                                        : !heavy.m.Exists(kData + "Temp.ini");
    state.counters["peak_MiB"] = run.peakMiB;
    state.counters["cpu_ms"] = run.cpuMs;
    state.counters["ended"] = changes.ended;
    state.counters["stopped"] = changes.stopped;
    state.counters["monitors"] = changes.monitors;
    std::filesystem::remove_all(home);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Program)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

std::string Cell(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.0f", v);
  return buf;
}

std::string Cell1(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

// The table of the README: per module, machine-clock and CPU milliseconds of both passes.
void PrintTable(int scenario) {
  const auto avg = [](const std::map<std::string, Figures>& f, const std::string& name,
                      double Figures::*field) {
    const auto it = f.find(name);
    return it == f.end() || it->second.runs == 0 ? 0.0 : it->second.*field / it->second.runs;
  };
  if (gPass[scenario].empty()) return;
  const char* const headings[kScenarios] = {
      "Every device answers:", "The monitors never answer, one chosen service never stops:",
      "Windows 7, every device answers, automatic updates on:"};
  std::printf("\n%s\n", headings[scenario]);
  std::printf(
      "\n| Module | boost, machine clock (ms) | share of the bar | boost CPU (ms) | restore, "
      "machine clock (ms) | restore CPU (ms) |\n|---|---|---|---|---|---|\n");
  double boostSum = 0, boostCpu = 0, restoreSum = 0, restoreCpu = 0;
  for (const std::string& name : gOrder) {
    const double bs = avg(gBoost[scenario], name, &Figures::simMs),
                 bc = avg(gBoost[scenario], name, &Figures::cpuMs);
    const double rs = avg(gRestore[scenario], name, &Figures::simMs);
    const double rc = avg(gRestore[scenario], name, &Figures::cpuMs);
    boostSum += bs;
    boostCpu += bc;
    restoreSum += rs;
    restoreCpu += rc;
    std::printf("| %s | %s | %s%% | %s | %s | %s |\n", name.c_str(), Cell(bs).c_str(),
                Cell1(100 * bs / kBarMs).c_str(), Cell1(bc).c_str(), Cell(rs).c_str(),
                Cell1(rc).c_str());
  }
  const double pb = avg(gPass[scenario], "boost", &Figures::simMs),
               pbc = avg(gPass[scenario], "boost", &Figures::cpuMs);
  const double pr = avg(gPass[scenario], "restore", &Figures::simMs);
  const double prc = avg(gPass[scenario], "restore", &Figures::cpuMs);
  std::printf("| orchestrator (state file, summary, log copy) | %s | %s%% | %s | %s | %s |\n",
              Cell(pb - boostSum).c_str(), Cell1(100 * (pb - boostSum) / kBarMs).c_str(),
              Cell1(pbc - boostCpu).c_str(), Cell(pr - restoreSum).c_str(),
              Cell1(prc - restoreCpu).c_str());
  std::printf("| **whole pass** | **%s** | **%s%%** | **%s** | **%s** | **%s** |\n",
              Cell(pb).c_str(), Cell1(100 * pb / kBarMs).c_str(), Cell1(pbc).c_str(),
              Cell(pr).c_str(), Cell1(prc).c_str());
  std::printf(
      "\nMonitor enumeration at start-up (before the bar starts): %s ms on the machine clock.\n"
      "Resident memory before the pass %s MiB; peak during the boost pass %s MiB, during the "
      "restore pass %s MiB.\n",
      Cell(gMonitorStartMs).c_str(), Cell1(gBaseMiB[scenario][0]).c_str(),
      Cell1(gPeakMiB[scenario][0]).c_str(), Cell1(gPeakMiB[scenario][1]).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (int scenario = 0; scenario < kScenarios; ++scenario)
    PrintTable(scenario);
  return 0;
}
