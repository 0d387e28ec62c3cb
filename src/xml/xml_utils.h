// The file utility the exporters reach directly.
#pragma once

#include <string>

namespace kalvex {

// Writes the bytes of text to the file unchanged (no byte-order mark, no conversion),
// replacing any earlier file and creating its missing folders first. The file appears
// whole or not at all (written beside it, then renamed). Never fails towards the
// caller: a caller that must know checks for the file afterwards.
void WriteAnsiStringToFile(const std::string& text, const std::string& file_name);

}  // namespace kalvex
