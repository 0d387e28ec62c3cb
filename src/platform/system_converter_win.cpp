// Windows side of system_converter.h: the system's code pages (MultiByteToWideChar and
// WideCharToMultiByte through UTF-16). A character set is named as iconv names it; the
// empty name is the system's ANSI code page (GetACP), as it is the locale's on POSIX.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/system_converter.h"

namespace kalvex::platform {

namespace {

// The code page of a character-set name; 0 when the system has none of that name.
UINT CodePageOf(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (name.empty()) return ::GetACP();
  struct Known {
    const char* name;
    UINT code_page;
  };
  static constexpr Known kKnown[] = {
      {"UTF-8", CP_UTF8},    {"UTF8", CP_UTF8},     {"US-ASCII", 20127},    {"ASCII", 20127},
      {"ISO-8859-1", 28591}, {"LATIN1", 28591},     {"ISO-8859-2", 28592},  {"ISO-8859-5", 28595},
      {"ISO-8859-7", 28597}, {"ISO-8859-9", 28599}, {"ISO-8859-15", 28605}, {"LATIN-9", 28605},
      {"MACINTOSH", 10000},  {"KOI8-R", 20866},     {"SHIFT_JIS", 932},
  };
  for (const Known& known : kKnown)
    if (name == known.name) return known.code_page;
  for (const char* prefix : {"WINDOWS-", "CP", "IBM"}) {
    const size_t length = std::char_traits<char>::length(prefix);
    if (name.size() > length && name.compare(0, length, prefix) == 0 &&
        name.find_first_not_of("0123456789", length) == std::string::npos) {
      const UINT code_page = static_cast<UINT>(std::strtoul(name.c_str() + length, nullptr, 10));
      CPINFO info;
      return ::GetCPInfo(code_page, &info) ? code_page : 0;
    }
  }
  return 0;
}

bool ToWide(UINT code_page, std::string_view in, std::wstring* wide) {
  if (in.empty()) return true;
  const int size = static_cast<int>(in.size());
  const int n = ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  return ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, in.data(), size, wide->data(), n) ==
         n;
}

bool FromWide(UINT code_page, const std::wstring& wide, std::string* out) {
  if (wide.empty()) return true;
  const int size = static_cast<int>(wide.size());
  // A character the code page lacks is refused, never replaced by a look-alike.
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL defaulted = FALSE;
  BOOL* used_default = utf8 ? nullptr : &defaulted;
  const int n =
      ::WideCharToMultiByte(code_page, flags, wide.data(), size, nullptr, 0, nullptr, used_default);
  if (n <= 0 || defaulted) return false;
  out->resize(static_cast<size_t>(n));
  return ::WideCharToMultiByte(code_page, flags, wide.data(), size, out->data(), n, nullptr,
                               used_default) == n &&
         !defaulted;
}

}  // namespace

bool SystemConvert(const char* to, const char* from, std::string_view in, std::string* out) {
  const UINT to_page = CodePageOf(to);
  const UINT from_page = CodePageOf(from);
  if (to_page == 0 || from_page == 0) return false;
  std::wstring wide;
  std::string converted;
  if (!ToWide(from_page, in, &wide) || !FromWide(to_page, wide, &converted)) return false;
  *out = std::move(converted);
  return true;
}

}  // namespace kalvex::platform
