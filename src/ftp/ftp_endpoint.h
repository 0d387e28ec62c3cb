// Where an FTP session connects and how: asked of its FtpEndpointSource at the moment
// the session connects (and, for passive mode and TLS, at every operation), so a session
// always works with the settings the run gave last. The FTP layer does not know where
// they are kept; the application wires them to the status window's edit fields.
#pragma once

#include <string>

#include "ftp/ftp_security.h"

namespace kalvex {

struct FtpEndpointSettings {
  // "host", "host:port", "[v6]" or "[v6]:port", as typed; see ParseFtpHost.
  std::string host;
  std::string user;
  std::string password;
  // Folder to change into once logged in, relative to the login folder; empty: none.
  std::string folder;
};

class FtpEndpointSource {
 public:
  virtual ~FtpEndpointSource() = default;
  virtual FtpEndpointSettings Endpoint() const = 0;
  // Passive mode and TLS of the server.
  virtual FtpSecurity Security() const = 0;
};

}  // namespace kalvex
