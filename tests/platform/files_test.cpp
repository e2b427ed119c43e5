// Files through the seam, as Windows behaves: share modes, dispositions,
// attributes, file pointer, folders, moving, copying, searching; version resources and
// code page conversion.
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

// The sorted names a search finds, or its error.
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
  Handle writer = CreateFileW(path, kGENERIC_WRITE, kFILE_SHARE_READ, kOPEN_EXISTING);
  ASSERT_NE(writer, kInvalidHandle);
  EXPECT_EQ(OpenError(path, kGENERIC_READ, kFILE_SHARE_READ | kFILE_SHARE_WRITE, kOPEN_EXISTING),
            0u);
  EXPECT_EQ(OpenError(path, kGENERIC_READ, kFILE_SHARE_READ, kOPEN_EXISTING),
            kERROR_SHARING_VIOLATION);
  EXPECT_EQ(OpenError(path, kGENERIC_WRITE, kShareAll, kOPEN_EXISTING), kERROR_SHARING_VIOLATION);
  // The handle does not share deleting.
  EXPECT_EQ(ErrorOf(DeleteFileW(path)), kERROR_SHARING_VIOLATION);
  EXPECT_EQ(ErrorOf(MoveFileExW(path, box.Path("moved.txt"), false)), kERROR_SHARING_VIOLATION);
  CloseHandle(writer);
  // An exclusive open locks everyone out, copies too.
  writer = CreateFileW(path, kGENERIC_READ | kGENERIC_WRITE, 0, kOPEN_EXISTING);
  EXPECT_EQ(OpenError(path, kGENERIC_READ, kShareAll, kOPEN_EXISTING), kERROR_SHARING_VIOLATION);
  EXPECT_EQ(ErrorOf(CopyFileW(path, box.Path("copy.ini"), false)), kERROR_SHARING_VIOLATION);
  CloseHandle(writer);
}

TEST(FileCreate, DispositionsAndTheirLastErrors) {
  test::Sandbox box;
  const std::string path = box.Path("a.txt");
  EXPECT_EQ(OpenError(path, kGENERIC_READ, 0, kOPEN_EXISTING), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenError(path, kGENERIC_WRITE, 0, kTRUNCATE_EXISTING), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenError(box.Path("no\\a.txt"), kGENERIC_WRITE, 0, kCREATE_ALWAYS),
            kERROR_PATH_NOT_FOUND);
  EXPECT_EQ(OpenError(box.dir(), kGENERIC_READ, kShareAll, kOPEN_EXISTING), kERROR_ACCESS_DENIED);
  // disposition, the last error after success, the size found; "hello" is written before
  // every row but the first.
  const struct {
    uint32_t disposition, error;
    int64_t size;
  } rows[] = {{kOPEN_ALWAYS, kERROR_SUCCESS, 0},  // created
              {kOPEN_ALWAYS, kERROR_ALREADY_EXISTS, 5},
              {kCREATE_ALWAYS, kERROR_ALREADY_EXISTS, 0}};
  for (const auto& row : rows) {
    if (&row != rows) box.Write("a.txt", "hello");
    const Handle h = CreateFileW(path, kGENERIC_READ | kGENERIC_WRITE, 0, row.disposition);
    EXPECT_EQ(GetLastError(), row.error) << row.disposition;
    EXPECT_EQ(GetFileSizeEx(h), row.size) << row.disposition;
    CloseHandle(h);
  }
  EXPECT_EQ(OpenError(path, kGENERIC_WRITE, 0, kCREATE_NEW), kERROR_FILE_EXISTS);
  // A file created hidden is hidden (and marked for backup); attributes come off again.
  ASSERT_TRUE(DeleteFileW(path));
  EXPECT_EQ(OpenError(path, kGENERIC_WRITE, 0, kCREATE_NEW, kFILE_ATTRIBUTE_HIDDEN), 0u);
  EXPECT_EQ(GetFileAttributesW(path), kFILE_ATTRIBUTE_HIDDEN | kFILE_ATTRIBUTE_ARCHIVE);
  ASSERT_TRUE(SetFileAttributesW(path, kFILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(path) & 3, 0u);
  ASSERT_TRUE(DeleteFileW(path));
  EXPECT_EQ(ErrorOf(GetFileAttributesW(path) != kINVALID_FILE_ATTRIBUTES), kERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ErrorOf(SetFileAttributesW(path, kFILE_ATTRIBUTE_NORMAL)), kERROR_FILE_NOT_FOUND);
}

TEST(FileIo, PointerSizeAndEndOfFile) {
  test::Sandbox box;
  box.Write("r.txt", "abc");
  Handle f = CreateFileW(box.Path("r.txt"), kGENERIC_READ, kShareAll, kOPEN_EXISTING);
  uint32_t n = 0;
  EXPECT_EQ(ErrorOf(WriteFile(f, "x", 1, &n)), kERROR_ACCESS_DENIED);  // a read-only handle
  CloseHandle(f);
  EXPECT_EQ(ErrorOf(CloseHandle(static_cast<Handle>(0x7777770))), kERROR_INVALID_HANDLE);

  f = CreateFileW(box.Path("data.bin"), kGENERIC_READ | kGENERIC_WRITE, 0, kCREATE_NEW);
  ASSERT_TRUE(WriteFile(f, "hello world", 11, &n));
  EXPECT_EQ(SetFilePointerEx(f, -5, kFILE_END), 6);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(f, buffer, sizeof buffer, &n));
  EXPECT_EQ(std::string(buffer, n), "world");
  ASSERT_TRUE(ReadFile(f, buffer, sizeof buffer, &n));  // at the end: success, nothing read
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(SetFilePointerEx(f, 5, kFILE_BEGIN), 5);
  ASSERT_TRUE(SetEndOfFile(f));
  EXPECT_EQ(GetFileSizeEx(f), 5);
  EXPECT_EQ(SetFilePointerEx(f, -1, kFILE_CURRENT), 4);
  EXPECT_EQ(ErrorOf(SetFilePointerEx(f, -1, kFILE_BEGIN) != -1), 131u);  // ERROR_NEGATIVE_SEEK
  // Writing past the end fills the gap with zeros.
  EXPECT_EQ(SetFilePointerEx(f, 7, kFILE_BEGIN), 7);
  ASSERT_TRUE(WriteFile(f, "!", 1, &n));
  CloseHandle(f);
  EXPECT_EQ(box.Read("data.bin"), std::string("hello\0\0!", 8));
}

TEST(Folders, CreateAndTheirErrors) {
  test::Sandbox box;
  const std::string dir = box.Path("sub");
  ASSERT_TRUE(CreateDirectoryW(dir));
  EXPECT_EQ(GetFileAttributesW(dir), kFILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(ErrorOf(CreateDirectoryW(dir)), kERROR_ALREADY_EXISTS);
  EXPECT_EQ(ErrorOf(CreateDirectoryW(box.Path("x\\y"))), kERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ErrorOf(DeleteFileW(dir)), kERROR_ACCESS_DENIED);
}

TEST(FileMove, RenameReplaceAndCopy) {
  test::Sandbox box;
  box.Write("a.txt", "A");
  box.Write("b.txt", "B");
  EXPECT_EQ(ErrorOf(MoveFileExW(box.Path("a.txt"), box.Path("b.txt"), false)),
            kERROR_ALREADY_EXISTS);
  ASSERT_TRUE(MoveFileExW(box.Path("a.txt"), box.Path("b.txt"), true));
  EXPECT_EQ(box.Read("b.txt") + std::to_string(box.Exists("a.txt")), "A0");
  EXPECT_EQ(ErrorOf(MoveFileExW(box.Path("a.txt"), box.Path("c.txt"), true)),
            kERROR_FILE_NOT_FOUND);
  ASSERT_TRUE(CopyFileW(box.Path("b.txt"), box.Path("c.txt"), true));
  EXPECT_EQ(ErrorOf(CopyFileW(box.Path("b.txt"), box.Path("c.txt"), true)), kERROR_FILE_EXISTS);
  box.Write("b.txt", "BB");
  ASSERT_TRUE(CopyFileW(box.Path("b.txt"), box.Path("c.txt"), false));
  EXPECT_EQ(box.Read("c.txt"), "BB");
  EXPECT_EQ(ErrorOf(CopyFileW(box.Path("none.txt"), box.Path("d.txt"), false)),
            kERROR_FILE_NOT_FOUND);
}

TEST(FileSearch, PatternsFailuresAndNamesWithoutCase) {
  test::Sandbox box;
  box.Write("a.log", "1");
  box.Write("C.txt", "3");
  box.Write("c.TXT", "333");  // the same file, whose spelling stays
  const std::string unicode = "\xCE\xA9\xCE\xBC_\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB_\xC3\xBC.log";
  box.Write(unicode, "");
  ASSERT_TRUE(CreateDirectoryW(box.Path("sub")));
  using Names = std::vector<std::string>;
  EXPECT_EQ(Found(box.Path("*.LOG")), (Names{"a.log", unicode}));
  EXPECT_EQ(Found(box.Path("?.txt")), Names{"C.txt"});
  EXPECT_EQ(Found(box.Path("*.none")), Names{"<error 2>"});
  EXPECT_EQ(Found(box.Path("sub\\*")), Names{});  // "." and ".." are not reported
  std::vector<FindData> found;
  ASSERT_TRUE(FindFiles(box.Path("*"), found));
  Names listing;
  for (const FindData& e : found)
    listing.push_back(e.attributes & kFILE_ATTRIBUTE_DIRECTORY
                          ? e.name + '/'
                          : e.name + ' ' + std::to_string(e.size));
  std::sort(listing.begin(), listing.end());
  EXPECT_EQ(listing, (Names{"C.txt 3", "a.log 1", "sub/", unicode + " 0"}));
}

TEST(VersionInfo, PlainAndMissingFilesHaveNoneKernelHasOne) {
  test::Sandbox box;  // over the sim: the default machine
  box.Write("plain.txt", "just text, no program\r\n");
  std::string block;
  for (const auto& [name, error] : {std::pair{"plain.txt", kERROR_RESOURCE_DATA_NOT_FOUND},
                                    std::pair{"missing.exe", kERROR_FILE_NOT_FOUND}}) {
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeW(box.Path(name)), 0u);
    EXPECT_EQ(GetLastError(), error) << name;
    EXPECT_FALSE(GetFileVersionInfoW(box.Path(name), block));
  }
  ASSERT_TRUE(GetFileVersionInfoW(GetModuleFileNameW("kernel32.dll"), block));
  std::string fixed;
  ASSERT_TRUE(VerQueryValueW(block, "\\", fixed));
  EXPECT_EQ(fixed.substr(0, 4), std::string("\xBD\x04\xEF\xFE", 4));  // VS_FFI_SIGNATURE
  EXPECT_EQ(fixed.size(), 52u);
}

TEST(CodePages, Windows1252And1251BothWays) {
  test::Sandbox box;
  EXPECT_EQ(MultiByteToWideChar(1252, "caf\xE9 \x80 \x9F"), u"caf\u00E9 \u20AC \u0178");
  EXPECT_EQ(WideCharToMultiByte(1252, u"caf\u00E9 \u20AC \u0178"), "caf\xE9 \x80 \x9F");
  // Characters the code page cannot hold become "?", with no look-alikes.
  EXPECT_EQ(WideCharToMultiByte(1252, u"\u4E2D\u0416\u03A9"), "???");
  EXPECT_EQ(WideCharToMultiByte(1251, u"\u0416\u00E9"), "\xC6?");
  EXPECT_EQ(MultiByteToWideChar(1251, "\xC6"), u"\u0416");
  EXPECT_EQ(MultiByteToWideChar(0, "abc"), u"abc");  // CP_ACP
}

}  // namespace
