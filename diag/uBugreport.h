// The program's own bug report: an exception that nothing handles becomes the text
// file "bugreport_.txt" (the exception, the program's path and version and a census
// of its GDI handles), handed to the product's reporter "Bugreport.exe"; then the
// program ends with code 0.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The GDI handle census of a process: DC, region, bitmap, palette, font, pen, brush
// and other handles. All zero when "GDIResource.dll" is missing from the program
// folder or lacks its export.
using TGdiCensus = std::array<int32_t, 8>;
TGdiCensus GetGdiResource(uint32_t ProcessId);

// An exception as the report describes it.
struct TExceptionReport {
  std::string Kind;     // "C++ exception", or the structured exception's code
  std::string Message;  // what() of a C++ exception, the address of a structured one
  uint32_t CrashId = 0;
};

// CRC-32 over bytes: the crash identifier of a stack (module names and module-relative
// return addresses) or of a C++ exception (its message).
uint32_t CrashChecksum(const std::string& Bytes);
// The report of a C++ exception; its identifier is the checksum of its message, so
// that it holds no address and is the same in every run.
TExceptionReport CppExceptionReport(const std::string& Message);

// The report mode from the program folder's "Update\update.ini" (1 without it):
// 0 none, 1 normal, 2 silent, any other value no mode switch.
int32_t BugReportMode();

// Writes the report and starts the reporter. False when the report is left to the
// default handling (no reporter, or mode 0); true when made or ignored by the list.
bool BugReportHandler(const TExceptionReport& Report);

// Sent after a report once the window exists: what a normal end tells the product.
void SetBugReportNotice(std::function<void()> Notice);

// The end of the program after an exception nothing handled: the report, the notice,
// then the process ends with code 0. A second failing thread waits for that end.
[[noreturn]] void ReportUnhandledException(const TExceptionReport& Report);

// Start-up of the unit: the terminate handler and the structured-exception filter
// lead to the report; a "testbugreport" switch ("-" or "/", any letter case) raises
// the test exception "testbug".
void InitBugReport(const std::vector<std::string>& Params);
inline constexpr const char* kTestBugText = "testbug";
