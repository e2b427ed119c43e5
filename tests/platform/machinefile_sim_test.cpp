// The machine file: the default machine's exact round trip, sections this version
// does not know, and parse errors that name their line.
#include <gtest/gtest.h>

#include "platform/sim/SimMachine.h"

namespace {

std::string Reserialized(const std::string& text) {
  sim::Machine m;
  std::string error;
  EXPECT_TRUE(sim::Parse(text, m, error)) << error;
  return sim::Serialize(m);
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

}  // namespace
