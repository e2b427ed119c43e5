// Sim backend: memory figures, working-set trims, error texts and the random number
// source, all taken from (or recorded in) the machine.
#include <map>

#include "platform/Platform.h"
#include "platform/sim/SimInternal.h"

namespace plat {

bool GlobalMemoryStatusEx(MemoryStatus& status) {
  status = MemoryStatus{};
  if (!Kernel32HasExport("GlobalMemoryStatusEx")) {
    sim::SetError(127);  // ERROR_PROC_NOT_FOUND
    return false;
  }
  sim::Op op;
  sim::MachineMemory& memory = op.m().memory;
  if (!memory.script.empty()) {
    memory.status.totalPhys = memory.script.front().first;
    memory.status.availPhys = memory.script.front().second;
    memory.script.erase(memory.script.begin());
    op.Changed();
  }
  status = memory.status;
  return true;
}

bool SetProcessWorkingSetSize(Handle process, intptr_t minimumBytes, intptr_t maximumBytes) {
  sim::Op op;
  sim::Machine& m = op.m();
  uint32_t pid = m.selfPid;
  if (process != sim::kCurrentProcessHandle) {
    auto h = sim::LookupHandleAs<sim::ProcessHandle>(process);
    if (!h) {
      sim::SetError(kERROR_INVALID_HANDLE);
      return false;
    }
    if (!(h->access & kPROCESS_SET_QUOTA)) {
      sim::SetError(kERROR_ACCESS_DENIED);
      return false;
    }
    pid = h->pid;
  }
  if (minimumBytes != -1 || maximumBytes != -1) return true;
  m.memory.trims.push_back(pid);
  for (sim::Process& p : m.processes) {
    if (p.pid == pid) p.wsPrivate = p.wsShared = p.wsSharedHigh = 0;
  }
  op.Changed();
  return true;
}

std::string SysErrorMessage(uint32_t code) {
  static const std::map<uint32_t, std::string> kTexts = {
      {0, "The operation completed successfully."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {87, "The parameter is incorrect."},
      {1400, "Invalid window handle."},
      {1418, "Thread does not have a clipboard open."},
      {0x80004001u, "Not implemented"},
      {0x80004005u, "Unspecified error"},
      {0x80040154u, "Class not registered"},
      {0x800401F0u, "CoInitialize has not been called."},
  };
  const auto it = kTexts.find(code);
  return it != kTexts.end() ? it->second : "System error " + std::to_string(code) + ".";
}

int32_t Random(int32_t range) {
  if (range < 1) return 0;
  sim::Op op;
  const int32_t v = op.m().randomValue;
  return v >= 0 && v < range ? v : 0;
}

}  // namespace plat
