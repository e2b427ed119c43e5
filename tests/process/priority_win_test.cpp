// The priority module on a real process: a waiting child is lowered to idle by a
// boost and gets its class back from the restore records.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "config/IniFiles.h"
#include "modules/process/uPriorityController.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"

namespace {

std::wstring Wide(const std::string& text) {
  const std::u16string u16 = txt::Utf8ToUtf16(text);
  return std::wstring(u16.begin(), u16.end());
}

// A started child, ended when the object goes.
struct Child {
  PROCESS_INFORMATION info{};
  bool started = false;
  explicit Child(const std::string& arguments) {
    const std::string exe =
        fileutil::ExtractFilePath(plat::GetModuleFileNameW()) + "wait_helper.exe";
    std::wstring command = Wide("\"" + exe + "\" " + arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info) != 0;
  }
  ~Child() {
    if (!started) return;
    ::TerminateProcess(info.hProcess, 1);
    ::WaitForSingleObject(info.hProcess, 5000);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
  DWORD Class() const { return ::GetPriorityClass(info.hProcess); }
};

TEST(PriorityWin, BoostLowersAChildToIdleAndRestoreBringsItsClassBack) {
  test::Sandbox box;
  Child child("60000");
  ASSERT_TRUE(child.started);
  ASSERT_TRUE(::SetPriorityClass(child.info.hProcess, HIGH_PRIORITY_CLASS));
  const std::string pid = std::to_string(child.info.dwProcessId);
  const std::string temp = box.Path("Temp.ini");
  box.Write("Temp.ini", "");

  {
    TPriorityController module(box.dir(), "", temp);
    EXPECT_TRUE(module.Boost());
    bool listed = false;
    for (size_t i = 0; i < module.GetCount(); ++i) {
      const PriorityInfo& item = module.GetItem(i);
      EXPECT_FALSE(txt::SameText(item.name, "explorer.exe"));
      EXPECT_FALSE(txt::SameText(item.name, "vlx_process_tests.exe"));
      if (item.pid != child.info.dwProcessId) continue;
      listed = true;
      EXPECT_EQ(item.name, "wait_helper.exe");
      EXPECT_EQ(item.priority, static_cast<uint32_t>(HIGH_PRIORITY_CLASS));
      EXPECT_FALSE(item.owner.empty());
    }
    EXPECT_TRUE(listed);
    EXPECT_EQ(child.Class(), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
    TIniFile ini(temp);
    EXPECT_EQ(ini.ReadInteger("Priority", pid, -1), HIGH_PRIORITY_CLASS);
  }

  TPriorityController module(box.dir(), "", temp);  // a later run
  ASSERT_TRUE(module.HasRestoreData());
  module.Restore();
  EXPECT_EQ(child.Class(), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
  EXPECT_FALSE(module.HasRestoreData());
}

}  // namespace
