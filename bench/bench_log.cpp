// Log entries per second through a log channel (open, append, close per entry)
// against a plain loop of the same open/append/close calls writing the same
// bytes, both over an in-memory simulated machine whose drive C: is a temporary
// host folder. A raw POSIX loop on the host shows what the simulated calls cost.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "diag/uLog.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"

namespace {

const char kMessage[] = "TProcessBoost.Boost 3 [Begin KillProcess OneDrive.exe]";
const std::string kLog = "C:\\Logs\\bench.log";

sim::MachineBuilder BenchMachine() {
  sim::MachineBuilder builder;
  builder.LocalTime(txt::EncodeDateTime(2021, 3, 4, 17, 5, 9, 42));
  return builder;
}

// The bytes one entry adds to the file.
std::string EntryBytes() {
  return txt::Utf8ToUtf16LeBytes(txt::FormatLogTimestamp(plat::GetLocalTime()) + "  " + kMessage +
                                 "\r\n");
}

void BM_LogChannel(benchmark::State& state) {
  sim::ScopedMachine m{BenchMachine()};
  TLogManage channel;
  channel.SetFileName(kLog);
  channel.SetMaxSize(state.range(0) ? static_cast<int32_t>(state.range(0)) : INT32_MAX);
  for (auto _ : state)
    channel.Write(kMessage);
  state.SetItemsProcessed(state.iterations());
}
// 0: no rotation (the same work as the plain loop); 1,024,000: the run log's size.
BENCHMARK(BM_LogChannel)->Arg(0)->Arg(1024000);

void BM_PlainOpenAppendClose(benchmark::State& state) {
  sim::ScopedMachine m{BenchMachine()};
  plat::CreateDirectoryW("C:\\Logs");
  m.WriteFile(kLog, "\xFF\xFE");
  const std::string bytes = EntryBytes();
  for (auto _ : state) {
    const plat::Handle h = plat::CreateFileW(kLog, plat::kGENERIC_READ | plat::kGENERIC_WRITE,
                                             plat::kFILE_SHARE_READ, plat::kOPEN_ALWAYS);
    plat::SetFilePointerEx(h, 0, plat::kFILE_END);
    uint32_t written = 0;
    plat::WriteFile(h, bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
    plat::CloseHandle(h);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PlainOpenAppendClose);

void BM_HostPosixOpenAppendClose(benchmark::State& state) {
  sim::ScopedMachine m{BenchMachine()};
  plat::CreateDirectoryW("C:\\Logs");
  m.WriteFile(kLog, "\xFF\xFE");
  const std::string host = m.Host(kLog);
  const std::string bytes = EntryBytes();
  for (auto _ : state) {
    const int fd = ::open(host.c_str(), O_RDWR | O_CREAT, 0644);
    ::lseek(fd, 0, SEEK_END);
    benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
    ::close(fd);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HostPosixOpenAppendClose);

}  // namespace

BENCHMARK_MAIN();
