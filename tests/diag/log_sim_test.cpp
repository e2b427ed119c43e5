// Log files and channels over simulated machines with a stopped clock, so every
// byte of a log file is known in advance.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "diag/uLog.h"
#include "platform/FileUtil.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/Sandbox.h"

namespace {

const std::string kLogs = "C:\\Users\\Gamer\\AppData\\Roaming\\Trevanic\\Velmora\\Logs";
const std::string kRunLog = kLogs + "\\VlxMiniAppRun.log";
const std::string kStamp = "2021-03-04 17:05:09.042  ";
const std::string kBom = "\xFF\xFE";

sim::MachineBuilder Clocked() {
  sim::MachineBuilder builder;
  builder.LocalTime(txt::EncodeDateTime(2021, 3, 4, 17, 5, 9, 42));
  return builder;
}

std::string U16(const std::string& text) {
  return txt::Utf8ToUtf16LeBytes(text);
}
// A log file holding these entries, each stamped.
std::string Log(std::initializer_list<std::string> msgs) {
  std::string bytes = kBom;
  for (const std::string& msg : msgs)
    bytes += U16(kStamp + msg + "\r\n");
  return bytes;
}

// Opens a file the way another program holding it would; closed when released.
struct Held {
  plat::Handle h;
  ~Held() {
    if (h != plat::kInvalidHandle) plat::CloseHandle(h);
  }
};
std::unique_ptr<Held> Hold(const std::string& path, uint32_t share = plat::kFILE_SHARE_READ,
                           uint32_t access = plat::kGENERIC_READ | plat::kGENERIC_WRITE) {
  return std::unique_ptr<Held>(
      new Held{plat::CreateFileW(path, access, share, plat::kOPEN_ALWAYS)});
}

// Whether another program may open the file without sharing it.
bool Free(const std::string& path) {
  const plat::Handle h = plat::CreateFileW(path, plat::kGENERIC_WRITE, 0, plat::kOPEN_EXISTING);
  if (h != plat::kInvalidHandle) plat::CloseHandle(h);
  return h != plat::kInvalidHandle;
}

std::unique_ptr<TLogManage> Channel(const std::string& path, int32_t maxSize = 1024000,
                                    uint8_t backups = 1) {
  auto channel = std::make_unique<TLogManage>();
  channel->SetFileName(path);
  channel->SetMaxSize(maxSize);
  channel->SetBackupCount(backups);
  return channel;
}

TEST(LogFileSim, EntriesAreAppendedToAFreshFileWithMark) {
  sim::ScopedMachine m{Clocked().ExePath("C:\\Games\\Tools\\VlxMini.exe")};
  const std::string log = "C:\\Fresh\\Deeper\\Logs\\VlxMiniAppRun.log";
  auto run = Channel(log);
  run->Write("Caf\xC3\xA9 \xE2\x82\xAC");  // "Café €"
  run->Write("TBoost.Execute 2");
  run->SetTimestamp(false);
  run->Write("plain");
  EXPECT_EQ(m.ReadFile(log),
            Log({"Caf\xC3\xA9 \xE2\x82\xAC", "TBoost.Execute 2"}) + U16("plain\r\n"));
  EXPECT_TRUE(Free(log));  // nothing is held between entries
  // Without a name: the program's path with ".log".
  TLogManage unnamed;
  unnamed.Write("hello");
  EXPECT_EQ(m.ReadFile("C:\\Games\\Tools\\VlxMini.log"), Log({"hello"}));
}

// A log at or beyond its maximum size moves up its backups (".bak1" newest, the
// oldest dropped) before the next entry; one byte below, the entry is appended. A backup
// that cannot be written keeps the log growing instead of losing it.
TEST(LogFileSim, RotatesAtTheMaximumIntoNumberedBackups) {
  const std::string atMax = kBom + std::string(1024000 - 2, 'A');
  const std::string below = kBom + std::string(204799 - 2, 'x');
  const std::string small = kBom + "0123456789";
  const struct {
    int32_t maxSize;
    uint8_t backups;
    bool held;                                 // .bak1 held by a reader
    std::string log, after;                    // the log before and after one entry "e"
    std::vector<std::string> baks, baksAfter;  // .bak1, .bak2, ...; "-": missing
  } rows[] = {
      // clang-format off
      {1024000, 1, false, atMax, Log({"e"}), {"older"}, {atMax, "-"}},
      {204800, 1, false, below, below + U16(kStamp + "e\r\n"), {}, {"-"}},
      {10, 3, false, small, Log({"e"}), {"1", "2", "3"}, {small, "1", "2", "-"}},
      {10, 1, true, small, small + U16(kStamp + "e\r\n"), {"old"}, {"old"}},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.log.size());
    sim::ScopedMachine m{Clocked()};
    m.WriteFile(kRunLog, row.log);
    for (size_t i = 0; i < row.baks.size(); ++i)
      m.WriteFile(kRunLog + ".bak" + std::to_string(i + 1), row.baks[i]);
    auto reader = Hold(row.held ? kRunLog + ".bak1" : kLogs + "\\other");
    Channel(kRunLog, row.maxSize, row.backups)->Write("e");
    EXPECT_EQ(m.ReadFile(kRunLog), row.after);
    for (size_t i = 0; i < row.baksAfter.size(); ++i) {
      const std::string bak = kRunLog + ".bak" + std::to_string(i + 1);
      EXPECT_EQ(m.Exists(bak) ? m.ReadFile(bak) : "-", row.baksAfter[i]) << i + 1;
    }
  }
}

// A writer holding the file diverts entries to "_1", "_2", ...; a reader sharing
// writing does not; once released, the first name is used again.
TEST(LogFileSim, FileHeldByAnotherWriterGoesToNumberedNames) {
  sim::ScopedMachine m{Clocked()};
  auto run = Channel(kRunLog);
  run->Write("first");
  {
    auto viewer =
        Hold(kRunLog, plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE, plat::kGENERIC_READ);
    run->Write("shared");
  }
  auto held = Hold(kRunLog);
  run->Write("second");
  auto held1 = Hold(kLogs + "\\VlxMiniAppRun_1.log");
  run->Write("third");
  EXPECT_EQ(m.ReadFile(kLogs + "\\VlxMiniAppRun_1.log"), Log({"second"}));
  EXPECT_EQ(m.ReadFile(kLogs + "\\VlxMiniAppRun_2.log"), Log({"third"}));
  held.reset();
  run->Write("fourth");
  EXPECT_EQ(m.ReadFile(kRunLog), Log({"first", "shared", "fourth"}));
}

TEST(LogFileSim, LegacyAnsiLogIsConvertedInPlace) {
  sim::ScopedMachine m{Clocked()};
  m.WriteFile(kRunLog, "abc\r\n");
  {
    TLogObj file(kRunLog);
    EXPECT_EQ(file.CurrentSize(), 12);
  }
  EXPECT_EQ(test::Hex(m.ReadFile(kRunLog)), "FF FE 61 00 62 00 63 00 0D 00 0A 00");
  // Windows-1252 letters become their UTF-16 code points.
  const std::string other = kLogs + "\\old.log";
  m.WriteFile(other, "caf\xE9 \x80\r\n");
  Channel(other)->Write("x");
  EXPECT_EQ(m.ReadFile(other), kBom + U16("caf\xC3\xA9 \xE2\x82\xAC\r\n" + kStamp + "x\r\n"));

  // One too large to convert is left as it was, and free: the entry goes to the next name.
  const std::string huge = kLogs + "\\huge.log";
  m.WriteFile(huge, "abc");
  ASSERT_EQ(::truncate(m.Host(huge).c_str(), int64_t{5} << 30), 0);
  Channel(huge)->Write("y");
  EXPECT_EQ(m.ReadFile(kLogs + "\\huge_1.log"), Log({"y"}));
  EXPECT_TRUE(Free(huge));
}

TEST(LogFileSim, FileLeftEmptyIsDeletedOnRelease) {
  sim::ScopedMachine m{Clocked()};
  const std::string log = kLogs + "\\empty.log";
  for (const char* found : {"<none>", "", "\xFF\xFE"}) {
    if (std::string(found) != "<none>") m.WriteFile(log, found);
    { TLogObj file(log); }
    EXPECT_EQ(m.Exists(log), !std::string(found).empty() && found[0] != '<') << found;
  }
}

TEST(LogFileSim, OpenAttemptsAreBoundedAndTheEntryIsDropped) {
  sim::ScopedMachine m{Clocked()};
  const auto name = [](int n) {
    return kLogs + "\\busy" + (n ? "_" + std::to_string(n) : "") + ".log";
  };
  ASSERT_TRUE(fileutil::ForceDirectories(kLogs));
  std::vector<std::unique_ptr<Held>> held;
  for (int n = 0; n < kLogMaxOpenAttempts; ++n)
    held.push_back(Hold(name(n)));
  auto channel = Channel(name(0));
  channel->Write("lost");
  EXPECT_FALSE(m.Exists(name(kLogMaxOpenAttempts)));
  EXPECT_EQ(m.ReadFile(name(kLogMaxOpenAttempts - 1)), "");
  // The channel recovers as soon as a name is free again.
  held[57].reset();
  channel->Write("kept");
  EXPECT_EQ(m.ReadFile(name(57)), Log({"kept"}));
  // A file where the folder should be: entries are dropped quietly.
  m.WriteFile("C:\\blocker", "a file");
  Channel("C:\\blocker\\logs\\run.log")->Write("lost");
  EXPECT_EQ(m.ReadFile("C:\\blocker"), "a file");
}

// Each thread's entries appear whole and in the order it wrote them.
TEST(LogChannelSim, TwoThreadsOnOneChannelWriteWholeEntries) {
  sim::ScopedMachine m{Clocked()};
  auto run = Channel(kRunLog);
  auto writer = [&](char tag) {
    for (int i = 0; i < 300; ++i)
      run->Write(tag + std::to_string(i));
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  std::map<char, std::vector<std::string>> seen;
  for (const std::string& line : txt::SplitLines(txt::DecodeTextFile(m.ReadFile(kRunLog)))) {
    ASSERT_EQ(line.substr(0, kStamp.size()), kStamp) << line;
    seen[line[kStamp.size()]].push_back(line.substr(kStamp.size() + 1));
  }
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i)
    expected.push_back(std::to_string(i));
  EXPECT_EQ(seen, (std::map<char, std::vector<std::string>>{{'a', expected}, {'b', expected}}));
}

}  // namespace
