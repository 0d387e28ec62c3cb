#include "platform/version_info.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/version_block_test_util.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using namespace testing;  // the hand-made block helpers

const std::vector<std::string> kOwnListing = {
    "FileDescription : ", "CompanyName : ",          "FileVersion : 1.1.0.0",
    "InternalName : ",    "LegalCopyRight : ",       "OriginalFileName : ",
    "ProductName : ",     "ProductVersion : 1.0.0.0"};

TEST(VersionInfoTest, OwnBlockHoldsTheProgramsVersion) {
  const std::string_view block = OwnVersionBlock();
  ASSERT_GE(block.size(), 92u);
  EXPECT_EQ(static_cast<size_t>(static_cast<unsigned char>(block[0]) |
                                static_cast<unsigned char>(block[1]) << 8),
            block.size());
  // Fixed file info right after the root's name.
  EXPECT_EQ(DwordAt(block, 40), 0xFEEF04BDu);
  EXPECT_EQ(DwordAt(block, 48), 0x00010001u);  // file version 1.1
  EXPECT_EQ(DwordAt(block, 52), 0x00000000u);  // .0.0
  EXPECT_EQ(DwordAt(block, 56), 0x00010001u);  // product version 1.1
  EXPECT_EQ(DwordAt(block, 60), 0x00000000u);  // .0.0

  EXPECT_EQ(QueryVersionTranslation(block), std::optional<uint32_t>(0x04E4040Cu));
  const std::string table = "\\StringFileInfo\\040c04e4\\";
  EXPECT_EQ(QueryVersionText(block, table + "FileVersion"), "1.1.0.0");
  EXPECT_EQ(QueryVersionText(block, table + "ProductVersion"), "1.0.0.0");
  for (const char* empty : {"CompanyName", "FileDescription", "InternalName", "LegalCopyright",
                            "LegalTrademarks", "OriginalFilename", "ProductName", "Comments"})
    EXPECT_EQ(QueryVersionText(block, table + empty), "") << empty;
  EXPECT_EQ(QueryVersionText(block, table + "PrivateBuild"), std::nullopt);
}

TEST(VersionInfoTest, LookupIgnoresLetterCaseAndNeedsTheFullPath) {
  const std::string_view block = OwnVersionBlock();
  EXPECT_EQ(QueryVersionText(block, "\\STRINGFILEINFO\\040C04E4\\fileversion"), "1.1.0.0");
  EXPECT_EQ(QueryVersionText(block, "FileVersion"), std::nullopt);
  EXPECT_EQ(QueryVersionText(block, "\\StringFileInfo\\040904b0\\FileVersion"), std::nullopt);
}

TEST(VersionInfoTest, ReadsTheBlockOfThisProgramsFile) {
  EXPECT_EQ(ReadVersionBlock(platform::ExecutablePath()), std::string(OwnVersionBlock()));
  std::vector<std::string> lines = {"kept"};
  ReadVersionInfo(platform::ExecutablePath(), lines);
  std::vector<std::string> expected = {"kept"};
  expected.insert(expected.end(), kOwnListing.begin(), kOwnListing.end());
  EXPECT_EQ(lines, expected);
}

TEST(VersionInfoTest, FilesWithoutBlockGiveNothing) {
  TempDir dir;
  WriteFile(dir / "notes.txt", "FileVersion : 9.9.9.9\n");
  WriteFile(dir / "empty", "");
  for (const std::string& path : {dir / "notes.txt", dir / "empty", dir / "missing", dir.path()}) {
    std::vector<std::string> lines;
    ReadVersionInfo(path, lines);
    EXPECT_TRUE(lines.empty()) << path;
    EXPECT_EQ(ReadVersionBlock(path), "") << path;
  }
}

TEST(VersionInfoTest, TranslationNamesTheStringTable) {
  const std::string block =
      Block(Root({Group("StringFileInfo", {Group("040904B0", {Text("FileVersion", u"2.0")})}),
                  Group("VarFileInfo", {Translation(0x0409, 0x04B0)})}));
  EXPECT_EQ(QueryVersionTranslation(block), std::optional<uint32_t>(0x04B00409u));
  EXPECT_EQ(QueryVersionText(block, "\\StringFileInfo\\040904b0\\FileVersion"), "2.0");
}

TEST(VersionInfoTest, DamagedBlocksAnswerNothing) {
  const std::string good =
      Block(Root({Group("StringFileInfo", {Group("040C04E4", {Text("FileVersion", u"1.1.0.0")})}),
                  Group("VarFileInfo", {Translation(0x040C, 0x04E4)})}));
  ASSERT_EQ(QueryVersionText(good, "\\StringFileInfo\\040c04e4\\FileVersion"), "1.1.0.0");

  // Root claiming more bytes than there are.
  std::string too_long = good;
  too_long[1] = '\x7F';
  EXPECT_EQ(QueryVersionText(too_long, "\\StringFileInfo\\040c04e4\\FileVersion"), std::nullopt);
  EXPECT_EQ(QueryVersionTranslation(too_long), std::nullopt);

  // Cut inside the string table.
  std::string cut = good.substr(0, good.size() / 2);
  cut[0] = static_cast<char>(cut.size() & 0xFF);
  cut[1] = static_cast<char>(cut.size() >> 8);
  EXPECT_EQ(QueryVersionText(cut, "\\StringFileInfo\\040c04e4\\FileVersion"), std::nullopt);

  // A child with a zero length stops the walk instead of looping.
  std::string zero_child = good;
  zero_child[92] = zero_child[93] = '\0';
  EXPECT_EQ(QueryVersionText(zero_child, "\\StringFileInfo\\040c04e4\\FileVersion"), std::nullopt);

  EXPECT_EQ(QueryVersionText("", "\\"), std::nullopt);
  EXPECT_EQ(QueryVersionText(std::string("\x04\x00", 2), "\\"), std::nullopt);
}

TEST(VersionInfoTest, TextStopsAtItsZeroAndDecodesUtf16) {
  const std::string block = Block(
      Root({Group("StringFileInfo",
                  {Group("040C04E4", {Text("Comments", std::u16string(u"ab\0cd", 5)),
                                      Text("ProductName", u"\u20ac \U0001F697 \xD800x")})})}));
  EXPECT_EQ(QueryVersionText(block, "\\StringFileInfo\\040C04E4\\Comments"), "ab");
  EXPECT_EQ(QueryVersionText(block, "\\StringFileInfo\\040C04E4\\ProductName"),
            "\xE2\x82\xAC \xF0\x9F\x9A\x97 \xEF\xBF\xBDx");
  EXPECT_EQ(QueryVersionTranslation(block), std::nullopt);
  EXPECT_EQ(QueryVersionText(block, "ProductName"), std::nullopt);
}

}  // namespace
}  // namespace kalvex
