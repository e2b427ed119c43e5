// Stand-in for the overclocking library "OverDrive.dll" (standard calling convention):
// reads "RESULT GPU MEM" for OverClock from "overdrive.txt" beside the library
// (missing: "1 50 20"), fills the information record with core 1000 and memory 250
// (values 100000 and 25000 at offsets 156 and 160) and appends every call to
// "overdrive_record.txt", one line per call: the function's name and its arguments,
// separated by tabs. A call named in "hold.txt" beside it is held for a minute.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "dll_double.h"

namespace {

using dll_double::Beside;

void Record(const std::string& line) {
  std::ofstream(Beside(L"overdrive_record.txt").c_str(), std::ios::app | std::ios::binary)
      << line << "\n";
}

// When "hold.txt" beside the library names the function, the call, having acted, does not
// return for a minute: a test ends the program there.
void Hold(const char* function) {
  std::string name;
  std::ifstream(Beside(L"hold.txt").c_str()) >> name;
  if (name == function) ::Sleep(60000);
}

}  // namespace

#define EXPORT extern "C" __declspec(dllexport) int32_t __stdcall

EXPORT CanOverClock() {
  Record("CanOverClock");
  return 1;
}

EXPORT GetGPUInfo(void* record) {
  Record("GetGPUInfo");
  const int32_t core = 100000, memory = 25000;
  std::memcpy(static_cast<char*>(record) + 156, &core, 4);
  std::memcpy(static_cast<char*>(record) + 160, &memory, 4);
  return 1;
}

EXPORT OverClock(int32_t* gpu, int32_t* mem, int32_t flags) {
  Record("OverClock\t" + std::to_string(flags));
  int32_t result = 1, g = 50, m = 20;
  std::ifstream(Beside(L"overdrive.txt").c_str()) >> result >> g >> m;
  *gpu = g;
  *mem = m;
  Hold("OverClock");
  return result;
}

EXPORT Reset() {
  Record("Reset");
  return 1;
}

EXPORT GetRange() {
  Record("GetRange");
  return 1;
}
