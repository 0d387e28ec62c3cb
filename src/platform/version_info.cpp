#include "platform/version_info.h"

#include <algorithm>
#include <cstdio>

namespace kalvex {

namespace {

// One node of the VS_VERSIONINFO tree: WORD length, WORD value length, WORD type
// (1 text, 0 binary), zero-terminated UTF-16 name, padding to 4, value, padding to 4,
// children. Offsets are relative to the start of the block.
struct Node {
  size_t start = 0;
  size_t end = 0;
  std::u16string name;
  bool text = false;
  size_t value_start = 0;
  size_t value_end = 0;
  size_t children_start = 0;
};

size_t Align4(size_t offset) { return (offset + 3) & ~static_cast<size_t>(3); }

uint16_t WordAt(std::string_view block, size_t offset) {
  return static_cast<uint16_t>(static_cast<unsigned char>(block[offset]) |
                               static_cast<unsigned char>(block[offset + 1]) << 8);
}

// Parses the node at start, which must lie within [start, limit); nullopt when damaged.
std::optional<Node> ParseNode(std::string_view block, size_t start, size_t limit) {
  if (limit > block.size() || start > limit || limit - start < 6) return std::nullopt;
  const uint16_t length = WordAt(block, start);
  if (length < 6 || length > limit - start) return std::nullopt;
  Node node;
  node.start = start;
  node.end = start + length;
  const uint16_t value_length = WordAt(block, start + 2);
  node.text = WordAt(block, start + 4) == 1;
  size_t pos = start + 6;
  for (;;) {
    if (pos + 2 > node.end) return std::nullopt;  // name without terminator
    const uint16_t c = WordAt(block, pos);
    pos += 2;
    if (c == 0) break;
    node.name.push_back(static_cast<char16_t>(c));
  }
  node.value_start = std::min(Align4(pos), node.end);
  const size_t value_bytes = node.text ? size_t{value_length} * 2 : size_t{value_length};
  node.value_end = std::min(node.value_start + value_bytes, node.end);
  node.children_start = std::min(Align4(node.value_end), node.end);
  return node;
}

char AsciiLower(char16_t c) {
  return static_cast<char>(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c);
}

// Names compare without regard to ASCII case; the wanted name is UTF-8 and compared
// by code unit, which is exact for the ASCII names the block uses.
bool SameName(const std::u16string& name, std::string_view wanted) {
  if (name.size() != wanted.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto w = static_cast<unsigned char>(wanted[i]);
    if (name[i] > 0x7f || w > 0x7f) {
      if (name[i] != w) return false;
    } else if (AsciiLower(name[i]) != AsciiLower(w)) {
      return false;
    }
  }
  return true;
}

std::optional<Node> FindChild(std::string_view block, const Node& parent, std::string_view name) {
  size_t pos = parent.children_start;
  while (pos < parent.end && parent.end - pos >= 6) {
    std::optional<Node> child = ParseNode(block, pos, parent.end);
    if (!child) return std::nullopt;
    if (SameName(child->name, name)) return child;
    pos = Align4(child->end);
  }
  return std::nullopt;
}

std::optional<Node> FindNode(std::string_view block, std::string_view sub_block) {
  if (block.size() < 6) return std::nullopt;
  std::optional<Node> node = ParseNode(block, 0, std::min<size_t>(block.size(), WordAt(block, 0)));
  while (node && !sub_block.empty()) {
    const size_t sep = sub_block.find('\\');
    const std::string_view name = sub_block.substr(0, sep);
    sub_block = sep == std::string_view::npos ? std::string_view() : sub_block.substr(sep + 1);
    if (!name.empty()) node = FindChild(block, *node, name);
  }
  return node;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | cp >> 6));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | cp >> 12));
    out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | cp >> 18));
    out.push_back(static_cast<char>(0x80 | (cp >> 12 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp >> 6 & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

const std::vector<std::string>& VersionKeys() {
  static const std::vector<std::string> kKeys = {
      "FileDescription", "CompanyName",      "FileVersion", "InternalName",
      "LegalCopyRight",  "OriginalFileName", "ProductName", "ProductVersion"};
  return kKeys;
}

std::optional<std::string> QueryVersionText(std::string_view block, std::string_view sub_block) {
  std::optional<Node> node = FindNode(block, sub_block);
  if (!node) return std::nullopt;
  // The text runs to its terminating zero, or to the end of the node.
  std::string text;
  size_t pos = node->value_start;
  while (pos + 2 <= node->end) {
    uint32_t c = WordAt(block, pos);
    pos += 2;
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && pos + 2 <= node->end) {
      const uint32_t low = WordAt(block, pos);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        pos += 2;
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      }
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // lone surrogate
    AppendUtf8(text, c);
  }
  return text;
}

std::optional<uint32_t> QueryVersionTranslation(std::string_view block) {
  std::optional<Node> node = FindNode(block, "\\VarFileInfo\\Translation");
  if (!node || node->value_end - node->value_start < 4) return std::nullopt;
  return uint32_t{WordAt(block, node->value_start)} | uint32_t{WordAt(block, node->value_start + 2)}
                                                          << 16;
}

void ReadVersionInfo(const std::string& file_path, std::vector<std::string>& lines) {
  const std::string block = ReadVersionBlock(file_path);
  if (block.empty()) return;
  const std::optional<uint32_t> translation = QueryVersionTranslation(block);
  for (const std::string& key : VersionKeys()) {
    std::string sub_block = key;
    if (translation) {
      char table[16];
      std::snprintf(table, sizeof table, "%04x%04x", static_cast<unsigned>(*translation & 0xFFFF),
                    static_cast<unsigned>(*translation >> 16));
      sub_block = std::string("\\StringFileInfo\\") + table + "\\" + key;
    }
    if (std::optional<std::string> value = QueryVersionText(block, sub_block))
      lines.push_back(key + " : " + *value);
  }
}

}  // namespace kalvex
