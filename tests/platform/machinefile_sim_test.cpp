// The machine file: exact round trips, values that need quoting, sections this
// version does not know, and parse errors that name their line.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform/sim/SimMachine.h"

namespace {

std::string Reserialized(const std::string& text) {
  sim::Machine m;
  std::string error;
  EXPECT_TRUE(sim::Parse(text, m, error)) << error;
  return sim::Serialize(m);
}

std::string ParseError(const std::string& text) {
  sim::Machine m;
  std::string error;
  EXPECT_FALSE(sim::Parse(text, m, error)) << text;
  return error;
}

const sim::RegKeyNode* Key(const sim::Machine& m, plat::RegKey root,
                           const std::vector<std::string>& path) {
  const auto it = m.registry.find(root);
  if (it == m.registry.end()) return nullptr;
  const sim::RegKeyNode* node = it->second.get();
  for (const std::string& name : path) {
    const auto child = node->subkeys.find(name);
    if (child == node->subkeys.end()) return nullptr;
    node = child->second.get();
  }
  return node;
}

TEST(MachineFile, TheDefaultMachineIsWrittenExactlyAsItReads) {
  const std::string text = sim::DefaultMachineText();
  EXPECT_EQ(Reserialized(text), text);
}

TEST(MachineFile, TrickyValuesSurviveARoundTrip) {
  sim::MachineBuilder builder;
  builder.Env("  SPACED", " value with blanks ")
      .Env("QUOTED", "\"C:\\Program Files\\x.exe\" -arg")
      .Env("=C:", "C:\\odd name")
      .Env("LINES", "one\r\ntwo\ttab\x01")
      .Env("UNICODE", "\xD0\x96\xE2\x82\xAC \xCE\xA9")
      .Env("EMPTY", "")
      .RegSz("HKCU\\Software\\T e s t", "", "default value")
      .RegSz("HKCU\\Software\\T e s t", "@", "a value named @")
      .RegSz("HKCU\\Software\\T e s t", "a=b", "name with =")
      .RegSz("HKCU\\Software\\T e s t", "!access", "not a directive")
      .RegRaw("HKCU\\Software\\T e s t", "Expand", plat::kREG_EXPAND_SZ,
              std::string("%\0T\0%\0\0\0", 8))
      .RegRaw("HKCU\\Software\\T e s t", "NoTerminator", plat::kREG_SZ, std::string("A\0B\0", 4))
      .RegRaw("HKCU\\Software\\T e s t", "Multi", plat::kREG_MULTI_SZ,
              std::string("a\0\0\0b\0c\0\0\0\0\0", 12))
      .RegRaw("HKCU\\Software\\T e s t", "EmptyMulti", plat::kREG_MULTI_SZ, std::string(2, '\0'))
      .RegRaw("HKCU\\Software\\T e s t", "Bin", plat::kREG_BINARY, std::string("\x00\xFF\x10", 3))
      .RegRaw("HKCU\\Software\\T e s t", "ShortDword", plat::kREG_DWORD, std::string("\x01", 1))
      .RegRaw("HKCU\\Software\\T e s t", "None", plat::kREG_NONE, "")
      .RegQword("HKCU\\Software\\T e s t", "Q", 0xFFFFFFFFFFFFFFFFull)
      .RegKey("HKLM\\SOFTWARE\\Locked", plat::kKEY_READ)
      .RegKey("HKCU\\Empty Leaf")
      .Attributes("C:\\odd\\file.bin", 0x40000 | plat::kFILE_ATTRIBUTE_HIDDEN)
      .With([](sim::Machine& m) {
        m.extra.emplace_back("future.key", "kept");
        sim::VersionResource v;
        v.fileVersion[0] = 1;
        v.fileFlags = 0x2;
        v.translations = {{0x0409, 0x04B0}, {0x0407, 0x04E4}};
        v.stringTables = {{"040904B0", {{"Comments", "a = b"}, {"Name.With.Dots", " x "}}}};
        m.files["C:\\odd\\v.dll"].version = v;
        sim::Process p;
        p.pid = 77;
        p.exeFile = "odd name.exe";
        p.canOpen = false;
        p.extra["laterKey"] = "0x20";
        p.priorityClass = 0x4242;
        p.access = 0x0411;
        p.tokenReadable = false;
        p.wsSharedHigh = 3;
        p.devicePath = "\\Device\\HarddiskVolume7\\x.exe";
        p.show = 0;
        m.processes.push_back(p);
        m.driveDevices['D'] = "\\Device\\HarddiskVolume10";
        m.elevated = false;
        m.enabledPrivileges = {"SeChangeNotifyPrivilege", "SeShutdownPrivilege"};
        m.localTime = 46000.123456789;
      });
  std::unique_ptr<sim::Machine> m = builder.Build();
  const std::string text = sim::Serialize(*m);
  sim::Machine back;
  std::string error;
  ASSERT_TRUE(sim::Parse(text, back, error)) << error << "\n" << text;
  EXPECT_EQ(sim::Serialize(back), text);

  // Serialize(Parse(text)) == text above; a field both sides dropped shows here.
  EXPECT_EQ(back.environment.at("LINES"), "one\r\ntwo\ttab\x01");
  EXPECT_EQ(back.processes.back().extra.at("laterKey"), "0x20");
  EXPECT_FALSE(back.processes.back().tokenReadable);
  EXPECT_NEAR(back.localTime, 46000.123456789, 1e-8);  // kept to the millisecond
  std::filesystem::remove_all(m->home);
}

TEST(MachineFile, UnknownSectionsAreKeptAsWritten) {
  const std::string tail =
      "\n[services]\n"
      "# a comment inside\n"
      "Spooler = running,   auto\n"
      "\n"
      "[printer 1]\n"
      "port = LPT1\n";
  const std::string text = sim::DefaultMachineText() + tail;
  const std::string again = Reserialized(text);
  EXPECT_EQ(again, text);
  sim::Machine m;
  std::string error;
  ASSERT_TRUE(sim::Parse(text, m, error));
  ASSERT_EQ(m.unknownSections.size(), 2u);
  EXPECT_EQ(m.unknownSections[0], "[services]\n# a comment inside\nSpooler = running,   auto\n");
}

TEST(MachineFile, ErrorsNameTheLine) {
  EXPECT_EQ(ParseError("orphan = 1\n"), "line 1: 'orphan = 1' is outside any section");
  EXPECT_EQ(ParseError("[machine]\n\nos.version = ten\n"),
            "line 3: 'os.version' needs major.minor.build, not 'ten'");
  EXPECT_EQ(ParseError("[process 4]\nname = a\n[process 4]\n"),
            "line 3: process 4 is listed twice");
}

TEST(MachineFile, HandWrittenFormsAreAccepted) {
  const std::string text =
      "; hand-written\n"
      "[machine]\n"
      "os.version = 6.1.7601\n"
      "os.productType = server\n"
      "arch.native = x86\n"
      "wow64 = no\n"
      "language = 1031\n"
      "localTime = 2024-02-29\n"
      "[reg HKEY_LOCAL_MACHINE\\SOFTWARE\\A\\]\n"
      "@ = sz:\"  padded  \"\n"
      "n = dword:0x10\n"
      "m = multi:\"x\",\"y\"\n"
      "[file c:/games/x.exe]\n"
      "attributes = 0x21\n";
  sim::Machine m;
  std::string error;
  ASSERT_TRUE(sim::Parse(text, m, error)) << error;
  EXPECT_EQ(m.os.major, 6u);
  EXPECT_EQ(m.os.productType, plat::kVER_NT_SERVER);
  EXPECT_EQ(m.nativeArchitecture, plat::kPROCESSOR_ARCHITECTURE_INTEL);
  EXPECT_EQ(m.systemDefaultLangId, 1031);
  EXPECT_EQ(m.localTime, 45351.0);
  const sim::RegKeyNode* key = Key(m, plat::kHKEY_LOCAL_MACHINE, {"software", "a"});
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->values.size(), 3u);
  EXPECT_EQ(key->values[0].name, "");
  EXPECT_EQ(key->values[0].data, std::string(" \0 \0p\0a\0d\0d\0e\0d\0 \0 \0\0\0", 22));
  uint32_t dword = 0;
  std::memcpy(&dword, key->values[1].data.data(), 4);
  EXPECT_EQ(dword, 16u);
  EXPECT_EQ(key->values[2].data, std::string("x\0\0\0y\0\0\0\0\0", 10));
  EXPECT_EQ(*m.files["C:\\games\\x.exe"].attributes, 0x21u);
}

}  // namespace
