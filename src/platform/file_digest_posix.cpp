// POSIX side of sha256.h: OpenSSL's libcrypto (EVP).
#include <openssl/evp.h>

#include "platform/sha256.h"

namespace kalvex::platform {

struct Sha256::State {
  struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
  };
  std::unique_ptr<EVP_MD_CTX, ContextFree> context{EVP_MD_CTX_new()};
  bool ok = context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) == 1;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {}

Sha256::~Sha256() = default;

bool Sha256::ok() const { return state_->ok; }

bool Sha256::Update(const char* data, size_t size) {
  return state_->ok && EVP_DigestUpdate(state_->context.get(), data, size) == 1;
}

bool Sha256::Finish(unsigned char (&digest)[32]) {
  unsigned int length = 0;
  return state_->ok && EVP_DigestFinal_ex(state_->context.get(), digest, &length) == 1 &&
         length == sizeof digest;
}

}  // namespace kalvex::platform
