// What the frame asks of the portal drop: send the export file ("\" form path) under its
// own file name. The result text is FtpTransfer::kTransferOk, kConnectionFailed or
// kTransferFailed; a failure never throws (only the run's deadline ends the run).
#pragma once

#include <string>

namespace kalvex {

class PortalUpload {
 public:
  virtual ~PortalUpload() = default;
  virtual std::string Send(const std::string& local_path) = 0;
};

}  // namespace kalvex
