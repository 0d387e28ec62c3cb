// The two FTP sessions and the operations the exporters use: IdFTP1 reaches the image
// server (listing once per process, photo uploads), IdFTP2 the portal drop (upload of
// the export file with progress in the transfer label). Each session asks its own
// FtpEndpointSource for its server; everything shown goes through one FtpEvents.
//
// Connection failures never end a run: ImageOnServer answers "not on the server",
// SendImage answers false and SendExportFile gives its failure text. Only a failed name
// listing of the image server is raised (FtpError) and ends the run. An image server
// given up (time-out or unknown name, or transfers that stalled several times in a row,
// see FtpSession) is not tried again in the process: checks answer "not on the server"
// and uploads fail at once.
//
// The bound set with SetDeadline (the run's deadline) is never taken for an FTP failure:
// the DeadlineExceeded of a session goes through every operation here and ends the run.
// When it cuts the portal upload, the file on the drop is deleted where the server
// still answers within kCleanUpAllowance.
//
// Status texts of both sessions are status lines (IdFTP1Status, IdFTP2Status). Time-outs
// of both sessions are those of FtpTimeouts unless set with SetTimeouts. Each server a
// session tries to reach is noted (FtpEvents::NoteServer) for the run report.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ftp/ftp_endpoint.h"
#include "ftp/ftp_events.h"
#include "ftp/ftp_session.h"
#include "ftp/ftp_texts.h"
#include "ftp/name_listing.h"
#include "ftp/operation_bound.h"

namespace kalvex {

// The part of path after its last "/" or ":"; the whole path when it holds neither.
// A "\" is not a separator here.
std::string RemoteFileName(std::string_view path);

// The file name part of a local path in the tool's "\" form: the text after its last
// "\" or ":". A "/" is not a separator here, so a photo name such as "2024/p1.jpg" keeps
// its sub-folder on the image server, where its public address points.
std::string LocalFileName(std::string_view path);

// True when a relative path (a photo name) stays inside the folder it is joined to,
// on the local side and on the image server alike: it does not start with a separator,
// and no ".." among its parts ("/", "\" and ":" all separate parts here, since one of
// the two sides reads each of them so) climbs above where it starts. Control characters
// are refused too. "2024/p1.jpg" and "a/../p1.jpg" stay inside; "../p1.jpg",
// "..\p1.jpg" and "a/../../p1.jpg" do not.
bool StaysInsideFolder(std::string_view relative_path);

class FtpTransfer {
 public:
  static constexpr const char* kTransferOk = ftp_text::kTransferOk;
  static constexpr const char* kConnectionFailed = ftp_text::kConnectionFailed;
  static constexpr const char* kTransferFailed = ftp_text::kTransferFailed;

  // The sources and the events outlive the transfer.
  FtpTransfer(const FtpEndpointSource& image_server, const FtpEndpointSource& portal_drop,
              FtpEvents& events);
  ~FtpTransfer();
  FtpTransfer(const FtpTransfer&) = delete;
  FtpTransfer& operator=(const FtpTransfer&) = delete;

  // Whether ImageOnServer asks the image server ([portal] TestFTPPixtrove); off until set.
  void SetImageServerCheck(bool on) { image_server_check_ = on; }
  bool ImageServerCheck() const { return image_server_check_; }
  // The portal code the connection label of SendExportFile names.
  void SetPortalCode(std::string code) { portal_code_ = std::move(code); }
  // The bound of every operation of both sessions (the run's deadline); none unless set.
  void SetDeadline(const OperationBound* deadline);

  // Whether a photo file name is on the image server. True for any name when the
  // image-server check is off (no connection then). The first successful connection
  // logs "Lecture du répertoire FTP Pixtrove" and lists the folder once per process;
  // later calls look the name up in that listing, ignoring letter case. A failed
  // connection answers false and is retried at the next call. Throws FtpError when the
  // listing itself fails (refused, too long, too slow); no listing is kept then.
  bool ImageOnServer(const std::string& name);

  // Uploads a local file ("\" form path) to the image server folder under its own file
  // name; true when the server took it whole. Never throws: a failure (no connection, a
  // server given up, a refusal, a time-out) gives false. A name that would leave the
  // image folder is not sent (false).
  bool SendImage(const std::string& local_path);

  // Uploads the export file ("\" form path) to the portal drop under its own file name;
  // result is kTransferOk, kConnectionFailed or kTransferFailed. Never throws. The file
  // is stored under its name + kPartialUploadSuffix and renamed (RNFR/RNTO) once
  // complete, so that a cut transfer never leaves part of a file under the final name;
  // a server that refuses the rename gets the file under its final name directly. A
  // status line says which happened.
  void SendExportFile(const std::string& local_path, std::string& result);
  static constexpr const char* kPartialUploadSuffix = ".part";
  // How long the portal drop may take to delete a temporary upload that the deadline
  // cut.
  static constexpr std::chrono::milliseconds kCleanUpAllowance{10000};

  // Session events. Status texts become status lines. WorkBegin sets the progress
  // maximum; Work shows "Transfert en cours : " + percent + "%" in the transfer label
  // whenever the whole percentage (rounded, a half to the even neighbour) differs from
  // the last one shown, which starts at 0 and is never reset, then lets window events
  // run. SendExportFile sets the maximum to the file's size first (-1: no such file).
  void IdFTP1Status(const std::string& text);
  void IdFTP2Status(const std::string& text);
  void IdFTP2WorkBegin(int64_t total);
  void IdFTP2Work(int64_t count);
  int32_t ProgressMax() const { return progress_max_; }
  int32_t LastShownPercentage() const { return last_shown_percentage_; }

  void SetTimeouts(const FtpTimeouts& timeouts);
  FtpSession& IdFTP1() { return id_ftp1_; }
  FtpSession& IdFTP2() { return id_ftp2_; }
  // Names on the image server, made once per process at the first successful connection
  // and complete listing; none until then.
  const std::optional<NameListing>& ImageServerListing() const { return image_server_listing_; }
  void SetImageServerListing(NameListing listing) { image_server_listing_ = std::move(listing); }

 private:
  // Connects the session when it is not connected and changes into its source's folder
  // when not empty. False when the connection or the login failed; a failed change of
  // folder leaves the session connected in its login folder and also gives false.
  bool ConnectOnDemand(FtpSession& session, const std::string& label1_text);
  // The run report's entry of the session's server: role, host, port and login name
  // (never the password), and whether the login worked.
  void NoteServer(const FtpSession& session, bool connected);
  // Stores the file on the portal drop under its final name through the temporary
  // name; false when it could not be delivered.
  bool Deliver(const std::string& native_path, const std::string& remote_name);
  void DeleteQuietly(const std::string& remote_name);
  // After the deadline cut the upload of remote_name: deletes it when the server still
  // answers within kCleanUpAllowance.
  void RemoveAfterDeadline(const std::string& remote_name);

  FtpEvents& events_;
  FtpSession id_ftp1_;
  FtpSession id_ftp2_;
  const OperationBound* deadline_ = nullptr;
  bool image_server_check_ = false;
  std::string portal_code_;
  int32_t progress_max_ = 0;
  int32_t last_shown_percentage_ = 0;  // never reset
  std::optional<NameListing> image_server_listing_;
};

}  // namespace kalvex
