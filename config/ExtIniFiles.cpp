#include "config/ExtIniFiles.h"

#include "config/IniSupport.h"
#include "platform/Platform.h"

TExtIniFile::TExtIniFile() : TMemIniFile() {}

TExtIniFile::TExtIniFile(const std::string& fileName) : TMemIniFile(fileName) {
  if (!fileName.empty()) LoadFromFile(fileName);
}

bool TExtIniFile::LoadFromFile(const std::string& fileName) {
  constexpr uint32_t kShareAll =
      plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE | plat::kFILE_SHARE_DELETE;
  std::string bytes;
  if (!inisupport::ReadWholeFile(fileName, kShareAll, bytes)) return false;
  SetStrings(inisupport::DecodeLines(bytes));
  fileName_ = fileName;
  return true;
}
