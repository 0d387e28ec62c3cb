#include "platform/file_digest.h"

#include <openssl/evp.h>

#include <memory>
#include <vector>

#include "platform/platform.h"

namespace kalvex::platform {

namespace {

struct ContextFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

bool FileSha256(const std::string& native_path, std::string& digest, int64_t& size) {
  RegularFileReader file(native_path);
  if (!file.ok()) return false;
  std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return false;
  std::vector<char> buffer(1 << 16);
  int64_t total = 0;
  for (;;) {
    const long n = file.Read(buffer.data(), buffer.size());
    if (n < 0) return false;
    if (n == 0) break;
    if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(n)) != 1) return false;
    total += n;
  }
  unsigned char bytes[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), bytes, &length) != 1) return false;
  static constexpr char kHex[] = "0123456789abcdef";
  digest.clear();
  for (unsigned int i = 0; i < length; ++i) {
    digest += kHex[bytes[i] >> 4];
    digest += kHex[bytes[i] & 0x0F];
  }
  size = total;
  return true;
}

}  // namespace kalvex::platform
