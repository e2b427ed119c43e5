#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/RegistryClass.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "tests/support/Sandbox.h"

namespace {

using Kind = ERegistryException::Kind;

// Each test works under its own key HKCU\Software\VlxTest_<pid>_<tick> and deletes it.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = "Software\\VlxTest_" + txt::UIntToStr(plat::GetCurrentProcessId()) + "_" +
            txt::UIntToStr(plat::GetTickCount64());
  }
  void TearDown() override {
    TRegistry reg;
    reg.DeleteKey("\\" + base_);
    EXPECT_FALSE(reg.KeyExists("\\" + base_));
  }

  test::Sandbox box_;  // a fresh machine over the sim
  std::string base_;
};

TEST_F(Registry, OpensKeysAbsoluteAndRelative) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(base_, false));
  ASSERT_TRUE(reg.OpenKey(base_, true));  // relative with no key open: from the root
  ASSERT_TRUE(reg.OpenKey("Sub\\Deeper", true));
  EXPECT_EQ(reg.CurrentPath(), base_ + "\\Sub\\Deeper");
  reg.WriteInteger("Level", 2);
  ASSERT_TRUE(reg.OpenKey("\\" + base_ + "\\Sub", false));
  EXPECT_FALSE(reg.OpenKey("Missing", false));
  EXPECT_EQ(reg.CurrentPath(), base_ + "\\Sub");  // a failed open keeps the key
  ASSERT_TRUE(reg.OpenKey("Deeper", false));
  EXPECT_EQ(reg.ReadInteger("Level"), 2);
  EXPECT_FALSE(reg.KeyExists("\\" + base_ + "\\Nope"));
  reg.SetRootKey(plat::kHKEY_CURRENT_USER);
  EXPECT_EQ(reg.CurrentKey(), 0u);  // setting the root closes the key
}

TEST_F(Registry, ReadsAndWritesValues) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\" + base_, true));
  reg.WriteInteger("Negative", -2);
  reg.WriteString("Text", "héllo");
  reg.WriteString("Empty", "");
  const uint8_t blob[5] = {1, 2, 3, 4, 5};
  reg.WriteBinaryData("EDID", blob, sizeof blob);
  const uint8_t qword[8] = {0x9A, 0x78, 0x56, 0x34, 0x12, 0, 0, 0};
  ASSERT_EQ(plat::RegSetValueExW(reg.CurrentKey(), "Qword", plat::kREG_QWORD, qword, 8), 0);
  // A type without a reader of its own counts as raw bytes.
  const std::string multi = txt::Utf8ToUtf16LeBytes("a") + std::string(4, '\0');
  ASSERT_EQ(plat::RegSetValueExW(reg.CurrentKey(), "Multi", plat::kREG_MULTI_SZ,
                                 reinterpret_cast<const uint8_t*>(multi.data()), 6),
            0);

  EXPECT_EQ(reg.ReadInteger("Negative"), -2);
  EXPECT_EQ((std::vector<std::string>{reg.ReadString("Text"), reg.ReadString("Empty"),
                                      reg.ReadString("Missing")}),
            (std::vector<std::string>{"héllo", "", ""}));
  EXPECT_EQ((std::vector<int64_t>{reg.ReadDWordOrQWord("Negative"), reg.ReadDWordOrQWord("Qword")}),
            (std::vector<int64_t>{-2, 0x123456789A}));
  uint8_t buffer[16] = {};
  EXPECT_EQ(reg.ReadBinaryData("EDID", buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, buffer + 5), std::string(blob, blob + 5));
  EXPECT_EQ(reg.ReadBinaryData("Missing", buffer, sizeof buffer), 0);
  EXPECT_EQ(reg.ReadBinaryData("Multi", buffer, sizeof buffer), 6);

  const struct {
    std::function<void()> read;
    Kind kind;
    std::string argument;
  } errors[] = {
      {[&] { reg.ReadBinaryData("EDID", buffer, 4); }, Kind::kInvalidType, "EDID"},
      {[&] { reg.ReadBinaryData("Text", buffer, 16); }, Kind::kInvalidType, "Text"},
      {[&] { reg.ReadString("Negative"); }, Kind::kInvalidType, "Negative"},
      {[&] { reg.ReadInteger("Text"); }, Kind::kInvalidType, "Text"},
      {[&] { reg.ReadInteger("Missing"); }, Kind::kGetDataFailed, "Missing"},
      {[&] { reg.ReadDWordOrQWord("Text"); }, Kind::kInvalidType, "Text_type failed1"},
      {[&] { reg.ReadDWordOrQWord("Nope"); }, Kind::kInvalidType, "Nope_query Info failed2"},
      // A maximum data size too small for the value makes the read fail.
      {[&] { reg.SetMaxDataSize(4), reg.ReadString("Text"); }, Kind::kGetDataFailed, "Text"},
  };
  for (const auto& e : errors) {
    try {
      e.read();
      ADD_FAILURE() << "no ERegistryException: " << e.argument;
    } catch (const ERegistryException& x) {
      EXPECT_EQ(x.kind(), e.kind) << x.what();
      EXPECT_EQ(x.Argument(), e.argument);
    }
  }
  reg.SetMaxDataSize(64);
  EXPECT_EQ(reg.ReadString("Text"), "héllo");
}

}  // namespace
