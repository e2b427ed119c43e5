// Sessions: the current machine, in memory or backed by $VLXSIM_HOME/machine.txt.
//
// A file-backed session keeps the whole machine in memory and writes it through
// on every change: the text goes to a temporary file that replaces machine.txt by
// rename, so the file is always complete. Processes sharing a home serialise their
// operations with flock on machine.lock, whose first eight bytes count the writes
// (the generation); an operation re-reads machine.txt when the generation or the
// file's identity (inode, size, time) moved since it last looked.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/sim/SimInternal.h"

namespace sim {

namespace fs = std::filesystem;

// The running program's own fields of a machine.
struct Session::Local {
  std::string exePath;
  std::string currentDirectory;
  uint32_t selfPid = 0;
  std::map<std::string, std::string, NoCaseLess> environment;
};

namespace {

bool ReadHostFile(const std::string& path, std::string& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  out.clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    out.append(buffer, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// Writes a file by writing a temporary one beside it and renaming it over the target.
bool WriteHostFileAtomic(const std::string& path, const std::string& bytes) {
  const std::string tmp = path + ".tmp." + std::to_string(::getpid());
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 || ::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace

void Session::ExchangeLocal(Machine& m, Local& l) {
  std::swap(m.exePath, l.exePath);
  std::swap(m.currentDirectory, l.currentDirectory);
  std::swap(m.selfPid, l.selfPid);
  std::swap(m.environment, l.environment);
}

Session::~Session() {
  if (lockFd_ >= 0) ::close(lockFd_);
}

void Session::Mutex::lock() {
  s_.mutex_.lock();
  if (s_.depth_++ == 0 && s_.lockFd_ >= 0) {
    while (::flock(s_.lockFd_, LOCK_EX) != 0 && errno == EINTR) {
    }
    s_.ReloadIfChanged();
  }
}

void Session::Mutex::unlock() {
  if (--s_.depth_ == 0 && s_.lockFd_ >= 0) ::flock(s_.lockFd_, LOCK_UN);
  s_.mutex_.unlock();
}

std::unique_lock<Session::Mutex> Session::Lock() {
  return std::unique_lock<Mutex>(lockable_);
}

Machine& Session::machine() {
  return *machine_;
}

std::string Session::Stamp() const {
  struct stat st {};
  if (::stat((home_ + "/machine.txt").c_str(), &st) != 0) return {};
  return std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) + ":" +
         std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
}

uint64_t Session::ReadGeneration() const {
  uint64_t generation = 0;
  if (::pread(lockFd_, &generation, sizeof generation, 0) != sizeof generation) return 0;
  return generation;
}

void Session::Load() {
  const std::string path = home_ + "/machine.txt";
  const std::string stamp = Stamp();
  const uint64_t generation = ReadGeneration();
  std::string text;
  if (!ReadHostFile(path, text)) {
    if (!machine_) throw std::runtime_error(path + ": cannot read the machine file");
    return;  // keep the machine we have
  }
  auto fresh = std::make_unique<Machine>();
  std::string error;
  if (!Parse(text, *fresh, error)) {
    if (!machine_) throw std::runtime_error(path + ": " + error);
    if (stamp != stamp_)
      std::fprintf(stderr, "vlxsim: %s: %s (machine kept)\n", path.c_str(), error.c_str());
    stamp_ = stamp;
    generation_ = generation;
    return;
  }
  fresh->home = home_;
  auto fileLocal = std::make_unique<Local>();
  fileLocal->exePath = fresh->exePath;
  fileLocal->currentDirectory = fresh->currentDirectory;
  fileLocal->selfPid = fresh->selfPid;
  fileLocal->environment = fresh->environment;
  if (machine_) {
    // The program keeps its own fields and its debug output.
    fresh->exePath = std::move(machine_->exePath);
    fresh->currentDirectory = std::move(machine_->currentDirectory);
    fresh->selfPid = machine_->selfPid;
    fresh->environment = std::move(machine_->environment);
    fresh->debugOutput = std::move(machine_->debugOutput);
    *machine_ = std::move(*fresh);
  } else {
    machine_ = std::move(fresh);
  }
  fileLocal_ = std::move(fileLocal);
  stamp_ = stamp;
  generation_ = generation;
}

void Session::ReloadIfChanged() {
  if (lockFd_ < 0) return;
  if (ReadGeneration() == generation_ && Stamp() == stamp_) return;
  Load();
}

void Session::Changed() {
  if (lockFd_ < 0) return;
  std::lock_guard<Mutex> guard(lockable_);
  ExchangeLocal(*machine_, *fileLocal_);
  const std::string text = Serialize(*machine_);
  ExchangeLocal(*machine_, *fileLocal_);
  if (!WriteHostFileAtomic(home_ + "/machine.txt", text)) {
    std::fprintf(stderr, "vlxsim: cannot write %s/machine.txt\n", home_.c_str());
    return;
  }
  generation_ = ReadGeneration() + 1;
  if (::pwrite(lockFd_, &generation_, sizeof generation_, 0) != sizeof generation_) {
    std::fprintf(stderr, "vlxsim: cannot write %s/machine.lock\n", home_.c_str());
  }
  stamp_ = Stamp();
}

std::shared_ptr<Session> Session::OpenHome(const std::string& homeDir) {
  return OpenHome(homeDir, DefaultMachineText());
}

void Session::Replace(std::unique_ptr<Machine> machine) {
  std::lock_guard<Mutex> guard(lockable_);
  machine->home = home_;
  auto local = std::make_unique<Local>();
  local->exePath = machine->exePath;
  local->currentDirectory = machine->currentDirectory;
  local->selfPid = machine->selfPid;
  local->environment = machine->environment;
  if (machine_) {
    *machine_ = std::move(*machine);
  } else {
    machine_ = std::move(machine);
  }
  if (lockFd_ >= 0) fileLocal_ = std::move(local);
  Changed();
}

std::shared_ptr<Session> Session::OpenHome(const std::string& homeDir,
                                           const std::string& seedText) {
  std::error_code ec;
  fs::create_directories(homeDir, ec);
  std::shared_ptr<Session> s(new Session);
  s->home_ = fs::absolute(homeDir, ec).lexically_normal().string();
  while (s->home_.size() > 1 && s->home_.back() == '/')
    s->home_.pop_back();
  const std::string lockPath = s->home_ + "/machine.lock";
  s->lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (s->lockFd_ < 0) throw std::runtime_error(lockPath + ": cannot open the lock file");
  while (::flock(s->lockFd_, LOCK_EX) != 0 && errno == EINTR) {
  }
  struct Unlock {
    int fd;
    ~Unlock() { ::flock(fd, LOCK_UN); }
  } unlock{s->lockFd_};
  const std::string path = s->home_ + "/machine.txt";
  if (!fs::exists(path, ec)) {
    Machine seed;
    std::string error;
    if (!Parse(seedText, seed, error)) throw std::runtime_error(error);
    seed.home = s->home_;
    if (!Materialize(seed, error)) throw std::runtime_error(error);
    if (!WriteHostFileAtomic(path, seedText)) {
      throw std::runtime_error(path + ": cannot write the machine file");
    }
    uint64_t generation = s->ReadGeneration() + 1;
    if (::pwrite(s->lockFd_, &generation, sizeof generation, 0) != sizeof generation) {
      throw std::runtime_error(lockPath + ": cannot write the lock file");
    }
  }
  s->Load();
  // Drive folders must exist for paths on them to resolve.
  for (const auto& [letter, folder] : s->machine_->drives) {
    const std::string root = DriveRoot(*s->machine_, letter);
    if (!root.empty()) fs::create_directories(root, ec);
  }
  return s;
}

std::shared_ptr<Session> Session::InMemory(std::unique_ptr<Machine> machine) {
  std::shared_ptr<Session> s(new Session);
  s->machine_ = std::move(machine);
  s->home_ = s->machine_->home;
  return s;
}

// ---------------------------------------------------------------- the current session

namespace {
std::mutex gCurrentMutex;
std::shared_ptr<Session> gCurrent;
}  // namespace

std::shared_ptr<Session> Install(std::shared_ptr<Session> session) {
  std::lock_guard<std::mutex> lock(gCurrentMutex);
  std::swap(gCurrent, session);
  return session;
}

std::shared_ptr<Session> CurrentSession() {
  std::lock_guard<std::mutex> lock(gCurrentMutex);
  if (!gCurrent) {
    const char* home = std::getenv("VLXSIM_HOME");
    if (!home || !*home) {
      std::fprintf(stderr,
                   "vlxsim: no simulated machine: set VLXSIM_HOME to a folder (a new folder is "
                   "seeded with the default machine)\n");
      std::abort();
    }
    try {
      gCurrent = Session::OpenHome(home);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "vlxsim: %s\n", e.what());
      std::abort();
    }
  }
  return gCurrent;
}

Session& Current() {
  return *CurrentSession();
}

}  // namespace sim
