// The SHA-256 digest of a file (POSIX: OpenSSL's libcrypto, EVP; Windows: CNG, BCrypt).
#pragma once

#include <cstdint>
#include <string>

namespace kalvex::platform {

// Reads the regular file at native_path (links followed) and gives its SHA-256 in
// lower-case hex and its size in bytes. False when the file cannot be read, digest and
// size then untouched.
bool FileSha256(const std::string& native_path, std::string& digest, int64_t& size);

}  // namespace kalvex::platform
