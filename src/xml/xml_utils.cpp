#include "xml/xml_utils.h"

#include <cstdio>

#include "platform/platform.h"

namespace kalvex {

void WriteAnsiStringToFile(const std::string& text, const std::string& file_name) {
  size_t slash = file_name.find_last_of("\\/");
  if (slash != std::string::npos && slash > 0) {
    std::string folder = file_name.substr(0, slash);
    if (!platform::DirectoryExists(folder) && !platform::ForceDirectories(folder)) return;
  }
  std::FILE* f = std::fopen(platform::NativePath(file_name).c_str(), "wb");
  if (!f) return;
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

}  // namespace kalvex
