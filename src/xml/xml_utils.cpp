#include "xml/xml_utils.h"

#include <glob.h>
#include <sys/stat.h>

#include <cstdio>
#include <limits>

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

int32_t FindFileSize(const std::string& file_name) {
  const std::string pattern = platform::NativePath(file_name);
  glob_t g{};
  int rc = ::glob(pattern.c_str(), GLOB_NOSORT, nullptr, &g);
  int32_t result = -1;
  if (rc == 0 && g.gl_pathc > 0) {
    struct stat st;
    if (::stat(g.gl_pathv[0], &st) == 0 &&
        st.st_size <= static_cast<off_t>(std::numeric_limits<int32_t>::max()))
      result = static_cast<int32_t>(st.st_size);
  }
  ::globfree(&g);
  return result;
}

}  // namespace kalvex
