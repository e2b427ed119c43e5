#include "platform/FileUtil.h"

#include <algorithm>
#include <vector>

#include "platform/Platform.h"

namespace fileutil {

namespace {

bool IsDelimiter(char c) {
  return c == '\\' || c == '/';
}

// Index just past the last path delimiter or drive colon; 0 when there is none.
size_t NameStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i) {
    const char c = path[i - 1];
    if (IsDelimiter(c) || c == ':') return i;
  }
  return 0;
}

// Closes a handle when it goes out of scope, keeping the thread's last error.
class HandleGuard {
 public:
  explicit HandleGuard(plat::Handle h) : h_(h) {}
  ~HandleGuard() {
    if (h_ != plat::kInvalidHandle) {
      const uint32_t err = plat::GetLastError();
      plat::CloseHandle(h_);
      plat::SetLastError(err);
    }
  }
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;

 private:
  plat::Handle h_;
};

bool WriteAll(plat::Handle h, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(bytes.size() - done, 1u << 30));
    uint32_t written = 0;
    if (!plat::WriteFile(h, bytes.data() + done, chunk, &written) || written == 0) return false;
    done += written;
  }
  return true;
}

}  // namespace

std::string ExtractFilePath(const std::string& path) {
  return path.substr(0, NameStart(path));
}

std::string ExtractFileDir(const std::string& path) {
  size_t n = NameStart(path);
  // Keep "C:\" and "\" as they are; drop a delimiter that ends a longer folder.
  if (n > 0 && IsDelimiter(path[n - 1]) && n > 1 && path[n - 2] != ':' && !IsDelimiter(path[n - 2]))
    --n;
  return path.substr(0, n);
}

std::string ExtractFileName(const std::string& path) {
  return path.substr(NameStart(path));
}

std::string ExtractFileExt(const std::string& path) {
  const size_t start = NameStart(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return {};
  return path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  const size_t start = NameStart(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return path + ext;
  return path.substr(0, dot) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && IsDelimiter(path.back())) return path;
  return path + "\\";
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  std::string out = path;
  while (!out.empty() && IsDelimiter(out.back()))
    out.pop_back();
  return out;
}

bool FileExists(const std::string& path) {
  const uint32_t attrs = plat::GetFileAttributesW(path);
  return attrs != plat::kINVALID_FILE_ATTRIBUTES && (attrs & plat::kFILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const uint32_t attrs = plat::GetFileAttributesW(path);
  return attrs != plat::kINVALID_FILE_ATTRIBUTES && (attrs & plat::kFILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ForceDirectories(const std::string& path) {
  const std::string dir = ExcludeTrailingPathDelimiter(path);
  if (dir.empty()) return false;
  if (dir.size() > kMaxFolderPathChars) {
    plat::SetLastError(plat::kERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  // Up to the first level that exists (a drive root ("C:") or a path without a
  // parent ends the walk), then the missing levels downwards.
  std::vector<std::string> missing;
  for (std::string level = dir; !DirectoryExists(level);) {
    missing.push_back(level);
    const std::string parent = ExtractFileDir(level);
    if (parent.empty() || parent == level || (parent.size() == 2 && parent[1] == ':')) break;
    level = parent;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!plat::CreateDirectoryW(*it) && !DirectoryExists(*it)) return false;
  }
  return true;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  const plat::Handle h =
      plat::CreateFileW(path, plat::kGENERIC_READ,
                        plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE | plat::kFILE_SHARE_DELETE,
                        plat::kOPEN_EXISTING);
  if (h == plat::kInvalidHandle) return false;
  HandleGuard guard(h);
  bytes.clear();
  char buffer[65536];
  for (;;) {
    uint32_t read = 0;
    if (!plat::ReadFile(h, buffer, sizeof buffer, &read)) return false;
    if (read == 0) break;
    bytes.append(buffer, read);
  }
  return true;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  const plat::Handle h =
      plat::CreateFileW(path, plat::kGENERIC_WRITE, plat::kFILE_SHARE_READ, plat::kCREATE_ALWAYS);
  if (h == plat::kInvalidHandle) return false;
  HandleGuard guard(h);
  return WriteAll(h, bytes);
}

bool AppendFileBytes(const std::string& path, const std::string& bytes) {
  const plat::Handle h =
      plat::CreateFileW(path, plat::kGENERIC_WRITE, plat::kFILE_SHARE_READ, plat::kOPEN_ALWAYS);
  if (h == plat::kInvalidHandle) return false;
  HandleGuard guard(h);
  if (plat::SetFilePointerEx(h, 0, plat::kFILE_END) < 0) return false;
  return WriteAll(h, bytes);
}

int64_t FileSize(const std::string& path) {
  const plat::Handle h = plat::CreateFileW(
      path, 0, plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE | plat::kFILE_SHARE_DELETE,
      plat::kOPEN_EXISTING);
  if (h == plat::kInvalidHandle) return -1;
  HandleGuard guard(h);
  return plat::GetFileSizeEx(h);
}

}  // namespace fileutil
