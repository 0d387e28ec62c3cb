// POSIX side of the version block: the block is built at compile time from the build's
// version numbers and placed in its own ELF section; reading a file's block means
// finding that section through the file's ELF section headers.
#include <array>
#include <cstdint>
#include <fstream>

#include "kalvex_version_block.h"  // generated from the build files
#include "platform/platform.h"
#include "platform/version_info.h"

namespace kalvex {

namespace {

// ---- The block, built at compile time --------------------------------------------

// Writes (or, with no output, measures) the VS_VERSIONINFO bytes.
struct BlockWriter {
  unsigned char* out = nullptr;
  size_t pos = 0;

  constexpr void Byte(unsigned value) {
    if (out) out[pos] = static_cast<unsigned char>(value & 0xFF);
    ++pos;
  }
  constexpr void Word(unsigned value) {
    Byte(value);
    Byte(value >> 8);
  }
  constexpr void Dword(uint32_t value) {
    Word(value & 0xFFFF);
    Word(value >> 16);
  }
  constexpr void Text(std::string_view text) {  // ASCII, with its terminating zero
    for (char c : text) Word(static_cast<unsigned char>(c));
    Word(0);
  }
  constexpr void Align() {
    while (pos % 4 != 0) Byte(0);
  }
  // Starts a node with its length left open; returns where it starts.
  constexpr size_t Begin(std::string_view name, unsigned value_length, unsigned type) {
    Align();
    const size_t start = pos;
    Word(0);
    Word(value_length);
    Word(type);
    Text(name);
    Align();
    return start;
  }
  constexpr void End(size_t start) {
    const size_t length = pos - start;
    if (out) {
      out[start] = static_cast<unsigned char>(length & 0xFF);
      out[start + 1] = static_cast<unsigned char>(length >> 8);
    }
  }
};

constexpr unsigned kTextNode = 1;
constexpr unsigned kBinaryNode = 0;
constexpr uint16_t kLanguageFrench = 0x040C;
constexpr uint16_t kCodePage1252 = 0x04E4;

constexpr std::array<unsigned, 4> kFixedVersion = {KALVEX_VERSION_FIXED};

struct StringValue {
  std::string_view name;
  std::string_view value;
};

constexpr std::array<StringValue, 10> kStrings = {{
    {"CompanyName", ""},
    {"FileDescription", ""},
    {"FileVersion", KALVEX_VERSION_FILE_TEXT},
    {"InternalName", ""},
    {"LegalCopyright", ""},
    {"LegalTrademarks", ""},
    {"OriginalFilename", ""},
    {"ProductName", ""},
    {"ProductVersion", KALVEX_VERSION_PRODUCT_TEXT},
    {"Comments", ""},
}};

constexpr void WriteBlock(BlockWriter& w) {
  const uint32_t ms = kFixedVersion[0] << 16 | kFixedVersion[1];
  const uint32_t ls = kFixedVersion[2] << 16 | kFixedVersion[3];
  const size_t root = w.Begin("VS_VERSION_INFO", 52, kBinaryNode);
  w.Dword(0xFEEF04BD);  // signature
  w.Dword(0x00010000);  // structure version
  w.Dword(ms);          // file version
  w.Dword(ls);
  w.Dword(ms);  // product version
  w.Dword(ls);
  w.Dword(0x3F);  // flags mask
  w.Dword(0);     // flags
  w.Dword(0x4);   // VOS__WINDOWS32
  w.Dword(0x1);   // VFT_APP
  w.Dword(0);     // subtype
  w.Dword(0);     // date
  w.Dword(0);
  const size_t string_info = w.Begin("StringFileInfo", 0, kTextNode);
  const size_t table = w.Begin("040C04E4", 0, kTextNode);
  for (const StringValue& s : kStrings) {
    const size_t node = w.Begin(s.name, static_cast<unsigned>(s.value.size() + 1), kTextNode);
    w.Text(s.value);
    w.End(node);
  }
  w.End(table);
  w.End(string_info);
  const size_t var_info = w.Begin("VarFileInfo", 0, kTextNode);
  const size_t translation = w.Begin("Translation", 4, kBinaryNode);
  w.Word(kLanguageFrench);
  w.Word(kCodePage1252);
  w.End(translation);
  w.End(var_info);
  w.End(root);
}

constexpr size_t BlockSize() {
  BlockWriter w;
  WriteBlock(w);
  return w.pos;
}

constexpr size_t kBlockSize = BlockSize();
static_assert(kBlockSize <= 0xFFFF, "a version block is at most 65535 bytes long");

constexpr std::array<unsigned char, kBlockSize> MakeBlock() {
  std::array<unsigned char, kBlockSize> bytes{};
  BlockWriter w{bytes.data()};
  WriteBlock(w);
  return bytes;
}

}  // namespace

}  // namespace kalvex

// The linker is told to keep this symbol (see cmake/KalvexVersionBlock.cmake), so every
// program linked with kalvex_core carries the section.
extern "C" __attribute__((section(".kalvex_version"), used, aligned(4)))
const std::array<unsigned char, kalvex::kBlockSize>
    kalvex_version_block = kalvex::MakeBlock();

namespace kalvex {

namespace {

// ---- Finding the block in an ELF file --------------------------------------------

constexpr uint32_t kShtNobits = 8;
constexpr uint16_t kShnXindex = 0xFFFF;
constexpr uint64_t kMaxSections = 1u << 20;
constexpr uint64_t kMaxNameTable = 16u << 20;

class ElfFile {
 public:
  explicit ElfFile(const std::string& native_path)
      : in_(native_path, std::ios::binary | std::ios::ate) {
    if (!in_) return;
    const std::streamoff end = in_.tellg();
    size_ = end > 0 ? static_cast<uint64_t>(end) : 0;
  }

  // Reads n bytes at offset; false when they are not all in the file.
  bool Read(uint64_t offset, size_t n, std::string& out) {
    if (!in_ || offset > size_ || n > size_ - offset) return false;
    out.resize(n);
    in_.seekg(static_cast<std::streamoff>(offset));
    in_.read(out.data(), static_cast<std::streamsize>(n));
    return static_cast<size_t>(in_.gcount()) == n;
  }

  // Unsigned integer of `width` bytes at `offset` of `bytes`, in the file's byte order.
  uint64_t Int(const std::string& bytes, size_t offset, size_t width) const {
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i) {
      const auto b = static_cast<unsigned char>(bytes[offset + i]);
      if (little_endian_)
        v |= uint64_t{b} << (8 * i);
      else
        v = v << 8 | b;
    }
    return v;
  }

  std::string FindSection(std::string_view wanted) {
    std::string header;
    if (!Read(0, 64, header) && !Read(0, 52, header)) return {};
    if (header.compare(0, 4,
                       "\x7F"
                       "ELF") != 0)
      return {};
    const int elf_class = header[4];
    const int data = header[5];
    if ((elf_class != 1 && elf_class != 2) || (data != 1 && data != 2)) return {};
    const bool wide = elf_class == 2;
    if (wide && header.size() < 64) return {};
    little_endian_ = data == 1;

    const uint64_t shoff = wide ? Int(header, 0x28, 8) : Int(header, 0x20, 4);
    const size_t shentsize = Int(header, wide ? 0x3A : 0x2E, 2);
    uint64_t shnum = Int(header, wide ? 0x3C : 0x30, 2);
    uint64_t shstrndx = Int(header, wide ? 0x3E : 0x32, 2);
    const size_t min_entry = wide ? 64 : 40;
    if (shoff == 0 || shentsize < min_entry) return {};

    // Extended numbering keeps the real counts in section 0.
    std::string entry;
    if (!ReadSectionHeader(shoff, shentsize, 0, entry)) return {};
    if (shnum == 0) shnum = SectionSize(entry, wide);
    if (shstrndx == kShnXindex) shstrndx = Int(entry, wide ? 40 : 24, 4);
    if (shnum == 0 || shnum > kMaxSections || shstrndx >= shnum) return {};

    std::string names_header;
    if (!ReadSectionHeader(shoff, shentsize, shstrndx, names_header)) return {};
    const uint64_t names_size = SectionSize(names_header, wide);
    if (names_size > kMaxNameTable) return {};
    std::string names;
    if (!Read(SectionOffset(names_header, wide), static_cast<size_t>(names_size), names)) return {};

    for (uint64_t i = 1; i < shnum; ++i) {
      if (!ReadSectionHeader(shoff, shentsize, i, entry)) return {};
      const uint64_t name = Int(entry, 0, 4);
      if (name >= names.size()) continue;
      const size_t name_end = names.find('\0', static_cast<size_t>(name));
      if (name_end == std::string::npos) continue;
      if (std::string_view(names).substr(name, name_end - name) != wanted) continue;
      if (Int(entry, 4, 4) == kShtNobits) return {};
      // A block is at most 65535 bytes long; what follows it in the section is padding.
      const uint64_t size = std::min<uint64_t>(SectionSize(entry, wide), 0xFFFF);
      std::string bytes;
      if (!Read(SectionOffset(entry, wide), static_cast<size_t>(size), bytes)) return {};
      return bytes;
    }
    return {};
  }

 private:
  bool ReadSectionHeader(uint64_t shoff, size_t shentsize, uint64_t index, std::string& out) {
    if (index > (UINT64_MAX - shoff) / shentsize) return false;
    return Read(shoff + index * shentsize, shentsize, out);
  }
  uint64_t SectionOffset(const std::string& entry, bool wide) const {
    return wide ? Int(entry, 24, 8) : Int(entry, 16, 4);
  }
  uint64_t SectionSize(const std::string& entry, bool wide) const {
    return wide ? Int(entry, 32, 8) : Int(entry, 20, 4);
  }

  std::ifstream in_;
  uint64_t size_ = 0;
  bool little_endian_ = true;
};

}  // namespace

std::string_view OwnVersionBlock() {
  return std::string_view(reinterpret_cast<const char*>(kalvex_version_block.data()),
                          kalvex_version_block.size());
}

std::string ReadVersionBlock(const std::string& file_path) {
  ElfFile file(platform::NativePath(file_path));
  std::string section = file.FindSection(kVersionSectionName);
  if (section.size() < 6) return {};
  const size_t length =
      static_cast<unsigned char>(section[0]) | static_cast<unsigned char>(section[1]) << 8;
  if (length < 6 || length > section.size()) return {};
  section.resize(length);
  return section;
}

}  // namespace kalvex
