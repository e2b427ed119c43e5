// INI classes on simulated machines: code pages, attributes and buffer sizes that a
// real test machine cannot be set up with.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "config/ExtIniFiles.h"
#include "config/IniFiles.h"
#include "config/PSafeIniFile.h"
#include "diag/uAppLog.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/LogText.h"
#include "tests/support/Sandbox.h"

namespace {

using test::Hex;
using test::Utf16File;

TEST(IniSim, AnsiFileFollowsTheMachinesCodePage) {
  const std::string cyrillic = "[Main]\r\nName = \xCF\xF0\xE8\xE2\xE5\xF2\r\n";  // cp1251
  {
    sim::ScopedMachine machine(sim::MachineBuilder()
                                   .CodePage(1251)
                                   .File("C:\\Data\\ru.ini", cyrillic)
                                   .File("C:\\Data\\ru.lng", cyrillic));
    EXPECT_EQ(TExtIniFile("C:\\Data\\ru.lng").ReadString("main", "name", ""), "Привет");
    {
      TSafeIniFile ini("C:\\Data\\ru.ini");
      EXPECT_EQ(ini.ReadString("Main", "Name", ""), "Привет");
      ini.WriteString("Main", "Другой", "ключ");
    }
    EXPECT_EQ(Hex(machine.ReadFile("C:\\Data\\ru.ini")),
              Hex(Utf16File("[Main]\r\nName=Привет\r\nДругой=ключ\r\n\r\n")));
  }
  sim::ScopedMachine machine(
      sim::MachineBuilder().File("C:\\Data\\fr.ini", "[Main]\r\nName=Caf\xE9"));
  EXPECT_EQ(TSafeIniFile("C:\\Data\\fr.ini").ReadString("MAIN", "name", ""), "Café");
}

TEST(IniSim, FileWithEveryOddAttributeIsResetToArchive) {
  // Every odd bit (read-only, hidden, system, archive, temporary, offline, not indexed):
  // reset to archive; only some of them: read-only and hidden are lifted and put back.
  const struct {
    uint32_t before, after;
  } rows[] = {{0x3127, plat::kFILE_ATTRIBUTE_ARCHIVE}, {0x2023, 0x2023}};
  for (const auto& row : rows) {
    sim::ScopedMachine machine(sim::MachineBuilder()
                                   .File("C:\\Data\\odd.ini", Utf16File("[A]\r\nx=1\r\n"))
                                   .Attributes("C:\\Data\\odd.ini", row.before));
    { TSafeIniFile("C:\\Data\\odd.ini").WriteString("A", "y", "2"); }
    EXPECT_EQ(plat::GetFileAttributesW("C:\\Data\\odd.ini"), row.after);
    EXPECT_EQ(Hex(machine.ReadFile("C:\\Data\\odd.ini")),
              Hex(Utf16File("[A]\r\nx=1\r\ny=2\r\n\r\n")));
  }
}

TEST(IniSim, ProfileReadsGrowTheirBuffers) {
  const std::string longValue(5000, 'v');
  std::string text = "[Long]\r\nValue=" + longValue + "\r\n";
  for (int i = 0; i < 2000; ++i)
    text += "[Section_number_" + std::to_string(i) + "]\r\nk=1\r\n";
  sim::ScopedMachine machine(sim::MachineBuilder().File("C:\\Data\\big.ini", Utf16File(text)));
  TIniFile ini("C:\\Data\\big.ini");
  EXPECT_EQ(ini.ReadString("Long", "Value", ""), longValue);
  std::vector<std::string> sections;
  ini.ReadSections(sections);
  ASSERT_EQ(sections.size(), 2001u);
  EXPECT_EQ(sections.back(), "Section_number_1999");
}

// A save cut off part-way or meeting a held file, and a file too large to read: the
// file is the old one or the new one, whole, and the error log has one line.
TEST(IniSim, FailedAndHeldAccessesLeaveWholeFilesAndOneLogLine) {
  const std::string path = "C:\\Data\\s.ini", old = Utf16File("[B]\r\nx=1\r\n");
  const std::string saved = Utf16File("[B]\r\nx=0\r\n\r\n"), at = ": \"" + path + "\" ";
  struct Case {
    int64_t writeBudget, size;  // bytes the disk takes; size the file is grown to (0: none)
    uint32_t holderShare;       // share mode of another program's handle (~0u: none)
    std::string file, error;
  } cases[] = {
      {9, 0, ~0u, old, "TSafeIniFile.UpdateFile" + at + "system error 112"},
      {-1, 0, plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE, saved,
       "TSafeIniFile.UpdateFile" + at +
           "is held by another program (system error 32), written in place"},
      {-1, 0, 0, old, "TSafeIniFile.UpdateFile" + at + "system error 32"},
      {-1, int64_t{5} << 30, ~0u, "", "TSafeIniFile.LoadFromFile" + at + "system error 223"},
  };
  for (const Case& c : cases) {
    sim::ScopedMachine machine(sim::MachineBuilder().File(path, old));
    InitAppLog("C:\\Logs", "run.log", "error.log");
    ASSERT_EQ(c.size ? ::truncate(machine.Host(path).c_str(), c.size) : 0, 0);
    TSafeIniFile ini(path);
    const plat::Handle holder =
        c.holderShare == ~0u ? plat::kInvalidHandle
                             : plat::CreateFileW(path, plat::kGENERIC_READ | plat::kGENERIC_WRITE,
                                                 c.holderShare, plat::kOPEN_EXISTING);
    ini.WriteBool("B", "x", false);
    sim::InjectedFaults().writeBudget = c.writeBudget;
    if (!ini.LoadFailed()) ini.UpdateFile();
    sim::InjectedFaults().writeBudget = -1;
    if (c.size) {  // a language file that large is refused too; the file keeps its size
      EXPECT_FALSE(TExtIniFile().LoadFromFile(path));
      struct stat st {};
      EXPECT_TRUE(::stat(machine.Host(path).c_str(), &st) == 0 && st.st_size == c.size);
    } else {
      EXPECT_EQ(Hex(machine.ReadFile(path)), Hex(c.file)) << c.error;
    }
    EXPECT_FALSE(machine.Exists(path + ".tmp")) << c.error;
    const auto errors =
        test::LogMessages(txt::DecodeTextFile(machine.ReadFile("C:\\Logs\\error.log")));
    EXPECT_EQ(errors.size(), c.size ? 2u : 1u) << c.error;
    EXPECT_EQ(errors.empty() ? "" : errors[0], c.error);
    if (holder != plat::kInvalidHandle) plat::CloseHandle(holder);
    DoneAppLog();
  }
}

}  // namespace
