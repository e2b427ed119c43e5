// INI file classes: the common base with the typed reads and writes, and the
// profile-function INI file.
//
//   TCustomIniFile  typed operations built on ReadString/WriteString
//   TIniFile        GetPrivateProfileStringW / WritePrivateProfileStringW, one key at a time
//
// The in-memory classes are in config/PSafeIniFile.h (TSafeIniFile) and
// config/ExtIniFiles.h (TExtIniFile).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Raised by the INI classes where the platform's INI classes raise (a failed
// profile write).
class EIniFileException : public std::runtime_error {
 public:
  explicit EIniFileException(const std::string& message) : std::runtime_error(message) {}
};

class TCustomIniFile {
 public:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  virtual ~TCustomIniFile() = default;
  TCustomIniFile(const TCustomIniFile&) = delete;
  TCustomIniFile& operator=(const TCustomIniFile&) = delete;

  const std::string& FileName() const { return fileName_; }

  // ---- reads
  virtual std::string ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) const = 0;
  // Integer text: decimal with sign, or "$"/"0x" hexadecimal; anything else gives the default.
  int32_t ReadInteger(const std::string& section, const std::string& ident,
                      int32_t defaultValue) const;
  // Read as an integer (default 1 or 0); non-zero is true.
  bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue) const;
  // The general float form with the user's decimal separator; anything else gives the default.
  double ReadFloat(const std::string& section, const std::string& ident, double defaultValue) const;
  // United States English date-time text; empty or unparsable text gives the default.
  double ReadDateTime(const std::string& section, const std::string& ident,
                      double defaultValue) const;
  // Names of the section's lines (a line without "=" is listed whole).
  virtual void ReadSection(const std::string& section, std::vector<std::string>& names) const = 0;
  virtual void ReadSections(std::vector<std::string>& sections) const = 0;
  // The section's lines as "name=value".
  virtual void ReadSectionValues(const std::string& section,
                                 std::vector<std::string>& values) const = 0;
  // True when the section lists at least one line.
  virtual bool SectionExists(const std::string& section) const;
  virtual bool ValueExists(const std::string& section, const std::string& ident) const;

  // ---- writes
  virtual void WriteString(const std::string& section, const std::string& ident,
                           const std::string& value) = 0;
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  // "1" or "0".
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  void WriteFloat(const std::string& section, const std::string& ident, double value);
  // "mm/dd/yyyy hh:nn:ss:zzz".
  void WriteDateTime(const std::string& section, const std::string& ident, double value);
  virtual void EraseSection(const std::string& section) = 0;
  virtual void DeleteKey(const std::string& section, const std::string& ident) = 0;
  // Deletes every key of the section one by one; the section's header stays.
  void DeleteKeys(const std::string& section);
  virtual void UpdateFile() = 0;

 protected:
  std::string fileName_;
};

// The profile-function INI file. Every operation goes to the file (through the
// system's profile cache); nothing is kept in the object but the file name.
class TIniFile : public TCustomIniFile {
 public:
  // Prepares the path (PrepareIniPath) and keeps the prepared path as the file name.
  explicit TIniFile(const std::string& fileName);
  // Flushes the profile cache for the file.
  ~TIniFile() override;

  // A path without folder (or with the folder "\") gets ".\" in front; otherwise the
  // folder is created with all missing levels (up to 101 tries). A read-only file gets
  // its attributes cleared. Returns the path to use.
  static std::string PrepareIniPath(const std::string& fileName);

  // Reads with a buffer of 2048 characters, growing by half while the system
  // reports ERROR_MORE_DATA.
  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue) const override;
  void ReadSection(const std::string& section, std::vector<std::string>& names) const override;
  // Section names with a buffer of 16384 characters, growing by half on ERROR_MORE_DATA.
  void ReadSections(std::vector<std::string>& sections) const override;
  void ReadSectionValues(const std::string& section,
                         std::vector<std::string>& values) const override;

  // The writes raise EIniFileException when the system refuses them.
  void WriteString(const std::string& section, const std::string& ident,
                   const std::string& value) override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  // Prepares the path again and flushes the profile cache.
  void UpdateFile() override;
};
