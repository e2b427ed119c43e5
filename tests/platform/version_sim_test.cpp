// Version resources of the simulated machine: real VS_VERSIONINFO blocks built
// from the machine's metadata, and the block reader common to both backends.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "platform/VersionBlock.h"
#include "platform/sim/SimMachine.h"
#include "tests/support/ErrorOf.h"
#include "tests/support/Sandbox.h"

namespace {

using namespace plat;
using test::ErrorOf;

sim::VersionResource Sample() {
  sim::VersionResource v;
  const uint16_t file[4] = {5, 2, 1, 154};
  std::memcpy(v.fileVersion, file, sizeof file);
  const uint16_t product[4] = {5, 2, 0, 0};
  std::memcpy(v.productVersion, product, sizeof product);
  v.translations = {{0x0409, 0x04E4}, {0x0407, 0x04B0}};
  v.stringTables = {{"040904E4", {{"CompanyName", "Trevanic"}, {"FileVersion", "5.2.1.154"}}},
                    {"040704B0", {{"CompanyName", "Trevanic GmbH"}, {"Empty", ""}}}};
  return v;
}

// UTF-16 LE bytes of text with the terminator, as string values come back.
std::string Text16(const std::string& text) {
  return txt::Utf8ToUtf16LeBytes(text) + std::string(2, '\0');
}

TEST(SimVersion, BlocksComeFromTheMachine) {
  sim::ScopedMachine m{sim::MachineBuilder()
                           .File("C:\\Tools\\tool.exe", "MZ")
                           .Version("C:\\Tools\\tool.exe", Sample())};
  const uint32_t size = GetFileVersionInfoSizeW("C:\\tools\\TOOL.exe");
  std::string block, value;
  ASSERT_TRUE(GetFileVersionInfoW("C:\\Tools\\tool.exe", block));
  EXPECT_EQ(block.size(), size);
  // The root's wLength covers the block, which ends on a four-byte boundary.
  EXPECT_EQ((block[0] & 0xFF) + (block[1] & 0xFF) * 256 + block.size() % 4, size);
  ASSERT_TRUE(VerQueryValueW(block, "\\", value));
  ASSERT_EQ(value.size(), 52u);
  // signature, structure version, file version (most, least significant), product version
  EXPECT_EQ(test::Hex(value.substr(0, 24)),
            "BD 04 EF FE 00 00 01 00 02 00 05 00 9A 00 01 00 02 00 05 00 00 00 00 00");
  const std::pair<std::string, std::string> values[] = {
      {"\\VarFileInfo\\Translation", std::string("\x09\x04\xE4\x04\x07\x04\xB0\x04", 8)},
      {"\\StringFileInfo\\040904E4\\CompanyName", Text16("Trevanic")},
      {"\\stringfileinfo\\040704b0\\companyname", Text16("Trevanic GmbH")},
      {"\\StringFileInfo\\040704B0\\Empty", std::string(2, '\0')}};
  for (const auto& [path, bytes] : values) {
    ASSERT_TRUE(VerQueryValueW(block, path, value)) << path;
    EXPECT_EQ(value, bytes) << path;
  }
  EXPECT_EQ(ErrorOf(VerQueryValueW(block, "\\StringFileInfo\\040904E4\\ProductName", value)),
            kERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_FALSE(VerQueryValueW(block, "\\StringFileInfo\\04090000\\CompanyName", value));
  EXPECT_EQ(verblock::FirstStringTableKey(block), "040904E4");
}

TEST(SimVersion, TheReaderRefusesBrokenBlocks) {
  std::string value;
  EXPECT_FALSE(verblock::VerQueryValue("", "\\", value));
  EXPECT_FALSE(verblock::VerQueryValue(std::string("\x06\x00\x00", 3), "\\", value));
  std::string block = sim::BuildVersionBlock(Sample());
  // Cut anywhere, the reader never reads outside the block.
  for (size_t cut = 0; cut < block.size(); cut += 7) {
    const std::string part = block.substr(0, cut);
    verblock::VerQueryValue(part, "\\StringFileInfo\\040704B0\\Empty", value);
    verblock::FirstStringTableKey(part);
  }
  // A block without string tables or translations.
  const std::string bare = sim::BuildVersionBlock(sim::VersionResource{});
  EXPECT_TRUE(verblock::VerQueryValue(bare, "\\", value));
  EXPECT_EQ(verblock::FirstStringTableKey(bare), "");
}

}  // namespace
