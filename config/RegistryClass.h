// The registry class: one open key at a time under a root key, typed value reads
// and writes, a 32/64-bit integer reader and fixed open-for-reading fallbacks.
// Read and write failures raise ERegistryException; callers trap them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Types.h"

class ERegistryException : public std::runtime_error {
 public:
  enum class Kind {
    kInvalidType,    // "Invalid data type for '<argument>'"
    kGetDataFailed,  // "Failed to get data for '<argument>'"
    kSetDataFailed,  // "Failed to set data for '<argument>'"
  };
  ERegistryException(Kind kind, const std::string& argument);

  Kind kind() const { return kind_; }
  // The text the message is built around (usually the value name).
  const std::string& Argument() const { return argument_; }

 private:
  Kind kind_;
  std::string argument_;
};

class TRegistry {
 public:
  // Root HKEY_CURRENT_USER, access KEY_ALL_ACCESS, lazy write on, maximum data size 0.
  TRegistry();
  explicit TRegistry(uint32_t access);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  plat::RegKey CurrentKey() const { return currentKey_; }
  plat::RegKey RootKey() const { return rootKey_; }
  // Closes any open key.
  void SetRootKey(plat::RegKey root);
  bool LazyWrite() const { return lazyWrite_; }
  void SetLazyWrite(bool value) { lazyWrite_ = value; }
  const std::string& CurrentPath() const { return currentPath_; }
  uint32_t Access() const { return access_; }
  void SetAccess(uint32_t access) { access_ = access; }
  // 0 = read with the size the system reports.
  uint32_t MaxDataSize() const { return maxDataSize_; }
  void SetMaxDataSize(uint32_t size) { maxDataSize_ = size; }

  // A key beginning with "\" is taken from the root key, any other from the open key
  // (or the root when none is open). With canCreate the key is created when missing.
  bool OpenKey(const std::string& key, bool canCreate);
  // Opens with KEY_READ, else 0x20009, else KEY_QUERY_VALUE (keeping the 32/64-bit view
  // bits of the access mask); the first that works becomes the access mask.
  bool OpenKeyReadOnly(const std::string& key);
  // Flushes the key when lazy write is off, closes it and clears the path.
  void CloseKey();
  bool KeyExists(const std::string& key);
  // Deletes the key with all its subkeys.
  bool DeleteKey(const std::string& key);

  bool ValueExists(const std::string& name) const;
  // The value's data length in bytes; -1 when it is missing.
  int32_t GetDataSize(const std::string& name) const;
  // The value's type (REG_*); false when it is missing.
  bool GetDataType(const std::string& name, uint32_t& type) const;
  bool DeleteValue(const std::string& name);
  void GetValueNames(std::vector<std::string>& names) const;
  void GetKeyNames(std::vector<std::string>& names) const;

  // REG_SZ or REG_EXPAND_SZ text; empty when the value is missing or empty.
  std::string ReadString(const std::string& name);
  // REG_DWORD.
  int32_t ReadInteger(const std::string& name);
  bool ReadBool(const std::string& name) { return ReadInteger(name) != 0; }
  // REG_BINARY or a type this class has no reader for, when it fits bufSize; returns
  // the byte count (0 when the value is missing).
  int ReadBinaryData(const std::string& name, void* buffer, int bufSize);
  // REG_DWORD (sign-extended) or REG_QWORD. Failures raise the invalid-type error
  // with the argument name + "_query Info failed" / "_GetDWORD failed" /
  // "_GetQDWORD failed" + the system error, or name + "_type failed" + the type.
  int64_t ReadDWordOrQWord(const std::string& name);

  void WriteString(const std::string& name, const std::string& value);
  void WriteExpandString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int32_t value);
  void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
  void WriteBinaryData(const std::string& name, const void* buffer, int bufSize);

 private:
  plat::RegKey BaseKey(bool relative) const;
  void ChangeKey(plat::RegKey key, const std::string& path);
  // Reads the value into buffer (size in/out); raises the get-data error on failure.
  void GetData(const std::string& name, void* buffer, uint32_t& size, uint32_t& type) const;
  void PutData(const std::string& name, const void* data, uint32_t size, uint32_t type);

  plat::RegKey currentKey_ = 0;
  plat::RegKey rootKey_ = plat::kHKEY_CURRENT_USER;
  bool lazyWrite_ = true;
  std::string currentPath_;
  bool closeRootKey_ = false;
  uint32_t access_ = plat::kKEY_ALL_ACCESS;
  uint32_t maxDataSize_ = 0;
};
