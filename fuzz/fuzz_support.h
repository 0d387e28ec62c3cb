// What the fuzz targets share: the input as bytes, cut into fields, and a scratch file
// for the readers that take a path.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace kalvex::fuzz {

inline std::string Bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// The input cut at every byte 0x01: a way for one input to carry several texts.
inline std::vector<std::string> Fields(std::string_view input, size_t wanted) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (fields.size() + 1 < wanted) {
    const size_t cut = input.find('\x01', start);
    if (cut == std::string_view::npos) break;
    fields.emplace_back(input.substr(start, cut - start));
    start = cut + 1;
  }
  fields.emplace_back(input.substr(std::min(start, input.size())));
  while (fields.size() < wanted) fields.emplace_back();
  return fields;
}

// One file per process, rewritten for every input (in TMPDIR, else /tmp).
class ScratchFile {
 public:
  explicit ScratchFile(const char* suffix) {
    const char* dir = std::getenv("TMPDIR");
    path_ = std::string(dir && *dir ? dir : "/tmp") + "/kalvex-fuzz-" + std::to_string(::getpid()) +
            suffix;
  }
  ~ScratchFile() { std::remove(path_.c_str()); }
  const std::string& Write(std::string_view bytes) {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size())
      std::abort();
    std::fclose(f);
    return path_;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kalvex::fuzz
