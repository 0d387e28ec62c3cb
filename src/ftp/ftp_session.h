// One FTP client session (image server or portal drop) over a libcurl easy handle that
// lives as long as the session, so the control connection opened at the first Connect
// is reused by every later operation and is never closed with QUIT before the process
// ends.
//
// The host, user name and password are asked of the session's FtpEndpointSource at the
// moment of connecting; passive mode and TLS at every operation. The host field is "host",
// "host:port", "[v6]" or
// "[v6]:port"; without a port the port is 21. Data connections are active (PORT/EPRT
// from the address of the control connection) unless the session's FtpSecurity asks for
// passive mode (EPSV, then PASV); files are stored in binary type and names are listed
// (NLST) in ASCII type.
//
// With TLS (FtpSecurity::tls), AUTH TLS comes right after the greeting and the login
// only once the handshake succeeded, so a server that refuses TLS or whose certificate
// fails the check never sees the user name or the password: the connection fails with a
// message that says why. Every data connection is encrypted as well (PROT P). With
// TlsMode::kUnverified one memo line per session warns that the certificate is not
// checked. No proxy is ever used, whatever the
// environment says. The credentials go to libcurl as user name
// and password options, never inside a URL, so they never appear in an error text.
//
// Every state change (resolving, connecting, connected, logged in, changing folder,
// listing, storing, renaming, deleting, server refusals and errors) is reported as one
// readable line to the status handler; the password is never part of it. A password of
// kMaskEverywhereLength characters or more is masked wherever it shows; a shorter one
// only where a server quotes it as a word of its own, so that a one-letter password
// does not blank that letter out of every reply.
//
// While a call waits for the network, the window's pending events run about every
// kEventInterval (250 ms), through the session's FtpEvents. Connected() also notices a server that
// closed the idle control connection, so the next operation connects again.
//
// Time-outs (see FtpTimeouts): a server that cannot be reached, that never answers or
// whose transfer stalls makes the operation fail like any other connection or transfer
// failure instead of blocking the run. Defaults: 30 s to connect and log in, 60 s for
// any server reply, a transfer slower than 1 KiB/s over 60 s, 10 minutes for a whole
// name listing. A name listing longer than kMaxListingBytes or kMaxListingNames ends
// with an error as well.
//
// With a time bound set (SetDeadline: the run's deadline), no operation starts once it
// is over and every operation's total time is capped by what remains of it; an operation
// that it cut, or that would start after it, throws the bound's DeadlineExceeded instead
// of FtpError, and the server is not marked unreachable for it.
//
// A connection attempt that fails by time-out or because the host name cannot be
// resolved marks that server (host and port) unreachable for the rest of the process:
// one status line says so, and every later Connect to it fails at once without a new
// attempt, so a dead server costs one time-out per run, not one per operation. A
// server whose certificate fails the check or that refuses TLS is given up the same
// way (its own status line). A refused connection, which costs nothing, is tried again
// each time. So is a server whose transfers (stores, listings) failed by time-out or
// stall kStalledTransfersToGiveUp times in a row: each such failure costs a whole wait.
//
// A server reply is shown line by line up to kReplyLinesShown lines (then one line says
// how many were left out), each line cut after kReplyLineLimit characters.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ftp/ftp_endpoint.h"
#include "ftp/ftp_events.h"
#include "ftp/ftp_security.h"
#include "ftp/operation_bound.h"
#include "platform/error.h"

namespace kalvex {

namespace platform {
class RegularFileReader;
}  // namespace platform

// A failed FTP operation: libcurl's reason and, when there was one, the server's last
// reply. Never carries the password.
class FtpError : public Error {
 public:
  // kStoredShort: stored, but the server holds fewer (or more) bytes than were sent; the
  // file has been deleted from it already.
  enum class Stage {
    kConnect,
    kLogin,
    kChangeFolder,
    kList,
    kStore,
    kStoredShort,
    kLocalFile,
    kRename,
    kDelete
  };
  FtpError(Stage stage, const std::string& message) : Error(message), stage_(stage) {}
  Stage stage() const { return stage_; }

 private:
  Stage stage_;
};

struct FtpTimeouts {
  // Opening the control connection, greeting and login included.
  std::chrono::milliseconds connect{30000};
  // Longest wait for any single server reply (counted in whole seconds, rounded up),
  // and for the server to open an active data connection.
  std::chrono::milliseconds server_response{60000};
  // A transfer that moves fewer than low_speed_bytes per second, averaged over
  // low_speed_time, is abandoned: 1 KiB/s, which any dealer line exceeds.
  std::chrono::seconds low_speed_time{60};
  long low_speed_bytes = 1024;
  // A whole name listing, however fast its names come.
  std::chrono::milliseconds listing{600000};
};

// Splits the host field into host and port (21 when none is given). An IPv6 address
// is given without brackets.
struct FtpEndpoint {
  std::string host;
  long port = 21;
};
FtpEndpoint ParseFtpHost(const std::string& field);

class FtpSession {
 public:
  using StatusHandler = std::function<void(const std::string& text)>;
  // Bytes to send, at the start of a store.
  using WorkBeginHandler = std::function<void(int64_t total)>;
  // Bytes sent so far in the current store; called when the count changes.
  using WorkHandler = std::function<void(int64_t count)>;

  // The source and the events outlive the session.
  FtpSession(std::string name, const FtpEndpointSource& source, FtpEvents& events);
  ~FtpSession();
  FtpSession(const FtpSession&) = delete;
  FtpSession& operator=(const FtpSession&) = delete;

  const std::string& Name() const { return name_; }  // "IdFTP1", "IdFTP2"

  void SetStatusHandler(StatusHandler handler) { on_status_ = std::move(handler); }
  void SetWorkHandlers(WorkBeginHandler begin, WorkHandler work);
  void SetTimeouts(const FtpTimeouts& timeouts) { timeouts_ = timeouts; }
  const FtpTimeouts& Timeouts() const { return timeouts_; }
  // The bound of every operation (the run's deadline); none unless set.
  void SetDeadline(const OperationBound* deadline) { deadline_ = deadline; }
  const OperationBound* Deadline() const { return deadline_; }
  const FtpEndpointSource& Source() const { return source_; }
  // False for the libcurl versions that would send the data of an active-mode
  // connection in clear under TLS: such a session uses passive mode when TLS is on,
  // and says so in one status line.
  static bool ActiveModeKeepsTls();

  // True while the control connection of the session is open.
  bool Connected();
  // True when the server the source's host names was found unreachable earlier in the
  // process (see above): Connect would fail at once.
  bool Unreachable() const;

  // Asks the source for the server, opens the control connection and logs in. Throws FtpError
  // (kConnect or kLogin) and leaves the session not connected.
  void Connect();
  // Changes into folder, relative to the login folder. Throws FtpError
  // (kChangeFolder) and leaves the session connected in the folder it was in.
  void ChangeDir(const std::string& folder);

  // NLST of the current folder: the text as received, one entry per line. Throws
  // FtpError (kList), also for a listing beyond kMaxListingBytes or kMaxListingNames
  // lines or one that takes longer than FtpTimeouts::listing.
  std::string ListNames();
  static constexpr size_t kMaxListingBytes = size_t{64} << 20;  // 64 MiB
  static constexpr size_t kMaxListingNames = 1000000;

  // STOR of the local file (native path) under remote_name in the current folder;
  // never appends. Only a regular file is sent. The server is then asked the size it
  // stored (SIZE; a server without it is taken at its word): a file held short is deleted
  // there. Throws FtpError (kLocalFile when it cannot be opened or is not a regular file,
  // kStore, kStoredShort).
  void Put(const std::string& native_local_path, const std::string& remote_name);

  // RNFR from, RNTO to, in the current folder. Throws FtpError (kRename when the server
  // refuses either command).
  void Rename(const std::string& from, const std::string& to);
  // DELE of a file of the current folder. Throws FtpError (kDelete when refused).
  void Delete(const std::string& name);

  // Stores and listings that fail in a row by time-out or stall before the server is
  // given up.
  static constexpr int kStalledTransfersToGiveUp = 3;
  // How much of one server reply the status lines show.
  static constexpr int kReplyLinesShown = 10;
  static constexpr size_t kReplyLineLimit = 500;

  // Passwords at least this long are masked wherever they appear.
  static constexpr size_t kMaskEverywhereLength = 4;

  // Pending window events run about every this often while a call blocks.
  static constexpr std::chrono::milliseconds kEventInterval{250};

 private:
  struct Curl;
  enum class Command { kNone, kConnect, kChangeDir, kList, kStore, kQuote };

  friend struct FtpSessionCallbacks;

  // One libcurl transfer on the session's handle: the run's deadline checked, the handle
  // configured, the transfer run and a failure translated into FtpError, with the stage
  // it happened in.
  void Perform(Command command, const std::string& path, FtpError::Stage stage,
               platform::RegularFileReader* upload, int64_t upload_size, std::string* listing,
               const std::vector<std::string>& after_commands = {});
  // Creates the handle at first use and sets every libcurl option of the operation
  // (security, time-outs bounded by the run's deadline, credentials, URL, commands after).
  void ConfigureHandle(Command command, const std::string& path, FtpError::Stage stage,
                       platform::RegularFileReader* upload, int64_t upload_size,
                       const std::vector<std::string>& after_commands);
  // Runs the configured operation, with the window's pending events between network
  // waits; returns its CURLcode and notes whether it ended by time-out or stall.
  int RunTransfer(Command command, std::string* listing);
  // Turns a failed CURLcode into the status line and the FtpError of the right stage,
  // disconnecting or giving the server up where that failure calls for it; throws
  // the bound's DeadlineExceeded instead when the bound cut the operation.
  [[noreturn]] void ThrowFailure(int result, FtpError::Stage stage);
  std::string Url(const std::string& path) const;
  void Status(const std::string& text);
  // Masks the password in a text; server_text for what a server sent.
  std::string HidePassword(std::string text, bool server_text = false) const;
  void OnDebug(int type, const char* data, size_t size);
  // Status lines and state for the commands of TLS and passive mode (and the login).
  void OnSecurityCommand(const std::string& command);
  int OnProgress(int64_t ulnow);
  // Data of a listing; false when the listing goes beyond its bounds.
  bool OnListing(const char* data, size_t size);
  // A reply line from the server: shown, unless the reply is already too long.
  void OnReplyLine(const std::string& line);
  // Counts a transfer that ended by time-out or stall and gives the server up at the
  // kStalledTransfersToGiveUp-th in a row; a transfer that worked starts the count again.
  void NoteTransferEnd(bool ok);
  void GiveUp(const std::string& key, int why);
  void MarkDisconnected();

  std::string name_;
  const FtpEndpointSource& source_;
  FtpEvents& events_;
  FtpTimeouts timeouts_;
  const OperationBound* deadline_ = nullptr;
  FtpSecurity security_;  // asked of the source at every operation
  StatusHandler on_status_;
  WorkBeginHandler on_work_begin_;
  WorkHandler on_work_;
  std::unique_ptr<Curl> curl_;

  bool connected_ = false;
  FtpEndpoint endpoint_;
  std::string user_;
  std::string password_;
  std::string folder_;  // current folder, relative to the login folder
  std::string last_reply_;
  std::string unreachable_;  // EndpointKey of a server given up, or empty
  int given_up_why_ = 0;     // why (GiveUpReason in the .cpp)
  bool logged_in_now_ = false;
  bool awaiting_tls_ = false;       // AUTH TLS sent, handshake not reported yet
  bool warned_unverified_ = false;  // the TlsMode::kUnverified warning was shown
  bool warned_active_tls_ = false;  // the passive-instead-of-active line was shown
  int64_t last_ulnow_ = -1;
  // Per operation: the listing being received, the limit on its duration, why a callback
  // stopped the operation, whether it ended by time-out or stall.
  std::string* listing_ = nullptr;
  size_t listing_lines_ = 0;
  std::chrono::steady_clock::time_point listing_deadline_{};
  std::string stopped_because_;
  bool timed_out_ = false;
  int stalled_in_row_ = 0;
  // The server reply being received: its code while it spans several lines, its lines.
  int multiline_code_ = 0;
  long reply_lines_ = 0;
  // The passive data connection: EPSV or PASV went out, and where it connects.
  bool passive_sent_ = false;
  std::string data_address_;
};

}  // namespace kalvex
