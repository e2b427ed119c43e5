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
std::string Entry(const std::string& msg) {
  return U16(kStamp + msg + "\r\n");
}

// Opens a file the way another program holding it would; closed at scope end.
class Holder {
 public:
  Holder(const std::string& path, uint32_t access, uint32_t share)
      : handle_(plat::CreateFileW(path, access, share, plat::kOPEN_ALWAYS)) {}
  ~Holder() {
    if (handle_ != plat::kInvalidHandle) plat::CloseHandle(handle_);
  }
  bool ok() const { return handle_ != plat::kInvalidHandle; }

 private:
  plat::Handle handle_;
};

Holder* HoldForWriting(const std::string& path) {
  return new Holder(path, plat::kGENERIC_READ | plat::kGENERIC_WRITE, plat::kFILE_SHARE_READ);
}

std::unique_ptr<TLogManage> Channel(const std::string& path, int32_t maxSize, uint8_t backups = 1) {
  auto channel = std::make_unique<TLogManage>();
  channel->SetFileName(path);
  channel->SetMaxSize(maxSize);
  channel->SetBackupCount(backups);
  return channel;
}

TEST(LogFileSim, FirstEntryCreatesFolderAndFileWithMark) {
  sim::ScopedMachine m{Clocked()};
  const std::string log = "C:\\Fresh\\Deeper\\Logs\\VlxMiniAppRun.log";
  ASSERT_FALSE(m.Exists("C:\\Fresh"));
  auto fresh = Channel(log, 1024000);
  fresh->Write("TBoost.Execute 1");
  EXPECT_EQ(m.ReadFile(log), kBom + Entry("TBoost.Execute 1"));

  auto run = Channel(kRunLog, 1024000);
  run->Write("TBoost.Execute 1");
  EXPECT_EQ(m.ReadFile(kRunLog), kBom + Entry("TBoost.Execute 1"));

  run->Write("TBoost.Execute 2");
  EXPECT_EQ(m.ReadFile(kRunLog), kBom + Entry("TBoost.Execute 1") + Entry("TBoost.Execute 2"));

  // Nothing is held between entries: another program may open the file exclusively.
  const plat::Handle h = plat::CreateFileW(kRunLog, plat::kGENERIC_READ | plat::kGENERIC_WRITE, 0,
                                           plat::kOPEN_EXISTING);
  EXPECT_NE(h, plat::kInvalidHandle);
  plat::CloseHandle(h);
}

TEST(LogFileSim, TextIsUtf16AndTimestampCanBeSwitchedOff) {
  sim::ScopedMachine m{Clocked()};
  auto run = Channel(kRunLog, 1024000);
  run->Write("Caf\xC3\xA9 \xE2\x82\xAC");  // "Café €"
  run->SetTimestamp(false);
  run->Write("plain");
  EXPECT_EQ(m.ReadFile(kRunLog), kBom + U16(kStamp + "Caf\xC3\xA9 \xE2\x82\xAC\r\nplain\r\n"));
}

// A log at or beyond its maximum size moves up its backups (".bak1" newest, the
// oldest dropped) before the next entry; one byte below, the entry is appended.
TEST(LogFileSim, RotatesAtTheMaximumIntoNumberedBackups) {
  const std::string atMax = kBom + std::string(1024000 - 2, 'A');
  const std::string over = kBom + std::string(1024010 - 2, 'B');
  const std::string below = kBom + std::string(204799 - 2, 'x');
  const std::string small = kBom + "0123456789";
  const struct {
    const char* what;
    int32_t maxSize;
    uint8_t backups;
    std::string log;
    std::vector<std::string> baks;       // .bak1, .bak2, ... before
    std::string after;                   // the log after one entry "e"
    std::vector<std::string> baksAfter;  // "-": missing
  } rows[] = {
      {"exactly at the maximum", 1024000, 1, atMax, {"older"}, kBom + Entry("e"), {atMax, "-"}},
      {"beyond it", 1024000, 1, over, {}, kBom + Entry("e"), {over, "-"}},
      {"one byte below", 204800, 1, below, {}, below + Entry("e"), {"-"}},
      {"three backups",
       10,
       3,
       small,
       {"one", "two", "three"},
       kBom + Entry("e"),
       {small, "one", "two", "-"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    sim::ScopedMachine m{Clocked()};
    m.WriteFile(kRunLog, row.log);
    for (size_t i = 0; i < row.baks.size(); ++i)
      m.WriteFile(kRunLog + ".bak" + std::to_string(i + 1), row.baks[i]);
    auto channel = Channel(kRunLog, row.maxSize, row.backups);
    channel->Write("e");
    EXPECT_EQ(m.ReadFile(kRunLog), row.after);
    for (size_t i = 0; i < row.baksAfter.size(); ++i) {
      const std::string bak = kRunLog + ".bak" + std::to_string(i + 1);
      EXPECT_EQ(m.Exists(bak) ? m.ReadFile(bak) : "-", row.baksAfter[i]) << i + 1;
    }
  }
}

TEST(LogFileSim, HeldBackupKeepsTheLogGrowingInsteadOfLosingIt) {
  sim::ScopedMachine m{Clocked()};
  const std::string log = kLogs + "\\x.log";
  m.WriteFile(log, kBom + "0123456789");
  m.WriteFile(log + ".bak1", "old");
  std::unique_ptr<Holder> reader(
      new Holder(log + ".bak1", plat::kGENERIC_READ, plat::kFILE_SHARE_READ));
  ASSERT_TRUE(reader->ok());
  auto channel = Channel(log, 10);
  channel->Write("e");
  EXPECT_EQ(m.ReadFile(log), kBom + "0123456789" + Entry("e"));
  EXPECT_EQ(m.ReadFile(log + ".bak1"), "old");
  reader.reset();
  channel->Write("f");
  EXPECT_EQ(m.ReadFile(log + ".bak1"), kBom + "0123456789" + Entry("e"));
  EXPECT_EQ(m.ReadFile(log), kBom + Entry("f"));
}

TEST(LogFileSim, FileHeldByAnotherWriterGoesToNumberedNames) {
  sim::ScopedMachine m{Clocked()};
  auto run = Channel(kRunLog, 1024000);
  run->Write("first");  // creates the folder
  std::unique_ptr<Holder> held(HoldForWriting(kRunLog));
  ASSERT_TRUE(held->ok());
  run->Write("TBoost.Execute 1");
  const std::string second = kLogs + "\\VlxMiniAppRun_1.log";
  EXPECT_EQ(m.ReadFile(second), kBom + Entry("TBoost.Execute 1"));
  EXPECT_EQ(m.ReadFile(kRunLog), kBom + Entry("first"));

  std::unique_ptr<Holder> held1(HoldForWriting(second));
  run->Write("third");
  EXPECT_EQ(m.ReadFile(kLogs + "\\VlxMiniAppRun_2.log"), kBom + Entry("third"));

  // Once released, the first name is used again.
  held.reset();
  run->Write("fourth");
  EXPECT_EQ(m.ReadFile(kRunLog), kBom + Entry("first") + Entry("fourth"));
}

TEST(LogFileSim, ReadersThatShareWritingDoNotDivertEntries) {
  sim::ScopedMachine m{Clocked()};
  auto run = Channel(kRunLog, 1024000);
  run->Write("first");
  Holder viewer(kRunLog, plat::kGENERIC_READ,
                plat::kFILE_SHARE_READ | plat::kFILE_SHARE_WRITE | plat::kFILE_SHARE_DELETE);
  ASSERT_TRUE(viewer.ok());
  run->Write("second");
  EXPECT_EQ(m.ReadFile(kRunLog), kBom + Entry("first") + Entry("second"));
  EXPECT_FALSE(m.Exists(kLogs + "\\VlxMiniAppRun_1.log"));
}

TEST(LogFileSim, LegacyAnsiLogIsConvertedInPlace) {
  sim::ScopedMachine m{Clocked()};
  m.WriteFile(kRunLog, "abc\r\n");
  {
    TLogObj file(kRunLog);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.CurrentSize(), 12);
  }
  EXPECT_EQ(test::Hex(m.ReadFile(kRunLog)), "FF FE 61 00 62 00 63 00 0D 00 0A 00");
  auto run = Channel(kRunLog, 1024000);
  run->Write("next");
  EXPECT_EQ(m.ReadFile(kRunLog), kBom + U16("abc\r\n") + Entry("next"));

  // Windows-1252 letters become their UTF-16 code points.
  const std::string other = kLogs + "\\old.log";
  m.WriteFile(other, "caf\xE9 \x80\r\n");
  run->SetFileName(other);
  run->Write("x");
  EXPECT_EQ(m.ReadFile(other), kBom + U16("caf\xC3\xA9 \xE2\x82\xAC\r\n") + Entry("x"));

  // One too large to convert is left as it was, and free: the entry goes to the next name.
  const std::string huge = kLogs + "\\huge.log";
  m.WriteFile(huge, "abc");
  ASSERT_EQ(::truncate(m.Host(huge).c_str(), int64_t{5} << 30), 0);
  run->SetFileName(huge);
  run->Write("y");
  EXPECT_EQ(m.ReadFile(kLogs + "\\huge_1.log"), kBom + Entry("y"));
  const plat::Handle free = plat::CreateFileW(huge, plat::kGENERIC_WRITE, 0, plat::kOPEN_EXISTING);
  EXPECT_NE(free, plat::kInvalidHandle);
  plat::CloseHandle(free);
}

TEST(LogFileSim, FileLeftEmptyIsDeletedOnRelease) {
  sim::ScopedMachine m{Clocked()};
  const std::string log = kLogs + "\\empty.log";
  {
    TLogObj file(log);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_TRUE(m.Exists(log));
    EXPECT_EQ(file.CurrentSize(), 0);
  }
  EXPECT_FALSE(m.Exists(log));

  // An empty file found on disk goes the same way; one with content stays.
  m.WriteFile(log, "");
  { TLogObj file(log); }
  EXPECT_FALSE(m.Exists(log));
  m.WriteFile(log, kBom);
  { TLogObj file(log); }
  EXPECT_EQ(m.ReadFile(log), kBom);
}

TEST(LogFileSim, EmptyNameMeansProgramPathWithLogExtension) {
  sim::ScopedMachine m{Clocked().ExePath("C:\\Games\\Tools\\VlxMini.exe")};
  TLogManage channel;
  channel.Write("hello");
  EXPECT_EQ(m.ReadFile("C:\\Games\\Tools\\VlxMini.log"), kBom + Entry("hello"));
}

TEST(LogFileSim, OpenAttemptsAreBoundedAndTheEntryIsDropped) {
  sim::ScopedMachine m{Clocked()};
  const std::string log = kLogs + "\\busy.log";
  ASSERT_TRUE(fileutil::ForceDirectories(kLogs));
  std::vector<std::unique_ptr<Holder>> held;
  held.emplace_back(HoldForWriting(log));
  for (int n = 1; n < kLogMaxOpenAttempts; ++n) {
    held.emplace_back(HoldForWriting(kLogs + "\\busy_" + std::to_string(n) + ".log"));
    ASSERT_TRUE(held.back()->ok());
  }
  auto channel = Channel(log, 1024000);
  channel->Write("lost");
  const std::string next = kLogs + "\\busy_" + std::to_string(kLogMaxOpenAttempts) + ".log";
  EXPECT_FALSE(m.Exists(next));
  for (int n = 1; n < kLogMaxOpenAttempts; ++n) {
    EXPECT_EQ(m.ReadFile(kLogs + "\\busy_" + std::to_string(n) + ".log"), "");
  }

  // The channel recovers as soon as a name is free again.
  held[57].reset();
  channel->Write("kept");
  EXPECT_EQ(m.ReadFile(kLogs + "\\busy_57.log"), kBom + Entry("kept"));
}

TEST(LogFileSim, UnwritableFolderDropsEntriesQuietly) {
  sim::ScopedMachine m{Clocked()};
  m.WriteFile("C:\\blocker", "a file where a folder should be");
  auto channel = Channel("C:\\blocker\\logs\\run.log", 1024000);
  channel->Write("lost");
  channel->Write("lost too");
  EXPECT_EQ(m.ReadFile("C:\\blocker"), "a file where a folder should be");
  EXPECT_FALSE(m.Exists("C:\\blocker_1.log"));
}

TEST(LogChannelSim, KeptOpenChannelHoldsTheFileUntilReleased) {
  sim::ScopedMachine m{Clocked()};
  auto run = Channel(kRunLog, 1024000);
  run->SetCloseAfterWrite(false);
  run->Write("one");
  const plat::Handle h = plat::CreateFileW(kRunLog, plat::kGENERIC_WRITE, plat::kFILE_SHARE_READ,
                                           plat::kOPEN_EXISTING);
  EXPECT_EQ(h, plat::kInvalidHandle);
  run->Write("two");
  // The same name in other letter case keeps the file; another name closes it.
  run->SetFileName(txt::UpperCase(kRunLog));
  EXPECT_EQ(plat::CreateFileW(kRunLog, plat::kGENERIC_WRITE, plat::kFILE_SHARE_READ,
                              plat::kOPEN_EXISTING),
            plat::kInvalidHandle);
  run->SetFileName(kLogs + "\\other.log");
  const plat::Handle h2 = plat::CreateFileW(kRunLog, plat::kGENERIC_WRITE, plat::kFILE_SHARE_READ,
                                            plat::kOPEN_EXISTING);
  EXPECT_NE(h2, plat::kInvalidHandle);
  plat::CloseHandle(h2);
  run->Write("three");
  run->Release();
  EXPECT_EQ(m.ReadFile(kRunLog), kBom + Entry("one") + Entry("two"));
  EXPECT_EQ(m.ReadFile(kLogs + "\\other.log"), kBom + Entry("three"));
}

TEST(LogChannelSim, TwoThreadsOnOneChannelWriteWholeEntries) {
  sim::ScopedMachine m{Clocked()};
  auto run = Channel(kRunLog, 1024000);
  constexpr int kPerThread = 300;
  auto writer = [&](const std::string& tag) {
    for (int i = 0; i < kPerThread; ++i)
      run->Write(tag + " entry " + std::to_string(i));
  };
  std::thread a(writer, "alpha");
  std::thread b(writer, "beta");
  a.join();
  b.join();

  const std::string bytes = m.ReadFile(kRunLog);
  ASSERT_EQ(bytes.substr(0, 2), kBom);
  const std::vector<std::string> lines = txt::SplitLines(txt::DecodeTextFile(bytes));
  ASSERT_EQ(lines.size(), 2u * kPerThread);
  std::map<std::string, int> next{{"alpha", 0}, {"beta", 0}};
  for (const std::string& line : lines) {
    ASSERT_EQ(line.substr(0, kStamp.size()), kStamp) << line;
    const std::string msg = line.substr(kStamp.size());
    const size_t space = msg.find(" entry ");
    ASSERT_NE(space, std::string::npos) << line;
    const std::string tag = msg.substr(0, space);
    ASSERT_TRUE(next.count(tag)) << line;
    // Each thread's entries appear whole and in the order it wrote them.
    EXPECT_EQ(msg.substr(space + 7), std::to_string(next[tag]++)) << line;
  }
  EXPECT_EQ(next["alpha"], kPerThread);
  EXPECT_EQ(next["beta"], kPerThread);
}

}  // namespace
