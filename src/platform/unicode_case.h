// Letter-case operations on UTF-8 text. "Ignoring case" throughout the tool means
// comparing by the Unicode simple upper-case mapping, so "É" matches "é".
#pragma once

#include <string>
#include <string_view>

namespace kalvex {

// Only the letters a to z become A to Z; every other byte stays as it is.
std::string UpperCaseAscii(std::string_view text);

// Every code point replaced by its simple upper-case mapping (ICU). Invalid UTF-8
// bytes are kept unchanged.
std::string UpperCaseUnicode(std::string_view text);

// True when both texts are equal after UpperCaseUnicode.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kalvex
