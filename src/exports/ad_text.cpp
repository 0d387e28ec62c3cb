#include "exports/ad_text.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "exports/text_join.h"
#include "exports/vehicle_document.h"
#include "platform/unicode_case.h"
#include "xml/xml_cursor.h"

namespace kalvex {
namespace {

// A text upper-cased code point by code point, remembering which bytes of the
// upper-cased form start a code point and at which byte offset of the original text
// each one came from. Upper-casing may change the byte length of a code point ("ı"
// becomes "I", "ſ" becomes "S"), so positions found in the upper-cased form are mapped
// back through the points where the two forms stop running in step. Invalid UTF-8
// bytes are kept as they are, each invalid sequence counting as one unit.
class UpperCasedText {
 public:
  explicit UpperCasedText(std::string_view text) {
    upper_.reserve(text.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int64_t>(text.size());
    int64_t i = 0;
    while (i < length) {
      if (bytes[i] < 0x80) {  // a run of ASCII, upper-cased a to z in place
        int64_t run_end = i;
        while (run_end < length && bytes[run_end] < 0x80) ++run_end;
        const size_t at = upper_.size();
        upper_.append(text.substr(static_cast<size_t>(i), static_cast<size_t>(run_end - i)));
        for (size_t k = at; k < upper_.size(); ++k)
          if (upper_[k] >= 'a' && upper_[k] <= 'z') upper_[k] = static_cast<char>(upper_[k] - 32);
        i = run_end;
        continue;
      }
      const int64_t start = i;
      UChar32 c;
      U8_NEXT(bytes, i, length, c);
      const std::string_view original =
          text.substr(static_cast<size_t>(start), static_cast<size_t>(i - start));
      if (c < 0) {
        if (original.size() == 1 && IsContinuationByte(text[static_cast<size_t>(start)]))
          stray_.push_back(upper_.size());
        upper_.append(original);
        continue;
      }
      const std::string mapped = UpperCaseUnicode(original);
      upper_.append(mapped);
      if (mapped.size() != original.size())
        shifts_.emplace_back(upper_.size(), static_cast<size_t>(i));
    }
  }

  std::string_view upper() const { return upper_; }

  // True when a unit starts at this position of the upper-cased form (or it is the
  // end), so that a match may begin or end there.
  bool IsBoundary(size_t position) const {
    if (position >= upper_.size()) return true;
    if (!IsContinuationByte(upper_[position])) return true;
    return std::binary_search(stray_.begin(), stray_.end(), position);
  }

  // Offset in the original text of a boundary of the upper-cased form.
  size_t OriginalOffset(size_t position) const {
    auto after = std::upper_bound(shifts_.begin(), shifts_.end(), position,
                                  [](size_t p, const auto& shift) { return p < shift.first; });
    if (after == shifts_.begin()) return position;
    const auto& [upper_at, original_at] = *std::prev(after);
    return original_at + (position - upper_at);
  }

 private:
  std::string upper_;
  std::vector<size_t> stray_;                      // lone continuation bytes: units of their own
  std::vector<std::pair<size_t, size_t>> shifts_;  // (upper offset, original offset)
};

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// One code point (not negative) as UpperCaseUnicode maps it, in ICU's type.
UChar32 UpperUnit(UChar32 c) {
  return static_cast<UChar32>(UpperCaseCodePoint(static_cast<char32_t>(c)));
}

}  // namespace

std::string ReplaceIgnoringCase(std::string_view text, std::string_view pattern,
                                std::string_view replacement) {
  if (pattern.empty() || text.empty()) return std::string(text);
  const std::string upper_pattern = UpperCaseUnicode(pattern);
  const UpperCasedText upper_text(text);
  const std::string_view haystack = upper_text.upper();

  std::string out;
  out.reserve(text.size());
  size_t copied = 0;  // original offset up to which the text is in out
  size_t from = 0;    // search position in the upper-cased form
  while (from <= haystack.size()) {
    const size_t found = haystack.find(upper_pattern, from);
    if (found == std::string_view::npos) break;
    const size_t end = found + upper_pattern.size();
    if (!upper_text.IsBoundary(found) || !upper_text.IsBoundary(end)) {
      from = found + 1;
      continue;
    }
    const size_t original_start = upper_text.OriginalOffset(found);
    out.append(text.substr(copied, original_start - copied));
    out.append(replacement);
    copied = upper_text.OriginalOffset(end);
    from = end;
  }
  out.append(text.substr(copied));
  return out;
}

namespace {

// A text as the case-blind comparison sees it: its code points, each upper-cased.
using UpperUnits = std::vector<UChar32>;

// False when the text is not valid UTF-8 (such entries are applied on their own).
bool ToUpperUnits(std::string_view text, UpperUnits* units) {
  units->clear();
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int64_t>(text.size());
  int64_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
    units->push_back(UpperUnit(c));
  }
  return true;
}

bool Contains(const UpperUnits& outer, const UpperUnits& inner) {
  return std::search(outer.begin(), outer.end(), inner.begin(), inner.end()) != outer.end();
}

// True when a proper suffix of a equals a prefix of b.
bool SuffixIsPrefix(const UpperUnits& a, const UpperUnits& b) {
  for (size_t length = 1; length < a.size() && length <= b.size(); ++length)
    if (std::equal(a.end() - static_cast<std::ptrdiff_t>(length), a.end(), b.begin())) return true;
  return false;
}

// True when an occurrence of b can share characters with an occurrence of a in some
// text: one holds the other, or they overlap at either end.
bool CanOverlap(const UpperUnits& a, const UpperUnits& b) {
  return Contains(a, b) || Contains(b, a) || SuffixIsPrefix(a, b) || SuffixIsPrefix(b, a);
}

struct PlannedEntry {
  const TextReplacement* entry;
  UpperUnits pattern;
  UpperUnits replacement;
};

// Entries applied together in one left-to-right pass, or (single) one entry applied by
// ReplaceIgnoringCase.
struct Pass {
  std::vector<PlannedEntry> entries;
  bool single = false;
};

// Splits a table into passes whose combined effect is that of the entries in order.
// Entries share a pass only when, for every earlier entry i and later entry j of it, no
// occurrence of pattern j can overlap an occurrence of pattern i, and none can overlap
// or straddle what replacement i writes (an empty replacement joins its neighbours, so
// nothing may follow it in the pass). Then pattern j finds in the text left by the
// entries before it exactly the occurrences it has in the pass's input, and matches of
// different entries never compete for the same characters.
std::vector<Pass> PlanPasses(std::span<const TextReplacement> table) {
  std::vector<Pass> passes;
  for (const TextReplacement& entry : table) {
    if (entry.from.empty()) continue;  // replaces nothing
    PlannedEntry planned{&entry, {}, {}};
    if (!ToUpperUnits(entry.from, &planned.pattern) ||
        !ToUpperUnits(entry.to, &planned.replacement)) {
      passes.push_back(Pass{{std::move(planned)}, true});
      continue;
    }
    bool fits = !passes.empty() && !passes.back().single;
    for (size_t k = 0; fits && k < passes.back().entries.size(); ++k) {
      const PlannedEntry& earlier = passes.back().entries[k];
      fits = !CanOverlap(earlier.pattern, planned.pattern) && !earlier.replacement.empty() &&
             !CanOverlap(earlier.replacement, planned.pattern);
    }
    if (fits)
      passes.back().entries.push_back(std::move(planned));
    else
      passes.push_back(Pass{{std::move(planned)}, false});
  }
  return passes;
}

// The first bytes (in UTF-8) of the characters beyond ASCII whose upper case is the ASCII
// character `ascii`. The case mapping is asked once about every character.
const std::vector<uint8_t>& LeadBytesUpperCasingTo(UChar32 ascii) {
  static const std::array<std::vector<uint8_t>, 0x80> leads = [] {
    std::array<std::vector<uint8_t>, 0x80> found;
    for (UChar32 c = 0x80; c <= 0x10FFFF; ++c) {
      if (U_IS_SURROGATE(c)) continue;
      const UChar32 upper = UpperUnit(c);
      if (upper < 0 || upper >= 0x80) continue;
      uint8_t bytes[U8_MAX_LENGTH];
      int32_t length = 0;
      U8_APPEND_UNSAFE(bytes, length, c);
      std::vector<uint8_t>& list = found[static_cast<size_t>(upper)];
      if (std::find(list.begin(), list.end(), bytes[0]) == list.end()) list.push_back(bytes[0]);
    }
    return found;
  }();
  return leads[static_cast<size_t>(ascii)];
}

// The patterns of one pass as a tree of upper-cased code points. No pattern of a pass
// begins another, so a match ends at the first node that ends a pattern.
class PatternTree {
 public:
  explicit PatternTree(const Pass& pass) : nodes_(1) {
    for (const PlannedEntry& planned : pass.entries) {
      size_t node = 0;
      for (const UChar32 c : planned.pattern) {
        size_t next = Child(node, c);
        if (next == 0) {
          next = nodes_.size();
          nodes_.push_back({});
          nodes_[node].children.emplace_back(c, next);
        }
        node = next;
      }
      nodes_[node].replacement = &planned.entry->to;
      const UChar32 first = planned.pattern.front();
      if (first < 0x80) {
        // Every byte whose upper case is the first character, and the first byte of
        // every character beyond ASCII that upper-cases to it ("ı" to "I").
        for (int b = 0; b < 0x80; ++b)
          if (UpperUnit(b) == first) may_start_[b] = true;
        for (const uint8_t lead : LeadBytesUpperCasingTo(first)) may_start_[lead] = true;
      } else {
        // Characters beyond ASCII are looked at one by one.
        for (int b = 0xC0; b < 0x100; ++b) may_start_[b] = true;
      }
    }
    int starts = 0;
    for (int b = 0; b < 0x100; ++b) {
      if (!may_start_[b]) continue;
      only_start_ = starts == 0 ? b : -1;
      ++starts;
    }
  }

  // The first position from `at` on at which a pattern may start, or the text's size.
  size_t NextStart(std::string_view text, size_t at) const {
    if (only_start_ >= 0) {
      // One byte starts every pattern ("<" for tags): the library's search finds it.
      const void* found = std::memchr(text.data() + at, only_start_, text.size() - at);
      return found == nullptr ? text.size()
                              : static_cast<size_t>(static_cast<const char*>(found) - text.data());
    }
    while (at < text.size() && !MayStart(text[at])) ++at;
    return at;
  }

  // False for a byte at which no pattern can start.
  bool MayStart(char byte) const { return may_start_[static_cast<uint8_t>(byte)]; }

  // The end of the pattern that occurs at `at` (a character start) and its
  // replacement, or nullptr.
  const std::string_view* Match(std::string_view text, size_t at, size_t* end) const {
    if (!MayStart(text[at])) return nullptr;
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int64_t>(text.size());
    auto i = static_cast<int64_t>(at);
    size_t node = 0;
    while (i < length) {
      UChar32 c = bytes[i];
      if (c < 0x80) {
        ++i;
      } else {
        U8_NEXT(bytes, i, length, c);
        if (c < 0) return nullptr;  // an invalid byte is no character of a pattern
      }
      node = Child(node, UpperUnit(c));
      if (node == 0) return nullptr;
      if (nodes_[node].replacement != nullptr) {
        *end = static_cast<size_t>(i);
        return nodes_[node].replacement;
      }
    }
    return nullptr;
  }

 private:
  struct Node {
    std::vector<std::pair<UChar32, size_t>> children;
    const std::string_view* replacement = nullptr;
  };

  size_t Child(size_t node, UChar32 c) const {
    for (const auto& [key, next] : nodes_[node].children)
      if (key == c) return next;
    return 0;
  }

  std::vector<Node> nodes_;
  bool may_start_[256] = {};
  int only_start_ = -1;  // the one byte that starts every pattern, -1 when not one
};

std::string ApplyPass(std::string_view text, const Pass& pass) {
  if (pass.single) {
    const TextReplacement& entry = *pass.entries.front().entry;
    return ReplaceIgnoringCase(text, entry.from, entry.to);
  }
  const PatternTree tree(pass);
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  size_t copied = 0;
  size_t at = 0;
  while (at < text.size()) {
    // Most bytes cannot start a pattern: they are passed over without a match tried.
    at = tree.NextStart(text, at);
    if (at >= text.size()) break;
    size_t end = 0;
    if (const std::string_view* replacement = tree.Match(text, at, &end)) {
      out.append(text.substr(copied, at - copied));
      out.append(*replacement);
      copied = at = end;
    } else {
      ++at;
    }
  }
  out.append(text.substr(copied));
  return out;
}

}  // namespace

std::string ReplaceAllIgnoringCase(std::string_view text, std::span<const TextReplacement> table) {
  const std::vector<Pass> passes = PlanPasses(table);
  if (passes.empty() || text.empty()) return std::string(text);
  std::string result = ApplyPass(text, passes.front());
  for (size_t k = 1; k < passes.size(); ++k) result = ApplyPass(result, passes[k]);
  return result;
}

void ReplaceAllIgnoringCaseIn(std::string& text, std::span<const TextReplacement> table) {
  // Each pass's input goes as soon as its output is made: at most two whole texts at once.
  for (const Pass& pass : PlanPasses(table)) {
    if (text.empty()) return;
    text = ApplyPass(text, pass);
  }
}

size_t ReplacementPassCount(std::span<const TextReplacement> table) {
  return PlanPasses(table).size();
}

std::string TrimBlanks(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlankOrControl(text[begin])) ++begin;
  while (end > begin && IsBlankOrControl(text[end - 1])) --end;
  return std::string(text.substr(begin, end - begin));
}

void AppendListItem(std::string& list, std::string_view item) {
  list.append(item);
  list.push_back(';');
}

std::string StripBrand(std::string_view text, std::string_view brand) {
  if (brand.empty()) return std::string(text);
  std::string result = ReplaceIgnoringCase(text, Join({brand, " "}), "");
  const std::string plain_brand = ReplaceIgnoringCase(brand, "é", "e");
  return ReplaceIgnoringCase(result, Join({plain_brand, " "}), "");
}

namespace {

// ";A;B;" -> "label of A, label of B", with lookup(upper-cased code) giving the label.
template <typename Lookup>
std::string ExpandCodes(std::string_view code_list, const Lookup& lookup) {
  if (code_list.empty()) return {};
  std::string working(code_list);
  std::string token;
  for (const char c : code_list) {
    if (c != ';') {
      token.push_back(c);
      continue;
    }
    if (!token.empty()) {
      const std::string label = lookup(UpperCaseAscii(token));
      working = ReplaceIgnoringCase(working, Join({";", token, ";"}), Join({";", label, ";"}));
    }
    token.clear();
  }
  if (!working.empty() && working.front() == ';') working.erase(0, 1);
  if (!working.empty() && working.back() == ';') working.pop_back();
  std::string result;
  result.reserve(working.size() + working.size() / 4);
  for (const char c : working) {
    if (c == ';')
      result += ", ";
    else
      result.push_back(c);
  }
  return result;
}

}  // namespace

std::string ExpandEquipment(IXMLCursor& cursor, std::string_view code_list) {
  return ExpandCodes(code_list, [&cursor](const std::string& code) {
    const XMLCursorPtr labels = cursor.Select(EquipmentLabelXPath(code));
    return labels && !labels->Eof() ? labels->GetValue(kEquipmentLabelField) : std::string();
  });
}

EquipmentLabels::EquipmentLabels(IXMLCursor& document) {
  const XMLCursorPtr records = document.Select(kEquipmentLabelsXPath);
  for (; records && !records->Eof(); records->Next()) {
    const std::string label = records->GetValue(kEquipmentLabelField);
    const XMLCursorPtr codes = records->Select(kEquipmentCodeField);
    for (; codes && !codes->Eof(); codes->Next()) labels_.emplace(codes->GetValue("."), label);
  }
}

const std::string* EquipmentLabels::Find(const std::string& code) const {
  auto it = labels_.find(code);
  return it == labels_.end() ? nullptr : &it->second;
}

std::string ExpandEquipment(const EquipmentLabels& labels, std::string_view code_list) {
  return ExpandCodes(code_list, [&labels](const std::string& code) {
    const std::string* label = labels.Find(code);
    return label ? *label : std::string();
  });
}

std::string ExpandExtraWithWarranty(const EquipmentLabels& labels, std::string_view extra_list,
                                    std::string_view warranty) {
  std::string list(extra_list);
  if (!warranty.empty() && list.find(";Gar;") == std::string::npos)
    list += list.ends_with(';') ? "Gar;" : ";Gar;";
  return ReplaceIgnoringCase(ExpandEquipment(labels, list), "Sous Garantie",
                             Join({"Garantie : ", warranty}));
}

std::string HasEquipment(std::string_view list, std::string_view code,
                         const EquipmentAnswers& answers) {
  if (list.empty()) return {};
  const std::string needle = Join({";", code, ";"});
  return std::string(list.find(needle) != std::string_view::npos ? answers.yes : answers.no);
}

std::string BodyTypeCode(std::string_view text) {
  static constexpr std::pair<std::string_view, std::string_view> kRows[] = {
      {"BERLINE", "11100"}, {"BREAK", "11200"},     {"MONOSPACE", "11300"}, {"4X4", "11400"},
      {"PICK UP", "11400"}, {"CABRIOLET", "11500"}, {"COUPE", "11500"},     {"SOCIETE", "11200"},
  };
  std::string normalised = ReplaceIgnoringCase(text, "é", "e");
  normalised = UpperCaseAscii(ReplaceIgnoringCase(normalised, "è", "e"));
  for (const auto& [word, code] : kRows)
    if (normalised == word) return std::string(code);
  return "11100";
}

std::string StripMonths(std::string_view text) {
  return TrimBlanks(ReplaceIgnoringCase(text, "MOIS", ""));
}

std::string DoorCount(std::string_view text) {
  std::string result(text);
  for (std::string_view word : {"hayon", "avec", "portes", "p"})
    result = TrimBlanks(ReplaceIgnoringCase(result, word, ""));
  return result;
}

std::string ReplaceSpans(std::string_view text, std::string_view opening, std::string_view closing,
                         std::string_view replacement) {
  if (opening.empty() || closing.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t copied = 0;
  while (true) {
    const size_t open_at = text.find(opening, copied);
    if (open_at == std::string_view::npos) break;
    const size_t close_at = text.find(closing, open_at + opening.size());
    if (close_at == std::string_view::npos) break;
    out.append(text.substr(copied, open_at - copied));
    out.append(replacement);
    copied = close_at + closing.size();
  }
  out.append(text.substr(copied));
  return out;
}

}  // namespace kalvex
