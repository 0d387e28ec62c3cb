#include "exports/photo_sync.h"

#include "platform/platform.h"

namespace kalvex {

namespace {

void ShowImage(RunContext& context, const std::string& path) {
  context.window.SetText(WindowField::kLabel1,
                         "Image " + std::to_string(context.state.photo_counter) + " : " + path);
}

// A file present locally and missing on the image server: counted, logged and shown.
void CountUpdate(RunContext& context, const std::string& file, const std::string& path) {
  const std::string counter = std::to_string(++context.state.update_counter);
  context.WriteLog("Update " + counter + " : " + file);
  context.window.SetText(WindowField::kLabel2, "Update " + counter + " : " + path);
}

// A file present locally and missing on the image server, sent: shown while it goes,
// counted and logged "Update n : file" once the server has it. One that did not reach
// the server (refused, failed, server given up) is logged "Pb Envoi : file" and listed
// in the run report instead.
void SendMissing(RunContext& context, FtpTransfer& ftp, const std::string& path) {
  RunState& state = context.state;
  const std::string file = LocalFileName(path);
  context.window.SetText(WindowField::kLabel2,
                         "Update " + std::to_string(state.update_counter + 1) + " : " + path);
  if (ftp.SendImage(path)) {
    context.WriteLog("Update " + std::to_string(++state.update_counter) + " : " + file);
  } else {
    context.WriteLog("Pb Envoi : " + file);
    state.report.photos_not_sent.push_back(file);
  }
}

// One file of SyncPhoto: uploaded when it is here and not on the server, reported when
// it is on neither side. A file the server holds needs nothing whether or not it is here
// (with the check off the server holds every name), so the photo folder is only looked
// at for a file the server lacks. Only a regular file is a photo: a FIFO or a device
// would hang the upload.
void SyncFile(RunContext& context, FtpTransfer& ftp, const std::string& path,
              const std::string& server_name) {
  if (ftp.ImageOnServer(server_name)) return;
  if (!platform::RegularFileExists(path)) {
    context.WriteLog("Pb Existence : " + server_name);
    return;
  }
  SendMissing(context, ftp, path);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string ThumbnailName(std::string_view path) {
  static constexpr std::string_view kJpg = ".jpg";
  // The folder part stays as it is: "/srv/pics.jpg.d" is the photo folder of the
  // thumbnail too.
  const size_t slash = path.find_last_of("\\/");
  size_t i = slash == std::string_view::npos ? 0 : slash + 1;
  std::string result(path.substr(0, i));
  result.reserve(path.size() + 4);
  while (i < path.size()) {
    bool match = i + kJpg.size() <= path.size();
    for (size_t k = 0; match && k < kJpg.size(); ++k) match = LowerAscii(path[i + k]) == kJpg[k];
    if (match) {
      result += "m.jpg";
      i += kJpg.size();
    } else {
      result += path[i++];
    }
  }
  return result;
}

void SyncPhoto(RunContext& context, FtpTransfer& ftp, const std::string& name) {
  std::string path = context.state.photo_folder + "\\" + name;
  ShowImage(context, path);
  if (!StaysInsideFolder(name)) {
    // A name that leads out of the photo folder (or the image folder) is neither read
    // nor sent: it is reported as a photo that is not there.
    context.WriteLog("Pb Existence : " + name);
    context.WriteLog("Pb Existence : " + ThumbnailName(name));
    return;
  }
  SyncFile(context, ftp, path, name);
  path = ThumbnailName(path);
  ShowImage(context, path);
  SyncFile(context, ftp, path, LocalFileName(path));
}

void StagePhotoForAutoScout24(RunContext& context, FtpTransfer& ftp,
                              const std::string& staging_folder, int32_t index,
                              const std::string& name, const std::string& vehicle_id) {
  RunState& state = context.state;
  auto make_staging_folder = [&] {
    if (platform::DirectoryExists(staging_folder)) return false;
    return platform::ForceDirectories(staging_folder);
  };
  // The run removed the staging folder before its first photo, which makes it again.
  // Later photos look for it only when a copy into it fails (it was removed meanwhile):
  // a stock has 200,000 photos, and most of them are there or all of them are missing.
  if (state.photo_counter == 0) make_staging_folder();

  std::string file = RemoteFileName(name);
  std::string source = state.photo_folder + "\\" + file;
  const std::string target =
      staging_folder + "\\" + vehicle_id + "_" + std::to_string(index) + ".jpg";
  // A name that leads out of the photo folder is not read: a photo that is not there.
  const bool present = StaysInsideFolder(file) && platform::RegularFileExists(source);
  // A failed copy is not an error here. The copy is packed at once and made again by the
  // next run: it need not reach the disk before it is renamed into place.
  auto copy = [&] {
    return platform::CopyFileOverwrite(source, target, platform::Flush::kNotNeeded);
  };
  if (present && !copy() && make_staging_folder()) copy();

  ++state.photo_counter;
  ShowImage(context, source);
  if (present) {
    if (!ftp.ImageOnServer(file)) CountUpdate(context, file, source);
  } else {
    context.WriteLog("Pb Existence : " + file);
  }

  file = RemoteFileName(ThumbnailName(name));
  source = state.photo_folder + "\\" + file;
  if (!StaysInsideFolder(file) || !platform::RegularFileExists(source)) {
    context.WriteLog("Pb Existence : " + file);
    return;
  }
  if (ftp.ImageOnServer(file)) return;
  CountUpdate(context, file, source);
}

}  // namespace kalvex
