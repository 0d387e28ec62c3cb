#include "ftp/photo_sync.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "ftp/ftp_transfer.h"
#include "platform/error.h"
#include "platform/platform.h"

namespace kalvex {

namespace {

FtpTransfer& Ftp(RunContext& context) {
  if (context.ftp == nullptr) throw Error("FTP : les sessions FTP ne sont pas créées");
  return *context.ftp;
}

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

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

std::string ThumbnailName(std::string_view path) {
  static constexpr std::string_view kJpg = ".jpg";
  std::string result;
  result.reserve(path.size() + 4);
  size_t i = 0;
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

void SyncPhoto(RunContext& context, const std::string& name) {
  FtpTransfer& ftp = Ftp(context);
  std::string path = context.state.photo_folder + "\\" + name;
  ShowImage(context, path);
  if (!StaysInsideFolder(name)) {
    // A name that leads out of the photo folder (or the image folder) is neither read
    // nor sent: it is reported as a photo that is not there.
    context.WriteLog("Pb Existence : " + name);
    context.WriteLog("Pb Existence : " + ThumbnailName(name));
    return;
  }
  // Only a regular file is a photo: a FIFO or a device would hang the upload.
  bool local = platform::RegularFileExists(path);
  bool server = ftp.ImageOnServer(name);
  if (!local && !server) context.WriteLog("Pb Existence : " + name);
  if (local && !server) {
    CountUpdate(context, LocalFileName(path), path);
    ftp.SendImage(path);
  }

  path = ThumbnailName(path);
  ShowImage(context, path);
  const std::string file = LocalFileName(path);
  local = platform::RegularFileExists(path);
  server = ftp.ImageOnServer(file);
  if (!local && !server) context.WriteLog("Pb Existence : " + file);
  if (local && !server) {
    CountUpdate(context, file, path);
    ftp.SendImage(path);
  }
}

void StagePhotoForAutoScout24(RunContext& context, int32_t index, const std::string& name,
                              const std::string& vehicle_id) {
  FtpTransfer& ftp = Ftp(context);
  RunState& state = context.state;
  if (!platform::DirectoryExists(state.staging_folder))
    platform::ForceDirectories(state.staging_folder);

  std::string file = RemoteFileName(name);
  std::string source = state.photo_folder + "\\" + file;
  const std::string target =
      state.staging_folder + "\\" + vehicle_id + "_" + std::to_string(index) + ".jpg";
  // A name that leads out of the photo folder is not read: a photo that is not there.
  const bool inside = StaysInsideFolder(file);
  // A failed copy is not an error here. The copy is packed at once and made again by the
  // next run: it need not reach the disk before it is renamed into place.
  if (inside) platform::CopyFileOverwrite(source, target, platform::Flush::kNotNeeded);

  ++state.photo_counter;
  ShowImage(context, source);
  if (inside && platform::RegularFileExists(source)) {
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

namespace {

namespace fs = std::filesystem;

void EmptyAndRemove(const fs::path& folder) {
  std::error_code ec;
  // A folder that is not writable cannot lose its entries.
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ec);
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    entries.push_back(it->path());
  for (const fs::path& entry : entries) {
    fs::file_status status = fs::symlink_status(entry, ec);
    if (ec) continue;
    if (fs::is_directory(status)) {
      EmptyAndRemove(entry);
      continue;
    }
    // Files, and links of any kind: the link goes, never what it points to.
    if (!fs::is_symlink(status) &&
        (status.permissions() & fs::perms::owner_write) == fs::perms::none)
      fs::permissions(entry, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove(entry, ec);
  }
  fs::remove(folder, ec);
}

}  // namespace

void DeleteFolderTree(const std::string& folder) {
  const fs::path root(platform::NativePath(folder));
  std::error_code ec;
  fs::file_status status = fs::symlink_status(root, ec);
  if (ec || !fs::exists(status)) return;
  if (fs::is_symlink(status) || !fs::is_directory(status)) {
    // Not a folder of ours to empty: a link to a folder is removed, not followed.
    if (fs::is_symlink(status)) fs::remove(root, ec);
    return;
  }
  EmptyAndRemove(root);
}

}  // namespace kalvex
