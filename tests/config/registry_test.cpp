#include <gtest/gtest.h>

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

  // Expects fn to raise the registry error of the kind and returns its argument.
  template <typename Fn>
  static std::string Raised(Fn fn, Kind kind) {
    try {
      fn();
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.kind(), kind) << e.what();
      return e.Argument();
    }
    ADD_FAILURE() << "no ERegistryException";
    return {};
  }

  test::Sandbox box_;  // a fresh machine over the sim
  std::string base_;
};

TEST_F(Registry, OpensKeysAbsoluteAndRelative) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey(base_, false));
  EXPECT_EQ(reg.CurrentKey(), 0u);
  ASSERT_TRUE(reg.OpenKey(base_, true));  // relative with no key open: from the root
  EXPECT_EQ(reg.CurrentPath(), base_);
  ASSERT_TRUE(reg.OpenKey("Sub\\Deeper", true));
  EXPECT_EQ(reg.CurrentPath(), base_ + "\\Sub\\Deeper");
  reg.WriteInteger("Level", 2);
  ASSERT_TRUE(reg.OpenKey("\\" + base_ + "\\Sub", false));
  EXPECT_EQ(reg.CurrentPath(), base_ + "\\Sub");
  EXPECT_FALSE(reg.OpenKey("Missing", false));
  EXPECT_EQ(reg.CurrentPath(), base_ + "\\Sub");  // a failed open keeps the key
  ASSERT_TRUE(reg.OpenKey("Deeper", false));
  EXPECT_EQ(reg.ReadInteger("Level"), 2);

  EXPECT_TRUE(reg.KeyExists("\\" + base_ + "\\Sub"));
  EXPECT_FALSE(reg.KeyExists("\\" + base_ + "\\Nope"));
  reg.CloseKey();
  EXPECT_EQ(reg.CurrentKey(), 0u);
  EXPECT_EQ(reg.CurrentPath(), "");

  ASSERT_TRUE(reg.OpenKey(base_, false));
  std::vector<std::string> keys{"left from before"};
  reg.GetKeyNames(keys);
  EXPECT_EQ(keys, std::vector<std::string>{"Sub"});
  reg.SetRootKey(plat::kHKEY_CURRENT_USER);
  EXPECT_EQ(reg.CurrentKey(), 0u);  // setting the root closes the key
}

TEST_F(Registry, ReadsAndWritesValues) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\" + base_, true));
  reg.WriteInteger("Negative", -2);
  reg.WriteString("Text", "héllo");
  reg.WriteString("Empty", "");
  reg.WriteBool("Flag", true);
  const uint8_t blob[5] = {1, 2, 3, 4, 5};
  reg.WriteBinaryData("EDID", blob, sizeof blob);

  EXPECT_TRUE(reg.ValueExists("negative") && !reg.ValueExists("Missing"));
  // Five characters and the terminator.
  EXPECT_EQ((std::vector<int>{reg.GetDataSize("Text"), reg.GetDataSize("Missing")}),
            (std::vector<int>{12, -1}));
  EXPECT_EQ(reg.ReadInteger("Negative"), -2);
  EXPECT_TRUE(reg.ReadBool("Flag"));
  EXPECT_EQ((std::vector<std::string>{reg.ReadString("Text"), reg.ReadString("Empty"),
                                      reg.ReadString("Missing")}),
            (std::vector<std::string>{"héllo", "", ""}));

  uint8_t buffer[16] = {};
  EXPECT_EQ(reg.ReadBinaryData("EDID", buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, buffer + 5), std::string(blob, blob + 5));
  EXPECT_EQ(reg.ReadBinaryData("Missing", buffer, sizeof buffer), 0);
  EXPECT_EQ(Raised([&] { reg.ReadBinaryData("EDID", buffer, 4); }, Kind::kInvalidType), "EDID");
  EXPECT_EQ(Raised([&] { reg.ReadBinaryData("Text", buffer, 16); }, Kind::kInvalidType), "Text");
  EXPECT_EQ(Raised([&] { reg.ReadString("Negative"); }, Kind::kInvalidType), "Negative");
  EXPECT_EQ(Raised([&] { reg.ReadInteger("Text"); }, Kind::kInvalidType), "Text");
  EXPECT_EQ(Raised([&] { reg.ReadInteger("Missing"); }, Kind::kGetDataFailed), "Missing");

  // A type without a reader of its own counts as raw bytes.
  const std::string multi = txt::Utf8ToUtf16LeBytes("a") + std::string(4, '\0');
  ASSERT_EQ(plat::RegSetValueExW(reg.CurrentKey(), "Multi", plat::kREG_MULTI_SZ,
                                 reinterpret_cast<const uint8_t*>(multi.data()),
                                 static_cast<uint32_t>(multi.size())),
            0);
  EXPECT_EQ(reg.ReadBinaryData("Multi", buffer, sizeof buffer), 6);

  // A maximum data size too small for the value makes the read fail.
  reg.SetMaxDataSize(4);
  EXPECT_EQ(Raised([&] { reg.ReadString("Text"); }, Kind::kGetDataFailed), "Text");
  reg.SetMaxDataSize(64);
  EXPECT_EQ(reg.ReadString("Text"), "héllo");

  std::vector<std::string> names{"left from before"};
  reg.GetValueNames(names);
  EXPECT_EQ(names.size(), 6u);
  EXPECT_TRUE(reg.DeleteValue("Flag"));
  EXPECT_FALSE(reg.ValueExists("Flag"));
}

TEST_F(Registry, ReadsDWordOrQWord) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\" + base_, true));
  reg.WriteInteger("Dword", -5);
  reg.WriteInteger("Big", 0x7FFFFFFF);
  const uint64_t q = 0x123456789AULL;
  uint8_t qbytes[8];
  for (int i = 0; i < 8; ++i)
    qbytes[i] = static_cast<uint8_t>(q >> (8 * i));
  ASSERT_EQ(plat::RegSetValueExW(reg.CurrentKey(), "Qword", plat::kREG_QWORD, qbytes, 8), 0);
  reg.WriteString("Text", "12");

  EXPECT_EQ(reg.ReadDWordOrQWord("Dword"), -5);  // sign-extended
  EXPECT_EQ(reg.ReadDWordOrQWord("Big"), 0x7FFFFFFF);
  EXPECT_EQ(reg.ReadDWordOrQWord("Qword"), 0x123456789A);

  EXPECT_EQ(Raised([&] { reg.ReadDWordOrQWord("Text"); }, Kind::kInvalidType), "Text_type failed1");
  EXPECT_EQ(Raised([&] { reg.ReadDWordOrQWord("Nope"); }, Kind::kInvalidType),
            "Nope_query Info failed2");
  try {
    reg.ReadDWordOrQWord("Text");
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Text_type failed1'");
  }
}

}  // namespace
