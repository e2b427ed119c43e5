// The machine file: the default machine's exact round trip, sections this version
// does not know, hand-written forms, and parse errors that name their line.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/sim/SimMachine.h"

namespace {

std::string Reserialized(const std::string& text) {
  sim::Machine m;
  std::string error;
  EXPECT_TRUE(sim::Parse(text, m, error)) << error;
  return sim::Serialize(m);
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

TEST(MachineFile, TheDefaultMachineAndSectionsThisVersionDoesNotKnowAreWrittenAsRead) {
  const std::string text = sim::DefaultMachineText() +
                           "\n[services]\n# a comment inside\nSpooler = running,   auto\n\n"
                           "[printer 1]\nport = LPT1\n";
  EXPECT_EQ(Reserialized(text), text);
}

TEST(MachineFile, ErrorsNameTheLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"orphan = 1\n", "line 1: 'orphan = 1' is outside any section"},
      {"[machine]\n\nos.version = ten\n",
       "line 3: 'os.version' needs major.minor.build, not 'ten'"},
      {"[process 4]\nname = a\n[process 4]\n", "line 3: process 4 is listed twice"}};
  for (const auto& [text, message] : cases) {
    sim::Machine m;
    std::string error;
    EXPECT_FALSE(sim::Parse(text, m, error)) << text;
    EXPECT_EQ(error, message);
  }
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
