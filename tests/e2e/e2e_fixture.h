// End-to-end fixture (Windows): VlxMini.exe installed in a scratch folder beside
// test doubles of the product, started as the host would start it.
//
// Each test gets:
//   - an install folder ("...\Program Files\Velmora") with VlxMini.exe (from the
//     build: <build>\app\VlxMini.exe), the companion files of the installation check
//     ("Temperature.dll", "Register.dll", "VlxUpdater.exe", "skin\classic.dll" as
//     empty files, "VlxMain.exe" and "VlxTray.exe" as copies of the window double,
//     which carries the product's version) and the data-channel double
//     "datastate.dll", whose calls go to a record file;
//   - the installed version (the uninstall key's "DisplayVersion") set to the
//     program's own version, and the earlier value put back afterwards;
//   - an empty data folder (%APPDATA%\Trevanic\Velmora);
//   - the host window (class "TfrmVelmorixMain", caption "Velmora") and the tray
//     window (class "TFormVX4Tray", caption "Velmora_4_Tray_Form"), played by
//     e2e_window_helper processes that record every message they receive.
// The doubles' copies "VlxMain.exe" and "VlxTray.exe" are not running unless a test
// starts them (StartInstalled).
//
// Every wait has a time-out; processes a test started are ended at its end.
#pragma once

#include <windows.h>
#undef DrawText

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "diag/uSysInfo.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/LogText.h"
#include "tests/support/Sandbox.h"

namespace e2e {

inline constexpr const char* kHostClass = "TfrmVelmorixMain";
inline constexpr const char* kHostCaption = "Velmora";
inline constexpr const char* kTrayClass = "TFormVX4Tray";
inline constexpr const char* kTrayCaption = "Velmora_4_Tray_Form";
inline constexpr const char* kMiniClass = "TfrmMiniBoost";
inline constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora_is1";
// Posted by the fixture to a double to learn that every message before it is recorded.
inline constexpr uint32_t kSettleMarker = WM_USER + 30000;
inline constexpr DWORD kProgramTimeoutMs = 60000;

inline std::wstring Wide(const std::string& text) {
  const std::u16string u16 = txt::Utf8ToUtf16(text);
  return std::wstring(u16.begin(), u16.end());
}

inline std::string Narrow(const wchar_t* text) {
  std::u16string u16;
  for (; text && *text; ++text)
    u16.push_back(static_cast<char16_t>(*text));
  return txt::Utf16ToUtf8(u16);
}

// One message a double received.
struct Msg {
  uint32_t message = 0;
  uint64_t wParam = 0;
  int64_t lParam = 0;
  bool sent = false;
  bool operator==(const Msg&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Msg& m) {
  return os << m.message << " (" << m.wParam << "," << m.lParam << ") "
            << (m.sent ? "sent" : "posted");
}
inline Msg Sent(uint32_t message, uint64_t wParam, int64_t lParam) {
  return {message, wParam, lParam, true};
}
inline Msg Posted(uint32_t message, uint64_t wParam, int64_t lParam) {
  return {message, wParam, lParam, false};
}
// The messages of one kind, in the order they came. Sent and posted messages from
// another process are not ordered against each other (a receiver takes sent
// messages before its queue), so tests compare each kind on its own.
inline std::vector<Msg> OfKind(const std::vector<Msg>& all, bool sent) {
  std::vector<Msg> out;
  for (const Msg& m : all)
    if (m.sent == sent) out.push_back(m);
  return out;
}

// A process this test started; ended (if still running) when it goes.
class Process {
 public:
  Process() = default;
  Process(HANDLE process, DWORD pid) : handle_(process), pid_(pid) {}
  ~Process() { Kill(); }
  Process(Process&& other) noexcept : handle_(other.handle_), pid_(other.pid_) {
    other.handle_ = nullptr;
  }
  Process& operator=(Process&& other) noexcept {
    if (this != &other) {
      Kill();
      handle_ = other.handle_;
      pid_ = other.pid_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool valid() const { return handle_ != nullptr; }
  DWORD pid() const { return pid_; }
  bool Running() const { return handle_ && ::WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }
  // The exit code once the process has ended, or nullopt after the time-out.
  std::optional<DWORD> Wait(DWORD timeoutMs = kProgramTimeoutMs) const {
    if (!handle_ || ::WaitForSingleObject(handle_, timeoutMs) != WAIT_OBJECT_0) return {};
    DWORD code = 0;
    ::GetExitCodeProcess(handle_, &code);
    return code;
  }
  void Kill() {
    if (!handle_) return;
    if (::WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(handle_, 99);
      ::WaitForSingleObject(handle_, 5000);
    }
    ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
  DWORD pid_ = 0;
};

// Starts "<exe>" <arguments> in the folder; an invalid Process on failure.
inline Process Start(const std::string& exe, const std::string& arguments,
                     const std::string& folder) {
  std::wstring command = Wide("\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments));
  const std::wstring dir = Wide(folder);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // Wine now and then refuses a start with ERROR_INTERNAL_ERROR on a busy machine: the
  // test's own start is tried again before it counts as a failure.
  for (int attempt = 1;; ++attempt) {
    if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         folder.empty() ? nullptr : dir.c_str(), &startup, &info))
      break;
    const DWORD error = ::GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
      ADD_FAILURE() << "cannot start " << exe << " (error " << error << ")";
      return {};
    }
    ::Sleep(200);
  }
  ::CloseHandle(info.hThread);
  return Process(info.hProcess, info.dwProcessId);
}

// Polls until done() answers true or the time is up; answers done()'s last answer.
inline bool PollUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs = 20) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (::GetTickCount64() >= end) return false;
    ::Sleep(stepMs);
  }
}

inline HWND FindWin(const char* className, const char* caption) {
  const std::wstring c = className ? Wide(className) : std::wstring();
  const std::wstring t = caption ? Wide(caption) : std::wstring();
  return ::FindWindowW(className ? c.c_str() : nullptr, caption ? t.c_str() : nullptr);
}

struct WindowSearch {
  DWORD pid;
  std::wstring className;
  std::vector<HWND> found;
};
inline BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  wchar_t name[256] = {};
  ::GetClassNameW(hwnd, name, 256);
  if (owner == s->pid && s->className == name) s->found.push_back(hwnd);
  return TRUE;
}

// Top-level windows of a process with the given class.
inline std::vector<HWND> WindowsOf(DWORD pid, const char* className) {
  WindowSearch search{pid, Wide(className), {}};
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline std::string WindowText(HWND hwnd) {
  wchar_t text[1024] = {};
  ::GetWindowTextW(hwnd, text, 1024);
  return Narrow(text);
}

inline std::string ReadBytes(const std::string& path) {
  std::string bytes;
  fileutil::ReadFileBytes(path, bytes);
  return bytes;
}

class E2eFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string binDir = BinDir();
    program_ = plat::GetFullPathNameW(binDir + "..\\app\\VlxMini.exe");
    ASSERT_TRUE(fileutil::FileExists(program_)) << "the program is not built: " << program_;
    helper_ = binDir + "e2e_window_helper.exe";
    ASSERT_TRUE(fileutil::FileExists(helper_)) << helper_;
    ASSERT_TRUE(fileutil::FileExists(binDir + "datastate.dll")) << binDir << "datastate.dll";

    // The install folder (a path with a blank, as under "Program Files").
    ASSERT_TRUE(plat::CreateDirectoryW(sandbox_.Path("Program Files")));
    install_ = sandbox_.Path("Program Files\\Velmora") + "\\";
    ASSERT_TRUE(plat::CreateDirectoryW(install_));
    ASSERT_TRUE(plat::CreateDirectoryW(install_ + "skin"));
    ASSERT_TRUE(plat::CopyFileW(program_, install_ + "VlxMini.exe", false));
    ASSERT_TRUE(plat::CopyFileW(helper_, install_ + "VlxMain.exe", false));
    ASSERT_TRUE(plat::CopyFileW(helper_, install_ + "VlxTray.exe", false));
    ASSERT_TRUE(plat::CopyFileW(binDir + "datastate.dll", install_ + "datastate.dll", false));
    for (const char* empty :
         {"Temperature.dll", "Register.dll", "VlxUpdater.exe", "skin\\classic.dll"}) {
      ASSERT_TRUE(fileutil::AppendFileBytes(install_ + empty, "")) << empty;
    }
    hostRecord_ = sandbox_.Path("host.txt");
    trayRecord_ = sandbox_.Path("tray.txt");
    channelRecord_ = install_ + "datastate_record.txt";

    // The installed version: the program's own, as the installer writes it.
    version_ = GetFileVersionText(program_, 3, "");
    ASSERT_FALSE(version_.empty()) << "VlxMini.exe has no version resource";
    ASSERT_EQ(GetFileVersionText(install_ + "VlxMain.exe", 3, ""), version_)
        << "the host double does not carry the program's version";
    SaveInstalledVersion();
    SetInstalledVersion(version_);

    // An empty data folder.
    std::string appData;
    ASSERT_TRUE(plat::SHGetSpecialFolderPathW(plat::kCSIDL_APPDATA, appData));
    data_ = appData + "\\Trevanic\\Velmora\\";
    test::RemoveTree(appData + "\\Trevanic\\Velmora");
    plat::CreateDirectoryW(appData + "\\Trevanic");
    ASSERT_TRUE(plat::CreateDirectoryW(data_));

    // The host and tray windows.
    ASSERT_FALSE(FindWin(kHostClass, kHostCaption)) << "a host window is already there";
    ASSERT_FALSE(FindWin(kTrayClass, kTrayCaption)) << "a tray window is already there";
    host_ = StartDouble(kHostClass, kHostCaption, hostRecord_);
    tray_ = StartDouble(kTrayClass, kTrayCaption, trayRecord_);
    ASSERT_TRUE(PollUntil(
        [] { return FindWin(kHostClass, kHostCaption) && FindWin(kTrayClass, kTrayCaption); },
        20000))
        << "the host and tray doubles did not show their windows";
  }

  void TearDown() override {
    for (Process* p : {&host_, &tray_}) {
      if (p->Running()) {
        for (HWND w : WindowsOf(p->pid(), p == &host_ ? kHostClass : kTrayClass))
          ::PostMessageW(w, WM_CLOSE, 0, 0);
        p->Wait(5000);
      }
      p->Kill();
    }
    RestoreInstalledVersion();
    // A program the run opened (the web link of a failed installation check opens
    // a browser) may still be in the install folder for a moment.
    PollUntil(
        [&] {
          test::RemoveTree(sandbox_.Path("Program Files"));
          return plat::GetFileAttributesW(sandbox_.Path("Program Files")) ==
                 plat::kINVALID_FILE_ATTRIBUTES;
        },
        10000, 100);
  }

  // ------------------------------------------------------------ the program

  // Starts the installed VlxMini.exe with the arguments, in the install folder.
  Process StartProgram(const std::string& arguments) {
    return Start(install_ + "VlxMini.exe", arguments, install_);
  }
  // Runs it to its end; its exit code, or nullopt when it did not end in time.
  std::optional<DWORD> RunProgram(const std::string& arguments) {
    Process p = StartProgram(arguments);
    return p.Wait();
  }
  // Starts a program of the install folder ("VlxMain.exe" ...).
  Process StartInstalled(const std::string& name, const std::string& arguments) {
    return Start(install_ + name, arguments, install_);
  }

  // ------------------------------------------------------------ what it left

  // The run log's messages, without time stamps and GDI suffixes.
  std::vector<std::string> RunLog() const {
    return test::LogMessages(txt::DecodeTextFile(ReadBytes(data_ + "Logs\\VlxMiniAppRun.log")));
  }
  size_t CountLogged(const std::string& line) const {
    const auto log = RunLog();
    return static_cast<size_t>(std::count(log.begin(), log.end(), line));
  }
  bool Logged(const std::string& line) const { return CountLogged(line) > 0; }

  // Data-channel calls: "<channel>\t<text>\t<text bytes>\t<reply capacity>".
  std::vector<std::string> ChannelCalls() const {
    return txt::SplitLines(ReadBytes(channelRecord_));
  }

  // Messages the host and tray doubles received. Settles first: a marker posted now
  // comes after everything posted before, so once it is recorded the record is whole.
  std::vector<Msg> HostMessages() { return Settled(host_, kHostClass, hostRecord_); }
  std::vector<Msg> TrayMessages() { return Settled(tray_, kTrayClass, trayRecord_); }

  std::string DataFile(const std::string& name) const { return data_ + name; }
  bool DataExists(const std::string& name) const {
    return plat::GetFileAttributesW(data_ + name) != plat::kINVALID_FILE_ATTRIBUTES;
  }
  std::string DataText(const std::string& name) const {
    return txt::DecodeTextFile(ReadBytes(data_ + name));
  }
  void WriteData(const std::string& name, const std::string& bytes) const {
    const std::string path = data_ + name;
    plat::DeleteFileW(path);
    ASSERT_TRUE(fileutil::AppendFileBytes(path, bytes)) << path;
  }

  const std::string& install() const { return install_; }
  const std::string& data() const { return data_; }
  const std::string& version() const { return version_; }
  const Process& host() const { return host_; }
  const Process& tray() const { return tray_; }

  static std::string BinDir() {
    std::string dir = plat::GetEnvironmentVariableW("VLX_TEST_BIN_DIR")
                          .value_or(fileutil::ExtractFilePath(plat::GetModuleFileNameW()));
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    return dir;
  }

 private:
  Process StartDouble(const char* className, const char* caption, const std::string& record) {
    return Start(helper_, std::string(className) + " " + caption + " \"" + record + "\" 180000",
                 sandbox_.dir());
  }

  std::vector<Msg> Settled(const Process& double_, const char* className,
                           const std::string& record) {
    const auto windows = WindowsOf(double_.pid(), className);
    if (windows.empty()) {
      ADD_FAILURE() << "the " << className << " double has no window";
    } else {
      const auto markers = [&] {
        const auto all = ReadRecord(record, true);
        return std::count_if(all.begin(), all.end(),
                             [](const Msg& m) { return m.message == kSettleMarker; });
      };
      const auto before = markers();
      ::PostMessageW(windows.front(), kSettleMarker, 0, 0);
      if (!PollUntil([&] { return markers() > before; }, 10000)) {
        ADD_FAILURE() << "the " << className << " double did not record its marker";
      }
    }
    return ReadRecord(record);
  }

  static std::vector<Msg> ReadRecord(const std::string& record, bool withMarkers = false) {
    std::vector<Msg> out;
    for (const std::string& line : txt::SplitLines(ReadBytes(record))) {
      Msg m;
      char kind[16] = {};
      unsigned long long w = 0;
      long long l = 0;
      if (std::sscanf(line.c_str(), "%u %llu %lld %15s", &m.message, &w, &l, kind) != 4) continue;
      m.wParam = w;
      m.lParam = l;
      m.sent = std::string(kind) == "sent";
      if (m.message == kSettleMarker && !withMarkers) continue;
      out.push_back(m);
    }
    return out;
  }

  void SaveInstalledVersion() {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(kUninstallKey).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
      return;
    }
    wchar_t value[512] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key, L"DisplayVersion", nullptr, &type, reinterpret_cast<BYTE*>(value),
                           &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
      savedVersion_ = Narrow(value);
    }
    ::RegCloseKey(key);
  }
  static void SetInstalledVersion(const std::optional<std::string>& version) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, Wide(kUninstallKey).c_str(), 0, nullptr, 0,
                                KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (version) {
      const std::wstring w = Wide(*version);
      ::RegSetValueExW(key, L"DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(w.c_str()),
                       static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
    } else {
      ::RegDeleteValueW(key, L"DisplayVersion");
    }
    ::RegCloseKey(key);
  }
  void RestoreInstalledVersion() {
    if (!version_.empty()) SetInstalledVersion(savedVersion_);
  }

  test::Sandbox sandbox_;
  std::string program_, helper_, install_, data_, version_;
  std::string hostRecord_, trayRecord_, channelRecord_;
  std::optional<std::string> savedVersion_;
  Process host_, tray_;
};

}  // namespace e2e
