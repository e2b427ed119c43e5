// Stand-in of the product's reporter "Bugreport.exe": appends its command line (after
// the program path) to "bugreport_record.txt" beside itself, one line per start, and
// copies the file named by "/files=" to "bugreport_copy.txt" there, before the record.
#include <windows.h>

#include <string>

int main() {
  const std::wstring line = ::GetCommandLineW();
  // The arguments: what follows the quoted or bare program path.
  size_t at = line[0] == L'"' ? line.find(L'"', 1) + 1 : line.find(L' ');
  if (at == std::wstring::npos || at > line.size()) at = line.size();
  const std::wstring args = line.substr(at + (at < line.size() ? 1 : 0));
  wchar_t self[MAX_PATH] = {};
  std::wstring dir(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
  dir.erase(dir.find_last_of(L'\\') + 1);

  const size_t files = args.find(L"/files=\"");
  if (files != std::wstring::npos) {
    const std::wstring path = args.substr(files + 8, args.find(L'"', files + 8) - files - 8);
    ::CopyFileW(path.c_str(), (dir + L"bugreport_copy.txt").c_str(), FALSE);
  }
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, args.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, args.c_str(), -1, utf8.data(), n, nullptr, nullptr);
  utf8 += "\n";
  const HANDLE file = ::CreateFileW((dir + L"bugreport_record.txt").c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
  ::CloseHandle(file);
  return 0;
}
