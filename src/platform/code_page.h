// Conversions between the tool's UTF-8 texts and 8-bit code pages (ICU converters).
#pragma once

#include <string>
#include <string_view>

namespace kalvex {

bool IsValidUtf8(std::string_view text);

// 8-bit text in the named code page ("windows-1252", "ISO-8859-15") to UTF-8.
std::string ToUtf8(std::string_view bytes, const char* code_page);

// UTF-8 to the named 8-bit code page. A character the code page cannot hold becomes
// `substitute` (default "?"), as the system's own ANSI conversion does.
std::string FromUtf8(std::string_view text, const char* code_page, char substitute = '?');

// UTF-8 to the named 8-bit code page for a file that must keep every word readable:
// text is first composed (NFC), then every run of characters the code page lacks is
// transliterated to its nearest Latin form (ICU "Any-Latin", then "Latin-ASCII" for what
// the code page still lacks), and only a character without any such form becomes "?".
// "Škoda" stays as it is in Windows-1252; "Łódź" becomes "Lódz".
std::string FromUtf8Transliterating(std::string_view text, const char* code_page);

// Text read from a file that may be UTF-8 or Windows-1252: UTF-8 kept, anything else
// read as Windows-1252.
std::string Utf8OrWindows1252(std::string_view bytes);

}  // namespace kalvex
