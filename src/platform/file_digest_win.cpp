// Windows side of file_digest.h: SHA-256 through the system's CNG (BCrypt), which every
// Windows has; no cryptographic library to build and ship.
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include <vector>

#include "platform/file_digest.h"
#include "platform/platform.h"

namespace kalvex::platform {

namespace {

// Owns a CNG algorithm provider and a hash object of it.
class Sha256 {
 public:
  Sha256() {
    if (!BCRYPT_SUCCESS(
            ::BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      algorithm_ = nullptr;
      return;
    }
    if (!BCRYPT_SUCCESS(::BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0)))
      hash_ = nullptr;
  }
  ~Sha256() {
    if (hash_) ::BCryptDestroyHash(hash_);
    if (algorithm_) ::BCryptCloseAlgorithmProvider(algorithm_, 0);
  }
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  bool ok() const { return hash_ != nullptr; }
  bool Update(const char* data, size_t size) {
    return BCRYPT_SUCCESS(::BCryptHashData(hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(data)),
                                           static_cast<ULONG>(size), 0));
  }
  bool Finish(unsigned char (&digest)[32]) {
    return BCRYPT_SUCCESS(::BCryptFinishHash(hash_, digest, sizeof digest, 0));
  }

 private:
  BCRYPT_ALG_HANDLE algorithm_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
};

}  // namespace

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
