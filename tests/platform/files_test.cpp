// Files through the seam, as Windows behaves: share modes, dispositions,
// attributes, file pointer, folders, moving, copying and searching.
// (What read-only and hidden files refuse is tested on the sim only: under Wine
// every program is an administrator that may write anything.)
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Platform.h"
#include "tests/support/ErrorOf.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace plat;
using test::ErrorOf;
using test::OpenError;

constexpr uint32_t kShareAll = kFILE_SHARE_READ | kFILE_SHARE_WRITE | kFILE_SHARE_DELETE;

// Closes a handle at the end of a scope.
struct Closer {
  Handle h;
  ~Closer() {
    if (h != kInvalidHandle) CloseHandle(h);
  }
};

// The sorted names a search finds; empty when it fails.
std::vector<std::string> Found(const std::string& pattern) {
  std::vector<FindData> entries;
  std::vector<std::string> names;
  if (!FindFiles(pattern, entries)) return {"<error " + std::to_string(GetLastError()) + ">"};
  for (const FindData& e : entries)
    names.push_back(e.name);
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileShare, SecondOpenMustFitTheFirstOnesShareMode) {
  test::Sandbox box;
  box.Write("log.txt", "x");
  const std::string path = box.Path("log.txt");
  // A writer that lets others read: readers must share writing, and may not ask to write.
  Closer writer{CreateFileW(path, kGENERIC_WRITE, kFILE_SHARE_READ, kOPEN_EXISTING)};
  ASSERT_NE(writer.h, kInvalidHandle);
  EXPECT_EQ(OpenError(path, kGENERIC_READ, kFILE_SHARE_READ | kFILE_SHARE_WRITE, kOPEN_EXISTING),
            0u);
  EXPECT_EQ(OpenError(path, kGENERIC_READ, kFILE_SHARE_READ, kOPEN_EXISTING),
            kERROR_SHARING_VIOLATION);
  EXPECT_EQ(OpenError(path, kGENERIC_WRITE, kShareAll, kOPEN_EXISTING), kERROR_SHARING_VIOLATION);
  // The handle does not share deleting.
  EXPECT_EQ(ErrorOf(DeleteFileW(path)), kERROR_SHARING_VIOLATION);
  EXPECT_EQ(ErrorOf(MoveFileExW(path, box.Path("moved.txt"), false)), kERROR_SHARING_VIOLATION);
  CloseHandle(writer.h);
  writer.h = kInvalidHandle;
  EXPECT_EQ(OpenError(path, kGENERIC_WRITE, kShareAll, kOPEN_EXISTING), 0u);

  // An exclusive open locks everyone out, copies too.
  Closer held{CreateFileW(path, kGENERIC_READ | kGENERIC_WRITE, 0, kOPEN_EXISTING)};
  EXPECT_EQ(OpenError(path, kGENERIC_READ, kShareAll, kOPEN_EXISTING), kERROR_SHARING_VIOLATION);
  EXPECT_EQ(ErrorOf(CopyFileW(path, box.Path("copy.ini"), false)), kERROR_SHARING_VIOLATION);
}

TEST(FileCreate, DispositionsAndTheirLastErrors) {
  test::Sandbox box;
  const std::string path = box.Path("a.txt");
  EXPECT_EQ(OpenError(path, kGENERIC_READ, 0, kOPEN_EXISTING), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenError(box.Path("no\\a.txt"), kGENERIC_WRITE, 0, kCREATE_ALWAYS),
            kERROR_PATH_NOT_FOUND);
  EXPECT_EQ(OpenError(box.dir(), kGENERIC_READ, kShareAll, kOPEN_EXISTING), kERROR_ACCESS_DENIED);

  // disposition, the last error after success (~0u: not looked at), the size found;
  // "hello" is written before every row but the first.
  const struct {
    uint32_t disposition, error;
    int64_t size;
  } rows[] = {{kOPEN_ALWAYS, kERROR_SUCCESS, 0},  // created
              {kOPEN_ALWAYS, kERROR_ALREADY_EXISTS, 5},
              {kCREATE_ALWAYS, kERROR_ALREADY_EXISTS, 0},
              {kTRUNCATE_EXISTING, ~0u, 0}};
  for (const auto& row : rows) {
    if (&row != rows) box.Write("a.txt", "hello");
    const Handle h = CreateFileW(path, kGENERIC_READ | kGENERIC_WRITE, 0, row.disposition);
    ASSERT_NE(h, kInvalidHandle) << row.disposition;
    if (row.error != ~0u) {
      EXPECT_EQ(GetLastError(), row.error) << row.disposition;
    }
    EXPECT_EQ(GetFileSizeEx(h), row.size) << row.disposition;
    CloseHandle(h);
  }
  EXPECT_EQ(OpenError(path, kGENERIC_WRITE, 0, kCREATE_NEW), kERROR_FILE_EXISTS);
}

TEST(FileCreate, AttributesAreSetAndCleared) {
  test::Sandbox box;
  box.Write("ro.ini", "[s]\r\n");
  const std::string path = box.Path("ro.ini");
  EXPECT_TRUE(GetFileAttributesW(path) & kFILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(SetFileAttributesW(path, kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(GetFileAttributesW(path) & 3, kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(box.Read("ro.ini"), "[s]\r\n");  // reading is fine
  ASSERT_TRUE(SetFileAttributesW(path, kFILE_ATTRIBUTE_NORMAL));
  EXPECT_FALSE(GetFileAttributesW(path) & (kFILE_ATTRIBUTE_READONLY | kFILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(DeleteFileW(path));
  EXPECT_EQ(GetFileAttributesW(path), kINVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ErrorOf(SetFileAttributesW(path, kFILE_ATTRIBUTE_NORMAL)), kERROR_FILE_NOT_FOUND);
  // A file created hidden is hidden (and marked for backup).
  EXPECT_EQ(
      OpenError(box.Path("hidden.ini"), kGENERIC_WRITE, 0, kCREATE_NEW, kFILE_ATTRIBUTE_HIDDEN),
      0u);
  EXPECT_EQ(GetFileAttributesW(box.Path("hidden.ini")),
            kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_ARCHIVE);
}

TEST(FileIo, PointerSizeAndEndOfFile) {
  test::Sandbox box;
  box.Write("r.txt", "abc");
  Closer r{CreateFileW(box.Path("r.txt"), kGENERIC_READ, kShareAll, kOPEN_EXISTING)};
  uint32_t n = 0;
  EXPECT_EQ(ErrorOf(WriteFile(r.h, "x", 1, &n)), kERROR_ACCESS_DENIED);  // a read-only handle
  EXPECT_EQ(ErrorOf(CloseHandle(static_cast<Handle>(0x7777770))), kERROR_INVALID_HANDLE);

  Closer f{CreateFileW(box.Path("data.bin"), kGENERIC_READ | kGENERIC_WRITE, 0, kCREATE_NEW)};
  ASSERT_NE(f.h, kInvalidHandle);
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

TEST(Folders, CreateRemoveAndTheirErrors) {
  test::Sandbox box;
  const std::string dir = box.Path("sub");
  ASSERT_TRUE(CreateDirectoryW(dir));
  EXPECT_EQ(GetFileAttributesW(dir), kFILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(ErrorOf(CreateDirectoryW(dir)), kERROR_ALREADY_EXISTS);
  EXPECT_EQ(ErrorOf(CreateDirectoryW(box.Path("x\\y"))), kERROR_PATH_NOT_FOUND);
  box.Write("sub\\f.txt", "1");
  EXPECT_EQ(ErrorOf(RemoveDirectoryW(dir)), kERROR_DIR_NOT_EMPTY);
  EXPECT_EQ(ErrorOf(DeleteFileW(dir)), kERROR_ACCESS_DENIED);
  EXPECT_EQ(ErrorOf(RemoveDirectoryW(box.Path("sub\\f.txt"))), 267u);  // ERROR_DIRECTORY
  ASSERT_TRUE(DeleteFileW(box.Path("sub\\f.txt")));
  EXPECT_TRUE(RemoveDirectoryW(dir));
  EXPECT_EQ(ErrorOf(RemoveDirectoryW(dir)), kERROR_FILE_NOT_FOUND);
}

TEST(FileNames, CompareWithoutCaseAndKeepTheirSpelling) {
  test::Sandbox box;
  box.Write("MixedCase.Txt", "m");
  EXPECT_NE(GetFileAttributesW(box.Path("MIXEDCASE.TXT")), kINVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Found(box.Path("mixed*")), std::vector<std::string>{"MixedCase.Txt"});
  // Writing through another spelling changes the same file.
  box.Write("MIXEDCASE.txt", "n");
  EXPECT_EQ(Found(box.Path("*")), std::vector<std::string>{"MixedCase.Txt"});
  EXPECT_EQ(box.Read("mixedcase.txt"), "n");
}

TEST(FileMove, RenameReplaceAndCopy) {
  test::Sandbox box;
  box.Write("a.txt", "A");
  box.Write("b.txt", "B");
  EXPECT_EQ(ErrorOf(MoveFileExW(box.Path("a.txt"), box.Path("b.txt"), false)),
            kERROR_ALREADY_EXISTS);
  ASSERT_TRUE(MoveFileExW(box.Path("a.txt"), box.Path("b.txt"), true));
  EXPECT_FALSE(box.Exists("a.txt"));
  EXPECT_EQ(box.Read("b.txt"), "A");
  EXPECT_EQ(ErrorOf(MoveFileExW(box.Path("a.txt"), box.Path("c.txt"), true)),
            kERROR_FILE_NOT_FOUND);

  ASSERT_TRUE(CopyFileW(box.Path("b.txt"), box.Path("c.txt"), true));
  EXPECT_EQ(box.Read("c.txt"), "A");
  EXPECT_EQ(ErrorOf(CopyFileW(box.Path("b.txt"), box.Path("c.txt"), true)), kERROR_FILE_EXISTS);
  box.Write("b.txt", "BB");
  ASSERT_TRUE(CopyFileW(box.Path("b.txt"), box.Path("c.txt"), false));
  EXPECT_EQ(box.Read("c.txt"), "BB");
  EXPECT_EQ(ErrorOf(CopyFileW(box.Path("none.txt"), box.Path("d.txt"), false)),
            kERROR_FILE_NOT_FOUND);
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
  box.Write("c.txt", "333");
  const std::string unicode = "\xCE\xA9\xCE\xBC_\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB_\xC3\xBC.log";
  box.Write(unicode, "");
  ASSERT_TRUE(CreateDirectoryW(box.Path("sub")));
  using Names = std::vector<std::string>;
  EXPECT_EQ(Found(box.Path("*.log")), (Names{"a.log", unicode}));
  EXPECT_EQ(Found(box.Path("?.txt")), Names{"c.txt"});
  EXPECT_EQ(Found(box.Path("*.none")), Names{"<error 2>"});
  EXPECT_EQ(Found(box.Path("missing\\*")), Names{"<error 3>"});
  // An empty folder: the search succeeds ("." and ".." match) with nothing to report.
  EXPECT_EQ(Found(box.Path("sub\\*")), Names{});
  std::vector<FindData> found;
  ASSERT_TRUE(FindFiles(box.Path("*"), found));
  ASSERT_EQ(found.size(), 4u);
  for (const FindData& e : found) {
    if (e.name == "c.txt") {
      EXPECT_EQ(e.size, 3);
    }
    EXPECT_EQ(e.name == "sub", (e.attributes & kFILE_ATTRIBUTE_DIRECTORY) != 0) << e.name;
  }
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
  EXPECT_EQ(OpenError("rel.txt", kGENERIC_WRITE, 0, kCREATE_NEW), 0u);
  EXPECT_TRUE(box.Exists("work\\rel.txt"));
  EXPECT_EQ(ErrorOf(SetCurrentDirectoryW(box.Path("nowhere"))), kERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(SetCurrentDirectoryW(before));
  const std::string temp = GetTempPathW();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(GetFileAttributesW(temp) & kFILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace
