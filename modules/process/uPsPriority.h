// The priority module: lowers the priority class of the user's other processes to
// idle during a boost and puts the recorded classes back on restore.
//
// Spared: programs started directly by Steam (its games), Steam itself, this
// program under its own file name, the product's host and tray programs,
// Windows Explorer and the security programs of TBoostBase::IsExcludedProcess.
// Restore records: section "Priority" of the state file, key = process
// identifier in decimal, value = the class before the boost.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/uBoostBase.h"

// Raised when text that must be a decimal integer is not one.
class EConvertError : public std::runtime_error {
 public:
  explicit EConvertError(const std::string& message) : std::runtime_error(message) {}
};

// One process whose class the module changed.
struct PriorityInfo {
  std::string name;       // executable name (empty in records read back for a restore)
  uint32_t pid = 0;       // process identifier
  uint32_t priority = 0;  // class before the boost; 0 when the process could not be opened
  std::string owner;      // account name of the owner (empty in records read back)
};

class TPsPriorityBoost : public TBoostBase {
 public:
  // Base construction, an empty list, and "SeDebugPrivilege" enabled on the
  // program's own token.
  TPsPriorityBoost(const std::string& Path, const std::string& SettingsFile,
                   const std::string& StateFile);
  ~TPsPriorityBoost() override;

  // Key "Priority" of section "Boost" of the settings file, default true.
  bool IsEnabled() override;
  void SetEnabled(bool Value) override;
  // Lowers every listed process to IDLE_PRIORITY_CLASS after recording its class.
  // The list is built by the first boost of the run and reused by later ones.
  bool Boost() override;
  // Sets every recorded class back and empties section "Priority". A key that is
  // not a decimal number raises EConvertError.
  void Restore() override;
  bool HasRestoreData() override;

  // Rebuilds the list from a fresh process snapshot.
  void BuildPriorityList();
  void ClearList() { fList.clear(); }

  size_t GetCount() const { return fList.size(); }
  const PriorityInfo& GetItem(size_t Index) const { return fList.at(Index); }

  // Section of the state file that holds the records.
  static constexpr const char* kSection = "Priority";
  // Caption of the progress notification.
  static constexpr const char* kCaption = "Process Priority";

 private:
  std::vector<PriorityInfo> fList;
};

// Reads text as a decimal integer (optional sign, digits, 32 bits); raises
// EConvertError for anything else.
int64_t StrToDecimal(const std::string& Text);
