#include "ftp/name_listing.h"

#include <algorithm>

#include "platform/unicode_case.h"

namespace kalvex {

namespace {

// Appends the name upper-cased; plain ASCII (the usual photo name) without the Unicode
// tables, which give the same letters for it.
void AppendUpperCased(std::string& out, std::string_view name) {
  for (char c : name) {
    if ((static_cast<unsigned char>(c) & 0x80) != 0) {
      out += UpperCaseUnicode(name);
      return;
    }
  }
  for (char c : name) out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Orders two names that each end with the line break that no name holds, byte by byte:
// no length to look for first.
bool Before(const char* a, const char* b) {
  for (; *a == *b; ++a, ++b)
    if (*a == '\n') return false;
  return static_cast<unsigned char>(*a) < static_cast<unsigned char>(*b);
}

}  // namespace

NameListing NameListing::FromLines(std::string_view text) {
  NameListing listing;
  listing.names_.reserve(text.size() + 1);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) {
      listing.starts_.push_back(static_cast<uint32_t>(listing.names_.size()));
      AppendUpperCased(listing.names_, line);
      listing.names_ += '\n';
    }
    start = end + 1;
  }
  const char* names = listing.names_.data();
  const auto less = [names](uint32_t a, uint32_t b) { return Before(names + a, names + b); };
  const auto same = [names](uint32_t a, uint32_t b) {
    return !Before(names + a, names + b) && !Before(names + b, names + a);
  };
  std::sort(listing.starts_.begin(), listing.starts_.end(), less);
  listing.starts_.erase(std::unique(listing.starts_.begin(), listing.starts_.end(), same),
                        listing.starts_.end());
  listing.starts_.shrink_to_fit();
  listing.names_.shrink_to_fit();
  return listing;
}

std::string_view NameListing::At(uint32_t start) const {
  const std::string_view rest = std::string_view(names_).substr(start);
  return rest.substr(0, rest.find('\n'));
}

bool NameListing::Contains(std::string_view name) const {
  if (name.find('\n') != std::string_view::npos) return false;  // no line holds one
  std::string wanted;
  AppendUpperCased(wanted, name);
  wanted += '\n';
  const char* names = names_.data();
  const auto at = std::lower_bound(
      starts_.begin(), starts_.end(), wanted.c_str(),
      [names](uint32_t start, const char* key) { return Before(names + start, key); });
  return at != starts_.end() && !Before(wanted.c_str(), names + *at);
}

std::vector<std::string> NameListing::Names() const {
  std::vector<std::string> names;
  names.reserve(starts_.size());
  for (uint32_t start : starts_) names.emplace_back(At(start));
  return names;
}

}  // namespace kalvex
