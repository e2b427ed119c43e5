// Sim backend core: last error, handle table, the operation guard, CloseHandle.
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"

namespace sim {

Faults& InjectedFaults() {
  static auto* faults = new Faults;
  return *faults;
}

bool NoCaseLess::operator()(const std::string& a, const std::string& b) const {
  return txt::CompareText(a, b) < 0;
}

// ---------------------------------------------------------------- last error

namespace {
thread_local uint32_t tLastError = 0;
}  // namespace

void SetError(uint32_t code) {
  tLastError = code;
}
uint32_t Error() {
  return tLastError;
}

uint32_t ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT:
      return plat::kERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return plat::kERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EINVAL:
      return plat::kERROR_ACCESS_DENIED;
    case EEXIST:
      return plat::kERROR_ALREADY_EXISTS;
    case ENOTEMPTY:
      return plat::kERROR_DIR_NOT_EMPTY;
    case EXDEV:
      return 17;  // ERROR_NOT_SAME_DEVICE
    case ENOSPC:
      return 112;  // ERROR_DISK_FULL
    case ENAMETOOLONG:
      return 206;  // ERROR_FILENAME_EXCED_RANGE
    case EMFILE:
    case ENFILE:
      return 4;  // ERROR_TOO_MANY_OPEN_FILES
    case ENOMEM:
      return plat::kERROR_NOT_ENOUGH_MEMORY;
    default:
      return 31;  // ERROR_GEN_FAILURE
  }
}

// ---------------------------------------------------------------- handle table

namespace {

struct HandleTable {
  std::mutex mutex;
  std::map<plat::Handle, std::shared_ptr<HandleObject>> objects;
  plat::Handle next = 0x100;
};

HandleTable& Handles() {
  static HandleTable* table = new HandleTable;  // lives until exit; handles may outlive statics
  return *table;
}

}  // namespace

plat::Handle AddHandle(std::shared_ptr<HandleObject> object) {
  HandleTable& t = Handles();
  std::lock_guard<std::mutex> lock(t.mutex);
  plat::Handle h = t.next;
  while (t.objects.count(h) || h == 0 || h == plat::kInvalidHandle)
    h += 4;
  t.next = h + 4;
  t.objects.emplace(h, std::move(object));
  return h;
}

std::shared_ptr<HandleObject> LookupHandle(plat::Handle handle) {
  HandleTable& t = Handles();
  std::lock_guard<std::mutex> lock(t.mutex);
  const auto it = t.objects.find(handle);
  return it == t.objects.end() ? nullptr : it->second;
}

std::shared_ptr<HandleObject> RemoveHandle(plat::Handle handle) {
  HandleTable& t = Handles();
  std::lock_guard<std::mutex> lock(t.mutex);
  const auto it = t.objects.find(handle);
  if (it == t.objects.end()) return nullptr;
  std::shared_ptr<HandleObject> object = std::move(it->second);
  t.objects.erase(it);
  return object;
}

void ForEachHandle(const std::function<void(plat::Handle, HandleObject&)>& visit) {
  HandleTable& t = Handles();
  std::lock_guard<std::mutex> lock(t.mutex);
  for (auto& [h, object] : t.objects)
    visit(h, *object);
}

// ---------------------------------------------------------------- operation guard

Op::Op() : session_(CurrentSession()), lock_(session_->Lock()) {}

// ---------------------------------------------------------------- change points

namespace {
std::atomic<bool> gCounting{false};
std::atomic<uint64_t> gChanges{0};
thread_local int tChangeDepth = 0;
}  // namespace

void CountChanges() {
  gChanges = 0;
  gCounting = true;
}

ChangeCall::ChangeCall(bool counts) {
  if (tChangeDepth++ != 0 || !counts || !gCounting) return;
  const uint64_t n = ++gChanges;
  Op op;
  const uint64_t at = op.m().endAtChange;
  if (at == 0 || n < at) return;
  // Ended from outside: no clean-up, no flush; the machine is already on disk but for
  // the spent key.
  op.m().endAtChange = 0;
  op.Changed();
  std::_Exit(kEndedAtChangeExitCode);
}

ChangeCall::~ChangeCall() {
  --tChangeDepth;
}

bool CountsAsChange(const std::string& windowsPath) {
  const std::string upper = txt::UpperCase(windowsPath);
  const auto endsWith = [&](const std::string& tail) {
    return upper.size() >= tail.size() &&
           upper.compare(upper.size() - tail.size(), tail.size(), tail) == 0;
  };
  return !endsWith(".LOG") && upper.find("\\LOGS\\") == std::string::npos;
}

// ---------------------------------------------------------------- time

int64_t SerialToMs(double serial) {
  return std::llround(serial * 86400000.0);
}
double MsToSerial(int64_t ms) {
  return static_cast<double>(ms) / 86400000.0;
}

plat::SystemTime SerialToSystemTime(double serial) {
  const txt::DateTimeParts p = txt::DecodeDateTime(serial);
  plat::SystemTime t;
  t.year = static_cast<uint16_t>(p.year);
  t.month = static_cast<uint16_t>(p.month);
  t.dayOfWeek = static_cast<uint16_t>(p.dayOfWeek);
  t.day = static_cast<uint16_t>(p.day);
  t.hour = static_cast<uint16_t>(p.hour);
  t.minute = static_cast<uint16_t>(p.minute);
  t.second = static_cast<uint16_t>(p.second);
  t.milliseconds = static_cast<uint16_t>(p.milliseconds);
  return t;
}

}  // namespace sim

namespace plat {

uint32_t GetLastError() {
  return sim::Error();
}
void SetLastError(uint32_t code) {
  sim::SetError(code);
}

bool CloseHandle(Handle handle) {
  if (handle == sim::kCurrentProcessHandle) return true;  // the pseudo handle
  std::shared_ptr<sim::HandleObject> object = sim::RemoveHandle(handle);
  if (!object) {
    sim::SetError(kERROR_INVALID_HANDLE);
    return false;
  }
  object->OnClose();
  return true;
}

}  // namespace plat
