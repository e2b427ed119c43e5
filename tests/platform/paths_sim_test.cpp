// Windows paths on the simulated machine: host folders found without regard to
// case, separators and dots, drive mapping, and the metadata that follows files.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"

namespace {

using namespace plat;
namespace fs = std::filesystem;

std::string HostName(const std::string& hostPath) {
  return fs::path(hostPath).filename().string();
}

bool Touch(const std::string& path, uint32_t disposition = kCREATE_NEW,
           uint32_t attributes = kFILE_ATTRIBUTE_NORMAL) {
  const Handle h = CreateFileW(path, kGENERIC_WRITE, 0, disposition, attributes);
  if (h == kInvalidHandle) return false;
  CloseHandle(h);
  return true;
}

TEST(SimPaths, ExistingNamesAreFoundWithoutRegardToCase) {
  sim::ScopedMachine m{sim::MachineBuilder().File("C:\\Users\\Gamer\\x.ini", "[a]")};
  const std::string host = m.Host("C:\\USERS\\gamer\\X.INI");
  EXPECT_EQ(host, m.machine().home + "/drive_c/Users/Gamer/x.ini");
  EXPECT_EQ(GetFileAttributesW("c:\\users\\GAMER\\x.ini"), kFILE_ATTRIBUTE_ARCHIVE);

  // New names keep the case they are given; the existing folders keep theirs.
  ASSERT_TRUE(Touch("C:\\USERS\\GAMER\\NewFile.TXT"));
  EXPECT_TRUE(fs::exists(m.machine().home + "/drive_c/Users/Gamer/NewFile.TXT"));
  ASSERT_TRUE(CreateDirectoryW("C:\\users\\gamer\\Saved Games"));
  EXPECT_TRUE(fs::is_directory(m.machine().home + "/drive_c/Users/Gamer/Saved Games"));
}

TEST(SimPaths, SeparatorsDotsAndRelativePaths) {
  sim::ScopedMachine m{sim::MachineBuilder().File("C:\\Users\\Gamer\\x.ini", "[a]")};
  EXPECT_EQ(GetFileAttributesW("C:/Users/Gamer/../Gamer/./x.ini"), kFILE_ATTRIBUTE_ARCHIVE);
  EXPECT_EQ(GetFullPathNameW("C:\\Users\\.\\Gamer\\..\\..\\..\\x.ini"), "C:\\x.ini");
  EXPECT_EQ(GetFullPathNameW("x.ini. "), "C:\\Program Files (x86)\\Velmora\\x.ini");
  EXPECT_EQ(GetFullPathNameW("\\Windows"), "C:\\Windows");
  EXPECT_EQ(GetFullPathNameW("C:VlxMini.exe"), "C:\\Program Files (x86)\\Velmora\\VlxMini.exe");
  // The program's folder is the default machine's current directory.
  EXPECT_NE(GetFileAttributesW("VlxMini.exe"), kINVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(SetCurrentDirectoryW("c:\\users\\gamer"));
  EXPECT_EQ(GetCurrentDirectoryW(), "c:\\users\\gamer");
  EXPECT_EQ(GetFileAttributesW("x.ini"), kFILE_ATTRIBUTE_ARCHIVE);
  // The current directory is held open: it cannot be removed.
  ASSERT_TRUE(CreateDirectoryW("C:\\Users\\Gamer\\Here"));
  ASSERT_TRUE(SetCurrentDirectoryW("Here"));
  EXPECT_FALSE(RemoveDirectoryW("C:\\Users\\Gamer\\Here"));
  EXPECT_EQ(GetLastError(), kERROR_SHARING_VIOLATION);
  ASSERT_TRUE(SetCurrentDirectoryW(".."));
  EXPECT_TRUE(RemoveDirectoryW("C:\\Users\\Gamer\\Here"));
}

TEST(SimPaths, UnmappedDrivesAndBadNames) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  EXPECT_EQ(CreateFileW("D:\\x.txt", kGENERIC_WRITE, 0, kCREATE_ALWAYS), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW("\\\\server\\share\\x.txt"), kINVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), kERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(Touch("C:\\bad<name>.txt"));
  EXPECT_EQ(GetLastError(), 123u);  // ERROR_INVALID_NAME
  EXPECT_EQ(sim::HostPath(m.machine(), "Q:\\x"), "");
  // A file is no folder: paths through it do not exist.
  EXPECT_FALSE(Touch("C:\\Windows\\explorer.exe\\x.txt"));
  EXPECT_EQ(GetLastError(), kERROR_PATH_NOT_FOUND);
}

TEST(SimPaths, SecondDriveAndMovesBetweenDrives) {
  sim::ScopedMachine m{
      sim::MachineBuilder().With([](sim::Machine& x) { x.drives['D'] = "drive_d"; })};
  ASSERT_TRUE(Touch("D:\\game.sav"));
  EXPECT_TRUE(fs::exists(m.machine().home + "/drive_d/game.sav"));
  EXPECT_FALSE(MoveFileExW("D:\\game.sav", "C:\\game.sav", true));
  EXPECT_EQ(GetLastError(), 17u);  // ERROR_NOT_SAME_DEVICE
  EXPECT_TRUE(CopyFileW("D:\\game.sav", "C:\\game.sav", true));
  EXPECT_EQ(GetFileAttributesW("D:\\"),
            kFILE_ATTRIBUTE_DIRECTORY | kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_SYSTEM);
}

TEST(SimAttributes, ExactValuesLiveInTheMachine) {
  sim::ScopedMachine m{sim::MachineBuilder().File("C:\\data\\a.ini", "x")};
  EXPECT_TRUE(m.machine().files.count("C:\\data\\a.ini") == 0);
  ASSERT_TRUE(
      SetFileAttributesW("C:\\DATA\\A.INI", kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW("C:\\data\\a.ini"), kFILE_ATTRIBUTE_READONLY);
  ASSERT_EQ(m.machine().files.count("C:\\data\\a.ini"), 1u);
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
}

TEST(SimAttributes, MetadataFollowsMovesAndGoesWithDeletes) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\d\\sub\\a.txt", "a")
                           .Attributes("C:\\d\\sub\\a.txt", kFILE_ATTRIBUTE_HIDDEN)};
  ASSERT_TRUE(MoveFileExW("C:\\d\\sub", "C:\\d\\moved", false));
  EXPECT_EQ(GetFileAttributesW("C:\\d\\moved\\a.txt"), kFILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(MoveFileExW("C:\\d\\moved\\a.txt", "C:\\d\\moved\\A.TXT", false));  // case only
  EXPECT_EQ(HostName(m.Host("C:\\d\\moved\\a.txt")), "A.TXT");
  EXPECT_EQ(GetFileAttributesW("C:\\d\\moved\\A.TXT"), kFILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(DeleteFileW("C:\\d\\moved\\a.txt"));
  EXPECT_EQ(m.machine().files.count("C:\\d\\moved\\A.TXT"), 0u);
  // A new file of the same name starts plain.
  ASSERT_TRUE(Touch("C:\\d\\moved\\A.TXT"));
  EXPECT_EQ(GetFileAttributesW("C:\\d\\moved\\A.TXT"), kFILE_ATTRIBUTE_ARCHIVE);
}

TEST(SimAttributes, ReadOnlyFilesCanBeReadButNotWrittenOrDeleted) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\ro.ini", "[s]")
                           .File("C:\\other.ini", "[o]")
                           .Attributes("C:\\ro.ini", kFILE_ATTRIBUTE_READONLY)};
  EXPECT_EQ(CreateFileW("C:\\ro.ini", kGENERIC_WRITE, 0, kOPEN_EXISTING), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_EQ(CreateFileW("C:\\ro.ini", kGENERIC_WRITE, 0, kCREATE_ALWAYS), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileW("C:\\ro.ini"));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_FALSE(CopyFileW("C:\\other.ini", "C:\\ro.ini", false));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_FALSE(MoveFileExW("C:\\other.ini", "C:\\ro.ini", true));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  const Handle h = CreateFileW("C:\\ro.ini", kGENERIC_READ, kFILE_SHARE_READ, kOPEN_EXISTING);
  EXPECT_NE(h, kInvalidHandle);
  CloseHandle(h);
  EXPECT_EQ(m.ReadFile("C:\\ro.ini"), "[s]");
  // Renaming a read-only file is allowed, and it stays read-only.
  ASSERT_TRUE(MoveFileExW("C:\\ro.ini", "C:\\renamed.ini", false));
  EXPECT_EQ(GetFileAttributesW("C:\\renamed.ini"), kFILE_ATTRIBUTE_READONLY);
}

TEST(SimAttributes, OverwriteRulesForHiddenAndSystemFiles) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  // The default machine's page file is hidden and system.
  EXPECT_FALSE(Touch("C:\\pagefile.sys", kCREATE_ALWAYS, kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_FALSE(Touch("C:\\pagefile.sys", kTRUNCATE_EXISTING, kFILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_TRUE(
      Touch("C:\\pagefile.sys", kCREATE_ALWAYS, kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(GetLastError(), kERROR_ALREADY_EXISTS);
  // A file the program created hidden must be overwritten as hidden.
  ASSERT_TRUE(Touch("C:\\hidden.ini", kCREATE_NEW, kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(Touch("C:\\hidden.ini", kCREATE_ALWAYS, kFILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_TRUE(Touch("C:\\hidden.ini", kOPEN_EXISTING));
  EXPECT_TRUE(Touch("C:\\hidden.ini", kCREATE_ALWAYS, kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW("C:\\hidden.ini"), kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_ARCHIVE);
  // Copying a plain file over a hidden one is refused the same way.
  ASSERT_TRUE(Touch("C:\\plain.txt"));
  EXPECT_FALSE(CopyFileW("C:\\plain.txt", "C:\\pagefile.sys", false));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
}

TEST(SimFiles, EveryHandleSharingDeleteLetsADeleteThrough) {
  sim::ScopedMachine m{sim::MachineBuilder().File("C:\\log.txt", "one\r\n")};
  const Handle shared =
      CreateFileW("C:\\log.txt", kGENERIC_READ,
                  kFILE_SHARE_READ | kFILE_SHARE_WRITE | kFILE_SHARE_DELETE, kOPEN_EXISTING);
  ASSERT_NE(shared, kInvalidHandle);
  EXPECT_TRUE(DeleteFileW("C:\\log.txt"));
  EXPECT_FALSE(m.Exists("C:\\log.txt"));
  CloseHandle(shared);
}

}  // namespace
