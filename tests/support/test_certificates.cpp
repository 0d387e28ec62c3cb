#include "test_certificates.h"

#include <memory>
#include <stdexcept>

#include "test_support.h"

namespace kalvex::testing {

namespace {

void Run(const std::string& command) {
  int status = -1;
  const std::string output = CommandOutput(command + " 2>&1", &status);
  if (status != 0) throw std::runtime_error("openssl failed: " + command + "\n" + output);
}

const char* const kNewKey = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2";

// A key and a certificate for the address, signed by the test authority in folder.
CertificateAndKey SignedFor(const std::string& folder, const std::string& name,
                            const std::string& address) {
  const std::string base = folder + "/" + name;
  WriteFile(base + ".ext", "subjectAltName=IP:" + address +
                               "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
  Run("openssl req " + std::string(kNewKey) + " -keyout " + ShellQuoted(base + ".key") + " -out " +
      ShellQuoted(base + ".csr") + " -subj '/CN=Kalvex test server'");
  Run("openssl x509 -req -days 2 -in " + ShellQuoted(base + ".csr") + " -CA " +
      ShellQuoted(folder + "/ca.pem") + " -CAkey " + ShellQuoted(folder + "/ca.key") +
      " -CAcreateserial -extfile " + ShellQuoted(base + ".ext") + " -out " +
      ShellQuoted(base + ".pem"));
  return {base + ".pem", base + ".key"};
}

}  // namespace

const TestCertificates& Certificates() {
  // The folder goes when the process ends.
  static const TempDir folder;
  static const TestCertificates certificates = [] {
    const std::string dir = folder.path();
    TestCertificates made;
    Run("openssl req -x509 " + std::string(kNewKey) + " -keyout " + ShellQuoted(dir + "/ca.key") +
        " -out " + ShellQuoted(dir + "/ca.pem") + " -subj '/CN=Kalvex test CA'");
    made.ca = dir + "/ca.pem";
    made.server = SignedFor(dir, "server", "127.0.0.1");
    made.other_address = SignedFor(dir, "other", "127.0.0.2");
    Run("openssl req -x509 " + std::string(kNewKey) + " -keyout " + ShellQuoted(dir + "/self.key") +
        " -out " + ShellQuoted(dir + "/self.pem") +
        " -subj '/CN=127.0.0.1' -addext subjectAltName=IP:127.0.0.1");
    made.self_signed = {dir + "/self.pem", dir + "/self.key"};
    return made;
  }();
  return certificates;
}

}  // namespace kalvex::testing
