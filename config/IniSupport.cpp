#include "config/IniSupport.h"

#include <algorithm>
#include <cstdint>

#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace inisupport {

namespace {
bool IsDelimiter(char c) {
  return c == '\\' || c == '/' || c == ':';
}
}  // namespace

std::string FolderPart(const std::string& path) {
  size_t i = path.find_last_of("\\/:");
  if (i == std::string::npos) return {};
  if (i > 0 && path[i] != ':' && !IsDelimiter(path[i - 1])) return path.substr(0, i);
  return path.substr(0, i + 1);
}

void EnsureFolder(const std::string& folder) {
  if (folder.empty() || folder == "\\" || folder == ".\\") return;
  for (int attempt = 0; attempt < 101; ++attempt) {
    if (fileutil::DirectoryExists(folder)) return;
    // A path longer than Windows allows never comes to exist.
    if (!fileutil::ForceDirectories(folder) &&
        plat::GetLastError() == plat::kERROR_FILENAME_EXCED_RANGE)
      return;
  }
}

bool ReadWholeFile(const std::string& path, uint32_t shareMode, std::string& bytes) {
  bytes.clear();
  plat::Handle file = plat::CreateFileW(path, plat::kGENERIC_READ, shareMode, plat::kOPEN_EXISTING);
  if (file == plat::kInvalidHandle) return false;
  bool ok = true;
  int64_t size = plat::GetFileSizeEx(file);
  if (size < 0) {
    ok = false;
  } else if (size > kMaxTextFileBytes) {
    ok = false;
    plat::SetLastError(plat::kERROR_FILE_TOO_LARGE);
  } else {
    bytes.resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes.size()) {
      uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(bytes.size() - done, 1u << 24));
      uint32_t read = 0;
      if (!plat::ReadFile(file, bytes.data() + done, chunk, &read)) {
        ok = false;
        break;
      }
      if (read == 0) break;  // the file shrank meanwhile
      done += read;
    }
    bytes.resize(done);
  }
  uint32_t error = plat::GetLastError();
  plat::CloseHandle(file);
  if (!ok) plat::SetLastError(error);
  return ok;
}

bool RetryWhileHeld(const std::function<bool()>& access) {
  constexpr int kAttempts = 5;
  constexpr uint32_t kPauseMs = 25;
  for (int attempt = 1;; ++attempt) {
    if (access()) return true;
    const uint32_t error = plat::GetLastError();
    const bool held = error == plat::kERROR_SHARING_VIOLATION ||
                      error == plat::kERROR_LOCK_VIOLATION || error == plat::kERROR_ACCESS_DENIED ||
                      error == plat::kERROR_UNABLE_TO_REMOVE_REPLACED ||
                      error == plat::kERROR_UNABLE_TO_MOVE_REPLACEMENT;
    if (!held || attempt == kAttempts) return false;
    plat::Sleep(kPauseMs);
    plat::SetLastError(error);
  }
}

std::vector<std::string> DecodeLines(const std::string& bytes) {
  return txt::SplitLines(txt::DecodeTextFile(bytes));
}

}  // namespace inisupport
