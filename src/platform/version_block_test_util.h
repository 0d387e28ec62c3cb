// Hand-made version blocks for the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvex::testing {

// A version-block node for hand-made blocks.
struct TestNode {
  std::string name;
  bool text = true;
  std::u16string text_value;  // for text nodes, written with its terminating zero
  std::string binary_value;   // for binary nodes
  std::vector<TestNode> children;
  bool has_value = true;
};

inline void PutWord(std::string& out, unsigned v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8 & 0xFF));
}

inline void Pad(std::string& out) {
  while (out.size() % 4 != 0) out.push_back('\0');
}

inline void Serialise(const TestNode& node, std::string& out) {
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

inline std::string Block(const TestNode& root) {
  std::string out;
  Serialise(root, out);
  return out;
}

inline TestNode Text(const std::string& name, const std::u16string& value) {
  return TestNode{name, true, value, {}, {}};
}

inline TestNode Translation(unsigned language, unsigned code_page) {
  std::string value;
  PutWord(value, language);
  PutWord(value, code_page);
  return TestNode{"Translation", false, {}, value, {}};
}

inline TestNode Root(std::vector<TestNode> children) {
  TestNode root{"VS_VERSION_INFO", false, {}, std::string(52, '\0'), std::move(children)};
  return root;
}

inline TestNode Group(const std::string& name, std::vector<TestNode> children) {
  TestNode node{name, true, {}, {}, std::move(children)};
  node.has_value = false;
  return node;
}

inline uint32_t DwordAt(std::string_view block, size_t offset) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i)
    v |= uint32_t{static_cast<unsigned char>(block[offset + i])} << (8 * i);
  return v;
}

}  // namespace kalvex::testing
