// The operating system's own character-set converter (POSIX: iconv), for the code that
// must give the bytes that libxml2 gives when it converts through that converter. The
// tool's own conversions use the ICU converters of platform/code_page.h.
#pragma once

#include <string>
#include <string_view>

namespace kalvex::platform {

// Converts `in` from the character set `from` to `to` (names as the system knows them)
// with a fresh converter. False when the system has no such converter or refuses a byte
// of `in` (an undefined or incomplete character); `out` is then left as it was.
bool SystemConvert(const char* to, const char* from, std::string_view in, std::string* out);

}  // namespace kalvex::platform
