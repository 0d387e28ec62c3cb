// Windows side of sha256.h: the system's CNG (BCrypt), which every Windows has; no
// cryptographic library to build and ship.
#include <windows.h>
// windows.h first: bcrypt.h needs its types.
#include <bcrypt.h>

#include "platform/sha256.h"

namespace kalvex::platform {

// Owns a CNG algorithm provider and a hash object of it.
struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~State() {
    if (hash) ::BCryptDestroyHash(hash);
    if (algorithm) ::BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (!BCRYPT_SUCCESS(
          ::BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
    state_->algorithm = nullptr;
    return;
  }
  if (!BCRYPT_SUCCESS(
          ::BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0)))
    state_->hash = nullptr;
}

Sha256::~Sha256() = default;

bool Sha256::ok() const { return state_->hash != nullptr; }

bool Sha256::Update(const char* data, size_t size) {
  return ok() && BCRYPT_SUCCESS(::BCryptHashData(state_->hash,
                                                 reinterpret_cast<PUCHAR>(const_cast<char*>(data)),
                                                 static_cast<ULONG>(size), 0));
}

bool Sha256::Finish(unsigned char (&digest)[32]) {
  return ok() && BCRYPT_SUCCESS(::BCryptFinishHash(state_->hash, digest, sizeof digest, 0));
}

}  // namespace kalvex::platform
