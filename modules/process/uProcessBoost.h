// The process boost module: ends the processes the selection rules pick, records
// each one in the restore file "Temp.ini", and on a later restore starts again
// Explorer, the maker's companion programs and, when the user asked for it
// ("FRestoreProcesses"), every process it ended.
//
// Selection, per process of the logged-on user:
//   - a name on the white list ("UserProcWL.txt") is passed over ("explorer.exe"
//     excepted, which the white list then protects);
//   - a process started from the program's own folder is protected;
//   - a name on the black list ("UserProcBL.txt") is ended unless the user
//     recorded 0 for it under [Process0] of "Process.ini";
//   - a program rated 80 or more in "Score.db" is ended unless the user recorded
//     0 for it under [Process0];
//   - any other program is ended only when the user recorded 1 for it under
//     [Process1].
//
// The restore file lives in the user's folder, so the restore trusts it no
// further than the user: each program is named by its recorded path (which must
// be an existing file) and started with the logged-on user's own token, never
// with this program's elevated one.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/uBoostBase.h"
#include "modules/process/uGetProcessInfo.h"

// A rating of this much or more recommends ending the program.
inline constexpr double kSuggestThreshold = 80.0;

// The start command as the restore file keeps it: the command in the system's
// ANSI code page, Base64 (standard alphabet, "=" padding) on one line.
std::string EncodeStartCommand(const std::string& command);
// The way back; characters the ANSI code page could not hold come back as "?".
std::string DecodeStartCommand(const std::string& encoded);

class TProcessBoost : public TBoostBase {
 public:
  // Enables "SeDebugPrivilege", checks psapi.dll's image-path function and reads
  // back the names of section "Process" of the restore file (the done count).
  TProcessBoost(const std::string& Path, const std::string& SettingsFile,
                const std::string& StateFile);
  ~TProcessBoost() override;

  bool IsEnabled() override;  // always false
  // "KillExplorer" in section "Boost" of "Process.ini".
  void SetEnabled(bool Value) override;
  // Ends the selected processes; true when the restore file has records.
  bool Boost() override;
  void Restore() override;  // RestoreProcesses
  bool HasRestoreData() override;

  // ---- inventory and selection
  void RefreshProcess();
  void ClearProcessList();
  int32_t GetProcessCount() const { return static_cast<int32_t>(fProcessList.size()); }
  ProcessInfo* GetProcessItem(int32_t Index) const { return fProcessList.at(Index).get(); }
  // Replaces List by the file's lines when the file exists; false (and a run-log
  // entry) when reading it fails.
  bool LoadFilterDBFile(const std::string& FileName, std::vector<std::string>& List);
  // Fills suggest and userSubmit of Info from "Score.db".
  void QueryScore(const std::string& Name, const std::string& Company, ProcessInfo& Info,
                  const std::string& Product);
  // The value of key Name under [Process<Which>] of "Process.ini", -1 when none.
  int32_t GetUserChoice(const std::string& Name, int32_t Which);

  // ---- ending and starting
  // Ends the process only while it is still the one the inventory listed: same
  // image path and creation time, checked through the handle that ends it.
  bool KillProcessByPID(uint32_t Pid, const std::string& Path, uint64_t Created);
  void WriteBoostProcessToTempFile(uint32_t Pid, const std::string& Path,
                                   const std::string& Command);
  // Reads section "Process1" into List (the done count becomes its key count).
  void ReadProcessFromTempFile(TProcessList& List);
  // Starts Info.path (when restart is set and it is an existing file) with
  // Info.command as its command line, as the logged-on user.
  void StartProcessByPath(const ProcessInfo& Info, const std::string& Folder);
  void RestoreProcesses();
  // Deletes every key of "Process1".
  void ClearRestoreSection();

  // ---- figures for the orchestrator
  int32_t GetActionCount() const { return fActionCount; }
  int32_t GetDoneCount() const { return fDoneCount; }
  std::optional<int32_t> ActionCount() const override { return GetActionCount(); }
  std::optional<int32_t> DoneCount() const override { return GetDoneCount(); }
  std::optional<int32_t> ProcessCount() const override { return GetProcessCount(); }

  std::vector<std::string>& BlackList() { return fBlackList; }
  std::vector<std::string>& WhiteList() { return fWhiteList; }

 private:
  // The protection, black-list, rating and choice rules for a record that passed
  // the white-list and owner tests: sets keep, blackListed, suggest, choice and
  // end; false when the record is protected and must not be listed.
  bool Classify(ProcessInfo& Info, const std::string& OwnFolder);
  // Chooses the token restored programs start with, once per restore.
  bool PrepareUserToken();

  std::vector<std::string> fWhiteList;
  std::vector<std::string> fBlackList;
  TProcessList fProcessList;
  std::atomic<int32_t> fDoneCount{0};
  std::atomic<int32_t> fActionCount{0};
  std::string fChoicesFile;
  std::mutex fLock;  // rating lookups
  // The logged-on user's token for the restore: chosen on first use; 0 while
  // chosen means the program's own token is the user's.
  bool fTokenChosen = false;
  bool fTokenUsable = false;
  plat::Handle fUserToken = 0;
};
