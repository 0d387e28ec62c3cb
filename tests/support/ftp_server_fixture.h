// FTP servers for tests, all on 127.0.0.1: a real one (ftp_server.py over Debian's
// pyftpdlib, run with /usr/bin/python3) with its own user, home folder and injected
// faults. A listener that never answers and a closed port are in test_system.h.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "test_system.h"

namespace kalvex::testing {

struct FtpServerOptions {
  std::string user = "pixuser";
  std::string password = "Pw-7rZq!k2";
  std::vector<std::string> folders;  // created below the home folder before start
  bool refuse_login = false;         // 530 to every PASS
  bool echo_password = false;        // 530 to every PASS, quoting the password
  bool refuse_cwd = false;           // 550 to every CWD
  bool fail_nlst = false;            // 550 to every NLST
  bool refuse_stor = false;          // 553 to every STOR
  bool stall_stor = false;           // 150 to every STOR, then silence; data never read
  bool stall_stor_reply = false;     // every STOR stored, but its 226 never comes
  long trickle_stor = 0;             // > 0: every STOR read at about this many bytes/s
  bool full_stor = false;            // 552 to every STOR
  long long_reply = 0;               // > 1: the 552 of full_stor spans this many lines
  bool endless_nlst = false;         // NLST sends names for ever, about 10 KB/s
  long huge_nlst_names = 0;          // > 0: NLST sends this many made-up names...
  long huge_nlst_length = 8;         // ...of this many characters
  bool closed_pasv = false;          // EPSV and PASV name a port where nothing listens
  bool refuse_rename = false;        // 550 to every RNFR
  long die_after_bytes = 0;          // > 0: the server dies once a STOR received that much
  long short_stor = 0;  // > 0: a STOR keeps only that many bytes, answered 226 all the same
  // > 0: a STOR that received that much is read no more and never answered (the server
  // still answers other connections).
  long fault_stall_stor_after_bytes = 0;
  // Both set: explicit TLS with this certificate and key (PEM), required before the
  // login and on every data connection.
  std::string tls_certificate;
  std::string tls_key;
};

class FtpTestServer {
 public:
  // Starts the server and waits until it listens; throws std::runtime_error otherwise.
  explicit FtpTestServer(FtpServerOptions options = {});
  ~FtpTestServer();
  FtpTestServer(const FtpTestServer&) = delete;
  FtpTestServer& operator=(const FtpTestServer&) = delete;

  // Stops the server (SIGTERM) and waits for it; connections it held are closed.
  void Stop();

  int port() const { return port_; }
  // "127.0.0.1:" + port, as the host edit field carries it.
  std::string HostField() const;
  const FtpServerOptions& options() const { return options_; }
  // Native path of the user's home folder.
  std::string Home() const { return files_.path() + "/home"; }
  // Every command received so far, one per entry ("NLST", "STOR p1.jpg"); PASS
  // without its argument.
  std::vector<std::string> Commands() const;
  // How many received commands begin with the verb.
  int CountCommand(const std::string& verb) const;

 private:
  FtpServerOptions options_;
  TempDir files_;
  std::unique_ptr<Process> server_;
  int port_ = 0;
};

}  // namespace kalvex::testing
