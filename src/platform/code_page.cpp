#include "platform/code_page.h"

#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/ucnv.h>
#include <unicode/uniset.h>
#include <unicode/utf8.h>

#include <memory>
#include <vector>

#include "platform/error.h"
#include "platform/platform_texts.h"

namespace kalvex {

namespace {

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter Open(const char* code_page) {
  UErrorCode status = U_ZERO_ERROR;
  Converter c(ucnv_open(code_page, &status));
  if (U_FAILURE(status) || !c) throw Error(platform_text::UnknownCodePage(code_page));
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
  if (U_FAILURE(status)) throw Error(platform_text::CannotConvertFrom(code_page));
  out.resize(static_cast<size_t>(n));
  return out;
}

namespace {

// UTF-16 text in the converter's code page, each character it lacks written as
// `substitute`, in at most `capacity` bytes.
std::string FromUChars(UConverter* converter, const char* code_page, const UChar* wide,
                       int32_t length, char substitute, size_t capacity) {
  UErrorCode status = U_ZERO_ERROR;
  char sub[1] = {substitute};
  ucnv_setSubstChars(converter, sub, 1, &status);
  std::string out(capacity, '\0');
  const int32_t n = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), wide,
                                    length, &status);
  if (U_FAILURE(status)) throw Error(platform_text::CannotConvertTo(code_page));
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace

std::string FromUtf8(std::string_view text, const char* code_page, char substitute) {
  if (text.empty()) return std::string();
  Converter c = Open(code_page);
  UErrorCode status = U_ZERO_ERROR;
  // UTF-8 to UTF-16, then to the code page.
  std::vector<UChar> wide(text.size() + 1);
  Converter utf8 = Open("UTF-8");
  int32_t wn = ucnv_toUChars(utf8.get(), wide.data(), static_cast<int32_t>(wide.size()),
                             text.data(), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) throw Error(platform_text::CannotConvertTo(code_page));
  return FromUChars(c.get(), code_page, wide.data(), wn, substitute,
                    static_cast<size_t>(wn) * 4 + 4);
}

namespace {

// The text with every run of characters that `held` lacks replaced by replace(run).
template <typename Replace>
icu::UnicodeString ReplaceLackingRuns(const icu::UnicodeString& text, const icu::UnicodeSet& held,
                                      Replace replace) {
  icu::UnicodeString result;
  int32_t start = 0;
  while (start < text.length()) {
    const int32_t lacking = held.span(text, start, USET_SPAN_CONTAINED);
    result.append(text, start, lacking - start);
    if (lacking >= text.length()) break;
    start = held.span(text, lacking, USET_SPAN_NOT_CONTAINED);
    result.append(replace(icu::UnicodeString(text, lacking, start - lacking)));
  }
  return result;
}

// Transliterates runs of characters that a code page lacks; the ICU transliterators are
// made on the first such run only.
class NearestForms {
 public:
  NearestForms(const icu::UnicodeSet& held, const char* code_page)
      : held_(held), code_page_(code_page) {}

  // The run as the code page can hold it.
  icu::UnicodeString Of(const icu::UnicodeString& run) {
    icu::UnicodeString text = run;
    Get(any_latin_, "Any-Latin").transliterate(text);
    return ReplaceLackingRuns(text, held_, [this](icu::UnicodeString lacking) {
      Get(latin_ascii_, "Latin-ASCII").transliterate(lacking);
      icu::UnicodeString held;
      for (int32_t i = 0; i < lacking.length(); i = lacking.moveIndex32(i, 1)) {
        const UChar32 c = lacking.char32At(i);
        held.append(held_.contains(c) ? c : static_cast<UChar32>('?'));
      }
      return held;
    });
  }

 private:
  icu::Transliterator& Get(std::unique_ptr<icu::Transliterator>& made, const char* id) {
    if (!made) {
      UErrorCode status = U_ZERO_ERROR;
      made.reset(
          icu::Transliterator::createInstance(icu::UnicodeString(id), UTRANS_FORWARD, status));
      if (U_FAILURE(status) || !made) throw Error(platform_text::CannotTransliterateTo(code_page_));
    }
    return *made;
  }

  const icu::UnicodeSet& held_;
  const char* code_page_;
  std::unique_ptr<icu::Transliterator> any_latin_;
  std::unique_ptr<icu::Transliterator> latin_ascii_;
};

}  // namespace

std::string FromUtf8Transliterating(std::string_view text, const char* code_page) {
  if (text.empty()) return std::string();
  Converter converter = Open(code_page);
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
  icu::UnicodeString wide = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  if (U_SUCCESS(status)) wide = nfc->normalize(wide, status);
  icu::UnicodeSet held;
  ucnv_getUnicodeSet(converter.get(), held.toUSet(), UCNV_ROUNDTRIP_SET, &status);
  if (U_FAILURE(status)) throw Error(platform_text::CannotConvertTo(code_page));
  held.freeze();

  if (!held.containsAll(wide)) {
    NearestForms nearest(held, code_page);
    wide = ReplaceLackingRuns(wide, held,
                              [&](const icu::UnicodeString& run) { return nearest.Of(run); });
  }

  return FromUChars(converter.get(), code_page, wide.getBuffer(), wide.length(), '?',
                    static_cast<size_t>(wide.length()) *
                        static_cast<size_t>(ucnv_getMaxCharSize(converter.get())));
}

std::string Utf8OrWindows1252(std::string_view bytes) {
  if (IsValidUtf8(bytes)) return std::string(bytes);
  return ToUtf8(bytes, "windows-1252");
}

}  // namespace kalvex
