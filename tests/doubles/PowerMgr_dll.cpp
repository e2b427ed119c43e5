// Stand-in for the power-plan library "PowerMgr.dll" (standard calling convention):
// keeps the active plan's identifier in "powermgr_plan.txt" beside the library
// (missing: "{USER-PLAN}") and appends every call to "powermgr_record.txt", one line
// per call, UTF-8: the function's name and its arguments, separated by tabs. A call
// named in "hold.txt" beside it is held for a minute.
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "dll_double.h"

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

using dll_double::Beside;

void Record(const std::string& line) {
  std::ofstream(Beside(L"powermgr_record.txt").c_str(), std::ios::app | std::ios::binary)
      << line << "\n";
}

std::wstring ActivePlan() {
  std::ifstream in(Beside(L"powermgr_plan.txt").c_str(), std::ios::binary);
  std::string id;
  if (!std::getline(in, id) || id.empty()) return L"{USER-PLAN}";
  return std::wstring(id.begin(), id.end());
}

void SetActivePlan(const wchar_t* id) {
  std::ofstream(Beside(L"powermgr_plan.txt").c_str(), std::ios::binary) << Utf8(id);
}

// When "hold.txt" beside the library names the function, the call, having acted, does not
// return for a minute: a test ends the program there.
void Hold(const char* function) {
  std::string name;
  std::ifstream(Beside(L"hold.txt").c_str()) >> name;
  if (name == function) ::Sleep(60000);
}

}  // namespace

#define EXPORT extern "C" __declspec(dllexport) uint32_t __stdcall

EXPORT GetCurrentPwrCFG(wchar_t*, uint32_t firstCapacity, wchar_t* second,
                        uint32_t secondCapacity) {
  Record("GetCurrentPwrCFG\t" + std::to_string(firstCapacity) + "\t" +
         std::to_string(secondCapacity));
  const std::wstring id = ActivePlan();
  if (second == nullptr || id.size() >= secondCapacity) return 0;
  id.copy(second, id.size());
  second[id.size()] = 0;
  return 1;
}

EXPORT DeletePwrCFGByName(const wchar_t* name) {
  Record("DeletePwrCFGByName\t" + Utf8(name));
  return 1;
}

EXPORT SetSleepTimeValue(uint32_t value) {
  Record("SetSleepTimeValue\t" + std::to_string(value));
  return 1;
}

EXPORT SetDisplayTimeValue(uint32_t value) {
  Record("SetDisplayTimeValue\t" + std::to_string(value));
  return 1;
}

EXPORT GetCurrentDisplayBrightness(uint32_t* first, uint32_t* second) {
  Record("GetCurrentDisplayBrightness");
  if (first) *first = 70;
  if (second) *second = 40;
  return 1;
}

EXPORT SetGamePwrCFG(const wchar_t* name, const wchar_t* description, const wchar_t* id,
                     uint32_t first, uint32_t second) {
  Record("SetGamePwrCFG\t" + Utf8(name) + "\t" + Utf8(description) + "\t" + Utf8(id) + "\t" +
         std::to_string(first) + "\t" + std::to_string(second));
  SetActivePlan(id);
  Hold("SetGamePwrCFG");
  return 1;
}

EXPORT SetPwrCFG(const wchar_t* id) {
  Record("SetPwrCFG\t" + Utf8(id));
  SetActivePlan(id);
  return 1;
}
