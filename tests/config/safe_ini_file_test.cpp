#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "config/PSafeIniFile.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"

namespace {

using test::Hex;
using test::Utf16File;

using Lines = std::vector<std::string>;

class SafeIniFile : public ::testing::Test {
 protected:
  test::Sandbox box;
};

TEST_F(SafeIniFile, ParsesTheTextModel) {
  const std::string text =
      "stray=before any section\r\n"
      "; a comment\r\n"
      "[  Main Section  ]\r\n"
      "   name   =   value with  blanks  \t\r\n"
      "#hash=is a key\r\n"
      ";skipped=1\r\n"
      "\r\n"
      "plain line\r\n"
      "quoted=\"q\"\r\n"
      "eq=a=b\r\n"
      "[Main Section]\r\n"
      "name=second\r\n"
      "only=second\r\n"
      "[Empty]\r\n";
  const std::string bytes = Utf16File(text);
  box.Write("model.ini", bytes);
  {
    TSafeIniFile ini(box.Path("model.ini"));
    EXPECT_FALSE(ini.LoadFailed());
    EXPECT_EQ(ini.LastError(), 0u);
    EXPECT_FALSE(ini.Modified());

    // Names without case; comments, lines without "=", keys before any section and in a
    // second section of the same name are not found.
    Lines read;
    for (const char* key :
         {"NAME", "#hash", ";skipped", "quoted", "eq", "plain line", "only", "stray"})
      read.push_back(ini.ReadString("main section", key, "-"));
    EXPECT_EQ(read, (Lines{"value with  blanks", "is a key", "-", "\"q\"", "a=b", "-", "-", "-"}));

    Lines names;
    ini.ReadSection("MAIN SECTION", names);
    EXPECT_EQ(names, (Lines{"name", "#hash", "plain line", "quoted", "eq"}));
    Lines values;
    ini.ReadSectionValues("Main Section", values);
    EXPECT_EQ(values, (Lines{"name=value with  blanks", "#hash=is a key", "plain line",
                             "quoted=\"q\"", "eq=a=b"}));
    Lines sections;
    ini.ReadSections(sections);
    EXPECT_EQ(sections, (Lines{"Main Section", "Main Section", "Empty"}));

    // A section without lines does not exist.
    EXPECT_EQ(
        (std::vector<bool>{ini.SectionExists("main section"), ini.SectionExists("Empty"),
                           ini.SectionExists("Missing"), ini.ValueExists("Main Section", "EQ"),
                           ini.ValueExists("Main Section", "plain line")}),
        (std::vector<bool>{true, false, false, true, false}));
  }
  EXPECT_EQ(Hex(box.Read("model.ini")), Hex(bytes));
}

TEST_F(SafeIniFile, MissingFileIsCreatedWithItsFolder) {
  const std::string path = box.Path("sub\\deeper\\new.ini");
  {
    TSafeIniFile ini(path);
    EXPECT_FALSE(ini.LoadFailed());
    EXPECT_TRUE(box.Exists("sub\\deeper\\new.ini"));
    EXPECT_EQ(box.Read("sub\\deeper\\new.ini"), "");
  }
  EXPECT_EQ(box.Read("sub\\deeper\\new.ini"), "");  // nothing written: nothing saved
  {
    TSafeIniFile ini(box.Path("marked.ini"), TEncoding::kUnicode);
    EXPECT_EQ(ini.Encoding(), TEncoding::kUnicode);
    EXPECT_EQ(Hex(box.Read("marked.ini")), "FF FE");
  }
  EXPECT_EQ(Hex(box.Read("marked.ini")), "FF FE");
  { TSafeIniFile ini(box.Path("utf8.ini"), TEncoding::kUTF8); }
  EXPECT_EQ(Hex(box.Read("utf8.ini")), "EF BB BF");
}

TEST_F(SafeIniFile, SavesSectionsAsUtf16WithMark) {
  {
    TSafeIniFile ini(box.Path("dir\\out.ini"));
    ini.WriteString("First", "Key", "Value");
    ini.WriteInteger("Second", "Count", -42);
    ini.WriteString("First", "Other", "x y");
    ini.WriteString("Second", "Text", "Grüße ΣΠ Привет");
    EXPECT_TRUE(ini.Modified());
  }
  EXPECT_EQ(Hex(box.Read("dir\\out.ini")),
            Hex(Utf16File("[First]\r\nKey=Value\r\nOther=x y\r\n\r\n"
                          "[Second]\r\nCount=-42\r\nText=Grüße ΣΠ Привет\r\n\r\n")));
  TSafeIniFile again(box.Path("dir\\out.ini"));
  EXPECT_EQ(again.ReadString("second", "text", ""), "Grüße ΣΠ Привет");
  EXPECT_EQ(again.ReadInteger("SECOND", "COUNT", 0), -42);
}

TEST_F(SafeIniFile, WritingAKeyTwiceKeepsOneLineInPlace) {
  {
    TSafeIniFile ini(box.Path("twice.ini"));
    ini.WriteString("S", "a", "1");
    ini.WriteString("S", "b", "2");
    ini.WriteString("S", "a", "3");
    ini.WriteString("s", "c", "4");  // same section, other case
  }
  EXPECT_EQ(Hex(box.Read("twice.ini")), Hex(Utf16File("[S]\r\na=3\r\nb=2\r\nc=4\r\n\r\n")));
}

TEST_F(SafeIniFile, ReleaseAfterOnlyReadingLeavesTheFileUntouched) {
  // ANSI text with loose formatting that a rewrite would change.
  const std::string ansi = "[Main]\r\n  Name = Value \r\n\r\n[Other]\nx=1\n";
  const std::string utf8 = "\xEF\xBB\xBF[Main]\r\nName=Value\r\n";
  const std::string utf16 = Utf16File("[Main]\r\nName=Value\r\n");
  box.Write("ansi.ini", ansi);
  box.Write("utf8.ini", utf8);
  box.Write("utf16.ini", utf16);
  for (const char* name : {"ansi.ini", "utf8.ini", "utf16.ini"}) {
    SCOPED_TRACE(name);
    {
      TSafeIniFile ini(box.Path(name), TEncoding::kUnicode);
      EXPECT_EQ(ini.ReadString("Main", "Name", ""), "Value");
      EXPECT_FALSE(ini.Modified());
    }
  }
  EXPECT_EQ(box.Read("ansi.ini"), ansi);
  EXPECT_EQ(box.Read("utf8.ini"), utf8);
  EXPECT_EQ(box.Read("utf16.ini"), utf16);

  // One write: the release saves the whole content as UTF-16.
  {
    TSafeIniFile ini(box.Path("ansi.ini"));
    ini.WriteBool("Other", "Flag", true);
  }
  EXPECT_EQ(Hex(box.Read("ansi.ini")),
            Hex(Utf16File("[Main]\r\nName=Value\r\n\r\n[Other]\r\nx=1\r\nFlag=1\r\n\r\n")));
}

TEST_F(SafeIniFile, DeletingCountsAsAChangeOnlyWhenSomethingGoes) {
  const std::string original = Utf16File("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
  box.Write("del.ini", original);
  {
    TSafeIniFile ini(box.Path("del.ini"));
    ini.DeleteKey("A", "missing");
    ini.DeleteKey("Missing", "x");
    ini.EraseSection("Missing");
    EXPECT_FALSE(ini.Modified());
  }
  EXPECT_EQ(box.Read("del.ini"), original);
  {
    TSafeIniFile ini(box.Path("del.ini"));
    ini.DeleteKey("a", "X");
    EXPECT_TRUE(ini.Modified());
  }
  EXPECT_EQ(Hex(box.Read("del.ini")), Hex(Utf16File("[A]\r\ny=2\r\n\r\n[B]\r\nz=3\r\n\r\n")));
  {
    TSafeIniFile ini(box.Path("del.ini"));
    ini.EraseSection("a");
  }
  EXPECT_EQ(Hex(box.Read("del.ini")), Hex(Utf16File("[B]\r\nz=3\r\n\r\n")));
}

TEST_F(SafeIniFile, SectionCacheFollowsChangesOfTheSectionList) {
  {
    TSafeIniFile ini(box.Path("cache.ini"));
    ini.WriteString("S1", "k", "1");
    ini.WriteString("S2", "k", "2");
    ini.EraseSection("S1");            // S2 moves to the front
    ini.WriteString("S2", "k2", "3");  // must not land in a stale slot
    ini.WriteString("S3", "k", "4");
    ini.WriteString("S2", "k3", "5");
    EXPECT_EQ(ini.ReadString("S3", "k2", "-"), "-");
  }
  EXPECT_EQ(Hex(box.Read("cache.ini")),
            Hex(Utf16File("[S2]\r\nk=2\r\nk2=3\r\nk3=5\r\n\r\n[S3]\r\nk=4\r\n\r\n")));
}

TEST_F(SafeIniFile, SecondSectionOfTheSameNameIsKeptButNotUsed) {
  box.Write("dup.ini", Utf16File("[A]\r\nx=1\r\n[B]\r\n[a]\r\nx=2\r\n"));
  {
    TSafeIniFile ini(box.Path("dup.ini"));
    EXPECT_EQ(ini.ReadString("A", "x", ""), "1");
    ini.WriteString("A", "y", "3");
  }
  EXPECT_EQ(Hex(box.Read("dup.ini")),
            Hex(Utf16File("[A]\r\nx=1\r\ny=3\r\n\r\n[B]\r\n\r\n[a]\r\nx=2\r\n\r\n")));
}

TEST_F(SafeIniFile, TypedValues) {
  box.Write("typed.ini", Utf16File("[T]\r\nhex=0x1F\r\ndollar=$10\r\nword=abc\r\nneg= -7\r\n"
                                   "two=2\r\nzero=0\r\nempty=\r\nbad=not a date\r\n"
                                   "us=3/4/2021 5:06:07 PM\r\nfloat=x1\r\n"));
  const double when = txt::EncodeDateTime(2021, 3, 4, 17, 5, 9, 42);
  {
    TSafeIniFile ini(box.Path("typed.ini"));
    std::vector<int32_t> ints;
    for (const char* key : {"hex", "dollar", "word", "neg", "missing"})
      ints.push_back(ini.ReadInteger("T", key, 5));
    EXPECT_EQ(ints, (std::vector<int32_t>{31, 16, 5, -7, 5}));
    EXPECT_EQ(
        (std::vector<bool>{ini.ReadBool("T", "two", false), ini.ReadBool("T", "zero", true),
                           ini.ReadBool("T", "missing", true), ini.ReadBool("T", "word", false)}),
        (std::vector<bool>{true, false, true, false}));
    for (const char* key : {"empty", "bad", "missing", "float"}) {
      EXPECT_EQ(ini.ReadDateTime("T", key, 1.5), 1.5) << key;
      EXPECT_EQ(ini.ReadFloat("T", key, 0.25), 0.25) << key;
    }
    EXPECT_DOUBLE_EQ(ini.ReadDateTime("T", "us", 0), txt::EncodeDateTime(2021, 3, 4, 17, 6, 7, 0));

    ini.WriteBool("W", "yes", true);
    ini.WriteBool("W", "no", false);
    ini.WriteInteger("W", "int", 123456);
    ini.WriteDateTime("W", "when", when);
    ini.WriteFloat("W", "float", 2.5);
    EXPECT_EQ(ini.ReadString("W", "when", ""), "03/04/2021 17:05:09:042");
    EXPECT_NEAR(ini.ReadDateTime("W", "when", 0), when, 1e-8);
    EXPECT_EQ(ini.ReadFloat("W", "float", 0), 2.5);
    Lines values;
    ini.ReadSectionValues("W", values);
    EXPECT_EQ(values, (Lines{"yes=1", "no=0", "int=123456", "when=03/04/2021 17:05:09:042",
                             "float=" + txt::FloatToStr(2.5)}));
  }
}

TEST_F(SafeIniFile, ReadOnlyHiddenFileIsSavedAndKeepsItsAttributes) {
  const std::string path = box.Path("locked.ini");
  box.Write("locked.ini", Utf16File("[Boost]\r\nOld=1\r\n"));
  const uint32_t readOnlyHidden = plat::kFILE_ATTRIBUTE_READONLY | plat::kFILE_ATTRIBUTE_HIDDEN;
  ASSERT_TRUE(plat::SetFileAttributesW(path, readOnlyHidden));
  {
    TSafeIniFile ini(path);
    EXPECT_FALSE(ini.LoadFailed());
    ini.WriteString("Boost", "New", "2");
    ini.UpdateFile();
    EXPECT_EQ(ini.LastError(), 0u);
    EXPECT_EQ(plat::GetFileAttributesW(path) & readOnlyHidden, readOnlyHidden);
    ini.WriteString("Boost", "Later", "3");
  }
  EXPECT_EQ(plat::GetFileAttributesW(path) & readOnlyHidden, readOnlyHidden);
  plat::SetFileAttributesW(path, plat::kFILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Hex(box.Read("locked.ini")),
            Hex(Utf16File("[Boost]\r\nOld=1\r\nNew=2\r\nLater=3\r\n\r\n")));
}

TEST_F(SafeIniFile, FileHeldByAnotherWriterIsNeverReplaced) {
  const std::string path = box.Path("held.ini");
  const std::string original = Utf16File("[Main]\r\nKeep=1\r\n");
  box.Write("held.ini", original);
  plat::Handle holder =
      plat::CreateFileW(path, plat::kGENERIC_READ | plat::kGENERIC_WRITE, 0, plat::kOPEN_EXISTING);
  ASSERT_NE(holder, plat::kInvalidHandle);
  {
    TSafeIniFile ini(path);
    EXPECT_TRUE(ini.LoadFailed());
    EXPECT_EQ(ini.LastError(), plat::kERROR_SHARING_VIOLATION);
    EXPECT_EQ(ini.ReadString("Main", "Keep", "-"), "-");
    ini.WriteString("Main", "Lost", "1");
    ini.UpdateFile();  // an explicit save is tried and fails
    EXPECT_EQ(ini.LastError(), plat::kERROR_SHARING_VIOLATION);
  }
  plat::CloseHandle(holder);
  EXPECT_EQ(box.Read("held.ini"), original);

  // Once the file is free again an explicit save still writes.
  holder =
      plat::CreateFileW(path, plat::kGENERIC_READ | plat::kGENERIC_WRITE, 0, plat::kOPEN_EXISTING);
  ASSERT_NE(holder, plat::kInvalidHandle);
  TSafeIniFile ini(path);
  plat::CloseHandle(holder);
  ini.WriteString("Main", "Explicit", "1");
  ini.UpdateFile();
  EXPECT_EQ(ini.LastError(), 0u);
  EXPECT_EQ(Hex(box.Read("held.ini")), Hex(Utf16File("[Main]\r\nExplicit=1\r\n\r\n")));
}

TEST_F(SafeIniFile, ObjectWithoutFileNameReadsAndNeverSaves) {
  const std::string original = "[Option]\r\nName=vlmx2\r\n";
  box.Write("PR.dat", original);
  {
    TSafeIniFile ini;
    ini.LoadFromFile(box.Path("PR.dat"));
    EXPECT_EQ(ini.LastError(), 0u);
    EXPECT_EQ(ini.ReadString("Option", "Name", "vlmx"), "vlmx2");
    ini.WriteString("Option", "Name", "changed");
    ini.UpdateFile();
    EXPECT_EQ(ini.FileName(), "");
  }
  EXPECT_EQ(box.Read("PR.dat"), original);

  TSafeIniFile streamed;
  std::istringstream stream(Utf16File("[S]\r\nk=v\r\n"));
  streamed.LoadFromStream(stream);
  EXPECT_EQ(streamed.ReadString("S", "k", ""), "v");
  EXPECT_FALSE(streamed.Modified());
}

TEST_F(SafeIniFile, NameWithoutFolderLivesInTheCurrentFolder) {
  const std::string previous = plat::GetCurrentDirectoryW();
  ASSERT_TRUE(plat::SetCurrentDirectoryW(box.dir()));
  {
    TSafeIniFile ini("relative.ini");
    ini.WriteString("R", "k", "v");
  }
  std::string reread;
  {
    TSafeIniFile ini("relative.ini");
    reread = ini.ReadString("R", "k", "");
  }
  plat::SetCurrentDirectoryW(previous);
  EXPECT_EQ(reread, "v");
  EXPECT_EQ(Hex(box.Read("relative.ini")), Hex(Utf16File("[R]\r\nk=v\r\n\r\n")));
}

TEST_F(SafeIniFile, ObjectsSeeEachOthersChangesOnlyAfterASave) {
  const std::string path = box.Path("shared.ini");
  auto first = std::make_unique<TSafeIniFile>(path);
  first->WriteString("S", "k", "first");
  {
    TSafeIniFile early(path);
    EXPECT_EQ(early.ReadString("S", "k", "-"), "-");
  }
  first.reset();
  TSafeIniFile late(path);
  EXPECT_EQ(late.ReadString("S", "k", "-"), "first");
}

}  // namespace
