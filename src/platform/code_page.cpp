#include "platform/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/utf8.h>

#include <memory>
#include <vector>

#include "platform/error.h"

namespace kalvex {

namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter Open(const char* code_page) {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open(code_page, &status));
  if (U_FAILURE(status) || !c) throw Error(std::string("Unknown code page: ") + code_page);
  return c;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  int32_t length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  while (i < length) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) return false;
  }
  return true;
}

std::string ToUtf8(std::string_view bytes, const char* code_page) {
  if (bytes.empty()) return std::string();
  Open(code_page);  // names an unknown code page clearly
  std::string out(bytes.size() * 3 + 4, '\0');
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_convert("UTF-8", code_page, out.data(), static_cast<int32_t>(out.size()),
                           bytes.data(), static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) throw Error(std::string("Cannot convert text from ") + code_page);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string FromUtf8(std::string_view text, const char* code_page, char substitute) {
  if (text.empty()) return std::string();
  Converter c = Open(code_page);
  UErrorCode status = U_ZERO_ERROR;
  char sub[1] = {substitute};
  ucnv_setSubstChars(c.get(), sub, 1, &status);
  // UTF-8 to UTF-16, then to the code page.
  std::vector<UChar> wide(text.size() + 1);
  Converter utf8 = Open("UTF-8");
  int32_t wn = ucnv_toUChars(utf8.get(), wide.data(), static_cast<int32_t>(wide.size()),
                             text.data(), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw Error(std::string("Cannot convert text to ") + code_page);
  std::string out(static_cast<size_t>(wn) * 4 + 4, '\0');
  int32_t n = ucnv_fromUChars(c.get(), out.data(), static_cast<int32_t>(out.size()), wide.data(),
                              wn, &status);
  if (U_FAILURE(status)) throw Error(std::string("Cannot convert text to ") + code_page);
  out.resize(static_cast<size_t>(n));
  return out;
}

std::string Utf8OrWindows1252(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return ToUtf8(bytes, "windows-1252");
}

}  // namespace kalvex
