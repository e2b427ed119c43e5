// Stand-in for the monitor-configuration library "dxva2.dll": one DDC/CI monitor per
// display monitor, answering from files beside the library (the program's folder):
//   dxva2_caps.txt     the capability reply (raw bytes)
//   dxva2_state.txt    VCP values, one "CODE current maximum" line each (code in hex);
//                      SetVCPFeature rewrites it, so values last across processes
//   dxva2_fail.txt     "Function count" lines: the next count calls of Function fail
//   dxva2_journal.txt  every call appended as "<ms> <Function> <arguments> ok|fail", ms
//                      being the system time in milliseconds
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

namespace {

struct PhysicalMonitorRecord {
  HANDLE handle;
  WCHAR description[128];
};

constexpr uintptr_t kFirstHandle = 0x5100;

std::string Beside(const char* name) {
  char buffer[MAX_PATH * 2];
  HMODULE self = nullptr;
  ::GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&Beside), &self);
  std::string path(buffer, ::GetModuleFileNameA(self, buffer, sizeof buffer));
  path.erase(path.find_last_of("\\/") + 1);
  return path + name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

uint64_t NowMs() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  return ((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / 10000;
}

// Whether the script says this call fails (and counts it down).
bool ScriptedFailure(const std::string& function) {
  const std::string path = Beside("dxva2_fail.txt");
  std::istringstream in(ReadAll(path));
  std::string out, name;
  int count = 0;
  bool fail = false;
  while (in >> name >> count) {
    if (name == function && count > 0 && !fail) {
      fail = true;
      --count;
    }
    out += name + " " + std::to_string(count) + "\n";
  }
  if (fail) WriteAll(path, out);
  return fail;
}

BOOL Journal(const std::string& function, const std::string& arguments, bool ok) {
  std::ofstream(Beside("dxva2_journal.txt"), std::ios::app)
      << NowMs() << " " << function << (arguments.empty() ? "" : " ") << arguments
      << (ok ? " ok" : " fail") << "\n";
  if (!ok) ::SetLastError(ERROR_GEN_FAILURE);
  return ok ? TRUE : FALSE;
}

std::map<int, std::pair<DWORD, DWORD>> LoadState() {
  std::map<int, std::pair<DWORD, DWORD>> state;
  std::istringstream in(ReadAll(Beside("dxva2_state.txt")));
  std::string code;
  DWORD cur = 0, max = 0;
  while (in >> code >> cur >> max)
    state[std::stoi(code, nullptr, 16)] = {cur, max};
  return state;
}

void SaveState(const std::map<int, std::pair<DWORD, DWORD>>& state) {
  std::string out;
  char line[64];
  for (const auto& [code, v] : state) {
    std::snprintf(line, sizeof line, "%02X %lu %lu\n", code, static_cast<unsigned long>(v.first),
                  static_cast<unsigned long>(v.second));
    out += line;
  }
  WriteAll(Beside("dxva2_state.txt"), out);
}

std::string Hex(int code) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", code);
  return buf;
}

}  // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI GetNumberOfPhysicalMonitorsFromHMONITOR(HMONITOR, DWORD* count) {
  const bool ok = count && !ScriptedFailure("GetNumberOfPhysicalMonitorsFromHMONITOR");
  if (ok) *count = 1;
  return Journal("GetNumberOfPhysicalMonitorsFromHMONITOR", "", ok);
}

__declspec(dllexport) BOOL WINAPI
    GetPhysicalMonitorsFromHMONITOR(HMONITOR, DWORD count, PhysicalMonitorRecord* monitors) {
  const bool ok = count == 1 && monitors && !ScriptedFailure("GetPhysicalMonitorsFromHMONITOR");
  if (ok) {
    monitors[0].handle = reinterpret_cast<HANDLE>(kFirstHandle);
    ::lstrcpynW(monitors[0].description, L"Stand-in DDC/CI monitor", 128);
  }
  return Journal("GetPhysicalMonitorsFromHMONITOR", std::to_string(count), ok);
}

__declspec(dllexport) BOOL WINAPI DestroyPhysicalMonitor(HANDLE) {
  return Journal("DestroyPhysicalMonitor", "", true);
}

__declspec(dllexport) BOOL WINAPI GetCapabilitiesStringLength(HANDLE, DWORD* length) {
  const std::string caps = ReadAll(Beside("dxva2_caps.txt"));
  const bool ok = length && !caps.empty() && !ScriptedFailure("GetCapabilitiesStringLength");
  if (ok) *length = static_cast<DWORD>(caps.size() + 1);
  return Journal("GetCapabilitiesStringLength", "", ok);
}

__declspec(dllexport) BOOL WINAPI
    CapabilitiesRequestAndCapabilitiesReply(HANDLE, LPSTR buffer, DWORD length) {
  const std::string caps = ReadAll(Beside("dxva2_caps.txt"));
  const bool ok =
      buffer && length > caps.size() && !ScriptedFailure("CapabilitiesRequestAndCapabilitiesReply");
  if (ok) {
    ::ZeroMemory(buffer, length);
    ::CopyMemory(buffer, caps.data(), caps.size());
  }
  return Journal("CapabilitiesRequestAndCapabilitiesReply", std::to_string(length), ok);
}

__declspec(dllexport) BOOL WINAPI
    GetVCPFeatureAndVCPFeatureReply(HANDLE, BYTE code, void*, DWORD* current, DWORD* maximum) {
  auto state = LoadState();
  const auto it = state.find(code);
  const bool ok = it != state.end() && !ScriptedFailure("GetVCPFeatureAndVCPFeatureReply");
  if (ok) {
    if (current) *current = it->second.first;
    if (maximum) *maximum = it->second.second;
  }
  return Journal("GetVCPFeatureAndVCPFeatureReply", Hex(code), ok);
}

__declspec(dllexport) BOOL WINAPI SetVCPFeature(HANDLE, BYTE code, DWORD value) {
  auto state = LoadState();
  const auto it = state.find(code);
  const bool known = code == 0xB0 || (it != state.end() && value <= it->second.second);
  const bool ok = known && !ScriptedFailure("SetVCPFeature");
  if (ok && code != 0xB0) {
    it->second.first = value;
    SaveState(state);
  }
  return Journal("SetVCPFeature", Hex(code) + "=" + std::to_string(value), ok);
}

__declspec(dllexport) BOOL WINAPI RestoreMonitorFactoryColorDefaults(HANDLE) {
  return Journal("RestoreMonitorFactoryColorDefaults", "",
                 !ScriptedFailure("RestoreMonitorFactoryColorDefaults"));
}

}  // extern "C"
