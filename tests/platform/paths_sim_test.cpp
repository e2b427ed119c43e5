// Files on the simulated machine where Wine cannot show Windows (it runs every
// program as an administrator): what read-only, hidden and system files refuse, and
// the attributes that follow files; drive mapping.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/ErrorOf.h"

namespace {

using namespace plat;
using test::ErrorOf;

// Creates (or opens) a file for writing: 0, or the last error.
uint32_t Touch(const std::string& path, uint32_t disposition = kCREATE_NEW,
               uint32_t attributes = kFILE_ATTRIBUTE_NORMAL) {
  return test::OpenError(path, kGENERIC_WRITE, 0, disposition, attributes);
}

TEST(SimPaths, UnmappedDrivesAndBadNames) {
  sim::ScopedMachine m{sim::MachineBuilder()};
  // Unmapped drives, shares, paths through a file do not exist.
  for (const char* path :
       {"E:\\x.txt", "\\\\server\\share\\x.txt", "C:\\Windows\\explorer.exe\\x.txt"})
    EXPECT_EQ(Touch(path), kERROR_PATH_NOT_FOUND) << path;
  EXPECT_EQ(Touch("C:\\bad<name>.txt"), 123u);  // ERROR_INVALID_NAME
}

TEST(SimAttributes, AttributesFollowMovesAndGoWithDeletes) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\data\\a.ini", "x")
                           .File("C:\\d\\sub\\a.txt", "a")
                           .Attributes("C:\\d\\sub\\a.txt", kFILE_ATTRIBUTE_HIDDEN)};
  ASSERT_TRUE(SetFileAttributesW("C:\\DATA\\A.INI", 0));
  EXPECT_EQ(GetFileAttributesW("C:\\data\\a.ini"), kFILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Touch("C:\\data\\a.ini", kCREATE_ALWAYS), 0u);
  EXPECT_EQ(GetFileAttributesW("C:\\data\\a.ini"), kFILE_ATTRIBUTE_ARCHIVE);  // written
  ASSERT_TRUE(SetFileAttributesW("C:\\data", kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW("C:\\data"), kFILE_ATTRIBUTE_DIRECTORY | kFILE_ATTRIBUTE_HIDDEN);

  // A move takes them along, a delete takes them; a new file of the same name starts plain.
  ASSERT_TRUE(MoveFileExW("C:\\d\\sub", "C:\\d\\moved", false));
  EXPECT_EQ(GetFileAttributesW("C:\\d\\moved\\a.txt"), kFILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(DeleteFileW("C:\\d\\moved\\a.txt"));
  ASSERT_EQ(Touch("C:\\d\\moved\\a.txt"), 0u);
  EXPECT_EQ(GetFileAttributesW("C:\\d\\moved\\a.txt"), kFILE_ATTRIBUTE_ARCHIVE);
}

TEST(SimAttributes, WhatReadOnlyHiddenAndSystemFilesRefuse) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\ro.ini", "[s]")
                           .File("C:\\other.ini", "[o]")
                           .Attributes("C:\\ro.ini", kFILE_ATTRIBUTE_READONLY)};
  ASSERT_EQ(Touch("C:\\hidden.ini", kCREATE_NEW, kFILE_ATTRIBUTE_HIDDEN), 0u);
  constexpr uint32_t kHiddenSystem = kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_SYSTEM;
  // The error of each call (0: it succeeded), and the error expected. The default
  // machine's page file is hidden and system; hidden files must be overwritten as hidden.
  const std::pair<uint32_t, uint32_t> calls[] = {
      {Touch("C:\\ro.ini", kOPEN_EXISTING), kERROR_ACCESS_DENIED},
      {Touch("C:\\ro.ini", kCREATE_ALWAYS), kERROR_ACCESS_DENIED},
      {ErrorOf(DeleteFileW("C:\\ro.ini")), kERROR_ACCESS_DENIED},
      {ErrorOf(CopyFileW("C:\\other.ini", "C:\\ro.ini", false)), kERROR_ACCESS_DENIED},
      {ErrorOf(MoveFileExW("C:\\other.ini", "C:\\ro.ini", true)), kERROR_ACCESS_DENIED},
      {test::OpenError("C:\\ro.ini", kGENERIC_READ, kFILE_SHARE_READ, kOPEN_EXISTING), 0},
      {Touch("C:\\pagefile.sys", kCREATE_ALWAYS, kFILE_ATTRIBUTE_HIDDEN), kERROR_ACCESS_DENIED},
      {Touch("C:\\pagefile.sys", kTRUNCATE_EXISTING, kFILE_ATTRIBUTE_SYSTEM), kERROR_ACCESS_DENIED},
      {Touch("C:\\pagefile.sys", kCREATE_ALWAYS, kHiddenSystem), 0},
      {ErrorOf(CopyFileW("C:\\other.ini", "C:\\hidden.ini", false)), kERROR_ACCESS_DENIED},
      {Touch("C:\\hidden.ini", kCREATE_ALWAYS), kERROR_ACCESS_DENIED},
      {Touch("C:\\hidden.ini", kOPEN_EXISTING), 0},
      {Touch("C:\\hidden.ini", kCREATE_ALWAYS, kFILE_ATTRIBUTE_HIDDEN), 0},
      // Renaming or copying a read-only file is allowed; both stay read-only.
      {ErrorOf(CopyFileW("C:\\ro.ini", "C:\\copy.ini", false)), 0},
      {ErrorOf(MoveFileExW("C:\\ro.ini", "C:\\renamed.ini", false)), 0}};
  for (size_t i = 0; i < std::size(calls); ++i)
    EXPECT_EQ(calls[i].first, calls[i].second) << "call " << i;
  EXPECT_EQ(m.ReadFile("C:\\renamed.ini"), "[s]");
  EXPECT_EQ(GetFileAttributesW("C:\\renamed.ini"), kFILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(GetFileAttributesW("C:\\copy.ini"), kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_ARCHIVE);

  // Every handle sharing delete lets a delete through.
  const Handle shared = CreateFileW("C:\\other.ini", kGENERIC_READ,
                                    kFILE_SHARE_READ | kFILE_SHARE_DELETE, kOPEN_EXISTING);
  EXPECT_TRUE(DeleteFileW("C:\\other.ini"));
  EXPECT_FALSE(m.Exists("C:\\other.ini"));
  CloseHandle(shared);
}

}  // namespace
