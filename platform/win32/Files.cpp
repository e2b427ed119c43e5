// Win32 backend: last error, files and folders.
#include <windows.h>

#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace plat {

using win32::FromHandle;
using win32::KeepLastError;
using win32::Narrow;
using win32::NarrowZ;
using win32::ToHandle;
using win32::Widen;

uint32_t GetLastError() {
  return ::GetLastError();
}
void SetLastError(uint32_t code) {
  ::SetLastError(code);
}

Handle CreateFileW(const std::string& path, uint32_t access, uint32_t share, uint32_t disposition,
                   uint32_t attributes) {
  const std::wstring wide = Widen(path);
  HANDLE file =
      ::CreateFileW(wide.c_str(), access, share, nullptr, disposition, attributes, nullptr);
  return FromHandle(file);
}

bool ReadFile(Handle file, void* buffer, uint32_t toRead, uint32_t* read) {
  DWORD done = 0;
  const BOOL ok = ::ReadFile(ToHandle(file), buffer, toRead, &done, nullptr);
  if (read) *read = done;
  return ok != FALSE;
}

bool WriteFile(Handle file, const void* buffer, uint32_t toWrite, uint32_t* written) {
  DWORD done = 0;
  const BOOL ok = ::WriteFile(ToHandle(file), buffer, toWrite, &done, nullptr);
  if (written) *written = done;
  return ok != FALSE;
}

int64_t SetFilePointerEx(Handle file, int64_t distance, uint32_t method) {
  LARGE_INTEGER move;
  move.QuadPart = distance;
  LARGE_INTEGER position;
  position.QuadPart = 0;
  if (!::SetFilePointerEx(ToHandle(file), move, &position, method)) return -1;
  return position.QuadPart;
}

bool SetEndOfFile(Handle file) {
  return ::SetEndOfFile(ToHandle(file)) != FALSE;
}

int64_t GetFileSizeEx(Handle file) {
  LARGE_INTEGER size;
  size.QuadPart = 0;
  if (!::GetFileSizeEx(ToHandle(file), &size)) return -1;
  return size.QuadPart;
}

bool CloseHandle(Handle handle) {
  return ::CloseHandle(ToHandle(handle)) != FALSE;
}

std::string NativeFilePath(const std::string& path) {
  return path;
}

uint32_t GetFileAttributesW(const std::string& path) {
  const std::wstring wide = Widen(path);
  return ::GetFileAttributesW(wide.c_str());
}

bool SetFileAttributesW(const std::string& path, uint32_t attributes) {
  const std::wstring wide = Widen(path);
  return ::SetFileAttributesW(wide.c_str(), attributes) != FALSE;
}

bool CreateDirectoryW(const std::string& path) {
  const std::wstring wide = Widen(path);
  return ::CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
}

bool RemoveDirectoryW(const std::string& path) {
  const std::wstring wide = Widen(path);
  return ::RemoveDirectoryW(wide.c_str()) != FALSE;
}

bool DeleteFileW(const std::string& path) {
  const std::wstring wide = Widen(path);
  return ::DeleteFileW(wide.c_str()) != FALSE;
}

bool MoveFileExW(const std::string& from, const std::string& to, bool replace) {
  const std::wstring wideFrom = Widen(from);
  const std::wstring wideTo = Widen(to);
  return ::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0) !=
         FALSE;
}

bool CopyFileW(const std::string& from, const std::string& to, bool failIfExists) {
  const std::wstring wideFrom = Widen(from);
  const std::wstring wideTo = Widen(to);
  return ::CopyFileW(wideFrom.c_str(), wideTo.c_str(), failIfExists ? TRUE : FALSE) != FALSE;
}

bool FindFiles(const std::string& pattern, std::vector<FindData>& out) {
  out.clear();
  const std::wstring wide = Widen(pattern);
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileW(wide.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    if (::lstrcmpW(data.cFileName, L".") == 0 || ::lstrcmpW(data.cFileName, L"..") == 0) continue;
    FindData entry;
    entry.name = NarrowZ(data.cFileName);
    entry.attributes = data.dwFileAttributes;
    entry.size =
        static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    out.push_back(std::move(entry));
  } while (::FindNextFileW(find, &data));
  // The walk ends with ERROR_NO_MORE_FILES; closing the search must not hide it.
  KeepLastError keep;
  ::FindClose(find);
  return true;
}

std::string GetCurrentDirectoryW() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return {};
    if (length < buffer.size()) return Narrow(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

bool SetCurrentDirectoryW(const std::string& path) {
  const std::wstring wide = Widen(path);
  return ::SetCurrentDirectoryW(wide.c_str()) != FALSE;
}

std::string GetFullPathNameW(const std::string& path) {
  const std::wstring wide = Widen(path);
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return {};
    if (length < buffer.size()) return Narrow(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

std::string GetTempPathW() {
  std::vector<wchar_t> buffer(MAX_PATH + 2);
  for (;;) {
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return {};
    if (length < buffer.size()) return Narrow(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

}  // namespace plat
