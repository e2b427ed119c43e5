// Internals the files of the sim backend share: the operation guard over the
// current machine, Windows path resolution onto the host, file metadata, the
// handle table and the calling thread's last error.
//
// Not for code above the seam: programs and tests use platform/Platform.h and
// platform/sim/SimMachine.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace sim {

// ---------------------------------------------------------------- last error
// The calling thread's last error (what plat::GetLastError reads).
void SetError(uint32_t code);
uint32_t Error();
// errno of a failed host call -> Windows error (ENOENT -> 2, EACCES -> 5, ...).
uint32_t ErrorFromErrno(int err);

// ---------------------------------------------------------------- operation guard
// One seam operation on the current machine: holds the session's lock (threads and,
// file-backed, other processes) and has picked up other processes' changes.
// Call Changed() after changing the machine; it is written through at once.
class Op {
 public:
  Op();
  Machine& m() { return session_->machine(); }
  Session& session() { return *session_; }
  const std::shared_ptr<Session>& sessionPtr() const { return session_; }
  void Changed() { session_->Changed(); }

 private:
  std::shared_ptr<Session> session_;
  std::unique_lock<Session::Mutex> lock_;
};

// ---------------------------------------------------------------- change points
// Put at the start of a seam call that changes restorable state, before it acts (and
// before it takes other locks): counts the call when this process counts its changes
// and no counted call encloses it, and ends the process when the count reaches the
// machine's endAtChange. counts = false marks a call that is no change point (a log
// write) but still keeps the calls inside it from counting.
class ChangeCall {
 public:
  explicit ChangeCall(bool counts = true);
  ~ChangeCall();
  ChangeCall(const ChangeCall&) = delete;
  ChangeCall& operator=(const ChangeCall&) = delete;
};
// Whether a file's changes are change points: logs (*.log, files in a "Logs" folder)
// are not.
bool CountsAsChange(const std::string& windowsPath);

// ---------------------------------------------------------------- paths
// GetFullPathNameW: "/" becomes "\", relative and drive-relative paths are taken
// against the current directory, "." and ".." are resolved, trailing dots and
// blanks of the last name are dropped; a trailing "\" is kept. Empty for "".
std::string FullWindowsPath(const Machine& machine, const std::string& path);

// A Windows path resolved onto the host. Existing names are matched without
// regard to case ("C:\USERS\gamer" finds ".../Users/Gamer"); missing names keep
// the case given.
struct Resolved {
  std::string windows;         // full path, existing names in their stored case, no trailing "\"
  std::string host;            // host path
  bool exists = false;         // the whole path exists
  bool isDir = false;          // ... and is a folder
  bool parentExists = false;   // every name but the last exists (as folders)
  bool trailingSlash = false;  // the path ended in "\"
  bool isRoot = false;         // "C:\"
};
// False (last error 3 for an unmapped drive or a UNC path, 123 for characters
// Windows does not allow in names) when the path cannot be placed on a drive.
bool Resolve(const Machine& machine, const std::string& path, Resolved& out);
// Last error for a path that does not exist: 2 when its folder exists, else 3.
uint32_t MissingError(const Resolved& r);
// Creates a folder with every missing level (host side, no metadata); true when
// it exists afterwards. Keeps the last error.
bool EnsureFolder(const Machine& machine, const std::string& windowsPath);
// Host folder a drive letter maps to; empty when unmapped.
std::string DriveRoot(const Machine& machine, char letter);

// ---------------------------------------------------------------- file metadata
FileMeta* FindMeta(Machine& machine, const std::string& windowsPath);
const FileMeta* FindMeta(const Machine& machine, const std::string& windowsPath);
// Attributes of an existing entry as GetFileAttributesW reports them.
uint32_t AttributesOf(const Machine& machine, const Resolved& r);
// Stores attributes of an entry (default values remove the record). True when
// the machine changed.
bool StoreAttributes(Machine& machine, const Resolved& r, uint32_t attributes);
// Drops the metadata of an entry (and, for a folder, of everything under it).
bool DropMeta(Machine& machine, const std::string& windowsPath);

// ---------------------------------------------------------------- files by Windows path
// Whole-file access the way a program with its own handle would do it: honours
// share modes of open handles (32), attributes (5 for writing a read-only file,
// CREATE_ALWAYS rules for hidden/system files) and path errors (2, 3). They set
// the last error and return false on failure. WriteWholeFile replaces the content
// (CREATE_ALWAYS with the given attributes).
bool ReadWholeFile(const std::string& windowsPath, std::string& bytes);
bool WriteWholeFile(const std::string& windowsPath, const std::string& bytes,
                    uint32_t attributes = plat::kFILE_ATTRIBUTE_NORMAL);

// ---------------------------------------------------------------- handle table
// Every kernel object the sim hands out a plat::Handle for. Kinds of objects are
// subclasses; OnClose runs when CloseHandle removed the handle (no table lock held).
struct HandleObject {
  virtual ~HandleObject() = default;
  virtual void OnClose() {}
};
plat::Handle AddHandle(std::shared_ptr<HandleObject> object);
std::shared_ptr<HandleObject> LookupHandle(plat::Handle handle);
template <class T>
std::shared_ptr<T> LookupHandleAs(plat::Handle handle) {
  return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}
// Removes a handle from the table; null when it was not there.
std::shared_ptr<HandleObject> RemoveHandle(plat::Handle handle);
// Visits every open handle (table lock held: do not call back into the table).
void ForEachHandle(const std::function<void(plat::Handle, HandleObject&)>& visit);

// The pseudo handle GetCurrentProcess returns (as on Windows).
inline constexpr plat::Handle kCurrentProcessHandle = static_cast<plat::Handle>(-1);

// An open process (OpenProcess).
struct ProcessHandle : HandleObject {
  uint32_t pid = 0;
  uint32_t access = 0;
};

// ---------------------------------------------------------------- registry tree
// Splits "HKLM\A\B" (also HKCU, HKCR, HKU, HKCC and the long HKEY_ names) into
// its root and names; false for an unknown root or an empty name.
bool SplitRegistryPath(const std::string& path, plat::RegKey& root,
                       std::vector<std::string>& names);
// Splits "A\B\" into its names; false for a leading "\" or an empty name.
bool SplitSubKey(const std::string& subKey, std::vector<std::string>& names);
// The root node of a predefined key (created when missing).
RegKeyNode& RegistryRoot(Machine& machine, plat::RegKey root);
// The key at names under root, created with every missing level.
RegKeyNode& CreateRegistryPath(Machine& machine, plat::RegKey root,
                               const std::vector<std::string>& names);
// Sets (or adds at the end) a value, matching its name without regard to case.
void SetRegistryValue(RegKeyNode& key, const RegValue& value);

// ---------------------------------------------------------------- stand-in libraries
// Whether a kind of stand-in export exists ([library] sections name one per export).
bool IsExportKind(const std::string& kind);
std::string ExportKindNames();  // "a, b, ..." for messages

// ---------------------------------------------------------------- time
// Day serial <-> whole milliseconds since 30 December 1899.
int64_t SerialToMs(double serial);
double MsToSerial(int64_t ms);
plat::SystemTime SerialToSystemTime(double serial);

}  // namespace sim
