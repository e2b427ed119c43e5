// Win32 backend: version resources.
#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/Platform.h"
#include "platform/win32/Wide.h"

namespace plat {

using win32::Widen;

namespace {

// "\StringFileInfo\..." queries answer text; every other query answers bytes.
bool IsStringQuery(const std::wstring& subBlock) {
  static const wchar_t kPrefix[] = L"StringFileInfo\\";
  const int length = static_cast<int>(sizeof kPrefix / sizeof kPrefix[0] - 1);
  const size_t start = subBlock.find_first_not_of(L'\\');
  if (start == std::wstring::npos || subBlock.size() - start <= static_cast<size_t>(length)) {
    return false;
  }
  return ::CompareStringOrdinal(subBlock.c_str() + start, length, kPrefix, length, TRUE) ==
         CSTR_EQUAL;
}

}  // namespace

uint32_t GetFileVersionInfoSizeW(const std::string& path) {
  const std::wstring wide = Widen(path);
  DWORD handle = 0;
  return ::GetFileVersionInfoSizeW(wide.c_str(), &handle);
}

bool GetFileVersionInfoW(const std::string& path, std::string& block) {
  const std::wstring wide = Widen(path);
  DWORD handle = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(wide.c_str(), &handle);
  if (size == 0) return false;
  std::string buffer(size, '\0');
  if (!::GetFileVersionInfoW(wide.c_str(), 0, size, buffer.data())) return false;
  block = std::move(buffer);
  return true;
}

bool VerQueryValueW(const std::string& block, const std::string& subBlock, std::string& value) {
  // VerQueryValueW walks the block in place: give it an aligned copy.
  std::vector<uint64_t> aligned((block.size() + 7) / 8 + 1, 0);
  std::memcpy(aligned.data(), block.data(), block.size());
  const std::wstring wide = Widen(subBlock);
  void* data = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(aligned.data(), wide.c_str(), &data, &length) || !data) return false;
  if (IsStringQuery(wide) && length == 0) {
    value.clear();  // a string table itself, or a value without even a terminator
  } else if (IsStringQuery(wide)) {
    // Text values are counted in characters: hand out the text up to its first
    // terminator, then exactly one terminator.
    const auto* text = static_cast<const char16_t*>(data);
    size_t chars = 0;
    while (chars < length && text[chars] != u'\0')
      ++chars;
    value.assign(static_cast<const char*>(data), chars * sizeof(char16_t));
    value.append(sizeof(char16_t), '\0');
  } else {
    value.assign(static_cast<const char*>(data), length);
  }
  return true;
}

}  // namespace plat
