// Files through the seam, as Windows behaves: share modes, dispositions,
// attributes, file pointer, folders, moving, copying and searching.
// (What read-only and hidden files refuse is tested on the sim only: under Wine
// every program is an administrator that may write anything.)
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Platform.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace plat;

constexpr uint32_t kShareAll = kFILE_SHARE_READ | kFILE_SHARE_WRITE | kFILE_SHARE_DELETE;

// Closes a handle at the end of a scope.
struct Closer {
  Handle h;
  ~Closer() {
    if (h != kInvalidHandle) CloseHandle(h);
  }
};

std::vector<std::string> Names(const std::vector<FindData>& entries) {
  std::vector<std::string> names;
  for (const FindData& e : entries)
    names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileShare, SecondOpenMustFitTheFirstOnesShareMode) {
  test::Sandbox box;
  box.Write("log.txt", "x");
  const std::string path = box.Path("log.txt");
  // A writer that lets others read.
  Closer writer{CreateFileW(path, kGENERIC_WRITE, kFILE_SHARE_READ, kOPEN_EXISTING)};
  ASSERT_NE(writer.h, kInvalidHandle);

  // Readers must share writing (the writer has it), and may not ask to write.
  Closer reader{
      CreateFileW(path, kGENERIC_READ, kFILE_SHARE_READ | kFILE_SHARE_WRITE, kOPEN_EXISTING)};
  EXPECT_NE(reader.h, kInvalidHandle);
  SetLastError(0);
  EXPECT_EQ(CreateFileW(path, kGENERIC_READ, kFILE_SHARE_READ, kOPEN_EXISTING), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_SHARING_VIOLATION);
  EXPECT_EQ(CreateFileW(path, kGENERIC_WRITE, kShareAll, kOPEN_EXISTING), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_SHARING_VIOLATION);

  // Neither handle shares deleting.
  EXPECT_FALSE(DeleteFileW(path));
  EXPECT_EQ(GetLastError(), kERROR_SHARING_VIOLATION);
  EXPECT_FALSE(MoveFileExW(path, box.Path("moved.txt"), false));
  EXPECT_EQ(GetLastError(), kERROR_SHARING_VIOLATION);

  CloseHandle(writer.h);
  writer.h = kInvalidHandle;
  Closer second{CreateFileW(path, kGENERIC_WRITE, kShareAll, kOPEN_EXISTING)};
  EXPECT_NE(second.h, kInvalidHandle);
}

TEST(FileShare, ExclusiveOpenLocksEveryoneOut) {
  test::Sandbox box;
  box.Write("held.ini", "[a]");
  Closer held{CreateFileW(box.Path("held.ini"), kGENERIC_READ | kGENERIC_WRITE, 0, kOPEN_EXISTING)};
  ASSERT_NE(held.h, kInvalidHandle);
  EXPECT_EQ(CreateFileW(box.Path("held.ini"), kGENERIC_READ, kShareAll, kOPEN_EXISTING),
            kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_SHARING_VIOLATION);
  EXPECT_FALSE(CopyFileW(box.Path("held.ini"), box.Path("copy.ini"), false));
  EXPECT_EQ(GetLastError(), kERROR_SHARING_VIOLATION);
}

TEST(FileCreate, DispositionsAndTheirLastErrors) {
  test::Sandbox box;
  const std::string path = box.Path("a.txt");

  EXPECT_EQ(CreateFileW(path, kGENERIC_READ, 0, kOPEN_EXISTING), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CreateFileW(box.Path("no\\a.txt"), kGENERIC_WRITE, 0, kCREATE_ALWAYS), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_PATH_NOT_FOUND);

  Handle h = CreateFileW(path, kGENERIC_WRITE, 0, kOPEN_ALWAYS);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_SUCCESS);  // created
  uint32_t written = 0;
  ASSERT_TRUE(WriteFile(h, "hello", 5, &written));
  EXPECT_EQ(written, 5u);
  CloseHandle(h);

  EXPECT_EQ(CreateFileW(path, kGENERIC_WRITE, 0, kCREATE_NEW), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_FILE_EXISTS);

  h = CreateFileW(path, kGENERIC_READ, 0, kOPEN_ALWAYS);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_ALREADY_EXISTS);  // opened
  EXPECT_EQ(GetFileSizeEx(h), 5);
  CloseHandle(h);

  h = CreateFileW(path, kGENERIC_WRITE, 0, kCREATE_ALWAYS);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_ALREADY_EXISTS);  // overwritten
  EXPECT_EQ(GetFileSizeEx(h), 0);
  CloseHandle(h);

  box.Write("a.txt", "content");
  h = CreateFileW(path, kGENERIC_WRITE, 0, kTRUNCATE_EXISTING);
  ASSERT_NE(h, kInvalidHandle);
  EXPECT_EQ(GetFileSizeEx(h), 0);
  CloseHandle(h);

  // A folder is not a file.
  EXPECT_EQ(CreateFileW(box.dir(), kGENERIC_READ, kShareAll, kOPEN_EXISTING), kInvalidHandle);
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
}

TEST(FileCreate, AttributesAreSetAndCleared) {
  test::Sandbox box;
  box.Write("ro.ini", "[s]\r\n");
  const std::string path = box.Path("ro.ini");
  EXPECT_TRUE(GetFileAttributesW(path) & kFILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(SetFileAttributesW(path, kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(GetFileAttributesW(path) & kFILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(GetFileAttributesW(path) & kFILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(box.Read("ro.ini"), "[s]\r\n");  // reading is fine
  ASSERT_TRUE(SetFileAttributesW(path, kFILE_ATTRIBUTE_NORMAL));
  EXPECT_FALSE(GetFileAttributesW(path) & (kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(DeleteFileW(path));
  EXPECT_EQ(GetFileAttributesW(path), kINVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(SetFileAttributesW(path, kFILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);

  // A file created hidden is hidden (and marked for backup).
  const Handle h =
      CreateFileW(box.Path("hidden.ini"), kGENERIC_WRITE, 0, kCREATE_NEW, kFILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(h, kInvalidHandle);
  CloseHandle(h);
  EXPECT_EQ(GetFileAttributesW(box.Path("hidden.ini")),
            kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_ARCHIVE);
}

TEST(FileIo, PointerSizeAndEndOfFile) {
  test::Sandbox box;
  Closer f{CreateFileW(box.Path("data.bin"), kGENERIC_READ | kGENERIC_WRITE, 0, kCREATE_NEW)};
  ASSERT_NE(f.h, kInvalidHandle);
  uint32_t n = 0;
  ASSERT_TRUE(WriteFile(f.h, "hello world", 11, &n));
  EXPECT_EQ(GetFileSizeEx(f.h), 11);
  EXPECT_EQ(SetFilePointerEx(f.h, 0, kFILE_CURRENT), 11);
  EXPECT_EQ(SetFilePointerEx(f.h, -5, kFILE_END), 6);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(f.h, buffer, sizeof buffer, &n));
  EXPECT_EQ(std::string(buffer, n), "world");
  ASSERT_TRUE(ReadFile(f.h, buffer, sizeof buffer, &n));  // at the end: success, nothing read
  EXPECT_EQ(n, 0u);

  EXPECT_EQ(SetFilePointerEx(f.h, 5, kFILE_BEGIN), 5);
  ASSERT_TRUE(SetEndOfFile(f.h));
  EXPECT_EQ(GetFileSizeEx(f.h), 5);
  EXPECT_EQ(SetFilePointerEx(f.h, -1, kFILE_BEGIN), -1);
  EXPECT_EQ(GetLastError(), 131u);  // ERROR_NEGATIVE_SEEK
  // Writing past the end fills the gap with zeros.
  EXPECT_EQ(SetFilePointerEx(f.h, 7, kFILE_BEGIN), 7);
  ASSERT_TRUE(WriteFile(f.h, "!", 1, &n));
  CloseHandle(f.h);
  f.h = kInvalidHandle;
  EXPECT_EQ(box.Read("data.bin"), std::string("hello\0\0!", 8));
}

TEST(FileIo, HandleWithoutTheAccessIsRefused) {
  test::Sandbox box;
  box.Write("r.txt", "abc");
  Closer r{CreateFileW(box.Path("r.txt"), kGENERIC_READ, kShareAll, kOPEN_EXISTING)};
  ASSERT_NE(r.h, kInvalidHandle);
  uint32_t n = 0;
  EXPECT_FALSE(WriteFile(r.h, "x", 1, &n));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_FALSE(CloseHandle(static_cast<Handle>(0x7777770)));
  EXPECT_EQ(GetLastError(), kERROR_INVALID_HANDLE);
}

TEST(Folders, CreateRemoveAndTheirErrors) {
  test::Sandbox box;
  const std::string dir = box.Path("sub");
  ASSERT_TRUE(CreateDirectoryW(dir));
  EXPECT_EQ(GetFileAttributesW(dir), kFILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(CreateDirectoryW(dir));
  EXPECT_EQ(GetLastError(), kERROR_ALREADY_EXISTS);
  EXPECT_FALSE(CreateDirectoryW(box.Path("x\\y")));
  EXPECT_EQ(GetLastError(), kERROR_PATH_NOT_FOUND);

  box.Write("sub\\f.txt", "1");
  EXPECT_FALSE(RemoveDirectoryW(dir));
  EXPECT_EQ(GetLastError(), kERROR_DIR_NOT_EMPTY);
  EXPECT_FALSE(DeleteFileW(dir));
  EXPECT_EQ(GetLastError(), kERROR_ACCESS_DENIED);
  EXPECT_FALSE(RemoveDirectoryW(box.Path("sub\\f.txt")));
  EXPECT_EQ(GetLastError(), 267u);  // ERROR_DIRECTORY
  ASSERT_TRUE(DeleteFileW(box.Path("sub\\f.txt")));
  EXPECT_TRUE(RemoveDirectoryW(dir));
  EXPECT_FALSE(RemoveDirectoryW(dir));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
}

TEST(FileNames, CompareWithoutCaseAndKeepTheirSpelling) {
  test::Sandbox box;
  box.Write("MixedCase.Txt", "m");
  EXPECT_NE(GetFileAttributesW(box.Path("MIXEDCASE.TXT")), kINVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(box.Read("mixedcase.txt"), "m");
  std::vector<FindData> found;
  ASSERT_TRUE(FindFiles(box.Path("mixed*"), found));
  EXPECT_EQ(Names(found), std::vector<std::string>{"MixedCase.Txt"});
  // Writing through another spelling changes the same file.
  box.Write("MIXEDCASE.txt", "n");
  ASSERT_TRUE(FindFiles(box.Path("*"), found));
  EXPECT_EQ(Names(found), std::vector<std::string>{"MixedCase.Txt"});
  EXPECT_EQ(box.Read("MixedCase.Txt"), "n");
}

TEST(FileMove, RenameReplaceAndCopy) {
  test::Sandbox box;
  box.Write("a.txt", "A");
  box.Write("b.txt", "B");
  EXPECT_FALSE(MoveFileExW(box.Path("a.txt"), box.Path("b.txt"), false));
  EXPECT_EQ(GetLastError(), kERROR_ALREADY_EXISTS);
  ASSERT_TRUE(MoveFileExW(box.Path("a.txt"), box.Path("b.txt"), true));
  EXPECT_FALSE(box.Exists("a.txt"));
  EXPECT_EQ(box.Read("b.txt"), "A");
  EXPECT_FALSE(MoveFileExW(box.Path("a.txt"), box.Path("c.txt"), true));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(CopyFileW(box.Path("b.txt"), box.Path("c.txt"), true));
  EXPECT_EQ(box.Read("c.txt"), "A");
  EXPECT_FALSE(CopyFileW(box.Path("b.txt"), box.Path("c.txt"), true));
  EXPECT_EQ(GetLastError(), kERROR_FILE_EXISTS);
  box.Write("b.txt", "BB");
  ASSERT_TRUE(CopyFileW(box.Path("b.txt"), box.Path("c.txt"), false));
  EXPECT_EQ(box.Read("c.txt"), "BB");
  EXPECT_FALSE(CopyFileW(box.Path("none.txt"), box.Path("d.txt"), false));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);

  // The copy of a read-only file is read-only.
  ASSERT_TRUE(SetFileAttributesW(box.Path("b.txt"), kFILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CopyFileW(box.Path("b.txt"), box.Path("e.txt"), false));
  EXPECT_TRUE(GetFileAttributesW(box.Path("e.txt")) & kFILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(box.Path("b.txt"), kFILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW(box.Path("e.txt"), kFILE_ATTRIBUTE_NORMAL);
}

TEST(FileSearch, PatternsAndFailures) {
  test::Sandbox box;
  box.Write("a.log", "1");
  box.Write("b.log", "22");
  box.Write("c.txt", "333");
  const std::string unicode = "\xCE\xA9\xCE\xBC_\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB_\xC3\xBC.log";
  box.Write(unicode, "");
  ASSERT_TRUE(CreateDirectoryW(box.Path("sub")));
  std::vector<FindData> found;
  ASSERT_TRUE(FindFiles(box.Path("*.log"), found));
  EXPECT_EQ(Names(found), (std::vector<std::string>{"a.log", "b.log", unicode}));
  ASSERT_TRUE(FindFiles(box.Path("*"), found));
  EXPECT_EQ(Names(found), (std::vector<std::string>{"a.log", "b.log", "c.txt", "sub", unicode}));
  for (const FindData& e : found) {
    if (e.name == "c.txt") {
      EXPECT_EQ(e.size, 3);
    }
    if (e.name == "sub") {
      EXPECT_TRUE(e.attributes & kFILE_ATTRIBUTE_DIRECTORY);
    }
  }
  ASSERT_TRUE(FindFiles(box.Path("?.txt"), found));
  EXPECT_EQ(Names(found), std::vector<std::string>{"c.txt"});
  EXPECT_FALSE(FindFiles(box.Path("*.none"), found));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(FindFiles(box.Path("missing\\*"), found));
  EXPECT_EQ(GetLastError(), kERROR_PATH_NOT_FOUND);
  // An empty folder: the search succeeds ("." and ".." match) with nothing to report.
  EXPECT_TRUE(FindFiles(box.Path("sub\\*"), found));
  EXPECT_TRUE(found.empty());
}

TEST(FilePaths, FullPathsAndTheCurrentDirectory) {
  test::Sandbox box;
  EXPECT_EQ(GetFullPathNameW("C:\\a\\b\\..\\c.txt"), "C:\\a\\c.txt");
  EXPECT_EQ(GetFullPathNameW("C:/a/./b/"), "C:\\a\\b\\");
  const std::string before = GetCurrentDirectoryW();
  ASSERT_TRUE(CreateDirectoryW(box.Path("work")));
  ASSERT_TRUE(SetCurrentDirectoryW(box.Path("work")));
  EXPECT_EQ(GetCurrentDirectoryW(), box.Path("work"));
  EXPECT_EQ(GetFullPathNameW("x.txt"), box.Path("work\\x.txt"));
  EXPECT_EQ(GetFullPathNameW("..\\y.txt"), box.Path("y.txt"));
  Handle h = CreateFileW("rel.txt", kGENERIC_WRITE, 0, kCREATE_NEW);
  ASSERT_NE(h, kInvalidHandle);
  CloseHandle(h);
  EXPECT_TRUE(box.Exists("work\\rel.txt"));
  EXPECT_FALSE(SetCurrentDirectoryW(box.Path("nowhere")));
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(SetCurrentDirectoryW(before));
  const std::string temp = GetTempPathW();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(GetFileAttributesW(temp) & kFILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
