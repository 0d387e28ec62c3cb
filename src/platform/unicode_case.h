// Letter-case operations on UTF-8 text. "Ignoring case" throughout the tool means
// comparing by the Unicode simple upper-case mapping, so "É" matches "é". Also the
// counting of UTF-8 text in characters (code points).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kalvex {

// True for a UTF-8 continuation byte (10xxxxxx): a byte that starts no code point.
constexpr bool IsContinuationByte(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The code points of UTF-8 text: its bytes that are not continuation bytes (a stray
// continuation byte counts for nothing).
size_t CodePointCount(std::string_view text);

// The byte offset at which code point n (from 0) starts, counted as CodePointCount
// counts: the n+1-th byte that is not a continuation byte; the text's size when the text
// has n code points or fewer.
size_t ByteOfCodePoint(std::string_view text, size_t n);

// The text itself up to `limit` characters; a longer text is cut after `limit`
// characters and followed by " … (" + its length in characters + " caractères)".
std::string ShortenedText(const std::string& text, size_t limit);

// Only the letters a to z become A to Z; every other byte stays as it is.
std::string UpperCaseAscii(std::string_view text);

// A code point's simple upper-case mapping (ICU); a to z by themselves, without ICU.
char32_t UpperCaseCodePoint(char32_t c);

// Every code point replaced by its simple upper-case mapping (ICU). Invalid UTF-8
// bytes are kept unchanged.
std::string UpperCaseUnicode(std::string_view text);

// True when both texts are equal after UpperCaseUnicode.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace kalvex
