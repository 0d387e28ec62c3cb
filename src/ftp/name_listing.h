// The names of the image server's folder, for case-blind lookups of photo names. A
// listing may hold a million names, so they are kept at little cost per name: all of
// them upper-cased in one buffer, each followed by a line break, and the start of each in
// a vector of 4-byte offsets sorted by name (no node or string object per name).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvex {

class NameListing {
 public:
  NameListing() = default;
  // From a name listing as a server sends it: one name per line (LF or CR LF); empty
  // lines are no names; a name listed twice is kept once. The text must be shorter
  // than 4 GiB (the listing's own bound is far below).
  static NameListing FromLines(std::string_view text);

  // Whether the listing holds the name, letters compared upper-cased (UpperCaseUnicode).
  bool Contains(std::string_view name) const;
  size_t size() const { return starts_.size(); }
  // The names upper-cased, in sorted order.
  std::vector<std::string> Names() const;

 private:
  std::string_view At(uint32_t start) const;

  std::string names_;
  std::vector<uint32_t> starts_;
};

}  // namespace kalvex
