// SHA-256 through the system's own implementation (POSIX: OpenSSL's libcrypto, EVP;
// Windows: CNG, BCrypt), for file_digest.cpp (platform layer only).
#pragma once

#include <cstddef>
#include <memory>

namespace kalvex::platform {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;
  // False when the system could not start a digest; the other calls then fail too.
  bool ok() const;
  bool Update(const char* data, size_t size);
  bool Finish(unsigned char (&digest)[32]);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kalvex::platform
