// Files on the simulated machine where Wine cannot show Windows (it runs every
// program as an administrator): what read-only, hidden and system files refuse, and
// the metadata that follows files; drive mapping.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/ErrorOf.h"

namespace {

using namespace plat;
using test::ErrorOf;
namespace fs = std::filesystem;

// Creates (or opens) a file for writing: 0, or the last error.
uint32_t Touch(const std::string& path, uint32_t disposition = kCREATE_NEW,
               uint32_t attributes = kFILE_ATTRIBUTE_NORMAL) {
  return test::OpenError(path, kGENERIC_WRITE, 0, disposition, attributes);
}

TEST(SimPaths, UnmappedDrivesBadNamesAndASecondDrive) {
  sim::ScopedMachine m{
      sim::MachineBuilder().With([](sim::Machine& x) { x.drives['D'] = "drive_d"; })};
  EXPECT_EQ(Touch("E:\\x.txt", kCREATE_ALWAYS), kERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ErrorOf(GetFileAttributesW("\\\\server\\share\\x.txt") != kINVALID_FILE_ATTRIBUTES),
            kERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Touch("C:\\bad<name>.txt"), 123u);  // ERROR_INVALID_NAME
  EXPECT_EQ(sim::HostPath(m.machine(), "Q:\\x"), "");
  // A file is no folder: paths through it do not exist.
  EXPECT_EQ(Touch("C:\\Windows\\explorer.exe\\x.txt"), kERROR_PATH_NOT_FOUND);

  ASSERT_EQ(Touch("D:\\game.sav"), 0u);
  EXPECT_TRUE(fs::exists(m.machine().home + "/drive_d/game.sav"));
  EXPECT_EQ(ErrorOf(MoveFileExW("D:\\game.sav", "C:\\game.sav", true)), 17u);  // NOT_SAME_DEVICE
  EXPECT_TRUE(CopyFileW("D:\\game.sav", "C:\\game.sav", true));
  EXPECT_EQ(GetFileAttributesW("D:\\"),
            kFILE_ATTRIBUTE_DIRECTORY | kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_SYSTEM);
}

TEST(SimAttributes, ExactValuesLiveInTheMachineAndFollowMoves) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\data\\a.ini", "x")
                           .File("C:\\d\\sub\\a.txt", "a")
                           .Attributes("C:\\d\\sub\\a.txt", kFILE_ATTRIBUTE_HIDDEN)};
  EXPECT_EQ(m.machine().files.count("C:\\data\\a.ini"), 0u);
  ASSERT_TRUE(
      SetFileAttributesW("C:\\DATA\\A.INI", kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW("C:\\data\\a.ini"), kFILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(*m.machine().files["c:\\DATA\\a.ini"].attributes, kFILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(SetFileAttributesW("C:\\data\\a.ini", 0));
  EXPECT_EQ(GetFileAttributesW("C:\\data\\a.ini"), kFILE_ATTRIBUTE_NORMAL);
  // Writing marks the file for backup again.
  const Handle h = CreateFileW("C:\\data\\a.ini", kGENERIC_WRITE, 0, kOPEN_EXISTING);
  uint32_t n = 0;
  ASSERT_TRUE(WriteFile(h, "y", 1, &n));
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW("C:\\data\\a.ini"), kFILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(m.machine().files.count("C:\\data\\a.ini"), 0u);  // back to the default
  ASSERT_TRUE(SetFileAttributesW("C:\\data", kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW("C:\\data"), kFILE_ATTRIBUTE_DIRECTORY | kFILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(GetFileAttributesW("C:\\Users\\Gamer\\AppData"),
            kFILE_ATTRIBUTE_DIRECTORY | kFILE_ATTRIBUTE_HIDDEN);

  // Moves of the folder and of the file (case only) take the metadata along.
  ASSERT_TRUE(MoveFileExW("C:\\d\\sub", "C:\\d\\moved", false));
  ASSERT_TRUE(MoveFileExW("C:\\d\\moved\\a.txt", "C:\\d\\moved\\A.TXT", false));
  EXPECT_EQ(fs::path(m.Host("C:\\d\\moved\\a.txt")).filename(), "A.TXT");
  EXPECT_EQ(GetFileAttributesW("C:\\d\\moved\\A.TXT"), kFILE_ATTRIBUTE_HIDDEN);
  // A delete takes it; a new file of the same name starts plain.
  ASSERT_TRUE(DeleteFileW("C:\\d\\moved\\a.txt"));
  EXPECT_EQ(m.machine().files.count("C:\\d\\moved\\A.TXT"), 0u);
  ASSERT_EQ(Touch("C:\\d\\moved\\A.TXT"), 0u);
  EXPECT_EQ(GetFileAttributesW("C:\\d\\moved\\A.TXT"), kFILE_ATTRIBUTE_ARCHIVE);
}

TEST(SimAttributes, ReadOnlyFilesCanBeReadButNotWrittenOrDeleted) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\ro.ini", "[s]")
                           .File("C:\\other.ini", "[o]")
                           .Attributes("C:\\ro.ini", kFILE_ATTRIBUTE_READONLY)};
  EXPECT_EQ(Touch("C:\\ro.ini", kOPEN_EXISTING), kERROR_ACCESS_DENIED);
  EXPECT_EQ(Touch("C:\\ro.ini", kCREATE_ALWAYS), kERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrorOf(DeleteFileW("C:\\ro.ini")), kERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrorOf(CopyFileW("C:\\other.ini", "C:\\ro.ini", false)), kERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrorOf(MoveFileExW("C:\\other.ini", "C:\\ro.ini", true)), kERROR_ACCESS_DENIED);
  EXPECT_EQ(test::OpenError("C:\\ro.ini", kGENERIC_READ, kFILE_SHARE_READ, kOPEN_EXISTING), 0u);
  EXPECT_EQ(m.ReadFile("C:\\ro.ini"), "[s]");
  // Renaming a read-only file is allowed, and it stays read-only.
  ASSERT_TRUE(MoveFileExW("C:\\ro.ini", "C:\\renamed.ini", false));
  EXPECT_EQ(GetFileAttributesW("C:\\renamed.ini"), kFILE_ATTRIBUTE_READONLY);
}

TEST(SimAttributes, OverwriteRulesForHiddenAndSystemFiles) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  // The default machine's page file is hidden and system.
  EXPECT_EQ(Touch("C:\\pagefile.sys", kCREATE_ALWAYS, kFILE_ATTRIBUTE_HIDDEN),
            kERROR_ACCESS_DENIED);
  EXPECT_EQ(Touch("C:\\pagefile.sys", kTRUNCATE_EXISTING, kFILE_ATTRIBUTE_SYSTEM),
            kERROR_ACCESS_DENIED);
  EXPECT_EQ(
      Touch("C:\\pagefile.sys", kCREATE_ALWAYS, kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_SYSTEM),
      0u);
  // A file the program created hidden must be overwritten as hidden.
  ASSERT_EQ(Touch("C:\\hidden.ini", kCREATE_NEW, kFILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_EQ(Touch("C:\\hidden.ini", kCREATE_ALWAYS), kERROR_ACCESS_DENIED);
  EXPECT_EQ(Touch("C:\\hidden.ini", kOPEN_EXISTING), 0u);
  EXPECT_EQ(Touch("C:\\hidden.ini", kCREATE_ALWAYS, kFILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_EQ(GetFileAttributesW("C:\\hidden.ini"), kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_ARCHIVE);
  // Copying a plain file over a hidden one is refused the same way.
  ASSERT_EQ(Touch("C:\\plain.txt"), 0u);
  EXPECT_EQ(ErrorOf(CopyFileW("C:\\plain.txt", "C:\\pagefile.sys", false)), kERROR_ACCESS_DENIED);

  // Every handle sharing delete lets a delete through.
  m.WriteFile("C:\\log.txt", "one\r\n");
  const Handle shared =
      CreateFileW("C:\\log.txt", kGENERIC_READ,
                  kFILE_SHARE_READ | kFILE_SHARE_WRITE | kFILE_SHARE_DELETE, kOPEN_EXISTING);
  ASSERT_NE(shared, kInvalidHandle);
  EXPECT_TRUE(DeleteFileW("C:\\log.txt"));
  EXPECT_FALSE(m.Exists("C:\\log.txt"));
  CloseHandle(shared);
}

}  // namespace
