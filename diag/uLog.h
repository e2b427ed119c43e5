// Log files and log channels.
//
// A log file is UTF-16 LE text with the byte-order mark FF FE. Each entry is one
// line: the local time "yyyy-mm-dd hh:nn:ss.zzz", two blanks, the message, CR LF.
// Several processes log into the same folder at the same time, so a file is opened
// for reading and writing with other writers denied; a file another process holds
// is never waited for: the entry goes to the next free "<name>_<n>.log" instead.
// A file that has reached its maximum size is rotated into "<name>.bak1".
//
// TLogObj is one open log file; TLogManage is a log channel that opens a TLogObj on
// demand (and, by default, closes it again after every entry). Logging never
// raises: an entry that cannot be written is dropped.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Types.h"

inline constexpr int32_t kLogDefaultMaxSize = 5242880;  // 5 MiB
inline constexpr uint8_t kLogDefaultBackupCount = 1;
// How many names ("<name>.log", "<name>_1.log" ... "<name>_99.log") an open tries
// before the entry is given up.
inline constexpr int kLogMaxOpenAttempts = 100;

// One open log file.
class TLogObj {
 public:
  // Opens (creating it and its folders when missing) the log file FileName, or
  // the running program's path with the extension ".log" when FileName is empty.
  // A file held by another writer is skipped for "<name>_1.log", "<name>_2.log" and
  // so on; IsOpen() is false when no name could be opened. A legacy file without
  // the byte-order mark is converted from ANSI to UTF-16 in place.
  explicit TLogObj(const std::string& FileName);
  // Closes the file; deletes it when it is empty.
  ~TLogObj();
  TLogObj(const TLogObj&) = delete;
  TLogObj& operator=(const TLogObj&) = delete;

  bool IsOpen() const { return fStream != plat::kInvalidHandle; }
  // Appends one entry, rotating the file first when it has reached its maximum
  // size. False when the entry could not be written.
  bool Write(const std::string& Msg);

  // The name the file was asked for, and the name actually opened (an "_n" name
  // when the first one was held).
  const std::string& RequestedFileName() const { return fRequestedFileName; }
  const std::string& FileName() const { return fFileName; }
  const std::string& ModuleName() const { return fModuleName; }
  int64_t CurrentSize() const { return fCurrentSize; }

  void SetMaxSize(int32_t Bytes);
  void SetBackupCount(uint8_t Count);
  void SetTimestamp(bool Enabled);

 private:
  bool Open(const std::string& Name);
  bool ConvertLegacyAnsi(int64_t Size);
  bool Rotate();
  bool CopyToBackup(const std::string& Backup);
  void Close();

  std::mutex fLock;
  std::string fModuleName;
  std::string fRequestedFileName;
  std::string fFileName;
  plat::Handle fStream = plat::kInvalidHandle;
  int64_t fCurrentSize = 0;
  int32_t fMaxSize = kLogDefaultMaxSize;
  uint8_t fBackupCount = kLogDefaultBackupCount;
  bool fTimestamp = true;
};

// A log channel: a file name and its settings, and at most one open log file.
class TLogManage {
 public:
  TLogManage() = default;
  ~TLogManage();
  TLogManage(const TLogManage&) = delete;
  TLogManage& operator=(const TLogManage&) = delete;

  // Stores the name; an open log file of another name (compared without regard
  // to case) is closed.
  void SetFileName(const std::string& Name);
  void SetMaxSize(int32_t Bytes);
  void SetBackupCount(uint8_t Count);
  void SetTimestamp(bool Enabled);
  // Close the log file after every entry (the default) or keep it open.
  void SetCloseAfterWrite(bool Enabled);

  std::string GetFileName();
  int32_t GetMaxSize();
  uint8_t GetBackupCount();

  // Appends one entry. Any failure drops the entry silently; the next entry
  // starts afresh.
  void Write(const std::string& Msg);
  // Closes the open log file, if any.
  void Release();

 private:
  std::unique_ptr<TLogObj> fLogFile;
  uint8_t fBackupCount = kLogDefaultBackupCount;
  std::mutex fLock;
  bool fCloseAfterWrite = true;
  std::string fFileName;
  bool fTimestamp = true;
  int32_t fMaxSize = kLogDefaultMaxSize;
};
