// The record of one running process and the inventory helpers that fill it: image
// path, version strings, priority class, owner, and the program's own privileges.
//
// Every helper answers with a neutral value (empty text, 0, false) when Windows
// refuses; none of them raises.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

// One running process (or, read back for a restore, one ended process: name then
// holds its process identifier as text).
struct ProcessInfo {
  std::string name;         // executable file name, "explorer.exe"
  std::string company;      // "CompanyName" of the image's version resource
  std::string description;  // "FileDescription"
  std::string product;      // "ProductName"
  std::string version;      // "ProductVersion"
  uint32_t pid = 0;
  uint32_t priority = 0;  // priority class, 0 when the process cannot be opened
  uint32_t memory = 0;    // private memory in bytes
  // Creation time (FILETIME); with path, tells the process from a later one
  // that was given the same identifier.
  uint64_t created = 0;
  std::string path;     // full DOS path of the image, empty when unknown
  std::string command;  // command that starts the process again
  std::string owner;    // account name (without domain)
  double suggest = 0;   // rating from "Score.db", 0 when none
  int32_t userSubmit = 0;
  bool end = false;      // to be ended by the boost
  bool restart = false;  // to be started again by the restore
  bool keep = false;     // protected
  bool blackListed = false;
  int32_t choice = 0;  // the user's recorded choice, -1 when none
};

using TProcessList = std::vector<std::unique_ptr<ProcessInfo>>;

// The four version strings the inventory keeps.
struct TFileVersionStrings {
  std::string company, description, product, version;
};

// Image path of a process as a DOS path ("C:\Windows\explorer.exe"); empty when
// the process cannot be opened or its volume has no drive letter.
std::string GetProcessPath(uint32_t pid);
// The same for a process handle opened with query rights.
std::string GetProcessImagePath(plat::Handle process);
// Creation time of a process (FILETIME), 0 when it cannot be read.
uint64_t GetProcessCreationTime(uint32_t pid);
// One version string ("CompanyName", ...) of a file, from the first translation
// of its version resource; empty on any failure.
std::string GetFileVersionString(const std::string& path, const std::string& key);
// The four strings of the inventory from one read of the version resource; each
// is what GetFileVersionString gives for its key.
TFileVersionStrings GetFileVersionStrings(const std::string& path);
// Priority class, or 0 when the process cannot be opened.
uint32_t GetProcessPriority(uint32_t pid);
// Account name of the process's owner, without domain; empty on any failure.
std::string GetProcessUser(uint32_t pid);
// Account name of the calling thread.
std::string GetCurrentUserName();
// Switches one privilege ("SeDebugPrivilege") of the program's own token on or
// off; true when Windows assigned it.
bool EnablePrivilege(const std::string& name, bool enable);
// Whether psapi.dll gives GetProcessImageFileNameW; writes "GetProcessImageFileName
// is null" to the run log when it does not.
bool BindProcessImageFileName();
