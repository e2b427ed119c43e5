// Test double of the host's data-channel library "datastate.dll": its one export
// Func (standard calling convention, five arguments) appends what it was given to
// a record file, one line per call, UTF-8:
//   <channel>\t<text>\t<text bytes>\t<reply capacity>
// The record file is named by the environment variable VLX_DATASTATE_RECORD, or
// else "datastate_record.txt" beside the library. Func answers 1.
#include <windows.h>

#include <cstdint>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  if (text == nullptr) return "(null)";
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string out(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size - 1));
  return out;
}

std::wstring RecordPath() {
  wchar_t buffer[MAX_PATH * 2];
  const DWORD n = ::GetEnvironmentVariableW(L"VLX_DATASTATE_RECORD", buffer, MAX_PATH * 2);
  if (n > 0 && n < MAX_PATH * 2) return std::wstring(buffer, n);
  HMODULE self = nullptr;
  ::GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&RecordPath), &self);
  const DWORD len = ::GetModuleFileNameW(self, buffer, MAX_PATH * 2);
  std::wstring path(buffer, len);
  const size_t slash = path.find_last_of(L"\\/");
  path.erase(slash == std::wstring::npos ? 0 : slash + 1);
  return path + L"datastate_record.txt";
}

}  // namespace

extern "C" __declspec(dllexport) int32_t
    __stdcall Func(const wchar_t* channel, const wchar_t* text, int32_t textBytes, void* reply,
                   uint32_t* replyCapacity) {
  (void)reply;
  const std::string line = Utf8(channel) + "\t" + Utf8(text) + "\t" + std::to_string(textBytes) +
                           "\t" + (replyCapacity ? std::to_string(*replyCapacity) : "(null)") +
                           "\n";
  const HANDLE file =
      ::CreateFileW(RecordPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  DWORD written = 0;
  ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  ::CloseHandle(file);
  return 1;
}
