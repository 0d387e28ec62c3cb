// Reading the version block out of ELF files.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/version_block_test_util.h"
#include "platform/version_info.h"
#include "test_support.h"

namespace kalvex {
namespace {

using namespace testing;

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

TEST(VersionInfoElfTest, DamagedOrForeignFilesGiveNothing) {
  TempDir dir;
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
       {std::string("/bin/true"), dir / "elf_head", dir / "truncated", dir / "bad_offset"}) {
    std::vector<std::string> lines;
    ReadVersionInfo(path, lines);
    EXPECT_TRUE(lines.empty()) << path;
    EXPECT_EQ(ReadVersionBlock(path), "") << path;
  }
}

TEST(VersionInfoElfTest, TranslationChoosesTheStringTable) {
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

TEST(VersionInfoElfTest, WithoutTranslationKeysAreAskedForAsTheyAre) {
  // Keys stored at the top of the tree are found by their bare names.
  const std::string block = Block(Root({Text("FileVersion", u"3.0"), Text("Comments", u"x")}));
  TempDir dir;
  WriteFile(dir / "prog", ElfWithSection(block, ".kalvex_version", true, true));
  std::vector<std::string> lines;
  ReadVersionInfo(dir / "prog", lines);
  EXPECT_EQ(lines, std::vector<std::string>{"FileVersion : 3.0"});
}

}  // namespace
}  // namespace kalvex
