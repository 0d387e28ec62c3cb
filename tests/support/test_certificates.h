// Certificates for the TLS tests, made once per test process with the openssl command
// in a temporary folder: a test certificate authority, a server certificate for
// 127.0.0.1 signed by it, one signed by it for another address, and a self-signed one
// for 127.0.0.1. Keys are P-256, valid for two days. Paths are native.
#pragma once

#include <string>

namespace kalvex::testing {

struct CertificateAndKey {
  std::string certificate;
  std::string key;
};

struct TestCertificates {
  std::string ca;                   // the test authority's certificate
  CertificateAndKey server;         // signed by the test authority, IP 127.0.0.1
  CertificateAndKey other_address;  // signed by the test authority, IP 127.0.0.2 only
  CertificateAndKey self_signed;    // IP 127.0.0.1, signed by itself
};

// Made at the first call; throws std::runtime_error when openssl fails.
const TestCertificates& Certificates();

}  // namespace kalvex::testing
