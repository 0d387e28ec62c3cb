#include "ftp/ftp_transfer.h"

#include <cmath>
#include <limits>

#include "platform/platform.h"

namespace kalvex {

std::string RemoteFileName(std::string_view path) {
  size_t cut = path.find_last_of("/:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string LocalFileName(std::string_view path) {
  size_t cut = path.find_last_of("\\:");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

bool StaysInsideFolder(std::string_view relative_path) {
  if (relative_path.empty()) return true;
  const char first = relative_path.front();
  if (first == '/' || first == '\\') return false;
  int depth = 0;
  size_t start = 0;
  while (start <= relative_path.size()) {
    size_t end = relative_path.find_first_of("/\\:", start);
    if (end == std::string_view::npos) end = relative_path.size();
    const std::string_view part = relative_path.substr(start, end - start);
    for (char c : part)
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    if (part == "..") {
      if (--depth < 0) return false;
    } else if (!part.empty() && part != ".") {
      ++depth;
    }
    start = end + 1;
  }
  return true;
}

FtpTransfer::FtpTransfer(RunState& state, WindowModel& window, RunLog& log)
    : state_(state),
      window_(window),
      log_(log),
      id_ftp1_("IdFTP1", window,
               {WindowField::kParamServeurPixtrove, WindowField::kParamUserPixtrove,
                WindowField::kParamPasswordPixtrove, WindowField::kParamRepertPixtrove}),
      id_ftp2_("IdFTP2", window,
               {WindowField::kParamServeur, WindowField::kParamUser, WindowField::kParamPassword,
                WindowField::kParamRepert}) {
  id_ftp1_.SetStatusHandler([this](const std::string& text) { IdFTP1Status(text); });
  id_ftp2_.SetStatusHandler([this](const std::string& text) { IdFTP2Status(text); });
  id_ftp2_.SetWorkHandlers([this](int64_t total) { IdFTP2WorkBegin(total); },
                           [this](int64_t count) { IdFTP2Work(count); });
  id_ftp1_.SetDeadline(&state_.deadline);
  id_ftp2_.SetDeadline(&state_.deadline);
}

FtpTransfer::~FtpTransfer() = default;

void FtpTransfer::SetTimeouts(const FtpTimeouts& timeouts) {
  id_ftp1_.SetTimeouts(timeouts);
  id_ftp2_.SetTimeouts(timeouts);
}

void FtpTransfer::IdFTP1Status(const std::string& text) { window_.AddMemoLine(text); }
void FtpTransfer::IdFTP2Status(const std::string& text) { window_.AddMemoLine(text); }

void FtpTransfer::IdFTP2WorkBegin(int64_t total) {
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  state_.progress_max = static_cast<int32_t>(total > kMax ? kMax : (total < -1 ? -1 : total));
}

void FtpTransfer::IdFTP2Work(int64_t count) {
  if (state_.progress_max == 0) return;
  // Rounded to nearest, a half to the even neighbour (the default rounding mode).
  double percent = std::nearbyint(static_cast<double>(count) * 100.0 / state_.progress_max);
  int32_t shown = static_cast<int32_t>(percent);
  if (shown == state_.last_shown_percentage) return;
  state_.last_shown_percentage = shown;
  window_.SetText(WindowField::kLabel2, ftp_text::TransferProgress(shown));
  window_.ProcessPendingEvents();
}

bool FtpTransfer::ConnectOnDemand(FtpSession& session, WindowField folder_field,
                                  const std::string& label1_text) {
  if (session.Connected()) return true;
  window_.SetText(WindowField::kLabel1, label1_text);
  NoteServer(session, false);
  try {
    session.Connect();
  } catch (const RunDeadlineExceeded&) {
    throw;
  } catch (const Error&) {
    return false;
  }
  NoteServer(session, true);
  const std::string folder = window_.Text(folder_field);
  if (folder.empty()) return true;
  try {
    session.ChangeDir(folder);
  } catch (const RunDeadlineExceeded&) {
    throw;
  } catch (const Error&) {
    // Logged in but not in the folder: the session stays where it logged in.
    return false;
  }
  return true;
}

void FtpTransfer::NoteServer(const FtpSession& session, bool connected) {
  const bool images = &session == &id_ftp1_;
  const FtpEndpoint endpoint = ParseFtpHost(
      window_.Text(images ? WindowField::kParamServeurPixtrove : WindowField::kParamServeur));
  state_.report.NoteServer(
      {images ? "images" : "portail", endpoint.host, endpoint.port,
       window_.Text(images ? WindowField::kParamUserPixtrove : WindowField::kParamUser),
       connected});
}

bool FtpTransfer::ImageOnServer(const std::string& name) {
  if (!state_.image_server_check) return true;
  if (!image_server_listing_) {
    // A server found unreachable is not tried again: nothing is on it.
    if (id_ftp1_.Unreachable()) return false;
    const std::string label =
        window_.Text(WindowField::kLabel1) + ftp_text::kOnConnection + " " + name;
    if (!ConnectOnDemand(id_ftp1_, WindowField::kParamRepertPixtrove, label)) return false;
    log_.WriteLog(ftp_text::kReadingImageFolder);
    // Kept only once complete: a cut listing would make present photos look missing.
    image_server_listing_ = NameListing::FromLines(id_ftp1_.ListNames());
  }
  return image_server_listing_->Contains(name);
}

bool FtpTransfer::SendImage(const std::string& local_path) {
  if (id_ftp1_.Unreachable() || !StaysInsideFolder(LocalFileName(local_path))) return false;
  try {
    const std::string label = window_.Text(WindowField::kLabel1) + ftp_text::kOnConnection;
    if (!ConnectOnDemand(id_ftp1_, WindowField::kParamRepertPixtrove, label)) return false;
    window_.SetText(WindowField::kLabel2,
                    window_.Text(WindowField::kLabel2) + ftp_text::kOnTransfer);
    id_ftp1_.Put(platform::NativePath(local_path), LocalFileName(local_path));
    return true;
  } catch (const RunDeadlineExceeded&) {
    throw;
  } catch (const std::exception&) {
    // The session's status lines in the memo say why; the caller logs the photo.
    return false;
  }
}

namespace {

std::string PartialUploadName(const std::string& remote_name) {
  return remote_name + FtpTransfer::kPartialUploadSuffix;
}

}  // namespace

void FtpTransfer::SendExportFile(const std::string& local_path, std::string& result) {
  result.clear();
  try {
    state_.progress_max = platform::FindFileSize(local_path);
    const std::string label = ftp_text::PortalConnectionLabel(state_.selected_portal);
    if (!ConnectOnDemand(id_ftp2_, WindowField::kParamRepert, label)) result = kConnectionFailed;
  } catch (const RunDeadlineExceeded&) {
    throw;
  } catch (const std::exception&) {
    result = kConnectionFailed;
  }
  if (result.empty()) {
    try {
      window_.SetText(WindowField::kLabel2,
                      window_.Text(WindowField::kLabel2) + ftp_text::kOnTransfer);
      if (!Deliver(platform::NativePath(local_path), LocalFileName(local_path)))
        result = kTransferFailed;
    } catch (const RunDeadlineExceeded&) {
      throw;
    } catch (const std::exception&) {
      result = kTransferFailed;
    }
  }
  if (result.empty()) result = kTransferOk;
  if (result != kTransferOk) state_.portal_upload_failed = true;
}

bool FtpTransfer::Deliver(const std::string& native_path, const std::string& remote_name) {
  // The file never shows under its final name before it is complete: it goes under a
  // temporary name beside it and is renamed once the transfer has ended well.
  const std::string partial = PartialUploadName(remote_name);
  try {
    id_ftp2_.Put(native_path, partial);
  } catch (const FtpError&) {
    // What arrived stays under the temporary name, which no portal imports; it goes
    // when the server still listens.
    if (id_ftp2_.Connected()) DeleteQuietly(partial);
    return false;
  } catch (const RunDeadlineExceeded&) {
    RemoveAfterDeadline(partial);
    throw;
  }
  try {
    id_ftp2_.Rename(partial, remote_name);
    window_.AddMemoLine(ftp_text::UploadedThenRenamed(partial, remote_name));
    return true;
  } catch (const FtpError& error) {
    if (error.stage() != FtpError::Stage::kRename) return false;
  } catch (const RunDeadlineExceeded&) {
    RemoveAfterDeadline(partial);
    throw;
  }
  // A server that does not rename gets the file under its final name directly.
  window_.AddMemoLine(ftp_text::RenameRefused(partial, remote_name));
  DeleteQuietly(partial);
  try {
    id_ftp2_.Put(native_path, remote_name);
  } catch (const FtpError&) {
    return false;
  } catch (const RunDeadlineExceeded&) {
    // Part of a file under the final name must not stay for the portal to import.
    RemoveAfterDeadline(remote_name);
    throw;
  }
  return true;
}

void FtpTransfer::RemoveAfterDeadline(const std::string& remote_name) {
  // The run's time is over: the server gets a short allowance of its own, and the
  // session is bound by the run's deadline again whatever happens.
  RunDeadline allowance;
  allowance.Start(1, kCleanUpAllowance);
  allowance.EnterStep(state_.deadline.Step());
  id_ftp2_.SetDeadline(&allowance);
  struct Restore {
    FtpSession& session;
    const RunDeadline* deadline;
    ~Restore() { session.SetDeadline(deadline); }
  } restore{id_ftp2_, &state_.deadline};
  try {
    if (id_ftp2_.Connected()) DeleteQuietly(remote_name);
  } catch (const RunDeadlineExceeded&) {
    // The allowance ran out too: what arrived stays under the temporary name.
  }
}

void FtpTransfer::DeleteQuietly(const std::string& remote_name) {
  try {
    id_ftp2_.Delete(remote_name);
  } catch (const FtpError&) {
    // The session's status lines show the refusal; nothing else depends on it.
  }
}

}  // namespace kalvex
