// The simulated Windows machine behind the sim backend of the platform seam.
//
// One machine is one human-readable text file (docs/sim-machine.md). Files under
// mapped drives are real files in host folders; everything a real file cannot
// carry (attributes, version resources), and everything that is not a file
// (registry, processes, version facts, ...) lives in the machine.
//
// Programs find their machine through VLXSIM_HOME (the folder holding
// "machine.txt" and the drive folders); unit tests build machines in memory with
// MachineBuilder and install them with ScopedMachine.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimMonitors.h"
#include "platform/sim/SimServiceTable.h"

namespace sim {

// Case-insensitive ordering for Windows names (registry keys, values, env, paths).
struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

struct RegValue {
  std::string name;  // as written (case kept)
  uint32_t type = plat::kREG_SZ;
  std::string data;  // raw bytes as RegQueryValueExW returns them
};

struct RegKeyNode {
  std::string name;  // as created (case kept)
  // Access rights a caller may open this key with; a wider request fails with 5.
  uint32_t allowedAccess = plat::kKEY_ALL_ACCESS;
  std::vector<RegValue> values;  // in creation order
  // Subkeys enumerate in this (case-insensitive, alphabetical) order, as on Windows.
  std::map<std::string, std::unique_ptr<RegKeyNode>, NoCaseLess> subkeys;
};

struct VersionResource {
  // VS_FIXEDFILEINFO versions as four numbers each.
  uint16_t fileVersion[4] = {0, 0, 0, 0};
  uint16_t productVersion[4] = {0, 0, 0, 0};
  uint32_t fileFlagsMask = 0x3F, fileFlags = 0, fileOS = 0x40004, fileType = 1, fileSubtype = 0;
  // Translations (language, code page), in order; string tables keyed by
  // "LLLLCCCC" (eight upper-case hex digits), each a list of (name, value).
  std::vector<std::pair<uint16_t, uint16_t>> translations;
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>
      stringTables;
};

struct FileMeta {
  // When unset the file reads as ARCHIVE (a folder as DIRECTORY). The DIRECTORY
  // bit marks an entry that seeding a machine creates as a folder.
  std::optional<uint32_t> attributes;
  std::optional<VersionResource> version;
};

struct Process {
  uint32_t pid = 0;
  uint32_t parentPid = 0;
  std::string exeFile;    // "explorer.exe"
  std::string imagePath;  // "C:\Windows\explorer.exe"
  std::string owner;      // account name without domain; "SYSTEM" for services
  uint32_t threads = 1;
  int32_t basePriority = 8;
  bool canOpen = true;       // OpenProcess succeeds for this process
  bool canTerminate = true;  // TerminateProcess succeeds
  std::string commandLine;
  uint32_t priorityClass = plat::kNORMAL_PRIORITY_CLASS;  // GetPriorityClass
  // Rights OpenProcess grants; asking for any other right fails with 5.
  uint32_t access = plat::kPROCESS_ALL_ACCESS;
  bool tokenReadable = true;  // OpenProcessToken succeeds
  // Its token: elevation type (plat::kTokenElevationType...), whether it is
  // elevated, and the session.
  uint32_t elevationType = plat::kTokenElevationTypeDefault;
  bool elevated = false;
  uint32_t session = 1;
  uint64_t created = 0;  // creation time (FILETIME), 0 when not known
  // Working set in 4096-byte pages: private pages, shared pages, and shared pages
  // in the system range 0xC0000000-0xE0000000.
  uint32_t wsPrivate = 0, wsShared = 0, wsSharedHigh = 0;
  // Image path in device form when it does not follow from imagePath (a volume
  // without a drive letter): "\Device\HarddiskVolume7\Tools\x.exe".
  std::string devicePath;
  // Recorded for processes the program started (CreateProcessW).
  std::string currentDirectory;
  int show = -1;  // the show value of the start-up information; -1: not recorded
  // Keys of the machine file this version does not know, kept in order.
  std::map<std::string, std::string> extra;
};

// A top-level window of another program ("[window <class>]" in the machine file).
// Its handle follows from its place in the list, so it stays the same across runs.
struct MachineWindow {
  std::string className;
  std::string caption;
  bool present = true;  // FindWindowW finds it; false: the handle names no window
  uint32_t pid = 0;     // owning process (GetWindowThreadProcessId)
  bool visible = true;
  bool iconic = false;                           // minimised
  int left = 0, top = 0, right = 0, bottom = 0;  // screen rectangle
  // Class of the parent window (the first window of that class): a child window,
  // which EnumWindows does not visit and FindWindowExW finds. Empty: top-level.
  std::string parent;
  int lastShow = -1;  // the last ShowWindow command (-1: none)
};

// The handle of the machine's window at index (its place in Machine::windows).
uint64_t MachineWindowHandle(size_t index);

// Memory figures (GlobalMemoryStatusEx). Each call first takes the next scripted
// (total physical, available physical) pair, when there is one, into the figures.
struct MachineMemory {
  plat::MemoryStatus status{35,
                            17179869184ull,
                            11166914969ull,
                            19595788288ull,
                            12884901888ull,
                            140737488224256ull,
                            140733193388032ull};
  std::vector<std::pair<uint64_t, uint64_t>> script;
  std::vector<uint32_t> trims;  // pids whose working sets were trimmed, in order
};

// The clipboard: the formats it holds and the window of another program that holds
// it open (empty: nobody).
struct MachineClipboard {
  std::vector<std::string> formats;
  std::string heldBy;
  bool openByProgram = false;  // this program opened it (not persisted)
};
// A message this program sent or posted to a window of another program.
struct LoggedMessage {
  std::string className;  // of the target window
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  bool sent = false;  // SendMessageW (else PostMessageW)
  uint64_t tick = 0;  // the machine's tick at the call
};
struct ShellCall {  // ShellExecuteW
  std::string verb, file, parameters, directory;
  int show = 0;
};
struct MessageBoxCall {  // MessageBoxW
  std::string text, caption;
  uint32_t type = 0;
};
// An export of a stand-in library ("[library PATH]"): its kind names the function's
// signature and what a call records; results are the return value, then the values the
// kind hands back through its out-parameters (missing ones are 0); text is what a kind
// with a text out-parameter writes there.
struct LibraryExport {
  std::string kind;
  std::vector<int64_t> results = {};
  std::string text = {};
};
// A call of a stand-in export, its arguments as its kind shows them.
struct LibraryCall {
  std::string library;  // the library's file name
  std::string function;
  std::vector<std::string> arguments;
  int64_t result = 0;
};

// The Windows Update Agent's automatic-updates object ([updateagent]): its settings
// and the calls that fail. Calls of it and of COM's per-thread functions are recorded
// as [call N] of library "AutomaticUpdates" and "ole32.dll".
struct MachineUpdateAgent {
  bool serviceEnabled = true;
  int32_t level = 4;  // the notification level: 0 not configured, 1 disabled ... 4 scheduled
  bool readOnly = false;
  bool required = false;
  uint32_t saveDelay = 0;         // what Save takes on the machine clock (ms)
  std::vector<std::string> fail;  // these calls fail ("CoCreateInstance", "Save", ...)
  bool operator==(const MachineUpdateAgent&) const = default;
};

struct Machine {
  // Version facts.
  plat::OsVersionInfo os{10, 0, 19045, plat::kVER_PLATFORM_WIN32_NT, "",
                         0,  0, 0x100, plat::kVER_NT_WORKSTATION};
  uint16_t nativeArchitecture = plat::kPROCESSOR_ARCHITECTURE_AMD64;
  uint16_t processArchitecture = plat::kPROCESSOR_ARCHITECTURE_INTEL;  // the program is 32-bit
  bool hasGetNativeSystemInfo = true;
  bool hasIsWow64Process = true;
  std::vector<std::string> missingExports;  // further kernel32 functions this Windows lacks
  bool wow64 = true;                        // the program runs under WOW64
  int serverR2 = 0;                         // GetSystemMetrics(SM_SERVERR2)
  int screenWidth = 1920, screenHeight = 1080;
  uint32_t numberOfProcessors = 8;

  // Locale.
  uint32_t ansiCodePage = 1252;
  uint16_t systemDefaultLangId = 1033;
  std::string decimalSeparator = ".";

  // Session. exePath, currentDirectory, selfPid and environment belong to the
  // running program: a file-backed session starts with the file's values and
  // keeps its own changes of them to itself (they are never written back).
  std::string userName = "Gamer";
  std::string exePath = "C:\\Program Files (x86)\\Velmora\\VlxMini.exe";
  std::string systemDir = "C:\\Windows\\System32";  // kernel32.dll lives here
  std::string currentDirectory = "C:\\Program Files (x86)\\Velmora";
  uint32_t selfPid = 0;  // this program's pid in the process table (0 = not listed)
  std::map<std::string, std::string, NoCaseLess> environment;
  std::map<int, std::string> specialFolders;  // CSIDL -> path
  std::map<char, std::string> drives;         // 'C' -> host folder (relative: to home)
  // Device names of drives ('C' -> "\Device\HarddiskVolume3"). A letter without
  // one is "\Device\HarddiskVolumeN" with C = 1, D = 2, ...; a letter listed only
  // here is a drive without contents (GetLogicalDriveStringsW lists it).
  std::map<char, std::string> driveDevices;
  std::string home;  // host folder relative drive folders are resolved against (not persisted)

  // Registry: roots by predefined handle value, each holding the 64-bit view
  // (the 32-bit view of HKLM\SOFTWARE is its WOW6432Node subkey).
  std::map<plat::RegKey, std::unique_ptr<RegKeyNode>> registry;

  // Per-file metadata, keyed by Windows path (case-insensitive).
  std::map<std::string, FileMeta, NoCaseLess> files;

  std::vector<Process> processes;  // in snapshot order
  std::vector<Service> services;   // the service manager's table (SimServiceTable.h)
  uint32_t nextPid = 10000;
  // psapi.dll exports these functions.
  bool hasGetProcessImageFileNameW = true;
  bool hasGetModuleFileNameExW = true;
  bool hasQueryWorkingSet = true;
  // The program runs elevated: its token holds every privilege (else only the
  // few a standard user's token holds).
  bool elevated = true;
  // The program's own token: elevation type (a UAC-elevated program's is full)
  // and session.
  uint32_t elevationType = plat::kTokenElevationTypeFull;
  uint32_t session = 1;
  // Privileges enabled on the program's own token, by name.
  std::vector<std::string> enabledPrivileges = {"SeChangeNotifyPrivilege"};

  // Clock. Manual clocks move only when told (or when the program sleeps);
  // real clocks follow the host's clock.
  bool manualClock = true;
  uint64_t tickMs = 5000000;  // milliseconds since boot
  double localTime = 0;       // day serial of the local time at tickMs (manual clock)

  // Desktop: windows of other programs and what this program did to them.
  std::vector<MachineWindow> windows;
  std::vector<LoggedMessage> messageLog;
  std::vector<ShellCall> shellCalls;
  std::vector<MessageBoxCall> messageBoxes;
  int messageBoxAnswer = 1;  // what MessageBoxW returns
  // Stand-in libraries of other programs by Windows path: export name -> export.
  // LoadLibraryW finds them like any DLL file; GetProcAddress hands out their exports.
  std::map<std::string, std::map<std::string, LibraryExport>, NoCaseLess> libraries;
  std::vector<LibraryCall> calls;    // calls of those exports, in order
  std::optional<uint32_t> exitCode;  // set by ExitProcess
  // A program that counts its changes (CountChanges) is ended at its endAtChange-th
  // state-changing call, before the call acts, as TerminateProcess would end it: the
  // key is cleared and the process exits with kEndedAtChangeExitCode (0 = never).
  uint64_t endAtChange = 0;
  uint32_t foregroundLockTimeout = 200000;
  // Windows' foreground lock: when set, SetForegroundWindow is refused (the
  // window only flashes) while foregroundLockTimeout is not 0 and another
  // window is in front.
  bool foregroundLock = false;
  int logPixelsY = 96;
  int taskbarHeight = 40;       // the work area is the screen less the taskbar at the bottom
  bool hasDpiFunctions = true;  // IsProcessDPIAware, shcore's DPI awareness functions
  int dpiAwareness = 0;         // PROCESS_DPI_AWARENESS of this program (not persisted)

  MachineMemory memory;
  MachineClipboard clipboard;
  MachineUpdateAgent updateAgent;
  int32_t randomValue = 0;  // what plat::Random gives (less than its range)

  // Debug output (OutputDebugStringW), not persisted.
  std::vector<std::string> debugOutput;

  // Monitors, their DDC/CI state and the journal of DDC/CI calls ([monitor N], [ddcjournal]).
  MonitorState monitors;

  // Keys of [machine] this version does not know, kept in order.
  std::vector<std::pair<std::string, std::string>> extra;
  // Sections of the machine file this version does not know, kept verbatim.
  std::vector<std::string> unknownSections;
};

// ---------------------------------------------------------------- the current machine
// The sim backend works on one machine at a time. Lock() serialises access among
// threads and, for a file-backed machine, among processes (flock on
// home/machine.lock) and picks up changes other processes wrote; Changed() writes
// a file-backed machine through at once (atomic replace). Hold the lock across a
// whole read-modify-Changed() step. Lock() is recursive.
class Session {
 public:
  // The lock type Lock() hands out (a recursive mutex plus the inter-process lock).
  class Mutex {
   public:
    explicit Mutex(Session& s) : s_(s) {}
    void lock();
    void unlock();

   private:
    Session& s_;
  };
  ~Session();
  // Machine backed by home/machine.txt (created from the default when missing).
  static std::shared_ptr<Session> OpenHome(const std::string& homeDir);
  // The same, seeding a home that holds no machine yet from seedText. Both throw
  // std::runtime_error (with the line of a parse error) when the machine is unusable.
  static std::shared_ptr<Session> OpenHome(const std::string& homeDir, const std::string& seedText);
  // Machine kept in memory only.
  static std::shared_ptr<Session> InMemory(std::unique_ptr<Machine> machine);

  std::unique_lock<Mutex> Lock();
  Machine& machine();      // call with the lock held
  void Changed();          // persist after a change (no-op in memory)
  void ReloadIfChanged();  // pick up changes other processes wrote (file-backed)
  const std::string& homeDir() const { return home_; }
  // Replaces the whole machine (written through like any change). The new
  // machine's own-program fields become the file's and this program's.
  void Replace(std::unique_ptr<Machine> machine);

 private:
  struct Local;  // the running program's own fields (see Machine)
  static void ExchangeLocal(Machine& m, Local& l);
  Session() = default;
  void Load();  // reads home/machine.txt (lock held)
  std::string Stamp() const;
  uint64_t ReadGeneration() const;

  std::recursive_mutex mutex_;
  Mutex lockable_{*this};
  int depth_ = 0;    // nesting of Lock() (mutex_ held)
  int lockFd_ = -1;  // home/machine.lock
  std::unique_ptr<Machine> machine_;
  std::unique_ptr<Local> fileLocal_;  // those fields as the file has them
  std::string home_;
  std::string stamp_;
  uint64_t generation_ = 0;
};

// Installs a session as the current one (replacing any other). Returns the old one.
std::shared_ptr<Session> Install(std::shared_ptr<Session> session);
// The current session; on first use opens $VLXSIM_HOME (or fails loudly when unset).
Session& Current();
std::shared_ptr<Session> CurrentSession();

// The command line plat::GetCommandLineW reports (the Linux main passes its own);
// by default (or after SetCommandLine("")) the quoted exePath of the machine.
void SetCommandLine(const std::string& commandLine);
// The same from a Linux main's arguments: argument 0 becomes the machine's quoted
// exePath, the others follow, quoted when they hold blanks or are empty.
void SetCommandLineArgs(const std::vector<std::string>& args);

// ---------------------------------------------------------------- ended at a change
// Makes this process count its state-changing calls (files other than logs, registry,
// processes, services, machine windows, clipboard, monitors, stand-in library calls)
// from 0, so that the machine's endAtChange ends it (programs call it at start; the
// vlxsim tool does not). A call made inside another counted call is not counted.
void CountChanges();
// The exit code of a program ended at endAtChange.
inline constexpr int kEndedAtChangeExitCode = 86;

// ---------------------------------------------------------------- injected faults
// Failures the running program meets on purpose, for tests (not part of the machine
// file; a child process started by a test sets its own).
struct Faults {
  // Bytes WriteFile still writes; the one write that crosses the budget writes what
  // is left of it and fails with ERROR_DISK_FULL (a save cut off part-way), and the
  // budget is spent (-1 again). -1: no limit.
  std::atomic<int64_t> writeBudget{-1};
  std::atomic<bool> failWindowCreation{false};      // CreateAppWindow fails
  std::atomic<bool> failForegroundLockRead{false};  // GetForegroundLockTimeout fails
};
Faults& InjectedFaults();

// ---------------------------------------------------------------- machine file
std::string Serialize(const Machine& machine);
// Parses a machine file; on error returns false and describes it (line number).
bool Parse(const std::string& text, Machine& machine, std::string& error);
// The default machine compiled into the program: a believable gaming PC.
std::string DefaultMachineText();
// Creates on the host what a machine file names but cannot hold: the drive
// folders, the special folders, the program's folders, every [file] entry (folders
// for DIRECTORY entries, small placeholder files otherwise) and the processes'
// image files. Existing files are left alone. False with a message on failure.
bool Materialize(const Machine& machine, std::string& error);

// ---------------------------------------------------------------- path mapping
// Host path of a Windows path on a mapped drive; empty when the drive is not mapped.
std::string HostPath(const Machine& machine, const std::string& windowsPath);

// ---------------------------------------------------------------- test builder
// Builds a machine in memory for one test. Drive C: is mapped to a fresh
// temporary folder that ScopedMachine removes at the end.
class MachineBuilder {
 public:
  MachineBuilder();  // starts from the default machine, with a manual clock
  MachineBuilder(MachineBuilder&& other) noexcept;
  MachineBuilder& operator=(MachineBuilder&&) = delete;
  ~MachineBuilder();  // removes the temporary folder unless a machine was built
  MachineBuilder& Os(uint32_t major, uint32_t minor, uint32_t build = 0,
                     uint8_t productType = plat::kVER_NT_WORKSTATION);
  MachineBuilder& SuiteMask(uint16_t mask);
  MachineBuilder& Architecture(uint16_t nativeArch, bool wow64);
  MachineBuilder& ServerR2(int value);
  MachineBuilder& User(const std::string& name);
  MachineBuilder& ExePath(const std::string& path);
  MachineBuilder& Env(const std::string& name, const std::string& value);
  MachineBuilder& NoEnv(const std::string& name);
  MachineBuilder& Folder(int csidl, const std::string& path);
  MachineBuilder& NoFolder(int csidl);
  MachineBuilder& CodePage(uint32_t acp);
  MachineBuilder& Language(uint16_t langId);
  MachineBuilder& DecimalSeparator(const std::string& sep);
  // Registry: key is "HKLM\SOFTWARE\..." (also HKCU, HKCR, HKU).
  MachineBuilder& RegKey(const std::string& key, uint32_t allowedAccess = plat::kKEY_ALL_ACCESS);
  MachineBuilder& RegSz(const std::string& key, const std::string& name, const std::string& value);
  MachineBuilder& RegDword(const std::string& key, const std::string& name, uint32_t value);
  MachineBuilder& RegQword(const std::string& key, const std::string& name, uint64_t value);
  MachineBuilder& RegRaw(const std::string& key, const std::string& name, uint32_t type,
                         const std::string& bytes);
  // Files: written under the mapped drive at Build() time.
  MachineBuilder& File(const std::string& path, const std::string& bytes);
  MachineBuilder& Attributes(const std::string& path, uint32_t attributes);
  MachineBuilder& Version(const std::string& path, const VersionResource& version);
  MachineBuilder& AddProcess(const Process& process);  // pid 0: the next free pid
  // The device name of a drive letter ("\\Device\\HarddiskVolume3"); a letter that is
  // not mapped becomes a drive without contents.
  MachineBuilder& DriveDevice(char letter, const std::string& device);
  MachineBuilder& Tick(uint64_t ms);
  MachineBuilder& LocalTime(double serial);
  // A top-level window of another program (FindWindowW finds it when present).
  MachineBuilder& Window(const std::string& className, const std::string& caption,
                         bool present = true);
  // A window of another program with its state (owner, visibility, rectangle, parent).
  MachineBuilder& Window(const MachineWindow& window);
  MachineBuilder& MessageBoxAnswer(int answer);
  // Free-form change before building.
  MachineBuilder& With(const std::function<void(Machine&)>& change);
  std::unique_ptr<Machine> Build();

 private:
  std::unique_ptr<Machine> machine_;
  std::vector<std::pair<std::string, std::string>> files_;
  std::string tempDir_;
  friend class ScopedMachine;
};

// Installs a built machine as the current one for the lifetime of the object;
// removes its temporary drive folders afterwards.
class ScopedMachine {
 public:
  explicit ScopedMachine(MachineBuilder& builder);
  explicit ScopedMachine(MachineBuilder&& builder);
  ~ScopedMachine();
  ScopedMachine(const ScopedMachine&) = delete;
  ScopedMachine& operator=(const ScopedMachine&) = delete;

  Machine& machine();  // direct access for assertions (single-threaded tests)
  std::string Host(const std::string& windowsPath) const;
  // Reads/writes a file on the machine directly (bypassing the seam).
  std::string ReadFile(const std::string& windowsPath) const;
  void WriteFile(const std::string& windowsPath, const std::string& bytes) const;
  bool Exists(const std::string& windowsPath) const;

 private:
  std::shared_ptr<Session> session_;
  std::shared_ptr<Session> previous_;
  std::string tempDir_;
};

// ---------------------------------------------------------------- VS_VERSIONINFO blocks
// Builds the binary block GetFileVersionInfoW returns for a version resource.
std::string BuildVersionBlock(const VersionResource& version);

}  // namespace sim
