// The text rewrite of a serialised document: an exporter's table of steps applied in
// order, each to the whole text the steps before it left.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exports/vehicle_document.h"

namespace kalvex {

struct TextRewrite {
  enum class Kind {
    kIgnoringCase,  // every occurrence of `from`, compared ignoring case, becomes `to`
    kExactCase,     // every occurrence of `from`, letter case respected, becomes `to`
    kSpans,         // every span from `from` through the next `closing` becomes `to`
  };
  Kind kind;
  std::string from;
  std::string to;
  std::string closing;  // kSpans only
};

inline TextRewrite IgnoringCase(std::string from, std::string to) {
  return {TextRewrite::Kind::kIgnoringCase, std::move(from), std::move(to), {}};
}
inline TextRewrite ExactCase(std::string from, std::string to) {
  return {TextRewrite::Kind::kExactCase, std::move(from), std::move(to), {}};
}
inline TextRewrite Spans(std::string opening, std::string closing, std::string to) {
  return {TextRewrite::Kind::kSpans, std::move(opening), std::move(to), std::move(closing)};
}

// Applies the steps in order. Consecutive kIgnoringCase steps go through
// ReplaceAllIgnoringCase together, with the result of applying them one by one.
std::string ApplyRewrites(std::string text, std::span<const TextRewrite> steps);

// The declaration that the cursor's text starts with, and the one the 8-bit portal
// files are written with.
inline constexpr char kPlainDeclaration[] = "<?xml version=\"1.0\"?>";
inline constexpr char kIso885915Declaration[] = "<?xml version=\"1.0\" encoding=\"ISO-8859-15\" ?>";

// The closing steps of the XML portal files built from the vehicle record set: the
// record-set start tag becomes "<" + root + ">", its end tag "</" + root + ">", each
// vehicle record is renamed `record`, the document wrapper goes and the declaration
// becomes kIso885915Declaration.
std::vector<TextRewrite> VehicleRecordSetAsRoot(std::string_view root, std::string_view record);

// The steps that turn the six photo slots of each vehicle into one `list` element of
// `item` elements, tags compared ignoring case: each slot's end tag closes an item (the
// sixth also the list), the first slot's start tag opens the list and an item, the other
// start tags open an item, and the items of empty slots are removed. Expects the six
// slots together and in order, each written with a start and an end tag.
std::vector<TextRewrite> PhotoSlotsAsList(const PhotoSlots& slots, std::string_view list,
                                          std::string_view item);

// Text as a double-quoted attribute value: "&", "<", ">" and '"' as entity references,
// tab, line feed and carriage return as character references, so that it reads back
// unchanged.
std::string EscapeXmlAttribute(std::string_view text);

// Appends the steps of `more` to `steps`.
void Append(std::vector<TextRewrite>& steps, std::vector<TextRewrite> more);

}  // namespace kalvex
