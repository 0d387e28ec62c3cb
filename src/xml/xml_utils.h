// Two file utilities the exporters reach directly.
#pragma once

#include <cstdint>
#include <string>

namespace kalvex {

// Writes the bytes of text to the file unchanged (no byte-order mark, no conversion),
// replacing any earlier file and creating its missing folders first. Never fails
// towards the caller: a caller that must know checks for the file afterwards.
void WriteAnsiStringToFile(const std::string& text, const std::string& file_name);

// Size in bytes of the first file matching file_name (wildcards allowed), or -1 when
// none matches or the search fails. Sizes of 2 GiB and more do not fit and give -1.
int32_t FindFileSize(const std::string& file_name);

}  // namespace kalvex
