#include "platform/file_digest.h"

#include <vector>

#include "platform/platform.h"
#include "platform/sha256.h"

namespace kalvex::platform {

bool FileSha256(const std::string& native_path, std::string& digest, int64_t& size) {
  RegularFileReader file(native_path);
  if (!file.ok()) return false;
  Sha256 hash;
  if (!hash.ok()) return false;
  std::vector<char> buffer(1 << 16);
  int64_t total = 0;
  for (;;) {
    const long n = file.Read(buffer.data(), buffer.size());
    if (n < 0) return false;
    if (n == 0) break;
    if (!hash.Update(buffer.data(), static_cast<size_t>(n))) return false;
    total += n;
  }
  unsigned char bytes[32];
  if (!hash.Finish(bytes)) return false;
  static constexpr char kHex[] = "0123456789abcdef";
  digest.clear();
  for (unsigned char byte : bytes) {
    digest += kHex[byte >> 4];
    digest += kHex[byte & 0x0F];
  }
  size = total;
  return true;
}

}  // namespace kalvex::platform
