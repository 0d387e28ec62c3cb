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

FtpTransfer::FtpTransfer(const FtpEndpointSource& image_server,
                         const FtpEndpointSource& portal_drop, FtpEvents& events)
    : events_(events),
      id_ftp1_("IdFTP1", image_server, events),
      id_ftp2_("IdFTP2", portal_drop, events) {
  id_ftp1_.SetStatusHandler([this](const std::string& text) { IdFTP1Status(text); });
  id_ftp2_.SetStatusHandler([this](const std::string& text) { IdFTP2Status(text); });
  id_ftp2_.SetWorkHandlers([this](int64_t total) { IdFTP2WorkBegin(total); },
                           [this](int64_t count) { IdFTP2Work(count); });
}

FtpTransfer::~FtpTransfer() = default;

void FtpTransfer::SetDeadline(const OperationBound* deadline) {
  deadline_ = deadline;
  id_ftp1_.SetDeadline(deadline);
  id_ftp2_.SetDeadline(deadline);
}

void FtpTransfer::SetTimeouts(const FtpTimeouts& timeouts) {
  id_ftp1_.SetTimeouts(timeouts);
  id_ftp2_.SetTimeouts(timeouts);
}

void FtpTransfer::IdFTP1Status(const std::string& text) { events_.ShowStatus(text); }
void FtpTransfer::IdFTP2Status(const std::string& text) { events_.ShowStatus(text); }

void FtpTransfer::IdFTP2WorkBegin(int64_t total) {
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  progress_max_ = static_cast<int32_t>(total > kMax ? kMax : (total < -1 ? -1 : total));
}

void FtpTransfer::IdFTP2Work(int64_t count) {
  if (progress_max_ == 0) return;
  // Rounded to nearest, a half to the even neighbour (the default rounding mode).
  double percent = std::nearbyint(static_cast<double>(count) * 100.0 / progress_max_);
  int32_t shown = static_cast<int32_t>(percent);
  if (shown == last_shown_percentage_) return;
  last_shown_percentage_ = shown;
  events_.SetLabelText(FtpLabel::kTransfer, ftp_text::TransferProgress(shown));
  events_.LetEventsRun();
}

bool FtpTransfer::ConnectOnDemand(FtpSession& session, const std::string& label1_text) {
  if (session.Connected()) return true;
  events_.SetLabelText(FtpLabel::kConnection, label1_text);
  NoteServer(session, false);
  try {
    session.Connect();
  } catch (const DeadlineExceeded&) {
    throw;
  } catch (const Error&) {
    return false;
  }
  NoteServer(session, true);
  const std::string folder = session.Source().Endpoint().folder;
  if (folder.empty()) return true;
  try {
    session.ChangeDir(folder);
  } catch (const DeadlineExceeded&) {
    throw;
  } catch (const Error&) {
    // Logged in but not in the folder: the session stays where it logged in.
    return false;
  }
  return true;
}

void FtpTransfer::NoteServer(const FtpSession& session, bool connected) {
  const FtpEndpointSettings settings = session.Source().Endpoint();
  const FtpEndpoint endpoint = ParseFtpHost(settings.host);
  events_.NoteServer({&session == &id_ftp1_ ? "images" : "portail", endpoint.host, endpoint.port,
                      settings.user, connected});
}

bool FtpTransfer::ImageOnServer(const std::string& name) {
  if (!image_server_check_) return true;
  if (!image_server_listing_) {
    // A server found unreachable is not tried again: nothing is on it.
    if (id_ftp1_.Unreachable()) return false;
    const std::string label =
        events_.LabelText(FtpLabel::kConnection) + ftp_text::kOnConnection + " " + name;
    if (!ConnectOnDemand(id_ftp1_, label)) return false;
    events_.WriteLog(ftp_text::kReadingImageFolder);
    // Kept only once complete: a cut listing would make present photos look missing.
    image_server_listing_ = NameListing::FromLines(id_ftp1_.ListNames());
  }
  return image_server_listing_->Contains(name);
}

bool FtpTransfer::SendImage(const std::string& local_path) {
  if (id_ftp1_.Unreachable() || !StaysInsideFolder(LocalFileName(local_path))) return false;
  try {
    const std::string label = events_.LabelText(FtpLabel::kConnection) + ftp_text::kOnConnection;
    if (!ConnectOnDemand(id_ftp1_, label)) return false;
    events_.SetLabelText(FtpLabel::kTransfer,
                         events_.LabelText(FtpLabel::kTransfer) + ftp_text::kOnTransfer);
    id_ftp1_.Put(platform::NativePath(local_path), LocalFileName(local_path));
    return true;
  } catch (const DeadlineExceeded&) {
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
    progress_max_ = platform::FindFileSize(local_path);
    const std::string label = ftp_text::PortalConnectionLabel(portal_code_);
    if (!ConnectOnDemand(id_ftp2_, label)) result = kConnectionFailed;
  } catch (const DeadlineExceeded&) {
    throw;
  } catch (const std::exception&) {
    result = kConnectionFailed;
  }
  if (result.empty()) {
    try {
      events_.SetLabelText(FtpLabel::kTransfer,
                           events_.LabelText(FtpLabel::kTransfer) + ftp_text::kOnTransfer);
      if (!Deliver(platform::NativePath(local_path), LocalFileName(local_path)))
        result = kTransferFailed;
    } catch (const DeadlineExceeded&) {
      throw;
    } catch (const std::exception&) {
      result = kTransferFailed;
    }
  }
  if (result.empty()) result = kTransferOk;
}

bool FtpTransfer::Deliver(const std::string& native_path, const std::string& remote_name) {
  // The file never shows under its final name before it is complete: it goes under a
  // temporary name beside it and is renamed once the transfer has ended well.
  const std::string partial = PartialUploadName(remote_name);
  try {
    id_ftp2_.Put(native_path, partial);
  } catch (const FtpError& error) {
    // What arrived stays under the temporary name, which no portal imports; it goes
    // when the server still listens (a file held short is gone already).
    if (error.stage() != FtpError::Stage::kStoredShort && id_ftp2_.Connected())
      DeleteQuietly(partial);
    return false;
  } catch (const DeadlineExceeded&) {
    RemoveAfterDeadline(partial);
    throw;
  }
  try {
    id_ftp2_.Rename(partial, remote_name);
    events_.ShowStatus(ftp_text::UploadedThenRenamed(partial, remote_name));
    return true;
  } catch (const FtpError& error) {
    if (error.stage() != FtpError::Stage::kRename) return false;
  } catch (const DeadlineExceeded&) {
    RemoveAfterDeadline(partial);
    throw;
  }
  // A server that does not rename gets the file under its final name directly.
  events_.ShowStatus(ftp_text::RenameRefused(partial, remote_name));
  DeleteQuietly(partial);
  try {
    id_ftp2_.Put(native_path, remote_name);
  } catch (const FtpError&) {
    return false;
  } catch (const DeadlineExceeded&) {
    // Part of a file under the final name must not stay for the portal to import.
    RemoveAfterDeadline(remote_name);
    throw;
  }
  return true;
}

void FtpTransfer::RemoveAfterDeadline(const std::string& remote_name) {
  // The time is over: the server gets a short allowance of its own, and the session is
  // bound by the deadline again whatever happens.
  if (deadline_ == nullptr) return;  // only a deadline cuts an upload this way
  AllowanceBound allowance(*deadline_, kCleanUpAllowance);
  id_ftp2_.SetDeadline(&allowance);
  struct Restore {
    FtpSession& session;
    const OperationBound* deadline;
    ~Restore() { session.SetDeadline(deadline); }
  } restore{id_ftp2_, deadline_};
  try {
    if (id_ftp2_.Connected()) DeleteQuietly(remote_name);
  } catch (const DeadlineExceeded&) {
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
