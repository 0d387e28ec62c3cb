// The services an export run works with beside its context: the photo service, the
// portal upload and the FTP link that takes the servers' settings (passive mode, TLS,
// the image-server check). The application gives the FTP ones; a missing one is a
// photo service error, a failed connection, or settings that go nowhere.
#pragma once

namespace kalvex {

class FtpLink;
class PhotoService;
class PortalUpload;

struct ExportServices {
  PhotoService* photos = nullptr;
  PortalUpload* upload = nullptr;
  FtpLink* ftp = nullptr;
};

}  // namespace kalvex
