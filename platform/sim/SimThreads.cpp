// Sim backend: the scheduler on the machine clock, threads, waiting, events,
// named mutexes and named file mappings.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <thread>

#include "platform/Gui.h"
#include "platform/sim/SimInternal.h"
#include "platform/sim/SimSched.h"

namespace sim::sched {
namespace {

struct Participant {
  uint32_t id = 0;
  bool blocked = false;
  std::optional<uint64_t> deadline;
  std::string what;
};

// Leaked on purpose: threads may still use them while statics are destroyed.
std::mutex& Mu() {
  static auto* m = new std::mutex;
  return *m;
}
std::condition_variable& Cv() {
  static auto* cv = new std::condition_variable;
  return *cv;
}
std::set<Participant*>& Parts() {
  static auto* parts = new std::set<Participant*>;
  return *parts;
}

std::atomic<uint32_t> gNextThreadId{1000};
thread_local uint32_t tThreadId = 0;

// The calling thread's place among the participants; leaves at thread end.
struct Holder {
  Participant* p = nullptr;
  ~Holder() {
    if (!p) return;
    std::lock_guard<std::mutex> lk(Mu());
    Parts().erase(p);
    delete p;
    p = nullptr;
    sim::sched::Kick();
  }
};
thread_local Holder tHolder;

Participant* Self() {
  if (!tHolder.p) {
    auto* p = new Participant;
    p->id = ThreadId();
    tHolder.p = p;
    Parts().insert(p);
  }
  return tHolder.p;
}

bool ManualClock() {
  Op op;
  return op.m().manualClock;
}

[[noreturn]] void Deadlock() {
  std::string text = "vlxsim: deadlock: every thread of the program waits without a time-out:\n";
  for (const Participant* p : Parts())
    text += "  thread " + std::to_string(p->id) + ": " + p->what + "\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  std::abort();
}

// Lock held: when every participant waits, moves the clock to the earliest deadline.
void TryAdvance() {
  std::optional<uint64_t> earliest;
  for (const Participant* p : Parts()) {
    if (!p->blocked) return;
    if (p->deadline && (!earliest || *p->deadline < *earliest)) earliest = p->deadline;
  }
  if (!earliest) Deadlock();
  {
    Op op;
    Machine& m = op.m();
    if (*earliest > m.tickMs) {
      const uint64_t delta = *earliest - m.tickMs;
      m.tickMs = *earliest;
      m.localTime = MsToSerial(SerialToMs(m.localTime) + static_cast<int64_t>(delta));
      op.Changed();
    }
  }
  sim::sched::Kick();
}

// A forked child has only the forking thread: the others' places go.
void PrepareFork() {
  Mu().lock();
}
void ParentAfterFork() {
  Mu().unlock();
}
void ChildAfterFork() {
  for (auto it = Parts().begin(); it != Parts().end();) {
    if (*it == tHolder.p) {
      ++it;
    } else {
      it = Parts().erase(it);  // the thread no longer exists (its memory is left alone)
    }
  }
  Mu().unlock();
}
[[maybe_unused]] const int gAtFork = ::pthread_atfork(PrepareFork, ParentAfterFork, ChildAfterFork);

}  // namespace

std::mutex& Lock() {
  return Mu();
}

uint64_t Now() {
  return plat::GetTickCount64();
}

uint32_t ThreadId() {
  if (!tThreadId) tThreadId = gNextThreadId++;
  return tThreadId;
}

void Join() {
  std::lock_guard<std::mutex> lk(Mu());
  Self();
}

void Kick() {
  for (Participant* p : Parts())
    p->blocked = false;
  Cv().notify_all();
}

void Block(std::unique_lock<std::mutex>& lk, std::optional<uint64_t> deadline,
           const std::string& what) {
  Participant* p = Self();
  p->blocked = true;
  p->deadline = deadline;
  p->what = what;
  if (ManualClock()) {
    TryAdvance();
    Cv().wait(lk, [p] { return !p->blocked; });
  } else {
    std::chrono::milliseconds slice(20);
    if (deadline) {
      const uint64_t now = Now();
      const uint64_t left = *deadline > now ? *deadline - now : 0;
      if (left < 20) slice = std::chrono::milliseconds(left);
    }
    Cv().wait_for(lk, slice, [p] { return !p->blocked; });
  }
  p->blocked = false;
  p->deadline.reset();
}

void SleepFor(uint32_t ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  std::unique_lock<std::mutex> lk(Mu());
  Self();
  const uint64_t deadline = Now() + ms;
  while (Now() < deadline)
    Block(lk, deadline, "Sleep(" + std::to_string(ms) + ")");
}

namespace {
// Used by CreateThread: a participant made by the starting thread for the new one.
Participant* NewParticipant(uint32_t id) {
  auto* p = new Participant;
  p->id = id;
  Parts().insert(p);
  return p;
}
void Adopt(Participant* p) {
  tThreadId = p->id;
  tHolder.p = p;
}
}  // namespace

}  // namespace sim::sched

namespace sim {
namespace {

using sched::Kick;

// Kernel objects a thread can wait for. Ready/Take run with sched::Lock() held.
struct Waitable : HandleObject {
  virtual bool Ready() = 0;
  virtual void Take() {}
  virtual std::string Describe() const = 0;
};

struct EventState {
  bool manual = false;
  bool set = false;
  std::string name;
};
struct EventHandle : Waitable {
  std::shared_ptr<EventState> ev;
  bool Ready() override { return ev->set; }
  void Take() override {
    if (!ev->manual) ev->set = false;
  }
  std::string Describe() const override {
    return ev->name.empty() ? "an event" : "event \"" + ev->name + "\"";
  }
};

struct ThreadState {
  bool done = false;
  uint32_t id = 0;
};
struct ThreadHandle : Waitable {
  std::shared_ptr<ThreadState> st;
  bool Ready() override { return st->done; }
  std::string Describe() const override { return "the end of thread " + std::to_string(st->id); }
};

struct MutexState {
  std::string name;
  int fd = -1;  // lock file of a file-backed machine's mutex
  ~MutexState() {
    if (fd >= 0) ::close(fd);
  }
};
struct MutexHandle : Waitable {
  std::shared_ptr<MutexState> mu;
  bool Ready() override { return true; }
  std::string Describe() const override { return "mutex \"" + mu->name + "\""; }
};

struct MappingState {
  std::vector<char> data;
};
struct MappingHandle : HandleObject {
  std::shared_ptr<MappingState> map;
};

// Named objects of one machine (in-memory machines each have their own names).
using NameKey = std::pair<const Session*, std::string>;
std::map<NameKey, std::weak_ptr<EventState>>& Events() {
  static auto* m = new std::map<NameKey, std::weak_ptr<EventState>>;
  return *m;
}
std::map<NameKey, std::weak_ptr<MutexState>>& Mutexes() {
  static auto* m = new std::map<NameKey, std::weak_ptr<MutexState>>;
  return *m;
}
std::map<NameKey, std::weak_ptr<MappingState>>& Mappings() {
  static auto* m = new std::map<NameKey, std::weak_ptr<MappingState>>;
  return *m;
}
std::map<void*, std::shared_ptr<MappingState>>& Views() {
  static auto* m = new std::map<void*, std::shared_ptr<MappingState>>;
  return *m;
}

NameKey Key(const std::string& name) {
  return {CurrentSession().get(), name};
}

// A kernel object name as a host file name: letters and digits kept, the rest %XX.
std::string HostName(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

}  // namespace
}  // namespace sim

namespace plat {

Handle CreateThread(std::function<void()> body) {
  auto st = std::make_shared<sim::ThreadState>();
  sim::sched::Participant* p = nullptr;
  {
    std::lock_guard<std::mutex> lk(sim::sched::Lock());
    sim::sched::Self();  // the starting thread takes part as well
    st->id = sim::sched::gNextThreadId++;
    p = sim::sched::NewParticipant(st->id);
  }
  std::thread([st, p, body = std::move(body)]() mutable {
    sim::sched::Adopt(p);
    body();
    body = nullptr;
    std::lock_guard<std::mutex> lk(sim::sched::Lock());
    st->done = true;
    sim::sched::Kick();
  }).detach();
  auto h = std::make_shared<sim::ThreadHandle>();
  h->st = st;
  return sim::AddHandle(h);
}

uint32_t WaitForSingleObject(Handle handle, uint32_t timeoutMs) {
  auto w = sim::LookupHandleAs<sim::Waitable>(handle);
  if (!w) {
    sim::SetError(kERROR_INVALID_HANDLE);
    return kWAIT_FAILED;
  }
  std::unique_lock<std::mutex> lk(sim::sched::Lock());
  std::optional<uint64_t> deadline;
  if (timeoutMs != kINFINITE) deadline = sim::sched::Now() + timeoutMs;
  const std::string what =
      "WaitForSingleObject(" + w->Describe() + ", " +
      (timeoutMs == kINFINITE ? std::string("INFINITE") : std::to_string(timeoutMs)) + ")";
  for (;;) {
    if (w->Ready()) {
      w->Take();
      return kWAIT_OBJECT_0;
    }
    if (deadline && sim::sched::Now() >= *deadline) return kWAIT_TIMEOUT;
    sim::sched::Block(lk, deadline, what);
  }
}

Handle CreateEventW(bool manualReset, bool initialState, const std::string& name) {
  auto h = std::make_shared<sim::EventHandle>();
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  uint32_t error = 0;
  if (!name.empty()) {
    auto& slot = sim::Events()[sim::Key(name)];
    h->ev = slot.lock();
    if (h->ev) error = kERROR_ALREADY_EXISTS;
  }
  if (!h->ev) {
    h->ev = std::make_shared<sim::EventState>();
    h->ev->manual = manualReset;
    h->ev->set = initialState;
    h->ev->name = name;
    if (!name.empty()) sim::Events()[sim::Key(name)] = h->ev;
  }
  const Handle handle = sim::AddHandle(h);
  sim::SetError(error);
  return handle;
}

Handle OpenEventW(const std::string& name) {
  auto h = std::make_shared<sim::EventHandle>();
  {
    std::lock_guard<std::mutex> lk(sim::sched::Lock());
    auto it = sim::Events().find(sim::Key(name));
    if (it != sim::Events().end()) h->ev = it->second.lock();
  }
  if (!h->ev) {
    sim::SetError(kERROR_FILE_NOT_FOUND);
    return 0;
  }
  return sim::AddHandle(h);
}

bool SetEvent(Handle event) {
  auto h = sim::LookupHandleAs<sim::EventHandle>(event);
  if (!h) {
    sim::SetError(kERROR_INVALID_HANDLE);
    return false;
  }
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  h->ev->set = true;
  sim::sched::Kick();
  return true;
}

Handle CreateMutexW(const std::string& name) {
  auto h = std::make_shared<sim::MutexHandle>();
  uint32_t error = 0;
  const std::string home = sim::CurrentSession()->homeDir();
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  if (!name.empty()) {
    auto& slot = sim::Mutexes()[sim::Key(name)];
    h->mu = slot.lock();
    if (h->mu) error = kERROR_ALREADY_EXISTS;
  }
  if (!h->mu) {
    h->mu = std::make_shared<sim::MutexState>();
    h->mu->name = name;
    if (!name.empty() && !home.empty()) {
      // Other processes on the same home see the name through a lock file held
      // for as long as the mutex exists here (a crash releases it).
      const std::string path = home + "/mutex-" + sim::HostName(name) + ".lock";
      const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        h->mu->fd = fd;
      } else {
        if (fd >= 0) ::close(fd);
        error = kERROR_ALREADY_EXISTS;
      }
    }
    if (!name.empty()) sim::Mutexes()[sim::Key(name)] = h->mu;
  }
  const Handle handle = sim::AddHandle(h);
  sim::SetError(error);
  return handle;
}

Handle CreateFileMappingW(const std::string& name, uint32_t size) {
  auto h = std::make_shared<sim::MappingHandle>();
  uint32_t error = 0;
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  if (!name.empty()) {
    h->map = sim::Mappings()[sim::Key(name)].lock();
    if (h->map) error = kERROR_ALREADY_EXISTS;
  }
  if (!h->map) {
    if (size == 0) {
      sim::SetError(kERROR_INVALID_PARAMETER);
      return 0;
    }
    h->map = std::make_shared<sim::MappingState>();
    h->map->data.assign(size, 0);
    if (!name.empty()) sim::Mappings()[sim::Key(name)] = h->map;
  }
  const Handle handle = sim::AddHandle(h);
  sim::SetError(error);
  return handle;
}

Handle OpenFileMappingW(const std::string& name) {
  auto h = std::make_shared<sim::MappingHandle>();
  {
    std::lock_guard<std::mutex> lk(sim::sched::Lock());
    auto it = sim::Mappings().find(sim::Key(name));
    if (it != sim::Mappings().end()) h->map = it->second.lock();
  }
  if (!h->map) {
    sim::SetError(kERROR_FILE_NOT_FOUND);
    return 0;
  }
  return sim::AddHandle(h);
}

void* MapViewOfFile(Handle mapping) {
  auto h = sim::LookupHandleAs<sim::MappingHandle>(mapping);
  if (!h) {
    sim::SetError(kERROR_INVALID_HANDLE);
    return nullptr;
  }
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  void* view = h->map->data.data();
  sim::Views()[view] = h->map;
  return view;
}

bool UnmapViewOfFile(void* view) {
  std::lock_guard<std::mutex> lk(sim::sched::Lock());
  if (sim::Views().erase(view) == 0) {
    sim::SetError(487);  // ERROR_INVALID_ADDRESS
    return false;
  }
  return true;
}

uint32_t GetCurrentThreadId() {
  return sim::sched::ThreadId();
}

}  // namespace plat
