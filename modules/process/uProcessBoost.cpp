#include "modules/process/uProcessBoost.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>

#include "config/IniFiles.h"
#include "config/PSafeIniFile.h"
#include "config/SQLiteTable3.h"
#include "config/UnitGAConfig.h"
#include "diag/uAppLog.h"
#include "modules/process/uGetPrivacyMemory.h"
#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

const char* const kRestoreSection = "Process";
const char* const kCommandSection = "Process1";
const char* const kBlackListFile = "UserProcBL.txt";
const char* const kWhiteListFile = "UserProcWL.txt";
const char* const kScoreFile = "Score.db";
const char* const kExplorer = "explorer.exe";

// SQLite's "The database file is locked" and "A table in the database is locked":
// the file is fine, only busy.
constexpr int kSqliteBusy = 5;
constexpr int kSqliteLocked = 6;

// The maker's companion programs and how their start command is adjusted.
enum class TCompanionStart { AppendStartup, AppendAutorun, TrayAuto };
struct TCompanion {
  const char* exe;
  TCompanionStart start;
};
const std::array<TCompanion, 4> kCompanions = {{
    {"TrvDriverCare.exe", TCompanionStart::AppendStartup},
    {"TrvSysShield.exe", TCompanionStart::AppendStartup},
    {"TrvDiskTidy.exe", TCompanionStart::AppendAutorun},
    {"TrvGameCap.exe", TCompanionStart::TrayAuto},
}};
const char* const kGameCapTray = "TrvGameCapTray.exe";

// Letter case folded the way SQLite's lower() folds it (A to Z only), so that the
// values compare equal to the lower-cased columns.
std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// An SQL string literal's content: every apostrophe doubled.
std::string SqlText(const std::string& value) {
  return txt::ReplaceAll(value, "'", "''");
}

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const std::string& bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = (static_cast<uint8_t>(bytes[i]) << 16) |
                       (static_cast<uint8_t>(bytes[i + 1]) << 8) |
                       static_cast<uint8_t>(bytes[i + 2]);
    out += kBase64Alphabet[(v >> 18) & 63];
    out += kBase64Alphabet[(v >> 12) & 63];
    out += kBase64Alphabet[(v >> 6) & 63];
    out += kBase64Alphabet[v & 63];
  }
  const size_t rest = bytes.size() - i;
  if (rest > 0) {
    uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
    if (rest == 2) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    out += kBase64Alphabet[(v >> 18) & 63];
    out += kBase64Alphabet[(v >> 12) & 63];
    out += rest == 2 ? kBase64Alphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

// Characters outside the alphabet (line breaks among them) are skipped; "=" ends
// the data.
std::string Base64Decode(const std::string& text) {
  std::string out;
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    const char* at = c ? std::strchr(kBase64Alphabet, c) : nullptr;
    if (!at) continue;
    bits = (bits << 6) | static_cast<uint32_t>(at - kBase64Alphabet);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

// A command that begins with the bare path of a program in a folder with blanks:
// the path is quoted, or Windows would cut the command at the first blank.
std::string QuoteProgram(const std::string& command, const std::string& path) {
  if (path.find_first_of(" \t") == std::string::npos || command.empty() || command[0] == '"')
    return command;
  if (!txt::StartsText(path, command)) return command;
  if (command.size() > path.size() && command[path.size()] != ' ' && command[path.size()] != '\t')
    return command;
  std::string quoted = "\"";
  quoted.append(command, 0, path.size()).append("\"").append(command, path.size());
  return quoted;
}

// ---- the logged-on user's token

constexpr uint32_t kTokenRead = plat::kTOKEN_QUERY | plat::kTOKEN_DUPLICATE;
constexpr uint32_t kTokenStart = plat::kTOKEN_QUERY | plat::kTOKEN_DUPLICATE |
                                 plat::kTOKEN_ASSIGN_PRIMARY | plat::kTOKEN_ADJUST_DEFAULT |
                                 plat::kTOKEN_ADJUST_SESSIONID;

struct TTokenFacts {
  bool ok = false;
  std::string sid;
  uint32_t session = 0;
  bool elevated = true;
};

TTokenFacts ReadToken(plat::Handle token) {
  TTokenFacts facts;
  uint32_t needed = 0;
  facts.ok = token && !plat::GetTokenInformationUser(token, 0, facts.sid, needed) &&
             plat::GetTokenInformationUser(token, needed, facts.sid, needed) &&
             plat::GetTokenInformationSessionId(token, facts.session) &&
             plat::GetTokenInformationElevation(token, facts.elevated);
  return facts;
}

// The token of a process, opened for reading and duplicating; 0 when refused.
plat::Handle OpenTokenOf(uint32_t pid) {
  const plat::Handle process = plat::OpenProcess(plat::kPROCESS_QUERY_INFORMATION, false, pid);
  if (!process) return 0;
  plat::Handle token = 0;
  if (!plat::OpenProcessToken(process, kTokenRead, token)) token = 0;
  plat::CloseHandle(process);
  return token;
}

// A token of the logged-on user, for a program that runs UAC-elevated (own is
// its token): the shell's, whose token is by definition the one the user starts
// programs with, or else that of another process of the same user and session
// that is not elevated (the tray program, for instance). 0 when there is none;
// source names where it came from.
plat::Handle FindUserToken(const TTokenFacts& own, std::string& source) {
  uint32_t shellPid = 0;
  const plat::Hwnd shell = plat::GetShellWindow();
  if (shell) plat::GetWindowThreadProcessId(shell, &shellPid);
  if (shellPid) {
    const plat::Handle token = OpenTokenOf(shellPid);
    const TTokenFacts facts = ReadToken(token);
    if (facts.ok && facts.session == own.session) {
      source = "the shell, pid " + std::to_string(shellPid);
      return token;
    }
    if (token) plat::CloseHandle(token);
  }
  std::vector<plat::ProcessEntry> entries;
  if (!plat::SnapshotProcesses(entries)) return 0;
  const uint32_t self = plat::GetCurrentProcessId();
  for (const plat::ProcessEntry& entry : entries) {
    if (entry.pid == self || entry.pid == 0) continue;
    const plat::Handle token = OpenTokenOf(entry.pid);
    const TTokenFacts facts = ReadToken(token);
    if (facts.ok && !facts.elevated && facts.sid == own.sid && facts.session == own.session) {
      source = entry.exeFile + ", pid " + std::to_string(entry.pid);
      return token;
    }
    if (token) plat::CloseHandle(token);
  }
  return 0;
}

}  // namespace

std::string EncodeStartCommand(const std::string& command) {
  return Base64Encode(plat::WideCharToMultiByte(0, txt::Utf8ToUtf16(command)));
}

std::string DecodeStartCommand(const std::string& encoded) {
  return txt::Utf16ToUtf8(plat::MultiByteToWideChar(0, Base64Decode(encoded)));
}

// ---------------------------------------------------------------- construction

TProcessBoost::TProcessBoost(const std::string& Path, const std::string& SettingsFile,
                             const std::string& StateFile)
    : TBoostBase(Path, SettingsFile, StateFile), fChoicesFile("Process.ini") {
  EnablePrivilege("SeDebugPrivilege", true);
  BindProcessImageFileName();
  if (fTempIni) {
    std::vector<std::string> names;
    fTempIni->ReadSection(kRestoreSection, names);
    for (const std::string& name : names) {
      auto info = std::make_unique<ProcessInfo>();
      info->name = name;
      fProcessList.push_back(std::move(info));
    }
    fDoneCount = static_cast<int32_t>(names.size());
  }
}

TProcessBoost::~TProcessBoost() {
  ClearProcessList();
  if (fUserToken) plat::CloseHandle(fUserToken);
}

// ---------------------------------------------------------------- module operations

bool TProcessBoost::IsEnabled() {
  return false;
}

void TProcessBoost::SetEnabled(bool Value) {
  TSafeIniFile ini(fPath + fChoicesFile);
  ini.WriteBool("Boost", "KillExplorer", Value);
}

bool TProcessBoost::HasRestoreData() {
  return fTempIni && HasSectionKeys(kRestoreSection);
}

bool TProcessBoost::Boost() {
  if (fStop) return false;
  RefreshProcess();
  fActionCount = static_cast<int32_t>(std::count_if(fProcessList.begin(), fProcessList.end(),
                                                    [](const auto& p) { return p->end; }));
  fDoneCount = 0;
  for (const auto& item : fProcessList) {
    if (fStop) return false;
    const ProcessInfo& info = *item;
    if (!info.end) continue;
    LogDebug("ProcessBoost.Boost [Begin KillProcess " + info.name + "]");
    // The record is on disk before the process is ended; a process that was not ended
    // loses its start record, so that no restore starts a second copy of it.
    if (fTempIni) fTempIni->WriteString(kRestoreSection, info.name, txt::UIntToStr(info.memory));
    LogDebug("TProcessBoost.Boost : " + info.command);
    WriteBoostProcessToTempFile(info.pid, info.path, info.command);
    const bool ok = KillProcessByPID(info.pid, info.path, info.created);
    ++fDoneCount;
    if (!ok && fTempIni) {
      fTempIni->DeleteKey(kCommandSection, std::to_string(info.pid));
      fTempIni->DeleteKey(kCommandSection, std::to_string(info.pid) + "_");
    }
    Notify(TProgressItemKind::Process, info.description.empty() ? info.name : info.description, ok);
  }
  return HasRestoreData();
}

void TProcessBoost::Restore() {
  RestoreProcesses();
}

// ---------------------------------------------------------------- inventory and selection

void TProcessBoost::ClearProcessList() {
  fProcessList.clear();
}

void TProcessBoost::RefreshProcess() {
  ClearProcessList();
  const bool black = LoadFilterDBFile(fPath + kBlackListFile, fBlackList);
  const bool white = LoadFilterDBFile(fPath + kWhiteListFile, fWhiteList);
  if (!black || !white) return;

  std::vector<plat::ProcessEntry> entries;
  if (!plat::SnapshotProcesses(entries)) return;
  const std::string currentUser = GetCurrentUserName();
  // Without it every process whose owner cannot be read would pass for the user's.
  if (currentUser.empty()) {
    LogInfo("TProcessBoost.RefreshProcess : the user name cannot be read, no process listed");
    return;
  }
  const std::string ownFolder = fileutil::ExtractFilePath(plat::GetModuleFileNameW());

  for (const plat::ProcessEntry& entry : entries) {
    if (fStop) break;
    const bool passOver =
        (!txt::SameText(entry.exeFile, kExplorer) && ListContainsText(entry.exeFile, fWhiteList)) ||
        GetProcessUser(entry.pid) != currentUser;
    if (!passOver) {
      auto info = std::make_unique<ProcessInfo>();
      info->name = entry.exeFile;
      info->pid = entry.pid;
      info->path = GetProcessPath(entry.pid);
      TFileVersionStrings strings = GetFileVersionStrings(info->path);
      info->company = std::move(strings.company);
      info->description = std::move(strings.description);
      info->product = std::move(strings.product);
      info->version = std::move(strings.version);
      info->priority = GetProcessPriority(entry.pid);
      info->memory = GetPrivacyMemory(entry.pid);
      info->created = GetProcessCreationTime(entry.pid);
      info->owner = currentUser;
      info->command = info->path;
      info->end = false;
      if (Classify(*info, ownFolder)) fProcessList.push_back(std::move(info));
    }
    ProcessMessages();
  }
}

bool TProcessBoost::Classify(ProcessInfo& Info, const std::string& OwnFolder) {
  Info.keep =
      (!Info.path.empty() && !OwnFolder.empty() && txt::ContainsText(Info.path, OwnFolder)) ||
      ListContainsText(Info.name, fWhiteList);
  Info.blackListed = ListContainsText(Info.name, fBlackList);
  if (Info.keep) return false;
  QueryScore(Info.name, Info.company, Info, Info.product);
  if (Info.blackListed || Info.suggest >= kSuggestThreshold) {
    Info.choice = GetUserChoice(Info.name, 0);
    Info.end = Info.choice != 0;
  } else {
    Info.choice = GetUserChoice(Info.name, 1);
    Info.end = Info.choice == 1;
  }
  return true;
}

bool TProcessBoost::LoadFilterDBFile(const std::string& FileName, std::vector<std::string>& List) {
  if (!fileutil::FileExists(FileName)) return true;
  std::string bytes;
  if (!fileutil::ReadFileBytes(FileName, bytes)) {
    LogInfo("TProcessBoost.LoadFilterDBFile  Cannot open file \"" + FileName + "\". System error " +
            std::to_string(plat::GetLastError()));
    return false;
  }
  List = txt::SplitLines(txt::DecodeTextFile(bytes));
  return true;
}

void TProcessBoost::QueryScore(const std::string& Name, const std::string& Company,
                               ProcessInfo& Info, const std::string& Product) {
  const std::string dbFile = fPath + kScoreFile;
  if (!fileutil::FileExists(dbFile)) return;
  std::lock_guard<std::mutex> lock(fLock);
  int errorCode = -1;  // none
  try {
    TSQLiteDatabase db(dbFile);
    const std::string sql = "select suggest,userSubmit from [process] where process = '" +
                            SqlText(AsciiLower(Name)) + "'" + " and lower(corporation) = '" +
                            SqlText(AsciiLower(Company)) + "'" + " and lower(productname) = '" +
                            SqlText(AsciiLower(Product)) + "'";
    std::unique_ptr<TSQLiteTable> table = db.QueryTable(sql);
    if (table->RowCount() > 0) {
      Info.suggest = table->FloatAt(table->ColumnIndex("suggest"));
      Info.userSubmit = static_cast<int32_t>(table->IntegerAt(table->ColumnIndex("userSubmit")));
    } else {
      Info.suggest = 0;
      Info.userSubmit = 0;
    }
  } catch (const ESQLiteException& e) {
    errorCode = e.ErrorCode();
  } catch (const std::exception&) {
    errorCode = 0;
  }
  // A busy database is left for the next lookup; any other failure means the file
  // is of no use and goes.
  if (errorCode >= 0 && errorCode != kSqliteBusy && errorCode != kSqliteLocked)
    plat::DeleteFileW(dbFile);
}

int32_t TProcessBoost::GetUserChoice(const std::string& Name, int32_t Which) {
  TIniFile ini(fPath + fChoicesFile);
  return ini.ReadInteger("Process" + std::to_string(Which), Name, -1);
}

// ---------------------------------------------------------------- ending and starting

bool TProcessBoost::KillProcessByPID(uint32_t Pid, const std::string& Path, uint64_t Created) {
  const plat::Handle process = plat::OpenProcess(plat::kPROCESS_ALL_ACCESS, true, Pid);
  if (!process) return false;
  // The inventory took seconds: the identifier may belong to another process now.
  uint64_t created = 0;
  if (!plat::GetProcessTimes(process, created)) created = 0;
  if (created != Created || GetProcessImagePath(process) != Path) {
    LogInfo("KillProcessByPID : " + std::to_string(Pid) + " is no longer " + Path + ", not ended");
    plat::CloseHandle(process);
    return false;
  }
  plat::SetLastError(0);  // the line below shows this call's error only
  const bool ok = plat::TerminateProcess(process, 1);
  LogDebug("KillProcessByPID : " + std::to_string(Pid) + ":" + (ok ? "-1" : "0") + ":" +
           std::to_string(plat::GetLastError()));
  plat::CloseHandle(process);
  return ok;
}

void TProcessBoost::WriteBoostProcessToTempFile(uint32_t Pid, const std::string& Path,
                                                const std::string& Command) {
  const std::string encoded = EncodeStartCommand(Command);
  LogDebug("WriteBoostProcessToTempFile : " + encoded);
  if (!fTempIni) return;
  const std::string key = std::to_string(Pid);
  fTempIni->WriteString(kCommandSection, key, Path);
  fTempIni->WriteString(kCommandSection, key + "_", encoded);
}

void TProcessBoost::ReadProcessFromTempFile(TProcessList& List) {
  ClearProcessList();
  if (!fTempIni) return;
  std::vector<std::string> keys;
  fTempIni->ReadSection(kCommandSection, keys);
  fDoneCount = static_cast<int32_t>(keys.size());

  bool restartAll = false;
  if (GConfig)
    restartAll = GConfig->OpenSettingsIni()->ReadBool("Config", "FRestoreProcesses", false);

  for (const std::string& key : keys) {
    if (txt::StrToIntDef(key, 0) == 0) continue;
    auto info = std::make_unique<ProcessInfo>();
    info->name = key;
    info->path = fTempIni->ReadString(kCommandSection, key, "");
    info->command = QuoteProgram(
        DecodeStartCommand(fTempIni->ReadString(kCommandSection, key + "_", "")), info->path);
    info->restart = restartAll;
    if (txt::ContainsText(info->path, kExplorer)) info->restart = true;
    for (const TCompanion& companion : kCompanions) {
      if (!txt::ContainsText(info->path, companion.exe)) continue;
      switch (companion.start) {
        case TCompanionStart::AppendStartup:
          info->command += " /STARTUP";
          break;
        case TCompanionStart::AppendAutorun:
          info->command += " /autorun";
          break;
        case TCompanionStart::TrayAuto:
          // Its tray program beside it starts instead.
          info->path = fileutil::ExtractFilePath(info->path) + kGameCapTray;
          info->command = QuoteProgram(info->path, info->path) + " /auto";
          break;
      }
      info->restart = true;
      break;
    }
    List.push_back(std::move(info));
  }
}

bool TProcessBoost::PrepareUserToken() {
  if (fTokenChosen) return fTokenUsable;
  fTokenChosen = true;
  std::string why, source = "this program";
  plat::Handle own = 0;
  uint32_t type = 0;
  TTokenFacts facts;
  if (!plat::OpenProcessToken(plat::GetCurrentProcess(), plat::kTOKEN_QUERY, own) ||
      !plat::GetTokenInformationElevationType(own, type) || !(facts = ReadToken(own)).ok) {
    why = "the program's token cannot be read, error " + std::to_string(plat::GetLastError());
  } else if (type != plat::kTokenElevationTypeFull) {
    // UAC does not split this token (or it is the filtered half): it is the user's.
    fTokenUsable = true;
  } else if (const plat::Handle user = FindUserToken(facts, source); !user) {
    why = "no process of the user runs without elevation";
  } else {
    fTokenUsable = plat::DuplicateTokenEx(user, kTokenStart, fUserToken);
    if (!fTokenUsable)
      why = "the token of " + source + " cannot be copied, error " +
            std::to_string(plat::GetLastError());
    plat::CloseHandle(user);
  }
  if (own) plat::CloseHandle(own);
  if (fTokenUsable)
    LogDebug("StartProcessByPath : token of " + source);
  else
    LogInfo("StartProcessByPath : no token of the logged-on user (" + why +
            "), no program is started");
  return fTokenUsable;
}

void TProcessBoost::StartProcessByPath(const ProcessInfo& Info, const std::string& Folder) {
  if (!Info.restart) return;
  LogDebug("StartProcessByPath : " + Info.command);
  if (!fileutil::FileExists(Info.path)) {
    LogInfo("StartProcessByPath : \"" + Info.path + "\" is not an existing file, not started");
    return;
  }
  if (!PrepareUserToken()) return;
  uint32_t pid = 0;
  const bool ok =
      fUserToken ? plat::CreateProcessWithTokenW(fUserToken, Info.path, Info.command, Folder,
                                                 plat::kSW_SHOWNORMAL, pid)
                 : plat::CreateProcessW(Info.command, Folder, plat::kSW_SHOWNORMAL, pid, Info.path);
  if (!ok)
    LogInfo("StartProcessByPath : \"" + Info.path + "\" not started, error " +
            std::to_string(plat::GetLastError()));
}

void TProcessBoost::RestoreProcesses() {
  if (fStop || !HasRestoreData()) return;
  TProcessList list;
  ReadProcessFromTempFile(list);
  // Each record goes as soon as its program is started: a restore ended part-way and run
  // again starts no second copy.
  for (auto& info : list) {
    // A boost ended between its record and the end of the process leaves the process
    // running under its recorded identifier: it is not started twice.
    const uint32_t pid = static_cast<uint32_t>(txt::StrToIntDef(info->name, 0));
    const std::string recorded =
        fTempIni ? fTempIni->ReadString(kCommandSection, info->name, "") : "";
    const plat::Handle process =
        plat::OpenProcess(plat::kPROCESS_QUERY_LIMITED_INFORMATION, false, pid);
    uint32_t code = 0;
    const bool running = process && plat::GetExitCodeProcess(process, code) &&
                         code == plat::kSTILL_ACTIVE && GetProcessImagePath(process) == recorded;
    if (process) plat::CloseHandle(process);
    if (running)
      LogInfo("StartProcessByPath : " + info->name + " still runs " + recorded + ", not started");
    else
      StartProcessByPath(*info, fileutil::ExtractFilePath(info->path));
    if (fTempIni) {
      fTempIni->DeleteKey(kCommandSection, info->name);
      fTempIni->DeleteKey(kCommandSection, info->name + "_");
    }
    info.reset();
  }
  ClearRestoreSection();
  // The next restore looks again: the shell may have come back.
  if (fUserToken) plat::CloseHandle(fUserToken);
  fUserToken = 0;
  fTokenChosen = fTokenUsable = false;
}

void TProcessBoost::ClearRestoreSection() {
  if (fTempIni) fTempIni->DeleteKeys(kCommandSection);
}
