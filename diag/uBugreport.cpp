#include "diag/uBugreport.h"

#include <exception>
#include <mutex>
#include <stdexcept>

#include "config/PSafeIniFile.h"
#include "diag/uAppLog.h"
#include "diag/uSysInfo.h"
#include "platform/FileUtil.h"
#include "platform/Gui.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace {

constexpr const char* kLabel = "VlxMini";
constexpr int kLabelWidth = 18;
constexpr int kShowNormal = 1;

std::string ProgramFolder() {
  return fileutil::ExtractFilePath(plat::GetModuleFileNameW());
}

std::string Padded(std::string text) {
  if (text.size() < kLabelWidth) text.resize(kLabelWidth, ' ');
  return text;
}

// The updater's file, held in memory only: it is never written back.
class TUpdateIni : public TMemIniFile {
 public:
  void UpdateFile() override {}
};

// The updater's file, read as it stands: a missing file reads empty and is never made.
bool LoadUpdateIni(TMemIniFile& ini) {
  std::string bytes;
  if (!fileutil::ReadFileBytes(ProgramFolder() + "Update\\update.ini", bytes)) return false;
  ini.SetStrings(txt::SplitLines(txt::DecodeTextFile(bytes)));
  return true;
}

std::string ReportText(const TExceptionReport& Report, const std::string& Program) {
  std::string text = "\xEF\xBB\xBF";
  const auto line = [&](const std::string& s) { text += s + "\r\n"; };
  line(Padded(kLabel) + ": " + Program);
  line(Padded(std::string(kLabel) + " version") + ": " +
       GetFileVersionString(Program, 3, "Unknown"));
  line("Exception         : " + Report.Kind);
  line("Message           : " + Report.Message);
  line("Crash identifier  : " + txt::IntToHex(Report.CrashId, 8));
  line("");
  const uint32_t pid = plat::GetCurrentProcessId();
  line("gdi resource(" + txt::UIntToStr(pid) + "):");
  static const char* const kNames[] = {"DCHandle     ", "RegionHandle ", "BitmapHandle ",
                                       "PaletteHandle", "FontHandle   ", "PenHandle    ",
                                       "BrushHandle  ", "OtherHandle  "};
  const TGdiCensus census = GetGdiResource(pid);
  for (size_t i = 0; i < census.size(); ++i)
    line(std::string(kNames[i]) + ": " + txt::IntToStr(census[i]));
  return text;
}

std::function<void()>& Notice() {
  static auto* notice = new std::function<void()>;
  return *notice;
}

void CrashFromFilter(uint32_t code, const std::string& stack) {
  ReportUnhandledException(
      {"structured exception 0x" + txt::IntToHex(code, 8), stack, CrashChecksum(stack)});
}

[[noreturn]] void Terminate() {
  std::string message = "unknown exception";
  if (const std::exception_ptr e = std::current_exception()) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& x) {
      message = x.what();
    } catch (...) {
    }
  }
  LogError("Unhandled exception: " + message);
  ReportUnhandledException(CppExceptionReport(message));
}

}  // namespace

TGdiCensus GetGdiResource(uint32_t ProcessId) {
  using Fn = void (*)(int32_t*, uint32_t);
  static const Fn fn = []() -> Fn {
    const std::string path = ProgramFolder() + "GDIResource.dll";
    if (!fileutil::FileExists(path)) return nullptr;
    const plat::Module module = plat::LoadLibraryW(path);
    return module ? reinterpret_cast<Fn>(plat::GetProcAddress(module, "getGdiResource")) : nullptr;
  }();
  TGdiCensus census{};
  if (fn) fn(census.data(), ProcessId);
  return census;
}

uint32_t CrashChecksum(const std::string& Bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const unsigned char c : Bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

TExceptionReport CppExceptionReport(const std::string& Message) {
  return {"C++ exception", Message, CrashChecksum(Message)};
}

int32_t BugReportMode() {
  TUpdateIni ini;
  if (!LoadUpdateIni(ini)) return 1;
  const std::string host = GetFileVersionText(ProgramFolder() + "VlxMain.exe", 3, "");
  const int32_t mode = ini.ReadInteger("vlmx_config", "MISC_BUGT_" + host, -1);
  return mode != -1 ? mode : ini.ReadInteger("vlmx_config", "MISC_BUGT", 1);
}

bool BugReportHandler(const TExceptionReport& Report) {
  const std::string program = plat::GetModuleFileNameW();
  const std::string folder = fileutil::ExtractFilePath(program);
  TUpdateIni ini;
  LoadUpdateIni(ini);
  if (ini.ReadInteger("BugIgnore", "00000000", 0) == 1) {
    // An entry that is absent or empty ignores nothing.
    const std::string listed = ini.ReadString("BugIgnore", txt::IntToHex(Report.CrashId, 8), "");
    if (!listed.empty() && txt::SameText(listed, GetFileVersionString(program, 3, "Unknown")))
      return true;
  }
  const std::string reporter = folder + "Bugreport.exe";
  if (!fileutil::FileExists(reporter)) return false;

  std::string file = folder + "bugreport_.txt";
  try {
    if (fileutil::FileExists(file)) plat::DeleteFileW(file);
    const std::string text = ReportText(Report, program);
    if (!fileutil::WriteFileBytes(file, text)) {
      file = fileutil::IncludeTrailingPathDelimiter(plat::GetTempPathW()) + "bugreport_.txt";
      fileutil::WriteFileBytes(file, text);
    }
  } catch (const std::exception& e) {
    LogError("Bug report: " + std::string(e.what()));
  }

  std::string params = "/bugreport /vlmx";
  const int32_t mode = BugReportMode();
  if (mode == 0) return false;
  if (mode == 1) params += " /normal";
  if (mode == 2) params += " /silent";
  params += " /files=\"" + file + "\"";
  try {
    plat::ShellExecuteW(0, "open", reporter, params, "", kShowNormal);
  } catch (const std::exception& e) {
    LogError("Bug report: " + std::string(e.what()));
  }
  return true;
}

void SetBugReportNotice(std::function<void()> Notice_) {
  Notice() = std::move(Notice_);
}

void ReportUnhandledException(const TExceptionReport& Report) {
  // One report per process: a second thread failing meanwhile waits for the end.
  // A failure inside the report itself ends the process at once.
  static thread_local bool reporting = false;
  if (reporting) plat::ExitProcess(0);
  reporting = true;
  static std::mutex* once = new std::mutex;
  once->lock();
  try {
    BugReportHandler(Report);
    if (Notice()) Notice()();
  } catch (...) {
  }
  plat::ExitProcess(0);
}

void InitBugReport(const std::vector<std::string>& Params) {
  std::set_terminate(Terminate);
  plat::SetCrashFilter(CrashFromFilter);
  for (size_t i = 1; i < Params.size(); ++i) {
    const std::string& p = Params[i];
    if (p.size() > 1 && (p[0] == '-' || p[0] == '/') && txt::SameText(p.substr(1), "testbugreport"))
      throw std::runtime_error(kTestBugText);
  }
}
