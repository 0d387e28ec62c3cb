// How an FTP session reaches its server: active or passive data connections, plain FTP
// or explicit TLS (AUTH TLS), and which certificates it trusts. Set from the keys
// `Passif` and `TLS` of the server's section of Kalvex.ini; the defaults keep plain
// FTP in active mode.
//
// With TLS on, the control connection is encrypted before the login and every data
// connection is encrypted too (PROT P): a server that refuses either ends the operation
// like a failed connection, and the user name and password are never sent in clear.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kalvex {

enum class TlsMode {
  kOff,         // "0": plain FTP
  kVerified,    // "1": TLS, the server's certificate checked (chain and host name)
  kUnverified,  // "2": TLS, any certificate accepted (a self-signed dealer server)
};

struct FtpSecurity {
  // Passive mode (EPSV, then PASV when the server does not know EPSV) instead of
  // active mode (the client offers a port, the server connects to it).
  bool passive = false;
  TlsMode tls = TlsMode::kOff;
  // Certificates trusted with TlsMode::kVerified (PEM file, native path); empty: the
  // system's store.
  std::string ca_file;

  bool operator==(const FtpSecurity&) const = default;
};

// The mode a `TLS` value names: "0", "1" or "2". Nothing for any other text.
std::optional<TlsMode> TlsModeFromSetting(std::string_view value);

// The error text for a `TLS` value that names no mode, naming section, key and value.
std::string InvalidTlsSettingMessage(std::string_view section, std::string_view value);

}  // namespace kalvex
