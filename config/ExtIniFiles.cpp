#include "config/ExtIniFiles.h"

#include "config/IniSupport.h"
#include "diag/uAppLog.h"
#include "platform/Platform.h"

TExtIniFile::TExtIniFile() : TMemIniFile() {}

TExtIniFile::TExtIniFile(const std::string& fileName) : TMemIniFile(fileName) {
  if (!fileName.empty()) LoadFromFile(fileName);
}

bool TExtIniFile::LoadFromFile(const std::string& fileName) {
  constexpr uint32_t kShareAll =
      plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE | plat::kFILE_SHARE_DELETE;
  // A file that cannot be read (or is too large to read) leaves the content as it was.
  uint32_t error = 0;
  try {
    std::string bytes;
    if (inisupport::ReadWholeFile(fileName, kShareAll, bytes)) {
      std::vector<std::string> lines = inisupport::DecodeLines(bytes);
      bytes.clear();
      SetStrings(lines);
      fileName_ = fileName;
      return true;
    }
    error = plat::GetLastError();
  } catch (const std::bad_alloc&) {
    error = plat::kERROR_NOT_ENOUGH_MEMORY;
  }
  LogError("TExtIniFile.LoadFromFile: \"" + fileName + "\" system error " + std::to_string(error));
  plat::SetLastError(error);
  return false;
}
