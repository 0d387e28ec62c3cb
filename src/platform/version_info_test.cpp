#include "platform/version_info.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "test_support.h"

namespace kalvex {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A version-block node for hand-made blocks.
struct TestNode {
  std::string name;
  bool text = true;
  std::u16string text_value;  // for text nodes, written with its terminating zero
  std::string binary_value;   // for binary nodes
  std::vector<TestNode> children;
  bool has_value = true;
};

void PutWord(std::string& out, unsigned v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8 & 0xFF));
}

void Pad(std::string& out) {
  while (out.size() % 4 != 0) out.push_back('\0');
}

void Serialise(const TestNode& node, std::string& out) {
  Pad(out);
  const size_t start = out.size();
  PutWord(out, 0);
  const size_t value_length = !node.has_value ? 0
                              : node.text     ? node.text_value.size() + 1
                                              : node.binary_value.size();
  PutWord(out, static_cast<unsigned>(value_length));
  PutWord(out, node.text ? 1 : 0);
  for (char c : node.name) PutWord(out, static_cast<unsigned char>(c));
  PutWord(out, 0);
  Pad(out);
  if (node.has_value) {
    if (node.text) {
      for (char16_t c : node.text_value) PutWord(out, c);
      PutWord(out, 0);
    } else {
      out += node.binary_value;
    }
  }
  for (const TestNode& child : node.children) Serialise(child, out);
  const size_t length = out.size() - start;
  out[start] = static_cast<char>(length & 0xFF);
  out[start + 1] = static_cast<char>(length >> 8);
}

std::string Block(const TestNode& root) {
  std::string out;
  Serialise(root, out);
  return out;
}

TestNode Text(const std::string& name, const std::u16string& value) {
  return TestNode{name, true, value, {}, {}};
}

TestNode Translation(unsigned language, unsigned code_page) {
  std::string value;
  PutWord(value, language);
  PutWord(value, code_page);
  return TestNode{"Translation", false, {}, value, {}};
}

TestNode Root(std::vector<TestNode> children) {
  TestNode root{"VS_VERSION_INFO", false, {}, std::string(52, '\0'), std::move(children)};
  return root;
}

TestNode Group(const std::string& name, std::vector<TestNode> children) {
  TestNode node{name, true, {}, {}, std::move(children)};
  node.has_value = false;
  return node;
}

uint32_t DwordAt(std::string_view block, size_t offset) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i)
    v |= uint32_t{static_cast<unsigned char>(block[offset + i])} << (8 * i);
  return v;
}

void PutInt(std::string& out, uint64_t v, size_t width, bool little) {
  for (size_t i = 0; i < width; ++i) {
    const size_t shift = little ? 8 * i : 8 * (width - 1 - i);
    out.push_back(static_cast<char>(v >> shift & 0xFF));
  }
}

// A minimal ELF file: header, the section's bytes, the section name table and three
// section headers (null, the section, the name table).
std::string ElfWithSection(const std::string& bytes, const std::string& name, bool wide,
                           bool little) {
  const size_t header_size = wide ? 64 : 52;
  const size_t entry_size = wide ? 64 : 40;
  const size_t word = wide ? 8 : 4;
  const std::string names = std::string(1, '\0') + name + '\0' + ".shstrtab" + '\0';
  const size_t data_offset = header_size;
  const size_t names_offset = data_offset + bytes.size();
  size_t table_offset = names_offset + names.size();
  table_offset = (table_offset + 7) & ~size_t{7};

  std::string out(
      "\x7F"
      "ELF",
      4);
  out.push_back(static_cast<char>(wide ? 2 : 1));
  out.push_back(static_cast<char>(little ? 1 : 2));
  out.push_back('\1');
  out.resize(16, '\0');
  PutInt(out, 2, 2, little);     // e_type
  PutInt(out, 62, 2, little);    // e_machine
  PutInt(out, 1, 4, little);     // e_version
  PutInt(out, 0, word, little);  // e_entry
  PutInt(out, 0, word, little);  // e_phoff
  PutInt(out, table_offset, word, little);
  PutInt(out, 0, 4, little);  // e_flags
  PutInt(out, header_size, 2, little);
  PutInt(out, 0, 2, little);  // e_phentsize
  PutInt(out, 0, 2, little);  // e_phnum
  PutInt(out, entry_size, 2, little);
  PutInt(out, 3, 2, little);  // e_shnum
  PutInt(out, 2, 2, little);  // e_shstrndx
  EXPECT_EQ(out.size(), header_size);
  out += bytes;
  out += names;
  out.resize(table_offset, '\0');

  auto section = [&](uint32_t name_index, uint32_t type, uint64_t offset, uint64_t size) {
    const size_t start = out.size();
    PutInt(out, name_index, 4, little);
    PutInt(out, type, 4, little);
    PutInt(out, 0, word, little);  // flags
    PutInt(out, 0, word, little);  // addr
    PutInt(out, offset, word, little);
    PutInt(out, size, word, little);
    out.resize(start + entry_size, '\0');
  };
  section(0, 0, 0, 0);
  section(1, 1, data_offset, bytes.size());
  section(static_cast<uint32_t>(name.size() + 2), 3, names_offset, names.size());
  return out;
}

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
  WriteFile(dir / "elf_head", std::string("\x7F"
                                          "ELF\x02\x01\x01",
                                          7));
  // Own executable cut short: the section headers at the end of the file are gone.
  const std::string own = ReadFile(platform::ExecutablePath());
  WriteFile(dir / "truncated", own.substr(0, own.size() / 2));
  // Section header offset pointing far past the end of the file.
  std::string bad_offset = own.substr(0, 4096);
  for (size_t i = 0x28; i < 0x30; ++i) bad_offset[i] = '\xFF';
  WriteFile(dir / "bad_offset", bad_offset);

  for (const std::string& path :
       {std::string("/bin/true"), dir / "notes.txt", dir / "empty", dir / "elf_head",
        dir / "truncated", dir / "bad_offset", dir / "missing", dir.path()}) {
    std::vector<std::string> lines;
    ReadVersionInfo(path, lines);
    EXPECT_TRUE(lines.empty()) << path;
    EXPECT_EQ(ReadVersionBlock(path), "") << path;
  }
}

TEST(VersionInfoTest, TranslationChoosesTheStringTable) {
  const std::string block = Block(Root(
      {Group("StringFileInfo",
             {Group("040904B0", {Text("FileVersion", u"2.0"), Text("ProductName", u"Kalv\u00e9x")}),
              Group("040C04E4", {Text("FileVersion", u"wrong table")})}),
       Group("VarFileInfo", {Translation(0x0409, 0x04B0)})}));
  EXPECT_EQ(QueryVersionTranslation(block), std::optional<uint32_t>(0x04B00409u));

  TempDir dir;
  for (bool wide : {true, false}) {
    for (bool little : {true, false}) {
      const std::string path = dir / ("prog" + std::to_string(wide) + std::to_string(little));
      WriteFile(path, ElfWithSection(block, ".kalvex_version", wide, little));
      EXPECT_EQ(ReadVersionBlock(path), block) << path;
      std::vector<std::string> lines;
      ReadVersionInfo(path, lines);
      EXPECT_EQ(lines,
                (std::vector<std::string>{"FileVersion : 2.0", "ProductName : Kalv\xC3\xA9x"}))
          << path;
    }
  }
  // The same bytes under another section name are not the version block.
  WriteFile(dir / "other", ElfWithSection(block, ".rodata", true, true));
  EXPECT_EQ(ReadVersionBlock(dir / "other"), "");
}

TEST(VersionInfoTest, WithoutTranslationKeysAreAskedForAsTheyAre) {
  // Keys stored at the top of the tree are found by their bare names.
  const std::string block = Block(Root({Text("FileVersion", u"3.0"), Text("Comments", u"x")}));
  TempDir dir;
  WriteFile(dir / "prog", ElfWithSection(block, ".kalvex_version", true, true));
  std::vector<std::string> lines;
  ReadVersionInfo(dir / "prog", lines);
  EXPECT_EQ(lines, std::vector<std::string>{"FileVersion : 3.0"});
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
