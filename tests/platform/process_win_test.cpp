// Processes through the Win32 backend: a child started with plat::CreateProcessW is
// looked at and changed from outside (priority class, image path in device form
// and back, token owner, working set) and ended; privileges of the own token.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"

namespace {

bool UnderWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A path in double quotes (built by appending: GCC 12 warns wrongly about "\"" + s).
std::string Quoted(const std::string& path) {
  std::string out(1, '"');
  out += path;
  out += '"';
  return out;
}

std::string ProgramFolder() {
  const std::string self = plat::GetModuleFileNameW();
  return self.substr(0, self.rfind('\\') + 1);
}

// The DOS path of a device path, found the way the process inventory does it.
std::string DosPath(const std::string& device) {
  std::vector<std::string> drives;
  if (!plat::GetLogicalDriveStringsW(258, drives)) return "";
  for (const std::string& drive : drives) {
    std::string target;
    if (!plat::QueryDosDeviceW(drive.substr(0, 2), target, 512)) continue;
    if (device.size() > target.size() && device[target.size()] == '\\' &&
        txt::StartsText(target, device)) {
      return drive + device.substr(target.size() + 1);
    }
  }
  return "";
}

// Waits up to ten seconds for a file that the child writes.
std::string WaitForFile(const test::Sandbox& box, const std::string& name) {
  for (int i = 0; i < 200 && !box.Exists(name); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return box.Exists(name) ? box.Read(name) : "";
}

TEST(WinProcess, ChildSeenAndChangedFromOutside) {
  test::Sandbox box;
  // The helper runs from the sandbox, a folder on a drive with a letter (C:).
  const std::string helper = box.Path("process_wait_helper.exe");
  ASSERT_TRUE(plat::CopyFileW(ProgramFolder() + "process_wait_helper.exe", helper, false));
  ASSERT_TRUE(plat::CreateDirectoryW(box.Path("work")));
  const std::string commandLine =
      Quoted(helper) + " 30000 " + Quoted(box.Path("started.txt")) + "  two  blanks";
  uint32_t pid = 0;
  ASSERT_TRUE(plat::CreateProcessW(commandLine, box.Path("work"), 1 /* SW_SHOWNORMAL */, pid))
      << plat::GetLastError();
  ASSERT_NE(pid, 0u);
  plat::Handle h = plat::OpenProcess(plat::kPROCESS_ALL_ACCESS, false, pid);
  ASSERT_NE(h, 0u);

  // Command line and current directory arrive intact.
  const std::vector<std::string> lines = txt::SplitLines(WaitForFile(box, "started.txt"));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], commandLine);
  EXPECT_TRUE(txt::SameText(lines[1], box.Path("work"))) << lines[1];

  // The snapshot lists it as this program's child.
  std::vector<plat::ProcessEntry> entries;
  ASSERT_TRUE(plat::SnapshotProcesses(entries));
  bool listed = false;
  for (const plat::ProcessEntry& e : entries) {
    if (e.pid != pid) continue;
    listed = true;
    EXPECT_EQ(e.parentPid, plat::GetCurrentProcessId());
    EXPECT_TRUE(txt::SameText(e.exeFile, "process_wait_helper.exe")) << e.exeFile;
  }
  EXPECT_TRUE(listed);

  // Priority class: read, lowered to idle, read back, put back.
  EXPECT_EQ(plat::GetPriorityClass(h), plat::kNORMAL_PRIORITY_CLASS);
  ASSERT_TRUE(plat::SetPriorityClass(h, plat::kIDLE_PRIORITY_CLASS));
  EXPECT_EQ(plat::GetPriorityClass(h), plat::kIDLE_PRIORITY_CLASS);
  ASSERT_TRUE(plat::SetPriorityClass(h, plat::kNORMAL_PRIORITY_CLASS));
  EXPECT_EQ(plat::GetPriorityClass(h), plat::kNORMAL_PRIORITY_CLASS);
  EXPECT_FALSE(plat::SetPriorityClass(h, 0));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_INVALID_PARAMETER);

  // Image path: device form, back to the DOS path through the drive devices.
  ASSERT_TRUE(plat::HasPsapiFunction("GetProcessImageFileNameW"));
  ASSERT_TRUE(plat::HasPsapiFunction("GetModuleFileNameExW"));
  ASSERT_TRUE(plat::HasPsapiFunction("QueryWorkingSet"));
  EXPECT_FALSE(plat::HasPsapiFunction("NoSuchFunction"));
  std::string device;
  ASSERT_TRUE(plat::GetProcessImageFileNameW(h, device, 512)) << plat::GetLastError();
  EXPECT_TRUE(txt::StartsText("\\Device\\", device)) << device;
  EXPECT_TRUE(txt::SameText(DosPath(device), helper)) << device << " -> " << DosPath(device);
  std::string path;
  ASSERT_TRUE(plat::GetModuleFileNameExW(h, path, 512)) << plat::GetLastError();
  EXPECT_TRUE(txt::SameText(path, helper)) << path;
  std::string target;
  EXPECT_FALSE(plat::QueryDosDeviceW("C:", target, 2));
  EXPECT_FALSE(plat::QueryDosDeviceW("?:", target, 512));

  // Token owner: the same account as this program's user.
  plat::Handle token = 0;
  ASSERT_TRUE(plat::OpenProcessToken(h, plat::kTOKEN_QUERY, token)) << plat::GetLastError();
  std::string sid;
  uint32_t needed = 0;
  EXPECT_FALSE(plat::GetTokenInformationUser(token, 0, sid, needed));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_INSUFFICIENT_BUFFER);
  ASSERT_GT(needed, 0u);
  ASSERT_TRUE(plat::GetTokenInformationUser(token, needed, sid, needed)) << plat::GetLastError();
  plat::CloseHandle(token);
  std::string name, domain, user;
  ASSERT_TRUE(plat::LookupAccountSidW(sid, name, domain, 260, 260)) << plat::GetLastError();
  ASSERT_TRUE(plat::GetUserNameW(user, 512));
  EXPECT_EQ(name, user);
  EXPECT_FALSE(domain.empty());
  EXPECT_FALSE(plat::LookupAccountSidW(sid, name, domain, 1, 260));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_INSUFFICIENT_BUFFER);
  EXPECT_FALSE(plat::LookupAccountSidW(sid.substr(0, 6), name, domain, 260, 260));

  // Working set. Wine answers every plat::QueryWorkingSet with error 87.
  std::vector<uint64_t> ws;
  if (UnderWine()) {
    EXPECT_FALSE(plat::QueryWorkingSet(h, 262140, ws));
    EXPECT_EQ(plat::GetLastError(), plat::kERROR_INVALID_PARAMETER);
  } else {
    ASSERT_TRUE(plat::QueryWorkingSet(h, 4 * 1024 * 1024, ws)) << plat::GetLastError();
    EXPECT_FALSE(ws.empty());
    EXPECT_FALSE(plat::QueryWorkingSet(h, 16, ws));
    EXPECT_EQ(plat::GetLastError(), plat::kERROR_BAD_LENGTH);
  }

  // Ended from outside.
  ASSERT_TRUE(plat::TerminateProcess(h, 7));
  EXPECT_EQ(::WaitForSingleObject(reinterpret_cast<HANDLE>(h), 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(::GetExitCodeProcess(reinterpret_cast<HANDLE>(h), &code));
  EXPECT_EQ(code, 7u);
  plat::CloseHandle(h);
}

TEST(WinProcess, StartFailures) {
  test::Sandbox box;
  uint32_t pid = 1;
  EXPECT_FALSE(plat::CreateProcessW(Quoted(box.Path("missing.exe")) + " -x", "", 1, pid));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(pid, 0u);
  const std::string helper = ProgramFolder() + "process_wait_helper.exe";
  EXPECT_FALSE(plat::CreateProcessW(Quoted(helper) + " 0", box.Path("no such folder"), 1, pid));
  EXPECT_EQ(plat::GetLastError(), 267u);  // ERROR_DIRECTORY
  // A helper that ends at once, started in the caller's current directory.
  ASSERT_TRUE(plat::CreateProcessW(Quoted(helper) + " 0", "", 0, pid));
  plat::Handle h =
      plat::OpenProcess(plat::kSYNCHRONIZE | plat::kPROCESS_QUERY_LIMITED_INFORMATION, false, pid);
  if (h) {
    EXPECT_EQ(::WaitForSingleObject(reinterpret_cast<HANDLE>(h), 10000), WAIT_OBJECT_0);
    plat::CloseHandle(h);
  }
}

TEST(WinProcess, OwnTokenAndPrivileges) {
  uint64_t luid = 0;
  ASSERT_TRUE(plat::LookupPrivilegeValueW("SeDebugPrivilege", luid));
  EXPECT_EQ(luid, 20u);
  ASSERT_TRUE(plat::LookupPrivilegeValueW("SeShutdownPrivilege", luid));
  EXPECT_EQ(luid, 19u);
  EXPECT_FALSE(plat::LookupPrivilegeValueW("SeFlyingPrivilege", luid));
  EXPECT_EQ(plat::GetLastError(), 1313u);  // ERROR_NO_SUCH_PRIVILEGE

  plat::Handle token = 0;
  ASSERT_TRUE(plat::OpenProcessToken(plat::GetCurrentProcess(),
                                     plat::kTOKEN_ADJUST_PRIVILEGES | plat::kTOKEN_QUERY, token));
  ASSERT_TRUE(plat::LookupPrivilegeValueW("SeDebugPrivilege", luid));
  plat::SetLastError(99);
  ASSERT_TRUE(plat::AdjustTokenPrivileges(token, luid, plat::kSE_PRIVILEGE_ENABLED));
  const uint32_t error = plat::GetLastError();
  // Wine runs everything elevated; on Windows a standard user gets 1300.
  if (UnderWine()) {
    EXPECT_EQ(error, 0u);
  } else {
    EXPECT_TRUE(error == 0 || error == plat::kERROR_NOT_ALL_ASSIGNED) << error;
  }
  // Own token owner: this program's user.
  std::string sid, name, domain, user;
  uint32_t needed = 0;
  ASSERT_TRUE(plat::GetTokenInformationUser(token, 256, sid, needed));
  ASSERT_TRUE(plat::LookupAccountSidW(sid, name, domain, 260, 260));
  ASSERT_TRUE(plat::GetUserNameW(user, 512));
  EXPECT_EQ(name, user);
  plat::CloseHandle(token);

  ASSERT_TRUE(plat::OpenProcessToken(plat::GetCurrentProcess(), plat::kTOKEN_QUERY, token));
  EXPECT_FALSE(plat::AdjustTokenPrivileges(token, luid, plat::kSE_PRIVILEGE_ENABLED));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ACCESS_DENIED);
  plat::CloseHandle(token);
}

}  // namespace
