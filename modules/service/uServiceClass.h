// The catalogue of running Windows services the service boost may consider.
//
// Every running Win32 service is sorted into a third service (its program file's
// maker is not "Microsoft Corporation") or a system service. Third services on the
// user's white list ("User3rdSvcWL.txt") and system services that the section of
// "UserWinSvc.ini" for this Windows version does not name are passed over. The
// catalogue never changes a service, and never writes "UserWinSvc.ini".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TMemIniFile;

struct TServiceRecord {
  std::string name;
  std::string displayName;
  std::string description;
  bool isThird = false;
  bool selected = false;  // running; the boost replaces it by its decision to stop
  std::vector<std::pair<std::string, std::string>> dependents;  // (name, display name)
  int32_t dependentCount = 0;
};
using TServiceList = std::vector<std::unique_ptr<TServiceRecord>>;

class TServices {
 public:
  // IniFile: "UserWinSvc.ini" (read only); WhiteListFile: "User3rdSvcWL.txt".
  TServices(const std::string& IniFile, const std::string& WhiteListFile);
  ~TServices();

  // Replaces List by the file's lines when the file exists (a missing file leaves it
  // as it is); false, with a run-log entry, when the file cannot be read.
  bool Get3rdWhiteList(const std::string& FileName, std::vector<std::string>& List);
  // Rebuilds and returns the list (owned by the catalogue).
  TServiceList& LoadServices();
  TServiceList& Services() { return fList; }

  static bool IsThirdService(const std::string& ProgramPath);
  bool IsWhiteListed(const std::string& Name) const;
  bool IsNotInCatalogue(const std::string& Name) const;

  const std::string& Section() const { return fSection; }
  // "UserWinSvc.ini" as loaded.
  const TMemIniFile& Ini() const { return *fIni; }

 private:
  std::string fWhiteListFile;
  TServiceList fList;
  std::unique_ptr<TMemIniFile> fIni;
  std::string fSection;
  std::vector<std::string> fWhiteList;
};
