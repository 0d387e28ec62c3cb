#include "platform/unicode_case.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "platform/platform_texts.h"

namespace kalvex {

std::string UpperCaseAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

char32_t UpperCaseCodePoint(char32_t c) {
  if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}

std::string UpperCaseUnicode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  int32_t length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    int32_t start = i;
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) {
      out.append(text.substr(start, i - start));
      continue;
    }
    const auto upper = static_cast<UChar32>(UpperCaseCodePoint(static_cast<char32_t>(c)));
    if (c < 0x80) {
      out.push_back(static_cast<char>(upper));
      continue;
    }
    uint8_t buf[U8_MAX_LENGTH];
    int32_t n = 0;
    UBool error = false;
    U8_APPEND(buf, n, U8_MAX_LENGTH, upper, error);
    if (error) {
      out.append(text.substr(start, i - start));
    } else {
      out.append(reinterpret_cast<const char*>(buf), n);
    }
  }
  return out;
}

size_t CodePointCount(std::string_view text) {
  size_t count = 0;
  for (char c : text)
    if (!IsContinuationByte(c)) ++count;
  return count;
}

size_t ByteOfCodePoint(std::string_view text, size_t n) {
  size_t seen = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    if (IsContinuationByte(text[at])) continue;
    if (seen == n) return at;
    ++seen;
  }
  return text.size();
}

std::string ShortenedText(const std::string& text, size_t limit) {
  const size_t characters = CodePointCount(text);
  if (characters <= limit) return text;
  return platform_text::Shortened(text.substr(0, ByteOfCodePoint(text, limit)), characters);
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return UpperCaseUnicode(a) == UpperCaseUnicode(b);
}

}  // namespace kalvex
