// Sim backend: files by Windows path. Contents live in host files under the
// mapped drive folders; attributes and version resources in the machine.
//
// Share modes are checked among the handles open in this process, with the
// rules of Windows: a new open conflicts with an open handle when either one asks
// for an access (read, write, delete) the other does not share.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"

namespace sim {

namespace {

using plat::kDELETE;
using plat::kGENERIC_ALL;
using plat::kGENERIC_EXECUTE;
constexpr uint32_t kFILE_READ_DATA = 0x1;
constexpr uint32_t kFILE_WRITE_DATA = 0x2;
constexpr uint32_t kFILE_EXECUTE = 0x20;
constexpr uint32_t kReadBits =
    plat::kGENERIC_READ | kGENERIC_ALL | kGENERIC_EXECUTE | kFILE_READ_DATA | kFILE_EXECUTE;
constexpr uint32_t kWriteBits = plat::kGENERIC_WRITE | kGENERIC_ALL | kFILE_WRITE_DATA;
constexpr uint32_t kDeleteBits = kDELETE | kGENERIC_ALL;
// Attributes a program may set.
constexpr uint32_t kSettable = plat::kFILE_ATTRIBUTE_READONLY | plat::kFILE_ATTRIBUTE_HIDDEN |
                               plat::kFILE_ATTRIBUTE_SYSTEM | plat::kFILE_ATTRIBUTE_ARCHIVE |
                               plat::kFILE_ATTRIBUTE_NORMAL | 0x100 /*TEMPORARY*/ |
                               0x1000 /*OFFLINE*/ | 0x2000 /*NOT_CONTENT_INDEXED*/;
constexpr uint32_t kERROR_INVALID_NAME = 123;
constexpr uint32_t kERROR_DIRECTORY = 267;
constexpr uint32_t kERROR_NEGATIVE_SEEK = 131;
constexpr uint32_t kERROR_NOT_SAME_DEVICE = 17;
constexpr uint32_t kERROR_DISK_FULL_SIM = plat::kERROR_DISK_FULL;

struct FileHandle : HandleObject {
  int fd = -1;
  dev_t dev = 0;
  ino_t ino = 0;
  std::string windows;
  uint32_t access = 0;
  uint32_t share = 0;
  std::weak_ptr<Session> session;
  std::mutex mutex;  // guards pos
  int64_t pos = 0;
  std::atomic<bool> modified{false};

  ~FileHandle() override {
    if (fd >= 0) ::close(fd);
  }
  void OnClose() override;
};

// Windows sets ARCHIVE on a file that was written to.
void FileHandle::OnClose() {
  if (!modified) return;
  std::shared_ptr<Session> s = session.lock();
  if (!s) return;
  auto lock = s->Lock();
  FileMeta* meta = FindMeta(s->machine(), windows);
  if (!meta || !meta->attributes) return;
  const uint32_t a = *meta->attributes;
  if (a & (plat::kFILE_ATTRIBUTE_ARCHIVE | plat::kFILE_ATTRIBUTE_DIRECTORY)) return;
  const uint32_t updated = (a & ~plat::kFILE_ATTRIBUTE_NORMAL) | plat::kFILE_ATTRIBUTE_ARCHIVE;
  if (updated == plat::kFILE_ATTRIBUTE_ARCHIVE) {
    meta->attributes.reset();
    if (!meta->version) s->machine().files.erase(windows);
  } else {
    meta->attributes = updated;
  }
  s->Changed();
}

bool ShareConflict(uint32_t accessA, uint32_t shareA, uint32_t accessB, uint32_t shareB) {
  const auto denies = [](uint32_t access, uint32_t share) {
    return ((access & kReadBits) && !(share & plat::kFILE_SHARE_READ)) ||
           ((access & kWriteBits) && !(share & plat::kFILE_SHARE_WRITE)) ||
           ((access & kDeleteBits) && !(share & plat::kFILE_SHARE_DELETE));
  };
  return denies(accessA, shareB) || denies(accessB, shareA);
}

// Whether opening the host file with access/share conflicts with an open handle.
bool OpenConflict(const std::string& host, uint32_t access, uint32_t share) {
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) return false;
  bool conflict = false;
  ForEachHandle([&](plat::Handle, HandleObject& object) {
    auto* f = dynamic_cast<FileHandle*>(&object);
    if (f && f->dev == st.st_dev && f->ino == st.st_ino &&
        ShareConflict(access, share, f->access, f->share)) {
      conflict = true;
    }
  });
  return conflict;
}

bool SameHostFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

uint32_t NormalizeAttributes(uint32_t attributes) {
  uint32_t v = attributes & kSettable;
  if (v & ~plat::kFILE_ATTRIBUTE_NORMAL) v &= ~plat::kFILE_ATTRIBUTE_NORMAL;
  return v ? v : plat::kFILE_ATTRIBUTE_NORMAL;
}

// Attributes of a file that CREATE_ALWAYS/CREATE_NEW writes anew.
uint32_t NewFileAttributes(uint32_t requested) {
  return (requested & kSettable & ~plat::kFILE_ATTRIBUTE_NORMAL) | plat::kFILE_ATTRIBUTE_ARCHIVE;
}

bool Fail(uint32_t code) {
  SetError(code);
  return false;
}

plat::Handle FailHandle(uint32_t code) {
  SetError(code);
  return plat::kInvalidHandle;
}

std::shared_ptr<FileHandle> GetFile(plat::Handle h) {
  auto f = LookupHandleAs<FileHandle>(h);
  if (!f) SetError(plat::kERROR_INVALID_HANDLE);
  return f;
}

std::string LastName(const std::string& windowsPath) {
  const size_t pos = windowsPath.find_last_of('\\');
  return pos == std::string::npos ? windowsPath : windowsPath.substr(pos + 1);
}

std::string ParentHost(const std::string& host) {
  return host.substr(0, host.find_last_of('/'));
}

std::string ParentWindows(const std::string& windows) {
  const size_t pos = windows.find_last_of('\\');
  return windows.substr(0, pos == 2 ? 3 : pos);
}

std::string JoinWindows(const std::string& dir, const std::string& name) {
  return dir.back() == '\\' ? dir + name : dir + "\\" + name;
}

bool HostWriteAll(int fd, const char* data, size_t size, int64_t offset) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

// Windows wildcard match ("*", "?"), without regard to case.
bool WildMatch(const std::u16string& pattern, const std::u16string& name) {
  size_t p = 0, n = 0, starP = std::u16string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u16string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*')
    ++p;
  return p == pattern.size();
}

struct NamePattern {
  std::u16string glob;
  bool noDot = false;  // "name." patterns match names without an extension
};

NamePattern MakePattern(const std::string& name) {
  NamePattern p;
  std::string n = name;
  if (n == "*.*") n = "*";
  if (n.size() > 1 && n.back() == '.' && n.find_first_of("*?") != std::string::npos) {
    n.pop_back();
    p.noDot = true;
  }
  p.glob = txt::Utf8ToUtf16(txt::UpperCase(n));
  return p;
}

bool Matches(const NamePattern& p, const std::string& name) {
  if (p.noDot && name.find('.') != std::string::npos) return false;
  return WildMatch(p.glob, txt::Utf8ToUtf16(txt::UpperCase(name)));
}

}  // namespace

// ---------------------------------------------------------------- whole files (internal)

bool ReadWholeFile(const std::string& windowsPath, std::string& bytes) {
  const plat::Handle h =
      plat::CreateFileW(windowsPath, plat::kGENERIC_READ,
                        plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE, plat::kOPEN_EXISTING);
  if (h == plat::kInvalidHandle) return false;
  auto f = LookupHandleAs<FileHandle>(h);
  bytes.clear();
  char buffer[65536];
  int64_t offset = 0;
  bool ok = true;
  for (;;) {
    const ssize_t n = ::pread(f->fd, buffer, sizeof buffer, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = Fail(ErrorFromErrno(errno));
      break;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    offset += n;
  }
  const uint32_t error = Error();
  plat::CloseHandle(h);
  SetError(error);
  return ok;
}

bool WriteWholeFile(const std::string& windowsPath, const std::string& bytes, uint32_t attributes) {
  const plat::Handle h =
      plat::CreateFileW(windowsPath, plat::kGENERIC_WRITE, 0, plat::kCREATE_ALWAYS, attributes);
  if (h == plat::kInvalidHandle) return false;
  uint32_t written = 0;
  const bool ok = bytes.empty() ||
                  plat::WriteFile(h, bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
  const uint32_t error = Error();
  plat::CloseHandle(h);
  SetError(ok ? 0 : error);
  return ok;
}

}  // namespace sim

namespace plat {

using sim::Fail;
using sim::FailHandle;

Handle CreateFileW(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                   uint32_t attributes) {
  const sim::ChangeCall change(disposition != kOPEN_EXISTING && sim::CountsAsChange(path));
  sim::Op op;
  sim::Machine& m = op.m();
  sim::Resolved r;
  if (!sim::Resolve(m, path, r)) return kInvalidHandle;
  if (disposition < kCREATE_NEW || disposition > kTRUNCATE_EXISTING) {
    return FailHandle(kERROR_INVALID_PARAMETER);
  }
  if (r.exists && r.isDir) return FailHandle(kERROR_ACCESS_DENIED);
  if (r.trailingSlash)
    return FailHandle(r.exists ? sim::kERROR_INVALID_NAME : sim::MissingError(r));
  if (!r.exists && !r.parentExists) return FailHandle(kERROR_PATH_NOT_FOUND);

  auto f = std::make_shared<sim::FileHandle>();
  f->windows = r.windows;
  f->access = access;
  f->share = share;
  f->session = op.sessionPtr();
  const bool wantsWrite = (access & sim::kWriteBits) != 0;  // DELETE access may rename it
  const int openFlags = ((access & sim::kWriteBits) ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  bool changed = false;
  uint32_t lastError = kERROR_SUCCESS;
  if (r.exists) {
    if (disposition == kCREATE_NEW) return FailHandle(kERROR_FILE_EXISTS);
    const uint32_t attrs = sim::AttributesOf(m, r);
    const bool overwrite = disposition == kCREATE_ALWAYS || disposition == kTRUNCATE_EXISTING;
    if ((attrs & kFILE_ATTRIBUTE_READONLY) && (wantsWrite || overwrite)) {
      return FailHandle(kERROR_ACCESS_DENIED);
    }
    // Overwriting a hidden or system file must name those attributes again.
    if (overwrite &&
        (((attrs & kFILE_ATTRIBUTE_HIDDEN) && !(attributes & kFILE_ATTRIBUTE_HIDDEN)) ||
         ((attrs & kFILE_ATTRIBUTE_SYSTEM) && !(attributes & kFILE_ATTRIBUTE_SYSTEM)))) {
      return FailHandle(kERROR_ACCESS_DENIED);
    }
    if (sim::OpenConflict(r.host, access, share)) return FailHandle(kERROR_SHARING_VIOLATION);
    f->fd = ::open(r.host.c_str(), openFlags);
    if (f->fd < 0) return FailHandle(sim::ErrorFromErrno(errno));
    if (overwrite) {
      if (::ftruncate(f->fd, 0) != 0) return FailHandle(sim::ErrorFromErrno(errno));
      if (sim::FileMeta* meta = sim::FindMeta(m, r.windows); meta && meta->version) {
        meta->version.reset();  // the new content has no version resource
        changed = true;
      }
      if (disposition == kCREATE_ALWAYS) {
        changed |= sim::StoreAttributes(m, r, sim::NewFileAttributes(attributes));
      }
    }
    if (disposition == kCREATE_ALWAYS || disposition == kOPEN_ALWAYS) {
      lastError = kERROR_ALREADY_EXISTS;
    }
  } else {
    if (disposition == kOPEN_EXISTING || disposition == kTRUNCATE_EXISTING) {
      return FailHandle(kERROR_FILE_NOT_FOUND);
    }
    f->fd = ::open(r.host.c_str(), openFlags | O_CREAT | O_EXCL, 0644);
    if (f->fd < 0) return FailHandle(sim::ErrorFromErrno(errno));
    changed |= m.files.erase(r.windows) > 0;  // metadata of an earlier file of that name
    changed |= sim::StoreAttributes(m, r, sim::NewFileAttributes(attributes));
  }
  struct stat st {};
  ::fstat(f->fd, &st);
  f->dev = st.st_dev;
  f->ino = st.st_ino;
  if (changed) op.Changed();
  const Handle h = sim::AddHandle(std::move(f));
  sim::SetError(lastError);
  return h;
}

bool ReadFile(Handle file, void* buffer, uint32_t toRead, uint32_t* read) {
  if (read) *read = 0;
  auto f = sim::GetFile(file);
  if (!f) return false;
  if (!(f->access & sim::kReadBits)) return Fail(kERROR_ACCESS_DENIED);
  std::lock_guard<std::mutex> lock(f->mutex);
  uint32_t done = 0;
  while (done < toRead) {
    const ssize_t n = ::pread(f->fd, static_cast<char*>(buffer) + done, toRead - done, f->pos);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(sim::ErrorFromErrno(errno));
    }
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
    f->pos += n;
  }
  if (read) *read = done;
  return true;
}

bool WriteFile(Handle file, const void* buffer, uint32_t toWrite, uint32_t* written) {
  if (written) *written = 0;
  auto f = sim::GetFile(file);
  if (!f) return false;
  const sim::ChangeCall change(toWrite != 0 && sim::CountsAsChange(f->windows));
  if (!(f->access & sim::kWriteBits)) return Fail(kERROR_ACCESS_DENIED);
  std::lock_guard<std::mutex> lock(f->mutex);
  if (toWrite == 0) return true;
  // An injected fault lets only part of one write through.
  uint32_t allowed = toWrite;
  int64_t budget = sim::InjectedFaults().writeBudget.load();
  for (;;) {
    if (budget < 0) break;
    const bool cut = budget < toWrite;
    allowed = cut ? static_cast<uint32_t>(budget) : toWrite;
    if (sim::InjectedFaults().writeBudget.compare_exchange_weak(budget,
                                                                cut ? -1 : budget - toWrite))
      break;
  }
  if (!sim::HostWriteAll(f->fd, static_cast<const char*>(buffer), allowed, f->pos)) {
    return Fail(sim::ErrorFromErrno(errno));
  }
  f->pos += allowed;
  if (allowed > 0) f->modified = true;
  if (written) *written = allowed;
  if (allowed < toWrite) return Fail(sim::kERROR_DISK_FULL_SIM);
  return true;
}

int64_t SetFilePointerEx(Handle file, int64_t distance, uint32_t method) {
  auto f = sim::GetFile(file);
  if (!f) return -1;
  std::lock_guard<std::mutex> lock(f->mutex);
  int64_t base = 0;
  if (method == kFILE_CURRENT) {
    base = f->pos;
  } else if (method == kFILE_END) {
    struct stat st {};
    ::fstat(f->fd, &st);
    base = st.st_size;
  } else if (method != kFILE_BEGIN) {
    Fail(kERROR_INVALID_PARAMETER);
    return -1;
  }
  const int64_t target = base + distance;
  if (target < 0) {
    Fail(sim::kERROR_NEGATIVE_SEEK);
    return -1;
  }
  f->pos = target;
  return target;
}

bool SetEndOfFile(Handle file) {
  auto f = sim::GetFile(file);
  if (!f) return false;
  const sim::ChangeCall change(sim::CountsAsChange(f->windows));
  if (!(f->access & sim::kWriteBits)) return Fail(kERROR_ACCESS_DENIED);
  std::lock_guard<std::mutex> lock(f->mutex);
  if (::ftruncate(f->fd, f->pos) != 0) return Fail(sim::ErrorFromErrno(errno));
  f->modified = true;
  return true;
}

int64_t GetFileSizeEx(Handle file) {
  auto f = sim::GetFile(file);
  if (!f) return -1;
  struct stat st {};
  if (::fstat(f->fd, &st) != 0) {
    Fail(sim::ErrorFromErrno(errno));
    return -1;
  }
  return st.st_size;
}

bool FlushFileBuffers(Handle file) {
  auto f = sim::GetFile(file);
  if (!f) return false;
  if (!(f->access & sim::kWriteBits)) return Fail(kERROR_ACCESS_DENIED);
  return true;
}

std::string NativeFilePath(const std::string& path) {
  sim::Op op;
  return sim::HostPath(op.m(), path);
}

uint32_t GetFileAttributesW(const std::string& path) {
  sim::Op op;
  sim::Resolved r;
  if (!sim::Resolve(op.m(), path, r)) return kINVALID_FILE_ATTRIBUTES;
  if (!r.exists) {
    Fail(sim::MissingError(r));
    return kINVALID_FILE_ATTRIBUTES;
  }
  if (r.trailingSlash && !r.isDir) {
    Fail(sim::kERROR_INVALID_NAME);
    return kINVALID_FILE_ATTRIBUTES;
  }
  return sim::AttributesOf(op.m(), r);
}

bool SetFileAttributesW(const std::string& path, uint32_t attributes) {
  const sim::ChangeCall change(sim::CountsAsChange(path));
  sim::Op op;
  sim::Resolved r;
  if (!sim::Resolve(op.m(), path, r)) return false;
  if (!r.exists) return Fail(sim::MissingError(r));
  if (sim::StoreAttributes(op.m(), r, sim::NormalizeAttributes(attributes))) op.Changed();
  return true;
}

bool CreateDirectoryW(const std::string& path) {
  const sim::ChangeCall change(sim::CountsAsChange(path + "\\"));
  sim::Op op;
  sim::Resolved r;
  if (!sim::Resolve(op.m(), path, r)) return false;
  if (r.exists) return Fail(kERROR_ALREADY_EXISTS);
  if (!r.parentExists) return Fail(kERROR_PATH_NOT_FOUND);
  if (::mkdir(r.host.c_str(), 0755) != 0) return Fail(sim::ErrorFromErrno(errno));
  if (sim::DropMeta(op.m(), r.windows)) op.Changed();
  return true;
}

bool RemoveDirectoryW(const std::string& path) {
  const sim::ChangeCall change(sim::CountsAsChange(path + "\\"));
  sim::Op op;
  sim::Machine& m = op.m();
  sim::Resolved r;
  if (!sim::Resolve(m, path, r)) return false;
  if (!r.exists) return Fail(sim::MissingError(r));
  if (!r.isDir) return Fail(sim::kERROR_DIRECTORY);
  if (r.isRoot || (sim::AttributesOf(m, r) & kFILE_ATTRIBUTE_READONLY)) {
    return Fail(kERROR_ACCESS_DENIED);
  }
  sim::Resolved cwd;
  if (sim::Resolve(m, m.currentDirectory, cwd) && cwd.host == r.host) {
    return Fail(kERROR_SHARING_VIOLATION);  // the program's current directory is held open
  }
  if (::rmdir(r.host.c_str()) != 0) return Fail(sim::ErrorFromErrno(errno));
  if (sim::DropMeta(m, r.windows)) op.Changed();
  return true;
}

bool DeleteFileW(const std::string& path) {
  const sim::ChangeCall change(sim::CountsAsChange(path));
  sim::Op op;
  sim::Machine& m = op.m();
  sim::Resolved r;
  if (!sim::Resolve(m, path, r)) return false;
  if (!r.exists) return Fail(sim::MissingError(r));
  if (r.trailingSlash && !r.isDir) return Fail(sim::kERROR_INVALID_NAME);
  if (r.isDir || (sim::AttributesOf(m, r) & kFILE_ATTRIBUTE_READONLY)) {
    return Fail(kERROR_ACCESS_DENIED);
  }
  if (sim::OpenConflict(r.host, sim::kDELETE,
                        kFILE_SHARE_READ | kFILE_SHARE_WRITE | kFILE_SHARE_DELETE)) {
    return Fail(kERROR_SHARING_VIOLATION);
  }
  if (::unlink(r.host.c_str()) != 0) return Fail(sim::ErrorFromErrno(errno));
  if (sim::DropMeta(m, r.windows)) op.Changed();
  return true;
}

// The sim's files are on the host's disk when a call returns: write-through changes nothing.
bool MoveFileExW(const std::string& from, const std::string& to, bool replace, bool) {
  const sim::ChangeCall change(sim::CountsAsChange(from) || sim::CountsAsChange(to));
  sim::Op op;
  sim::Machine& m = op.m();
  sim::Resolved f, t;
  if (!sim::Resolve(m, from, f)) return false;
  if (!f.exists) return Fail(sim::MissingError(f));
  if (!sim::Resolve(m, to, t)) return false;
  if (std::toupper(f.windows[0]) != std::toupper(t.windows[0])) {
    return Fail(sim::kERROR_NOT_SAME_DEVICE);
  }
  if (!t.exists && !t.parentExists) return Fail(kERROR_PATH_NOT_FOUND);
  const uint32_t allShare = kFILE_SHARE_READ | kFILE_SHARE_WRITE | kFILE_SHARE_DELETE;
  const bool same = t.exists && sim::SameHostFile(f.host, t.host);
  if (same) {
    // Renaming to the same entry: only the case of the name changes.
    const std::string name = sim::LastName(sim::FullWindowsPath(m, to));
    t.host = sim::ParentHost(t.host) + "/" + name;
    t.windows = sim::JoinWindows(sim::ParentWindows(t.windows), name);
  } else if (t.exists) {
    if (!replace) return Fail(kERROR_ALREADY_EXISTS);
    if (t.isDir || f.isDir || (sim::AttributesOf(m, t) & kFILE_ATTRIBUTE_READONLY)) {
      return Fail(kERROR_ACCESS_DENIED);
    }
    if (sim::OpenConflict(t.host, sim::kDELETE, allShare)) return Fail(kERROR_SHARING_VIOLATION);
  }
  if (sim::OpenConflict(f.host, sim::kDELETE, allShare)) return Fail(kERROR_SHARING_VIOLATION);
  if (::rename(f.host.c_str(), t.host.c_str()) != 0) return Fail(sim::ErrorFromErrno(errno));

  // Metadata moves with the entry (and, for a folder, with everything under it).
  bool changed = false;
  if (!same) changed |= sim::DropMeta(m, t.windows);
  std::vector<std::pair<std::string, sim::FileMeta>> moved;
  const std::string prefix = f.windows + "\\";
  for (auto it = m.files.begin(); it != m.files.end();) {
    if (txt::SameText(it->first, f.windows)) {
      moved.emplace_back(t.windows, std::move(it->second));
    } else if (f.isDir && txt::StartsText(prefix, it->first)) {
      moved.emplace_back(t.windows + "\\" + it->first.substr(prefix.size()), std::move(it->second));
    } else {
      ++it;
      continue;
    }
    it = m.files.erase(it);
  }
  for (auto& [key, meta] : moved)
    m.files[key] = std::move(meta);
  changed |= !moved.empty();
  if (changed) op.Changed();
  return true;
}

bool ReplaceFileW(const std::string& replaced, const std::string& replacement) {
  const sim::ChangeCall change(sim::CountsAsChange(replaced));
  sim::Op op;
  sim::Machine& m = op.m();
  sim::Resolved d, r;
  if (!sim::Resolve(m, replaced, d) || !sim::Resolve(m, replacement, r)) return false;
  if (!d.exists) return Fail(sim::MissingError(d));
  if (!r.exists) return Fail(kERROR_UNABLE_TO_MOVE_REPLACEMENT);
  if (d.isDir || r.isDir || (sim::AttributesOf(m, d) & kFILE_ATTRIBUTE_READONLY)) {
    return Fail(kERROR_ACCESS_DENIED);
  }
  if (std::toupper(d.windows[0]) != std::toupper(r.windows[0])) {
    return Fail(kERROR_UNABLE_TO_MOVE_REPLACEMENT);
  }
  if (sim::SameHostFile(d.host, r.host)) return Fail(kERROR_SHARING_VIOLATION);
  // The replaced file is opened for deletion, the replacement is moved.
  const uint32_t allShare = kFILE_SHARE_READ | kFILE_SHARE_WRITE | kFILE_SHARE_DELETE;
  if (sim::OpenConflict(d.host, kGENERIC_READ | sim::kDELETE, allShare)) {
    return Fail(kERROR_SHARING_VIOLATION);
  }
  if (sim::OpenConflict(r.host, sim::kDELETE, allShare)) {
    return Fail(kERROR_UNABLE_TO_MOVE_REPLACEMENT);
  }
  if (::rename(r.host.c_str(), d.host.c_str()) != 0) {
    return Fail(kERROR_UNABLE_TO_REMOVE_REPLACED);
  }
  // The file keeps the replaced one's name and metadata; the replacement's go.
  if (sim::DropMeta(m, r.windows)) op.Changed();
  return true;
}

bool CopyFileW(const std::string& from, const std::string& to, bool failIfExists) {
  const sim::ChangeCall change(sim::CountsAsChange(to));
  sim::Op op;
  sim::Machine& m = op.m();
  sim::Resolved f, t;
  if (!sim::Resolve(m, from, f)) return false;
  if (!f.exists) return Fail(sim::MissingError(f));
  if (f.isDir) return Fail(kERROR_ACCESS_DENIED);
  if (sim::OpenConflict(f.host, kGENERIC_READ, kFILE_SHARE_READ | kFILE_SHARE_WRITE)) {
    return Fail(kERROR_SHARING_VIOLATION);
  }
  if (!sim::Resolve(m, to, t)) return false;
  if (!t.exists && !t.parentExists) return Fail(kERROR_PATH_NOT_FOUND);
  const uint32_t sourceAttrs = sim::AttributesOf(m, f);
  if (t.exists) {
    if (t.isDir) return Fail(kERROR_ACCESS_DENIED);
    if (sim::SameHostFile(f.host, t.host)) return Fail(kERROR_SHARING_VIOLATION);
    if (failIfExists) return Fail(kERROR_FILE_EXISTS);
    const uint32_t targetAttrs = sim::AttributesOf(m, t);
    if ((targetAttrs & kFILE_ATTRIBUTE_READONLY) ||
        ((targetAttrs & kFILE_ATTRIBUTE_HIDDEN) && !(sourceAttrs & kFILE_ATTRIBUTE_HIDDEN)) ||
        ((targetAttrs & kFILE_ATTRIBUTE_SYSTEM) && !(sourceAttrs & kFILE_ATTRIBUTE_SYSTEM))) {
      return Fail(kERROR_ACCESS_DENIED);
    }
    if (sim::OpenConflict(t.host, kGENERIC_WRITE, 0)) return Fail(kERROR_SHARING_VIOLATION);
  }
  const int in = ::open(f.host.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Fail(sim::ErrorFromErrno(errno));
  const int out = ::open(t.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    const int err = errno;
    ::close(in);
    return Fail(sim::ErrorFromErrno(err));
  }
  char buffer[65536];
  int64_t offset = 0;
  bool ok = true;
  int err = 0;
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) ok = false, err = errno;
      break;
    }
    if (!sim::HostWriteAll(out, buffer, static_cast<size_t>(n), offset)) {
      ok = false;
      err = errno;
      break;
    }
    offset += n;
  }
  struct stat st {};
  if (ok && ::fstat(in, &st) == 0) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);  // the copy keeps the time it was last written
  }
  ::close(in);
  ::close(out);
  if (!ok) return Fail(sim::ErrorFromErrno(err));

  // The copy carries the source's attributes and version resource.
  std::optional<sim::VersionResource> version;
  if (const sim::FileMeta* meta = sim::FindMeta(m, f.windows)) version = meta->version;
  if (!t.exists)
    t.windows = sim::JoinWindows(sim::ParentWindows(t.windows), sim::LastName(t.windows));
  m.files.erase(t.windows);
  t.exists = true;
  t.isDir = false;
  sim::StoreAttributes(m, t, (sourceAttrs & ~kFILE_ATTRIBUTE_NORMAL) | kFILE_ATTRIBUTE_ARCHIVE);
  if (version) m.files[t.windows].version = std::move(version);
  op.Changed();
  return true;
}

bool FindFiles(const std::string& pattern, std::vector<FindData>& out) {
  out.clear();
  sim::Op op;
  sim::Machine& m = op.m();
  const size_t sep = pattern.find_last_of("\\/");
  std::string dirPart, name;
  if (sep != std::string::npos) {
    dirPart = pattern.substr(0, sep + 1);
    name = pattern.substr(sep + 1);
  } else if (pattern.size() >= 2 && pattern[1] == ':') {
    dirPart = pattern.substr(0, 2);
    name = pattern.substr(2);
  } else {
    dirPart = ".";
    name = pattern;
  }
  sim::Resolved dir;
  if (!sim::Resolve(m, dirPart, dir)) return false;
  if (!dir.exists || !dir.isDir) return Fail(kERROR_PATH_NOT_FOUND);
  if (name.empty()) return Fail(kERROR_FILE_NOT_FOUND);
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '<' || c == '>' || c == ':' || c == '"' ||
        c == '|') {
      return Fail(sim::kERROR_INVALID_NAME);
    }
  }
  const sim::NamePattern p = sim::MakePattern(name);
  // "." and ".." of a folder that is not a drive's root match too; the caller never
  // sees them, but they make the search succeed.
  const bool dotsMatch = !dir.isRoot && (sim::Matches(p, ".") || sim::Matches(p, ".."));
  DIR* d = ::opendir(dir.host.c_str());
  if (!d) return Fail(sim::ErrorFromErrno(errno));
  while (const dirent* e = ::readdir(d)) {
    const std::string entry = e->d_name;
    if (entry == "." || entry == ".." || !sim::Matches(p, entry)) continue;
    sim::Resolved child;
    child.windows = sim::JoinWindows(dir.windows, entry);
    child.host = dir.host + "/" + entry;
    struct stat st {};
    if (::stat(child.host.c_str(), &st) != 0) continue;
    child.exists = true;
    child.isDir = S_ISDIR(st.st_mode);
    FindData data;
    data.name = entry;
    data.attributes = sim::AttributesOf(m, child);
    data.size = child.isDir ? 0 : st.st_size;
    out.push_back(std::move(data));
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(), [](const FindData& a, const FindData& b) {
    return txt::CompareText(a.name, b.name) < 0;
  });
  if (out.empty() && !dotsMatch) return Fail(kERROR_FILE_NOT_FOUND);
  return true;
}

std::string GetCurrentDirectoryW() {
  sim::Op op;
  return op.m().currentDirectory;
}

bool SetCurrentDirectoryW(const std::string& path) {
  sim::Op op;
  sim::Resolved r;
  if (!sim::Resolve(op.m(), path, r)) return false;
  if (!r.exists) return Fail(sim::MissingError(r));
  if (!r.isDir) return Fail(sim::kERROR_DIRECTORY);
  std::string full = sim::FullWindowsPath(op.m(), path);
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  op.m().currentDirectory = full;  // the program's own: not written to the machine file
  return true;
}

std::string GetFullPathNameW(const std::string& path) {
  sim::Op op;
  return sim::FullWindowsPath(op.m(), path);
}

std::string GetTempPathW() {
  sim::Op op;
  const sim::Machine& m = op.m();
  std::string dir;
  for (const char* name : {"TMP", "TEMP", "USERPROFILE"}) {
    const auto it = m.environment.find(name);
    if (it != m.environment.end() && !it->second.empty()) {
      dir = it->second;
      break;
    }
  }
  if (dir.empty()) {
    const auto it = m.specialFolders.find(kCSIDL_WINDOWS);
    dir = it != m.specialFolders.end() ? it->second : "C:\\Windows";
  }
  std::string full = sim::FullWindowsPath(m, dir);
  if (full.empty() || full.back() != '\\') full += "\\";
  return full;
}

}  // namespace plat
