#include "config/RegistryClass.h"

#include <algorithm>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

constexpr uint32_t kViewBits = plat::kKEY_WOW64_32KEY | plat::kKEY_WOW64_64KEY;  // 0x300
constexpr uint32_t kReadWithoutNotify = 0x20009;  // STANDARD_RIGHTS_READ | query | enumerate

std::string MessageFor(ERegistryException::Kind kind, const std::string& argument) {
  switch (kind) {
    case ERegistryException::Kind::kInvalidType:
      return "Invalid data type for '" + argument + "'";
    case ERegistryException::Kind::kGetDataFailed:
      return "Failed to get data for '" + argument + "'";
    case ERegistryException::Kind::kSetDataFailed:
      return "Failed to set data for '" + argument + "'";
  }
  return argument;
}

// Splits "\Key" (absolute) from "Key" (relative); the leading "\" is removed.
std::string StripAbsolute(const std::string& key, bool& relative) {
  relative = key.empty() || key[0] != '\\';
  return relative ? key : key.substr(1);
}

int32_t DeleteTree(plat::RegKey parent, const std::string& subKey, uint32_t view) {
  plat::RegKey key = 0;
  if (plat::RegOpenKeyExW(parent, subKey, plat::kKEY_READ | view, &key) == 0) {
    std::vector<std::string> names;
    for (uint32_t i = 0;; ++i) {
      std::string name;
      if (plat::RegEnumKeyExW(key, i, &name) != 0) break;
      names.push_back(name);
    }
    for (const std::string& name : names)
      DeleteTree(key, name, view);
    plat::RegCloseKey(key);
  }
  return plat::RegDeleteKeyExW(parent, subKey, view);
}

uint64_t LittleEndian(const uint8_t* bytes, int count) {
  uint64_t value = 0;
  for (int i = count - 1; i >= 0; --i)
    value = (value << 8) | bytes[i];
  return value;
}

}  // namespace

ERegistryException::ERegistryException(Kind kind, const std::string& argument)
    : std::runtime_error(MessageFor(kind, argument)), kind_(kind), argument_(argument) {}

TRegistry::TRegistry() = default;

TRegistry::TRegistry(uint32_t access) : access_(access) {}

TRegistry::~TRegistry() {
  CloseKey();
  if (closeRootKey_) plat::RegCloseKey(rootKey_);
}

void TRegistry::SetRootKey(plat::RegKey root) {
  if (root != rootKey_ && closeRootKey_) {
    plat::RegCloseKey(rootKey_);
    closeRootKey_ = false;
  }
  rootKey_ = root;
  CloseKey();
}

plat::RegKey TRegistry::BaseKey(bool relative) const {
  return (currentKey_ == 0 || !relative) ? rootKey_ : currentKey_;
}

void TRegistry::ChangeKey(plat::RegKey key, const std::string& path) {
  CloseKey();
  currentKey_ = key;
  currentPath_ = path;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  bool relative = true;
  std::string path = StripAbsolute(key, relative);
  plat::RegKey opened = 0;
  int32_t result = (!canCreate || path.empty())
                       ? plat::RegOpenKeyExW(BaseKey(relative), path, access_, &opened)
                       : plat::RegCreateKeyExW(BaseKey(relative), path, access_, &opened);
  if (result != 0) return false;
  if (currentKey_ != 0 && relative) path = currentPath_ + "\\" + path;
  ChangeKey(opened, path);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  bool relative = true;
  std::string path = StripAbsolute(key, relative);
  uint32_t view = access_ & kViewBits;
  for (uint32_t rights : {plat::kKEY_READ, kReadWithoutNotify, plat::kKEY_QUERY_VALUE}) {
    plat::RegKey opened = 0;
    if (plat::RegOpenKeyExW(BaseKey(relative), path, rights | view, &opened) == 0) {
      access_ = rights | view;
      if (currentKey_ != 0 && relative) path = currentPath_ + "\\" + path;
      ChangeKey(opened, path);
      return true;
    }
  }
  return false;
}

void TRegistry::CloseKey() {
  if (currentKey_ == 0) return;
  if (!lazyWrite_) plat::RegFlushKey(currentKey_);
  plat::RegCloseKey(currentKey_);
  currentKey_ = 0;
  currentPath_.clear();
}

bool TRegistry::KeyExists(const std::string& key) {
  bool relative = true;
  std::string path = StripAbsolute(key, relative);
  plat::RegKey opened = 0;
  if (plat::RegOpenKeyExW(BaseKey(relative), path, kReadWithoutNotify | (access_ & kViewBits),
                          &opened) != 0)
    return false;
  plat::RegCloseKey(opened);
  return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
  bool relative = true;
  std::string path = StripAbsolute(key, relative);
  if (path.empty()) return false;
  return DeleteTree(BaseKey(relative), path, access_ & kViewBits) == 0;
}

bool TRegistry::ValueExists(const std::string& name) const {
  uint32_t type = 0, size = 0;
  return plat::RegQueryValueExW(currentKey_, name, &type, nullptr, &size) == 0;
}

int32_t TRegistry::GetDataSize(const std::string& name) const {
  uint32_t type = 0, size = 0;
  if (plat::RegQueryValueExW(currentKey_, name, &type, nullptr, &size) != 0) return -1;
  return static_cast<int32_t>(size);
}

bool TRegistry::GetDataType(const std::string& name, uint32_t& type) const {
  uint32_t size = 0;
  return plat::RegQueryValueExW(currentKey_, name, &type, nullptr, &size) == 0;
}

bool TRegistry::DeleteValue(const std::string& name) {
  return plat::RegDeleteValueW(currentKey_, name) == 0;
}

void TRegistry::GetValueNames(std::vector<std::string>& names) const {
  names.clear();
  for (uint32_t i = 0;; ++i) {
    std::string name;
    if (plat::RegEnumValueW(currentKey_, i, &name) != 0) break;
    names.push_back(name);
  }
}

void TRegistry::GetKeyNames(std::vector<std::string>& names) const {
  names.clear();
  for (uint32_t i = 0;; ++i) {
    std::string name;
    if (plat::RegEnumKeyExW(currentKey_, i, &name) != 0) break;
    names.push_back(name);
  }
}

void TRegistry::GetData(const std::string& name, void* buffer, uint32_t& size,
                        uint32_t& type) const {
  if (plat::RegQueryValueExW(currentKey_, name, &type, static_cast<uint8_t*>(buffer), &size) != 0)
    throw ERegistryException(ERegistryException::Kind::kGetDataFailed, name);
}

void TRegistry::PutData(const std::string& name, const void* data, uint32_t size, uint32_t type) {
  if (plat::RegSetValueExW(currentKey_, name, type, static_cast<const uint8_t*>(data), size) != 0)
    throw ERegistryException(ERegistryException::Kind::kSetDataFailed, name);
}

std::string TRegistry::ReadString(const std::string& name) {
  int32_t length = GetDataSize(name);
  if (length < 1) return {};
  uint32_t size = maxDataSize_ != 0 ? maxDataSize_ : static_cast<uint32_t>(length);
  std::string bytes(size, '\0');
  uint32_t type = 0;
  GetData(name, bytes.data(), size, type);
  if (type != plat::kREG_SZ && type != plat::kREG_EXPAND_SZ)
    throw ERegistryException(ERegistryException::Kind::kInvalidType, name);
  bytes.resize(std::min<size_t>(size, bytes.size()) & ~size_t{1});
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == '\0' && bytes[i + 1] == '\0') {
      bytes.resize(i);
      break;
    }
  }
  return txt::Utf16LeBytesToUtf8(bytes);
}

int32_t TRegistry::ReadInteger(const std::string& name) {
  uint32_t type = 0;
  if (!GetDataType(name, type))
    throw ERegistryException(ERegistryException::Kind::kGetDataFailed, name);
  if (type != plat::kREG_DWORD)
    throw ERegistryException(ERegistryException::Kind::kInvalidType, name);
  uint8_t bytes[4] = {0, 0, 0, 0};
  uint32_t size = sizeof bytes;
  GetData(name, bytes, size, type);
  return static_cast<int32_t>(static_cast<uint32_t>(LittleEndian(bytes, 4)));
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufSize) {
  uint32_t type = 0, size = 0;
  if (plat::RegQueryValueExW(currentKey_, name, &type, nullptr, &size) != 0) return 0;
  bool known = type == plat::kREG_SZ || type == plat::kREG_EXPAND_SZ || type == plat::kREG_DWORD ||
               type == plat::kREG_BINARY;
  if ((type == plat::kREG_BINARY || !known) && bufSize >= 0 &&
      size <= static_cast<uint32_t>(bufSize)) {
    GetData(name, buffer, size, type);
    return static_cast<int>(size);
  }
  throw ERegistryException(ERegistryException::Kind::kInvalidType, name);
}

int64_t TRegistry::ReadDWordOrQWord(const std::string& name) {
  uint32_t type = 0, size = 0;
  std::string failure;
  int32_t result = plat::RegQueryValueExW(currentKey_, name, &type, nullptr, &size);
  if (result != 0) {
    failure = "_query Info failed" + txt::IntToStr(result);
  } else if (type == plat::kREG_DWORD) {
    uint8_t bytes[4] = {0, 0, 0, 0};
    uint32_t length = sizeof bytes;
    result = plat::RegQueryValueExW(currentKey_, name, &type, bytes, &length);
    if (result == 0) return static_cast<int32_t>(static_cast<uint32_t>(LittleEndian(bytes, 4)));
    failure = "_GetDWORD failed" + txt::IntToStr(result);
  } else if (type == plat::kREG_QWORD) {
    uint8_t bytes[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    uint32_t length = sizeof bytes;
    result = plat::RegQueryValueExW(currentKey_, name, &type, bytes, &length);
    if (result == 0) return static_cast<int64_t>(LittleEndian(bytes, 8));
    failure = "_GetQDWORD failed" + txt::IntToStr(result);
  } else {
    failure = "_type failed" + txt::UIntToStr(type);
  }
  throw ERegistryException(ERegistryException::Kind::kInvalidType, name + failure);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  std::string bytes = txt::Utf8ToUtf16LeBytes(value);
  bytes.append(2, '\0');
  PutData(name, bytes.data(), static_cast<uint32_t>(bytes.size()), plat::kREG_SZ);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
  std::string bytes = txt::Utf8ToUtf16LeBytes(value);
  bytes.append(2, '\0');
  PutData(name, bytes.data(), static_cast<uint32_t>(bytes.size()), plat::kREG_EXPAND_SZ);
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
  uint32_t bits = static_cast<uint32_t>(value);
  uint8_t bytes[4] = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                      static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
  PutData(name, bytes, sizeof bytes, plat::kREG_DWORD);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int bufSize) {
  PutData(name, buffer, static_cast<uint32_t>(bufSize < 0 ? 0 : bufSize), plat::kREG_BINARY);
}
