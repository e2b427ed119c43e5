// Building machines: seeding host folders (Materialize), the test builder and
// ScopedMachine.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "platform/Text.h"
#include "platform/sim/SimInternal.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

bool IsWindowsFullPath(const std::string& p) {
  return p.size() >= 3 && p[1] == ':' && (p[2] == '\\' || p[2] == '/');
}

std::string ParentOf(const std::string& windowsPath) {
  const size_t pos = windowsPath.find_last_of('\\');
  if (pos == std::string::npos || pos < 2) return {};
  return windowsPath.substr(0, pos == 2 ? 3 : pos);
}

bool WriteHost(const std::string& host, const std::string& bytes) {
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// Small stand-in for a program file: the "MZ" mark and a line of text.
std::string Placeholder(const std::string& windowsPath) {
  const std::string ext = txt::LowerCase(windowsPath.substr(windowsPath.find_last_of('.') + 1));
  if (ext != "exe" && ext != "dll" && ext != "sys") return {};
  std::string bytes = "MZ";
  bytes.resize(64, '\0');
  return bytes + "Placeholder of a program on a simulated Windows machine.\r\n";
}

}  // namespace

// Creates a folder and every missing level above it. Existing names are matched
// without regard to case; below the first missing name nothing can exist, so the
// rest is created as spelled.
bool EnsureFolder(const Machine& m, const std::string& windowsPath) {
  const uint32_t saved = Error();
  Resolved r;
  bool ok = Resolve(m, windowsPath, r);
  SetError(saved);
  if (!ok) return false;
  if (r.exists) return r.isDir;
  std::error_code ec;
  fs::create_directories(r.host, ec);
  return !ec;
}

namespace {

// Writes a host file for a Windows path, creating its folders; keeps an existing
// file when keep is true.
bool PutFile(const Machine& m, const std::string& windowsPath, const std::string& bytes,
             bool keep) {
  const std::string full = FullWindowsPath(m, windowsPath);
  const std::string parent = ParentOf(full);
  if (parent.empty() || !EnsureFolder(m, parent)) return false;
  const uint32_t saved = Error();
  Resolved r;
  const bool ok = Resolve(m, full, r);
  SetError(saved);
  if (!ok) return false;
  if (r.exists && keep) return true;
  return WriteHost(r.host, bytes);
}

}  // namespace

bool Materialize(const Machine& m, std::string& error) {
  for (const auto& [letter, folder] : m.drives) {
    const std::string root = DriveRoot(m, letter);
    std::error_code ec;
    if (root.empty()) continue;
    fs::create_directories(root, ec);
    if (ec) {
      error = "cannot create the folder of drive " + std::string(1, letter) + ": " + root;
      return false;
    }
  }
  const auto mapped = [&](const std::string& p) {
    return IsWindowsFullPath(p) && !DriveRoot(m, p[0]).empty();
  };
  std::vector<std::string> folders;
  for (const auto& [csidl, path] : m.specialFolders)
    folders.push_back(path);
  for (const char* name : {"TEMP", "TMP", "USERPROFILE", "APPDATA", "LOCALAPPDATA", "ProgramData",
                           "ProgramFiles", "ProgramFiles(x86)", "ProgramW6432", "PUBLIC",
                           "SystemRoot", "windir", "CommonProgramFiles", "ALLUSERSPROFILE"}) {
    const auto it = m.environment.find(name);
    if (it != m.environment.end()) folders.push_back(it->second);
  }
  folders.push_back(m.systemDir);
  folders.push_back(m.currentDirectory);
  std::vector<std::string> files = {m.exePath};
  for (const auto& [path, meta] : m.files) {
    const bool dir = meta.attributes && (*meta.attributes & plat::kFILE_ATTRIBUTE_DIRECTORY);
    (dir ? folders : files).push_back(path);
  }
  for (const Process& p : m.processes)
    files.push_back(p.imagePath);
  for (const auto& [path, exports] : m.libraries)
    files.push_back(path);
  for (const std::string& folder : folders) {
    if (mapped(folder) && !EnsureFolder(m, folder)) {
      error = "cannot create the folder " + folder;
      return false;
    }
  }
  for (const std::string& file : files) {
    if (mapped(file) && !PutFile(m, file, Placeholder(file), true)) {
      error = "cannot create the file " + file;
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------- MachineBuilder

MachineBuilder::MachineBuilder() : machine_(std::make_unique<Machine>()) {
  std::string error;
  if (!Parse(DefaultMachineText(), *machine_, error)) {
    std::fprintf(stderr, "vlxsim: default machine: %s\n", error.c_str());
    std::abort();
  }
  // Scratch machines go to $TMPDIR, else to memory (/dev/shm) when there is one:
  // seeding a machine's folders there is several times faster than on a disk.
  const char* tmp = std::getenv("TMPDIR");
  std::string base = tmp && *tmp ? tmp : "/tmp";
  if (!(tmp && *tmp) && ::access("/dev/shm", W_OK) == 0) base = "/dev/shm";
  std::string pattern = base + "/vlxsim-test-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    std::perror("vlxsim: mkdtemp");
    std::abort();
  }
  tempDir_ = pattern;
  machine_->home = tempDir_;
  machine_->drives.clear();
  machine_->drives['C'] = "drive_c";
  machine_->manualClock = true;
}

MachineBuilder::MachineBuilder(MachineBuilder&& other) noexcept
    : machine_(std::move(other.machine_)),
      files_(std::move(other.files_)),
      tempDir_(std::exchange(other.tempDir_, std::string())) {}

MachineBuilder::~MachineBuilder() {
  if (!tempDir_.empty()) {
    std::error_code ec;
    fs::remove_all(tempDir_, ec);
  }
}

MachineBuilder& MachineBuilder::Os(uint32_t major, uint32_t minor, uint32_t build,
                                   uint8_t productType) {
  machine_->os.major = major;
  machine_->os.minor = minor;
  machine_->os.build = build;
  machine_->os.productType = productType;
  return *this;
}

MachineBuilder& MachineBuilder::SuiteMask(uint16_t mask) {
  machine_->os.suiteMask = mask;
  return *this;
}

MachineBuilder& MachineBuilder::Architecture(uint16_t nativeArch, bool wow64) {
  machine_->nativeArchitecture = nativeArch;
  machine_->wow64 = wow64;
  machine_->processArchitecture = wow64 ? plat::kPROCESSOR_ARCHITECTURE_INTEL : nativeArch;
  return *this;
}

MachineBuilder& MachineBuilder::ServerR2(int value) {
  machine_->serverR2 = value;
  return *this;
}

MachineBuilder& MachineBuilder::User(const std::string& name) {
  machine_->userName = name;
  machine_->environment["USERNAME"] = name;
  return *this;
}

MachineBuilder& MachineBuilder::ExePath(const std::string& path) {
  machine_->exePath = path;
  return *this;
}

MachineBuilder& MachineBuilder::Env(const std::string& name, const std::string& value) {
  machine_->environment[name] = value;
  return *this;
}

MachineBuilder& MachineBuilder::NoEnv(const std::string& name) {
  machine_->environment.erase(name);
  return *this;
}

MachineBuilder& MachineBuilder::Folder(int csidl, const std::string& path) {
  machine_->specialFolders[csidl] = path;
  return *this;
}

MachineBuilder& MachineBuilder::NoFolder(int csidl) {
  machine_->specialFolders.erase(csidl);
  return *this;
}

MachineBuilder& MachineBuilder::CodePage(uint32_t acp) {
  machine_->ansiCodePage = acp;
  return *this;
}

MachineBuilder& MachineBuilder::Language(uint16_t langId) {
  machine_->systemDefaultLangId = langId;
  return *this;
}

MachineBuilder& MachineBuilder::DecimalSeparator(const std::string& sep) {
  machine_->decimalSeparator = sep;
  return *this;
}

namespace {

RegKeyNode& BuilderKey(Machine& m, const std::string& key) {
  plat::RegKey root = 0;
  std::vector<std::string> names;
  if (!SplitRegistryPath(key, root, names)) {
    std::fprintf(stderr, "MachineBuilder: '%s' is not a registry key\n", key.c_str());
    std::abort();
  }
  return CreateRegistryPath(m, root, names);
}

}  // namespace

MachineBuilder& MachineBuilder::RegKey(const std::string& key, uint32_t allowedAccess) {
  BuilderKey(*machine_, key).allowedAccess = allowedAccess;
  return *this;
}

MachineBuilder& MachineBuilder::RegSz(const std::string& key, const std::string& name,
                                      const std::string& value) {
  return RegRaw(key, name, plat::kREG_SZ, txt::Utf8ToUtf16LeBytes(value) + std::string(2, '\0'));
}

MachineBuilder& MachineBuilder::RegDword(const std::string& key, const std::string& name,
                                         uint32_t value) {
  return RegRaw(key, name, plat::kREG_DWORD,
                std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

MachineBuilder& MachineBuilder::RegQword(const std::string& key, const std::string& name,
                                         uint64_t value) {
  return RegRaw(key, name, plat::kREG_QWORD,
                std::string(reinterpret_cast<const char*>(&value), sizeof value));
}

MachineBuilder& MachineBuilder::RegRaw(const std::string& key, const std::string& name,
                                       uint32_t type, const std::string& bytes) {
  SetRegistryValue(BuilderKey(*machine_, key), RegValue{name, type, bytes});
  return *this;
}

MachineBuilder& MachineBuilder::File(const std::string& path, const std::string& bytes) {
  files_.emplace_back(path, bytes);
  return *this;
}

MachineBuilder& MachineBuilder::Attributes(const std::string& path, uint32_t attributes) {
  std::string key = FullWindowsPath(*machine_, path);
  if (key.size() > 3 && key.back() == '\\') key.pop_back();
  machine_->files[key].attributes = attributes;
  return *this;
}

MachineBuilder& MachineBuilder::Version(const std::string& path, const VersionResource& version) {
  std::string key = FullWindowsPath(*machine_, path);
  if (key.size() > 3 && key.back() == '\\') key.pop_back();
  machine_->files[key].version = version;
  return *this;
}

MachineBuilder& MachineBuilder::AddProcess(const Process& process) {
  Process p = process;
  if (p.pid == 0) p.pid = machine_->nextPid++;
  machine_->processes.push_back(std::move(p));
  return *this;
}

MachineBuilder& MachineBuilder::DriveDevice(char letter, const std::string& device) {
  machine_->driveDevices[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] =
      device;
  return *this;
}

MachineBuilder& MachineBuilder::Tick(uint64_t ms) {
  machine_->tickMs = ms;
  return *this;
}

MachineBuilder& MachineBuilder::LocalTime(double serial) {
  machine_->localTime = MsToSerial(SerialToMs(serial));
  return *this;
}

MachineBuilder& MachineBuilder::Window(const std::string& className, const std::string& caption,
                                       bool present) {
  MachineWindow w;
  w.className = className;
  w.caption = caption;
  w.present = present;
  machine_->windows.push_back(std::move(w));
  return *this;
}

MachineBuilder& MachineBuilder::Window(const MachineWindow& window) {
  machine_->windows.push_back(window);
  return *this;
}

MachineBuilder& MachineBuilder::MessageBoxAnswer(int answer) {
  machine_->messageBoxAnswer = answer;
  return *this;
}

MachineBuilder& MachineBuilder::With(const std::function<void(Machine&)>& change) {
  change(*machine_);
  return *this;
}

std::unique_ptr<Machine> MachineBuilder::Build() {
  std::string error;
  if (!Materialize(*machine_, error)) {
    std::fprintf(stderr, "MachineBuilder: %s\n", error.c_str());
    std::abort();
  }
  for (const auto& [path, bytes] : files_) {
    if (!PutFile(*machine_, path, bytes, false)) {
      std::fprintf(stderr, "MachineBuilder: cannot write %s\n", path.c_str());
      std::abort();
    }
  }
  files_.clear();
  tempDir_.clear();  // the folder now belongs to whoever holds the machine
  return std::move(machine_);
}

// ---------------------------------------------------------------- ScopedMachine

ScopedMachine::ScopedMachine(MachineBuilder& builder) {
  tempDir_ = builder.tempDir_;
  session_ = Session::InMemory(builder.Build());
  previous_ = Install(session_);
}

ScopedMachine::ScopedMachine(MachineBuilder&& builder) : ScopedMachine(builder) {}

ScopedMachine::~ScopedMachine() {
  Install(previous_);
  session_.reset();
  if (!tempDir_.empty()) {
    std::error_code ec;
    fs::remove_all(tempDir_, ec);
  }
}

Machine& ScopedMachine::machine() {
  return session_->machine();
}

std::string ScopedMachine::Host(const std::string& windowsPath) const {
  return HostPath(session_->machine(), windowsPath);
}

std::string ScopedMachine::ReadFile(const std::string& windowsPath) const {
  const std::string host = Host(windowsPath);
  std::ifstream in(host, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void ScopedMachine::WriteFile(const std::string& windowsPath, const std::string& bytes) const {
  if (!PutFile(session_->machine(), windowsPath, bytes, false)) {
    std::fprintf(stderr, "ScopedMachine: cannot write %s\n", windowsPath.c_str());
  }
}

bool ScopedMachine::Exists(const std::string& windowsPath) const {
  const uint32_t saved = Error();
  Resolved r;
  const bool ok = Resolve(session_->machine(), windowsPath, r) && r.exists;
  SetError(saved);
  return ok;
}

}  // namespace sim
