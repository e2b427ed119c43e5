// Files through the Win32 backend: sharing between handles, attributes, moves and
// copies, folder listings and Unicode names, checked against the real file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace wintest {
bool UnderWine();  // system_win_test.cpp
}

namespace {

using namespace plat;
using wintest::UnderWine;

Handle Open(const std::string& path, uint32_t access, uint32_t share,
            uint32_t disposition = kOPEN_ALWAYS) {
  return CreateFileW(path, access, share, disposition);
}

std::vector<std::string> Names(const std::vector<FindData>& found) {
  std::vector<std::string> names;
  for (const auto& entry : found)
    names.push_back(entry.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FilesWin, ShareModesDecideWhetherASecondHandleOpens) {
  test::Sandbox box;
  const std::string path = box.Path("held.log");
  const Handle writer = Open(path, kGENERIC_WRITE, kFILE_SHARE_READ);
  ASSERT_NE(writer, kInvalidHandle);

  // A second writer is refused while the first shares only reading.
  SetLastError(0);
  EXPECT_EQ(Open(path, kGENERIC_WRITE, kFILE_SHARE_READ | kFILE_SHARE_WRITE), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_SHARING_VIOLATION);
  // A reader that lets the writer keep writing gets in.
  const Handle reader = Open(path, kGENERIC_READ, kFILE_SHARE_READ | kFILE_SHARE_WRITE);
  EXPECT_NE(reader, kInvalidHandle);
  // A reader that would forbid writing is refused: the writer already writes.
  EXPECT_EQ(Open(path, kGENERIC_READ, kFILE_SHARE_READ), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_SHARING_VIOLATION);

  uint32_t written = 0;
  ASSERT_TRUE(WriteFile(writer, "abc", 3, &written));
  EXPECT_EQ(written, 3u);
  char buffer[8] = {};
  uint32_t read = 0;
  ASSERT_TRUE(ReadFile(reader, buffer, sizeof buffer, &read));
  EXPECT_EQ(std::string(buffer, read), "abc");

  EXPECT_TRUE(CloseHandle(reader));
  EXPECT_TRUE(CloseHandle(writer));
  // Once both are closed, an exclusive open succeeds.
  const Handle exclusive = Open(path, kGENERIC_READ | kGENERIC_WRITE, 0);
  EXPECT_NE(exclusive, kInvalidHandle);
  EXPECT_TRUE(CloseHandle(exclusive));
}

TEST(FilesWin, PositionSizeAndTruncation) {
  test::Sandbox box;
  const std::string path = box.Path("data.bin");
  const Handle file = Open(path, kGENERIC_READ | kGENERIC_WRITE, 0, kCREATE_NEW);
  ASSERT_NE(file, kInvalidHandle);
  uint32_t written = 0;
  ASSERT_TRUE(WriteFile(file, "0123456789", 10, &written));
  EXPECT_EQ(GetFileSizeEx(file), 10);
  EXPECT_EQ(SetFilePointerEx(file, -4, kFILE_END), 6);
  char buffer[4] = {};
  uint32_t read = 0;
  ASSERT_TRUE(ReadFile(file, buffer, 4, &read));
  EXPECT_EQ(std::string(buffer, read), "6789");
  EXPECT_EQ(SetFilePointerEx(file, 3, kFILE_BEGIN), 3);
  EXPECT_TRUE(SetEndOfFile(file));
  EXPECT_EQ(GetFileSizeEx(file), 3);
  EXPECT_EQ(SetFilePointerEx(file, -1, kFILE_BEGIN), -1);
  EXPECT_EQ(GetLastError(), 131u);  // ERROR_NEGATIVE_SEEK
  EXPECT_TRUE(CloseHandle(file));
  EXPECT_EQ(box.Read("data.bin"), "012");

  // CREATE_NEW on an existing file and OPEN_EXISTING on a missing one fail.
  EXPECT_EQ(Open(path, kGENERIC_WRITE, 0, kCREATE_NEW), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_FILE_EXISTS);
  EXPECT_EQ(Open(box.Path("none.bin"), kGENERIC_READ, 0, kOPEN_EXISTING), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(box.Path("nodir\\x.bin"), kGENERIC_READ, 0, kOPEN_EXISTING), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_PATH_NOT_FOUND);
}

TEST(FilesWin, ReadOnlyAndHiddenAttributesRoundTrip) {
  test::Sandbox box;
  box.Write("settings.ini", "[A]\r\n");
  const std::string path = box.Path("settings.ini");
  ASSERT_TRUE(SetFileAttributesW(path, kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW(path) &
                (kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_DIRECTORY),
            kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_HIDDEN);

  // A read-only file refuses deletion and writers, but can be read.
  EXPECT_FALSE(DeleteFileW(path));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_EQ(box.Read("settings.ini"), "[A]\r\n");
  const Handle writer = Open(path, kGENERIC_WRITE, 0, kOPEN_EXISTING);
  if (writer != kInvalidHandle) {
    CloseHandle(writer);
    // Wine keeps the read-only attribute in the Unix mode bits, which do not stop a
    // process running as root from opening the file for writing.
    EXPECT_TRUE(UnderWine()) << "a read-only file opened for writing";
  } else {
    EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  }

  std::vector<FindData> found;
  ASSERT_TRUE(FindFiles(box.Path("*.ini"), found));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].attributes & kFILE_ATTRIBUTE_HIDDEN, kFILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(found[0].size, 5);

  ASSERT_TRUE(SetFileAttributesW(path, kFILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(path) & (kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_TRUE(DeleteFileW(path));
  EXPECT_EQ(GetFileAttributesW(path), kINVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
}

TEST(FilesWin, MoveAndCopyRespectExistingTargets) {
  test::Sandbox box;
  box.Write("a.txt", "new");
  box.Write("b.txt", "old");
  EXPECT_FALSE(MoveFileExW(box.Path("a.txt"), box.Path("b.txt"), false));
  EXPECT_EQ(GetLastError(), kERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CopyFileW(box.Path("a.txt"), box.Path("b.txt"), true));
  EXPECT_EQ(GetLastError(), kERROR_FILE_EXISTS);
  EXPECT_EQ(box.Read("b.txt"), "old");

  EXPECT_TRUE(CopyFileW(box.Path("a.txt"), box.Path("c.txt"), true));
  EXPECT_TRUE(MoveFileExW(box.Path("a.txt"), box.Path("b.txt"), true));
  EXPECT_FALSE(box.Exists("a.txt"));
  EXPECT_EQ(box.Read("b.txt"), "new");
  EXPECT_EQ(box.Read("c.txt"), "new");
  EXPECT_FALSE(CopyFileW(box.Path("a.txt"), box.Path("d.txt"), false));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
}

TEST(FilesWin, FoldersListingsAndUnicodeNames) {
  test::Sandbox box;
  const std::string sub = box.Path("Logs");
  ASSERT_TRUE(CreateDirectoryW(sub));
  EXPECT_FALSE(CreateDirectoryW(sub));
  EXPECT_EQ(GetLastError(), kERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileAttributesW(sub) & kFILE_ATTRIBUTE_DIRECTORY, kFILE_ATTRIBUTE_DIRECTORY);

  const std::string unicode = "Ωμέγα_файл_ü.log";
  box.Write("Logs\\" + unicode, "x");
  box.Write("Logs\\AppRun.log", "yz");
  box.Write("Logs\\notes.txt", "");

  std::vector<FindData> found;
  ASSERT_TRUE(FindFiles(sub + "\\*", found));
  EXPECT_EQ(Names(found), (std::vector<std::string>{"AppRun.log", "notes.txt", unicode}));
  // The walk ends with "no more files"; closing the search keeps that error.
  EXPECT_EQ(GetLastError(), 18u);
  ASSERT_TRUE(FindFiles(sub + "\\*.log", found));
  EXPECT_EQ(Names(found), (std::vector<std::string>{"AppRun.log", unicode}));

  // An empty folder lists nothing (its "." and ".." are skipped).
  ASSERT_TRUE(CreateDirectoryW(box.Path("Empty")));
  ASSERT_TRUE(FindFiles(box.Path("Empty\\*"), found));
  EXPECT_TRUE(found.empty());
  EXPECT_FALSE(FindFiles(sub + "\\*.dat", found));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(FindFiles(box.Path("Missing\\*"), found));
  EXPECT_EQ(GetLastError(), kERROR_PATH_NOT_FOUND);

  EXPECT_FALSE(RemoveDirectoryW(sub));
  EXPECT_EQ(GetLastError(), kERROR_DIR_NOT_EMPTY);
  EXPECT_TRUE(RemoveDirectoryW(box.Path("Empty")));
}

// Puts the current folder back, so the sandbox can be removed whatever happens.
struct KeepCurrentDirectory {
  std::string saved = GetCurrentDirectoryW();
  ~KeepCurrentDirectory() { SetCurrentDirectoryW(saved); }
};

TEST(FilesWin, CurrentFullAndTemporaryPaths) {
  test::Sandbox box;
  KeepCurrentDirectory keep;
  const std::string before = keep.saved;
  ASSERT_FALSE(before.empty());
  ASSERT_TRUE(CreateDirectoryW(box.Path("Здесь")));
  ASSERT_TRUE(SetCurrentDirectoryW(box.Path("Здесь")));
  EXPECT_EQ(GetCurrentDirectoryW(), box.Path("Здесь"));
  EXPECT_EQ(GetFullPathNameW("..\\x\\.\\y.ini"), box.Path("x\\y.ini"));
  EXPECT_EQ(GetFullPathNameW("z.ini"), box.Path("Здесь\\z.ini"));
  EXPECT_FALSE(SetCurrentDirectoryW(box.Path("Missing")));
  EXPECT_TRUE(SetCurrentDirectoryW(before));

  const std::string temp = GetTempPathW();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_NE(GetFileAttributesW(temp) & kFILE_ATTRIBUTE_DIRECTORY, 0u);
}

}  // namespace
