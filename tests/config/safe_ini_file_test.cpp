#include <gtest/gtest.h>

#include <functional>
#include <optional>
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
  box.Write(
      "model.ini",
      Utf16File(
          "stray=before any section\r\n; a comment\r\n[  Main Section  ]\r\n"
          "   name   =   value with  blanks  \t\r\n#hash=is a key\r\n;skipped=1\r\n\r\n"
          "plain line\r\nquoted=\"q\"\r\neq=a=b\r\n[Main Section]\r\nname=second\r\nonly=second\r\n"
          "[Empty]\r\n"));
  TSafeIniFile ini(box.Path("model.ini"));
  EXPECT_FALSE(ini.LoadFailed());
  // Names without case; comments, lines without "=", keys before any section and in a
  // second section of the same name are not found.
  Lines read;
  for (const char* key : {"NAME", "#hash", ";skipped", "quoted", "eq", "plain line", "only"})
    read.push_back(ini.ReadString("main section", key, "-"));
  EXPECT_EQ(read, (Lines{"value with  blanks", "is a key", "-", "\"q\"", "a=b", "-", "-"}));
  Lines names, sections;
  ini.ReadSection("MAIN SECTION", names);
  EXPECT_EQ(names, (Lines{"name", "#hash", "plain line", "quoted", "eq"}));
  ini.ReadSections(sections);
  EXPECT_EQ(sections, (Lines{"Main Section", "Main Section", "Empty"}));
  // A section without lines does not exist.
  EXPECT_EQ((std::vector<bool>{ini.SectionExists("main section"), ini.SectionExists("Empty"),
                               ini.ValueExists("Main Section", "EQ"),
                               ini.ValueExists("Main Section", "plain line")}),
            (std::vector<bool>{true, false, true, false}));
}

TEST_F(SafeIniFile, MissingFileIsCreatedWithItsFolderAndMark) {
  const struct {
    TEncoding encoding;
    std::string bytes;
  } rows[] = {
      {TEncoding::kNone, ""}, {TEncoding::kUnicode, "FF FE"}, {TEncoding::kUTF8, "EF BB BF"}};
  for (const auto& row : rows) {
    const std::string name = "sub\\deeper\\new" + row.bytes + ".ini";
    { TSafeIniFile ini(box.Path(name), row.encoding); }  // nothing written: nothing saved
    EXPECT_EQ(Hex(box.Read(name)), row.bytes);
  }
}

// What the release saves after the edits: UTF-16 with its mark, one line per key in
// place, a blank line after each section; nothing when nothing changed.
TEST_F(SafeIniFile, EditsAreSavedOnRelease) {
  const std::string abc = Utf16File("[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
  const std::string ansi = "[Main]\r\n  Name = Value \r\n\r\n[Other]\nx=1\n";
  const struct {
    const char* name;
    std::optional<std::string> before;
    std::function<void(TSafeIniFile&)> edit;
    std::string after;
  } rows[] = {
      {"new sections", std::nullopt,
       [](TSafeIniFile& ini) {
         ini.WriteString("First", "Key", "Value");
         ini.WriteInteger("Second", "Count", -42);
         ini.WriteString("first", "Other", "x y");
         ini.WriteString("Second", "Text", "Grüße ΣΠ Привет");
         ini.WriteString("First", "Key", "again");
       },
       Utf16File("[First]\r\nKey=again\r\nOther=x y\r\n\r\n"
                 "[Second]\r\nCount=-42\r\nText=Grüße ΣΠ Привет\r\n\r\n")},
      {"nothing deleted", abc,
       [](TSafeIniFile& ini) {
         ini.DeleteKey("A", "missing");
         ini.DeleteKey("Missing", "x");
         ini.EraseSection("Missing");
         EXPECT_FALSE(ini.Modified());
       },
       abc},
      {"key deleted", abc, [](TSafeIniFile& ini) { ini.DeleteKey("a", "X"); },
       Utf16File("[A]\r\ny=2\r\n\r\n[B]\r\nz=3\r\n\r\n")},
      {"section erased", abc, [](TSafeIniFile& ini) { ini.EraseSection("a"); },
       Utf16File("[B]\r\nz=3\r\n\r\n")},
      {"section list changes under the cache", std::nullopt,
       [](TSafeIniFile& ini) {
         ini.WriteString("S1", "k", "1");
         ini.WriteString("S2", "k", "2");
         ini.EraseSection("S1");            // S2 moves to the front
         ini.WriteString("S2", "k2", "3");  // must not land in a stale slot
         ini.WriteString("S3", "k", "4");
         ini.WriteString("S2", "k3", "5");
       },
       Utf16File("[S2]\r\nk=2\r\nk2=3\r\nk3=5\r\n\r\n[S3]\r\nk=4\r\n\r\n")},
      {"second section of a name kept, not used", Utf16File("[A]\r\nx=1\r\n[B]\r\n[a]\r\nx=2\r\n"),
       [](TSafeIniFile& ini) {
         EXPECT_EQ(ini.ReadString("A", "x", ""), "1");
         ini.WriteString("A", "y", "3");
       },
       Utf16File("[A]\r\nx=1\r\ny=3\r\n\r\n[B]\r\n\r\n[a]\r\nx=2\r\n\r\n")},
      {"ANSI only read", ansi, [](TSafeIniFile& ini) { ini.ReadString("Main", "Name", ""); }, ansi},
      {"ANSI written", ansi,
       [&](TSafeIniFile& ini) {
         ini.WriteBool("Other", "Flag", true);
         // Another object sees the change only after the save.
         EXPECT_EQ(TSafeIniFile(box.Path("edit.ini")).ReadString("Other", "Flag", "-"), "-");
       },
       Utf16File("[Main]\r\nName=Value\r\n\r\n[Other]\r\nx=1\r\nFlag=1\r\n\r\n")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.before) box.Write("edit.ini", *row.before);
    {
      TSafeIniFile ini(box.Path("edit.ini"), TEncoding::kUnicode);
      row.edit(ini);
    }
    EXPECT_EQ(Hex(box.Read("edit.ini")), Hex(row.after));
    EXPECT_TRUE(plat::DeleteFileW(box.Path("edit.ini")));
  }
}

// The conversions themselves are the text unit's; here: what is read when they fail.
TEST_F(SafeIniFile, TypedValuesFallBackToTheDefault) {
  box.Write("typed.ini", Utf16File("[T]\r\nhex=0x1F\r\nneg= -7\r\nword=abc\r\nzero=0\r\nempty=\r\n"
                                   "us=3/4/2021 5:06:07 PM\r\n"));
  TSafeIniFile ini(box.Path("typed.ini"));
  std::vector<int32_t> ints;
  std::vector<bool> bools;
  for (const char* key : {"hex", "neg", "word", "zero", "missing"}) {
    ints.push_back(ini.ReadInteger("T", key, 5));
    bools.push_back(ini.ReadBool("T", key, true));
  }
  EXPECT_EQ(ints, (std::vector<int32_t>{31, -7, 5, 0, 5}));
  EXPECT_EQ(bools, (std::vector<bool>{true, true, true, false, true}));
  for (const char* key : {"empty", "word", "missing"}) {
    EXPECT_EQ(ini.ReadDateTime("T", key, 1.5), 1.5) << key;
    EXPECT_EQ(ini.ReadFloat("T", key, 0.25), 0.25) << key;
  }
  EXPECT_DOUBLE_EQ(ini.ReadDateTime("T", "us", 0), txt::EncodeDateTime(2021, 3, 4, 17, 6, 7, 0));
  ini.WriteDateTime("W", "when", txt::EncodeDateTime(2021, 3, 4, 17, 5, 9, 42));
  ini.WriteFloat("W", "float", 2.5);
  EXPECT_EQ(ini.ReadString("W", "when", ""), "03/04/2021 17:05:09:042");
  EXPECT_EQ(ini.ReadFloat("W", "float", 0), 2.5);
}

TEST_F(SafeIniFile, ReadOnlyHiddenFileIsSavedAndKeepsItsAttributes) {
  const std::string path = box.Path("locked.ini");
  box.Write("locked.ini", Utf16File("[Boost]\r\nOld=1\r\n"));
  const uint32_t readOnlyHidden = plat::kFILE_ATTRIBUTE_READONLY | plat::kFILE_ATTRIBUTE_HIDDEN;
  ASSERT_TRUE(plat::SetFileAttributesW(path, readOnlyHidden));
  {
    TSafeIniFile ini(path);
    ini.WriteString("Boost", "New", "2");
  }
  EXPECT_EQ(plat::GetFileAttributesW(path) & readOnlyHidden, readOnlyHidden);
  EXPECT_EQ(Hex(box.Read("locked.ini")), Hex(Utf16File("[Boost]\r\nOld=1\r\nNew=2\r\n\r\n")));
}

// A file that failed to load is never saved over, not even once it is free again.
TEST_F(SafeIniFile, FileHeldByAnotherWriterIsNeverReplaced) {
  const std::string path = box.Path("held.ini");
  const std::string original = Utf16File("[Main]\r\nKeep=1\r\n");
  box.Write("held.ini", original);
  {
    const plat::Handle holder = plat::CreateFileW(path, plat::kGENERIC_READ | plat::kGENERIC_WRITE,
                                                  0, plat::kOPEN_EXISTING);
    TSafeIniFile ini(path);
    EXPECT_TRUE(ini.LoadFailed());
    EXPECT_EQ(ini.LastError(), plat::kERROR_SHARING_VIOLATION);
    ini.WriteString("Main", "Lost", "1");
    ini.UpdateFile();  // an explicit save is tried and fails
    EXPECT_EQ(ini.LastError(), plat::kERROR_SHARING_VIOLATION);
    plat::CloseHandle(holder);
  }
  EXPECT_EQ(box.Read("held.ini"), original);
}

TEST_F(SafeIniFile, ObjectWithoutFileNameReadsAndNeverSaves) {
  const std::string original = "[Option]\r\nName=vlmx2\r\n";
  box.Write("PR.dat", original);
  {
    TSafeIniFile ini;
    ini.LoadFromFile(box.Path("PR.dat"));
    EXPECT_EQ(ini.ReadString("Option", "Name", "vlmx"), "vlmx2");
    ini.WriteString("Option", "Name", "changed");
    ini.UpdateFile();
  }
  EXPECT_EQ(box.Read("PR.dat"), original);
}

TEST_F(SafeIniFile, NameWithoutFolderLivesInTheCurrentFolder) {
  const std::string previous = plat::GetCurrentDirectoryW();
  ASSERT_TRUE(plat::SetCurrentDirectoryW(box.dir()));
  { TSafeIniFile("relative.ini").WriteString("R", "k", "v"); }
  const std::string reread = TSafeIniFile("relative.ini").ReadString("R", "k", "");
  plat::SetCurrentDirectoryW(previous);
  EXPECT_EQ(reread, "v");
  EXPECT_TRUE(box.Exists("relative.ini"));
}

}  // namespace
