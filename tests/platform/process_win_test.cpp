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
#include "tests/support/ErrorOf.h"
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
  // Failures first: no such program, no such current directory.
  uint32_t pid = 1;
  EXPECT_EQ(test::ErrorOf(plat::CreateProcessW(Quoted(box.Path("none.exe")) + " -x", "", 1, pid)),
            plat::kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(pid, 0u);
  EXPECT_EQ(test::ErrorOf(plat::CreateProcessW(commandLine, box.Path("none"), 1, pid)),
            267u);  // ERROR_DIRECTORY
  ASSERT_TRUE(plat::CreateProcessW(commandLine, box.Path("work"), 1 /* SW_SHOWNORMAL */, pid))
      << plat::GetLastError();
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
  std::string listed;
  for (const plat::ProcessEntry& e : entries) {
    if (e.pid == pid && e.parentPid == plat::GetCurrentProcessId()) listed += e.exeFile;
  }
  EXPECT_TRUE(txt::SameText(listed, "process_wait_helper.exe")) << listed;

  // Priority class: read, lowered to idle, read back.
  ASSERT_TRUE(plat::SetPriorityClass(h, plat::kIDLE_PRIORITY_CLASS));
  EXPECT_EQ(plat::GetPriorityClass(h), plat::kIDLE_PRIORITY_CLASS);
  EXPECT_EQ(test::ErrorOf(plat::SetPriorityClass(h, 0)), plat::kERROR_INVALID_PARAMETER);

  // Image path: device form, which is the device of its drive and the rest of the path.
  for (const char* name : {"GetProcessImageFileNameW", "GetModuleFileNameExW", "QueryWorkingSet"})
    ASSERT_TRUE(plat::HasPsapiFunction(name)) << name;
  std::string device, target, path;
  ASSERT_TRUE(plat::GetProcessImageFileNameW(h, device, 512)) << plat::GetLastError();
  ASSERT_TRUE(plat::QueryDosDeviceW(helper.substr(0, 2), target, 512));
  EXPECT_TRUE(txt::SameText(device, target + helper.substr(2))) << device;
  ASSERT_TRUE(plat::GetModuleFileNameExW(h, path, 512)) << plat::GetLastError();
  EXPECT_TRUE(txt::SameText(path, helper)) << path;

  // Token owner: the same account as this program's user.
  plat::Handle token = 0;
  ASSERT_TRUE(plat::OpenProcessToken(h, plat::kTOKEN_QUERY, token)) << plat::GetLastError();
  std::string sid;
  uint32_t needed = 0;
  EXPECT_EQ(test::ErrorOf(plat::GetTokenInformationUser(token, 0, sid, needed)),
            plat::kERROR_INSUFFICIENT_BUFFER);
  ASSERT_TRUE(plat::GetTokenInformationUser(token, needed, sid, needed)) << plat::GetLastError();
  plat::CloseHandle(token);
  std::string name, domain, user;
  ASSERT_TRUE(plat::LookupAccountSidW(sid, name, domain, 260, 260)) << plat::GetLastError();
  ASSERT_TRUE(plat::GetUserNameW(user, 512));
  EXPECT_EQ(name, user);
  EXPECT_FALSE(domain.empty());

  // Working set: too small a buffer says so (Wine answers every call with error 87).
  std::vector<uint64_t> ws;
  EXPECT_FALSE(plat::QueryWorkingSet(h, 16, ws));
  EXPECT_EQ(plat::GetLastError(),
            UnderWine() ? plat::kERROR_INVALID_PARAMETER : plat::kERROR_BAD_LENGTH);

  // Ended from outside.
  ASSERT_TRUE(plat::TerminateProcess(h, 7));
  EXPECT_EQ(::WaitForSingleObject(reinterpret_cast<HANDLE>(h), 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(::GetExitCodeProcess(reinterpret_cast<HANDLE>(h), &code) && code == 7) << code;
  plat::CloseHandle(h);
}

TEST(WinProcess, OwnTokenAndPrivileges) {
  uint64_t luid = 0;
  ASSERT_TRUE(plat::LookupPrivilegeValueW("SeShutdownPrivilege", luid));
  EXPECT_EQ(luid, 19u);
  EXPECT_FALSE(plat::LookupPrivilegeValueW("SeFlyingPrivilege", luid));
  EXPECT_EQ(plat::GetLastError(), 1313u);  // ERROR_NO_SUCH_PRIVILEGE
  ASSERT_TRUE(plat::LookupPrivilegeValueW("SeDebugPrivilege", luid));
  EXPECT_EQ(luid, 20u);

  plat::Handle token = 0;
  ASSERT_TRUE(
      plat::OpenProcessToken(plat::GetCurrentProcess(), plat::kTOKEN_ADJUST_PRIVILEGES, token));
  plat::SetLastError(99);
  ASSERT_TRUE(plat::AdjustTokenPrivileges(token, luid, plat::kSE_PRIVILEGE_ENABLED));
  // Wine runs everything elevated; on Windows a standard user gets 1300.
  const uint32_t error = plat::GetLastError();
  EXPECT_TRUE(error == 0 || (!UnderWine() && error == plat::kERROR_NOT_ALL_ASSIGNED)) << error;
  plat::CloseHandle(token);
  ASSERT_TRUE(plat::OpenProcessToken(plat::GetCurrentProcess(), plat::kTOKEN_QUERY, token));
  EXPECT_FALSE(plat::AdjustTokenPrivileges(token, luid, plat::kSE_PRIVILEGE_ENABLED));
  EXPECT_EQ(plat::GetLastError(), plat::kERROR_ACCESS_DENIED);
  plat::CloseHandle(token);
}

}  // namespace
