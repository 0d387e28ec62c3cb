// Photo synchronisation: every photo an ad links to, and its thumbnail, must be on the
// image server, which the FTP transfer reaches. Paths are in the tool's "\" form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "exports/photo_service.h"
#include "ftp/ftp_transfer.h"
#include "runcontrol/run_context.h"

namespace kalvex {

// The thumbnail of a photo path or name: every ".jpg" of the file name, found ignoring
// letter case, becomes "m.jpg" (P1.JPG gives P1m.jpg); the folder part, up to the last
// "\" or "/", stays as it is.
std::string ThumbnailName(std::string_view path);

// Checks the photo (photo folder + "\" + name) and its thumbnail against the photo
// folder and the image server; uploads whichever exists locally but is missing on the
// server, and once the server has it counts and logs it ("Update n : file"); one that
// does not reach the server is logged "Pb Envoi : file" and listed in the run report's
// photos_not_sent, uncounted. Logs "Pb Existence : file" for one that is missing on both
// sides. Only regular files count as present. A name that would lead out of the photo
// folder or the image folder (StaysInsideFolder) is neither read nor sent: photo and
// thumbnail are logged "Pb Existence : " + their names.
void SyncPhoto(RunContext& context, FtpTransfer& ftp, const std::string& name);

// AutoScout24: copies the photo to staging_folder + "\" + vehicle_id + "_" + index +
// ".jpg" (the folder is made again when it is missing), counts it, and checks photo and thumbnail
// as SyncPhoto does, without uploading anything. A file name that would lead out of the photo
// folder is neither copied nor checked: it is reported as missing.
void StagePhotoForAutoScout24(RunContext& context, FtpTransfer& ftp,
                              const std::string& staging_folder, int32_t index,
                              const std::string& name, const std::string& vehicle_id);

// The photo service of a run: SyncPhoto and StagePhotoForAutoScout24 on its context
// and the FTP transfer.
class FtpPhotoService : public PhotoService {
 public:
  FtpPhotoService(RunContext& context, FtpTransfer& ftp) : context_(context), ftp_(ftp) {}
  void Sync(const std::string& photo_name) override { SyncPhoto(context_, ftp_, photo_name); }
  void Stage(const std::string& staging_folder, int32_t index, const std::string& photo_name,
             const std::string& vehicle_id) override {
    StagePhotoForAutoScout24(context_, ftp_, staging_folder, index, photo_name, vehicle_id);
  }

 private:
  RunContext& context_;
  FtpTransfer& ftp_;
};

}  // namespace kalvex
