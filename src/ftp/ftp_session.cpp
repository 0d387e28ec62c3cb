#include "ftp/ftp_session.h"

#include <curl/curl.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>

#include "ftp/ftp_texts.h"
#include "platform/ftp_socket.h"
#include "platform/platform.h"
#include "platform/unicode_case.h"

namespace kalvex {

namespace {

// libcurl's process-wide set-up, once, before the first handle.
CURLcode EnsureCurlGlobal() {
  static const CURLcode rc = curl_global_init(CURL_GLOBAL_DEFAULT);
  return rc;
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct CurlFree {
  void operator()(char* text) const { curl_free(text); }
};
struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// "host:port": which server a session found unreachable.
std::string EndpointKey(const FtpEndpoint& endpoint) {
  return endpoint.host + ":" + std::to_string(endpoint.port);
}

// A libcurl result in French, or libcurl's own text for a code without ours.
std::string CurlReason(CURLcode rc) {
  const char* french = ftp_text::LibraryReason(rc);
  return french != nullptr ? french : curl_easy_strerror(rc);
}

bool IsWordCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
         (static_cast<unsigned char>(c) & 0x80) != 0;
}

// Replaces the occurrences of `word` in text; with whole_words, only those that stand
// between characters that cannot belong to the same word.
std::string Mask(std::string text, const std::string& word, bool whole_words) {
  static const std::string kMask = "****";
  for (size_t at = text.find(word); at != std::string::npos;) {
    const bool alone =
        !whole_words ||
        ((at == 0 || !IsWordCharacter(text[at - 1])) &&
         (at + word.size() >= text.size() || !IsWordCharacter(text[at + word.size()])));
    if (alone) {
      text.replace(at, word.size(), kMask);
      at = text.find(word, at + kMask.size());
    } else {
      at = text.find(word, at + 1);
    }
  }
  return text;
}

// A connection attempt that ended this way will end the same way next time, after the
// same wait: the server counts as unreachable.
bool MarksUnreachable(CURLcode rc) {
  return rc == CURLE_OPERATION_TIMEDOUT || rc == CURLE_COULDNT_RESOLVE_HOST;
}

// A certificate that fails the check, or a server that refuses TLS, gives the same
// answer at every attempt: trying again for each photo would only repeat the error.
bool GivesUpTls(CURLcode rc) {
  return rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_USE_SSL_FAILED;
}

// A transfer that ended this way cost a whole wait: the server stopped reading, stopped
// answering or never opened the data connection.
bool TimedOut(CURLcode rc) {
  return rc == CURLE_OPERATION_TIMEDOUT || rc == CURLE_FTP_ACCEPT_TIMEOUT;
}

// Why a session gave a server up.
enum GiveUpReason { kNotGivenUp, kUnreachable, kTlsImpossible, kStalled };

// The reason a later operation gives for not trying a given-up server again.
const char* NotTriedAgain(int why) {
  return why == kTlsImpossible ? ftp_text::kTlsNotTriedAgain
         : why == kStalled     ? ftp_text::kStalledNotTriedAgain
                               : ftp_text::kNotTriedAgain;
}

std::string Trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\r' || text[begin] == '\n')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\r' || text[end - 1] == '\n'))
    --end;
  return std::string(text.substr(begin, end - begin));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The reply code of a server line ("550 No such folder." gives 550), 0 when none.
int ReplyCode(std::string_view line) {
  if (line.size() < 3) return 0;
  int code = 0;
  for (int i = 0; i < 3; ++i) {
    if (line[i] < '0' || line[i] > '9') return 0;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

// The size in a "213 <bytes>" reply to SIZE; none for any other reply.
std::optional<int64_t> StoredSize(std::string_view reply) {
  if (ReplyCode(reply) != 213 || reply.size() < 5 || reply[3] != ' ') return std::nullopt;
  int64_t value = 0;
  const std::string digits = Trim(reply.substr(4));
  if (digits.empty() || digits.size() > 18) return std::nullopt;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

bool ConnectionError(CURLcode rc) {
  switch (rc) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
      return true;
    default:
      return false;
  }
}

// What went wrong when TLS could not be set up, in the words of the memo; empty for
// every other failure.
std::string TlsFailure(CURLcode rc, const std::string& host) {
  switch (rc) {
    case CURLE_PEER_FAILED_VERIFICATION:
      return ftp_text::CertificateNotVerified(host);
    case CURLE_USE_SSL_FAILED:
      return ftp_text::TlsRefused(host);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
      return ftp_text::TlsFailed(host);
    default:
      return "";
  }
}

// The detail of a TLS failure: what is wrong with the server's certificate, in French
// for the usual cases, else libcurl's words.
std::string TlsDetail(CURL* easy, CURLcode rc, const std::string& curl_words) {
  long result = 0;
  if (rc == CURLE_PEER_FAILED_VERIFICATION &&
      curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &result) == CURLE_OK)
    if (const char* french = ftp_text::CertificateProblem(result)) return french;
  // libcurl checks the name itself, after a chain the TLS library found good.
  if (rc == CURLE_PEER_FAILED_VERIFICATION && curl_words.find("subject name") != std::string::npos)
    return ftp_text::kCertificateForAnotherName;
  return curl_words;
}

size_t ReadFromFile(char* buffer, size_t size, size_t count, void* user) {
  const long got = static_cast<platform::RegularFileReader*>(user)->Read(buffer, size * count);
  return got < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(got);
}

struct MultiDeleter {
  void operator()(CURLM* handle) const { curl_multi_cleanup(handle); }
};

}  // namespace

bool FtpSession::ActiveModeKeepsTls() {
  // libcurl 7.87.0 up to 8.0.0 accept the server's active data connection without
  // starting TLS on it, whatever PROT P promised: the data would go in clear.
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  return info == nullptr || info->version_num < 0x075700 || info->version_num >= 0x080000;
}

// The easy handle runs inside a multi handle of its own, so that the session waits for
// the network in slices of kEventInterval and lets window events run in between. The
// multi handle keeps the connection between operations; the easy handle stays attached
// after a transfer so that the state of that connection can be asked for.
struct FtpSession::Curl {
  ~Curl() {
    // The session is never closed by the program: its connection ends as it would at
    // the end of the process, without QUIT and without waiting for a server.
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (easy && curl_easy_getinfo(easy.get(), CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK)
      ftp_socket::Drop(socket);
    if (attached) curl_multi_remove_handle(multi.get(), easy.get());
    easy.reset();
    multi.reset();
  }
  std::unique_ptr<CURLM, MultiDeleter> multi;
  std::unique_ptr<CURL, EasyDeleter> easy;
  bool attached = false;
  char error_buffer[CURL_ERROR_SIZE] = {};
  // The handle's own certificate store (CURLINFO_CAINFO when created): trusted again
  // whenever the session's security names no CA file.
  std::optional<std::string> default_ca_file;
  // Per-perform state, filled by the callbacks.
  Command command = Command::kNone;
  bool tried_connect = false;
  bool sent_auth = false;   // AUTH went out: a new control connection asked for TLS
  bool sent_login = false;  // a USER command went out
  // The commands sent after the operation (POSTQUOTE), kept while the handle uses them.
  std::unique_ptr<curl_slist, SlistFree> post_quote;
};

FtpEndpoint ParseFtpHost(const std::string& field) {
  FtpEndpoint endpoint;
  std::string text = Trim(field);
  std::string port_text;
  if (!text.empty() && text.front() == '[') {
    size_t close = text.find(']');
    if (close == std::string::npos) {
      endpoint.host = text;
      return endpoint;
    }
    endpoint.host = text.substr(1, close - 1);
    if (close + 1 < text.size() && text[close + 1] == ':') port_text = text.substr(close + 2);
  } else {
    size_t colon = text.find(':');
    if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
      endpoint.host = text.substr(0, colon);
      port_text = text.substr(colon + 1);
    } else {
      endpoint.host = text;  // no port, or a bare IPv6 address
    }
  }
  if (!port_text.empty()) {
    long port = 0;
    bool digits = port_text.size() <= 5;
    for (char c : port_text) {
      if (c < '0' || c > '9')
        digits = false;
      else
        port = port * 10 + (c - '0');
    }
    // An unusable port leaves the host unusable, so the connection fails as it should.
    endpoint.port = (digits && port > 0 && port < 65536) ? port : 0;
  }
  return endpoint;
}

FtpSession::FtpSession(std::string name, const FtpEndpointSource& source, FtpEvents& events)
    : name_(std::move(name)), source_(source), events_(events), curl_(std::make_unique<Curl>()) {}

FtpSession::~FtpSession() = default;

void FtpSession::SetWorkHandlers(WorkBeginHandler begin, WorkHandler work) {
  on_work_begin_ = std::move(begin);
  on_work_ = std::move(work);
}

void FtpSession::Status(const std::string& text) {
  if (on_status_) on_status_(HidePassword(text));
}

std::string FtpSession::HidePassword(std::string text, bool server_text) const {
  // A server may quote what it was sent; the password never goes further.
  if (password_.empty()) return text;
  if (password_.size() >= kMaskEverywhereLength) return Mask(std::move(text), password_, false);
  // Our own texts never hold the password; a reply may quote it as a word.
  return server_text ? Mask(std::move(text), password_, true) : text;
}

void FtpSession::GiveUp(const std::string& key, int why) {
  if (unreachable_ == key) return;
  unreachable_ = key;
  given_up_why_ = why;
  Status(why == kTlsImpossible ? ftp_text::GivenUpTls(key)
         : why == kStalled     ? ftp_text::GivenUpAfterStalls(key, kStalledTransfersToGiveUp)
                               : ftp_text::GivenUp(key));
}

void FtpSession::NoteTransferEnd(bool ok) {
  // Only a transfer that cost a whole wait counts; one the server answered, even with a
  // refusal, ends the row.
  if (ok || !timed_out_) {
    stalled_in_row_ = 0;
    return;
  }
  if (++stalled_in_row_ >= kStalledTransfersToGiveUp) GiveUp(EndpointKey(endpoint_), kStalled);
}

bool FtpSession::Unreachable() const {
  return !unreachable_.empty() &&
         unreachable_ == EndpointKey(ParseFtpHost(source_.Endpoint().host));
}

void FtpSession::MarkDisconnected() {
  connected_ = false;
  folder_.clear();
}

bool FtpSession::Connected() {
  if (!connected_) return false;
  curl_socket_t socket = CURL_SOCKET_BAD;
  if (curl_->easy &&
      curl_easy_getinfo(curl_->easy.get(), CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK &&
      socket != CURL_SOCKET_BAD && !ftp_socket::IdleConnectionAlive(socket)) {
    // The server hung up while the session was idle.
    Status(ftp_text::kDisconnected);
    MarkDisconnected();
    return false;
  }
  // No socket at all means libcurl dropped the connection after a refused command; the
  // session stays logged in as far as its users are concerned and the next operation
  // logs in again silently, in the same folder.
  return true;
}

std::string FtpSession::Url(const std::string& path) const {
  std::string host = endpoint_.host;
  if (host.find(':') != std::string::npos) host = "[" + host + "]";
  std::string url = "ftp://" + host + ":" + std::to_string(endpoint_.port) + "/";
  // Each folder component percent-encoded; "/" stays the separator.
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    std::unique_ptr<char, CurlFree> escaped(
        curl_easy_escape(curl_->easy.get(), part.c_str(), static_cast<int>(part.size())));
    if (!escaped) throw FtpError(FtpError::Stage::kConnect, ftp_text::kOutOfMemory);
    url += escaped.get();
    if (slash < path.size()) url += "/";
    start = slash + 1;
  }
  return url;
}

void FtpSession::OnDebug(int type, const char* data, size_t size) {
  std::string line = Trim(std::string_view(data, size));
  if (line.empty()) return;
  switch (type) {
    case CURLINFO_TEXT:
      if (awaiting_tls_ && StartsWith(line, "SSL connection using ")) {
        awaiting_tls_ = false;
        Status(ftp_text::TlsNegotiated(line.substr(21)));
      } else if (StartsWith(line, "Trying ")) {
        std::string address = line.substr(7);  // "127.0.0.1:21..."
        while (!address.empty() && address.back() == '.') address.pop_back();
        if (passive_sent_) {
          // After EPSV or PASV: the data connection, the control connection is up.
          data_address_ = address;
          Status(ftp_text::DataConnecting(address));
        } else {
          curl_->tried_connect = true;
          Status(ftp_text::Connecting(address));
        }
      } else if (StartsWith(line, "Connected to ")) {
        Status(ftp_text::kConnected);
      } else if (StartsWith(line, "Closing connection")) {
        Status(ftp_text::kDisconnected);
      }
      break;
    case CURLINFO_HEADER_OUT:
      // Commands: the password line is never looked at beyond its first word.
      if (StartsWith(line, "PASS")) break;
      OnSecurityCommand(line);
      if (StartsWith(line, "USER "))
        Status(ftp_text::LoggingIn(line.substr(5)));
      else if (StartsWith(line, "CWD "))
        Status(ftp_text::ChangingFolder(line.substr(4)));
      else if (line == "NLST" || StartsWith(line, "NLST "))
        Status(ftp_text::kListingNames);
      else if (StartsWith(line, "STOR "))
        Status(ftp_text::Storing(line.substr(5)));
      else if (StartsWith(line, "RNFR "))
        Status(ftp_text::Renaming(line.substr(5)));
      else if (StartsWith(line, "RNTO "))
        Status(ftp_text::RenamingTo(line.substr(5)));
      else if (StartsWith(line, "DELE "))
        Status(ftp_text::Deleting(line.substr(5)));
      break;
    case CURLINFO_HEADER_IN:
      OnReplyLine(line);
      break;
    default:
      break;
  }
}

void FtpSession::OnReplyLine(const std::string& received) {
  // A reply of several lines starts with "ddd-" and ends with the line "ddd " of the
  // same code; the lines between may hold anything.
  const int code = ReplyCode(received);
  const bool marked_end = received.size() == 3 || received[3] != '-';
  bool last = true;
  if (multiline_code_ == 0) {
    reply_lines_ = 1;
    if (code != 0 && !marked_end) {
      multiline_code_ = code;
      last = false;
    }
  } else {
    ++reply_lines_;
    last = code == multiline_code_ && marked_end;
    if (last) multiline_code_ = 0;
  }
  const std::string line = ShortenedText(HidePassword(received, true), kReplyLineLimit);
  last_reply_ = line;
  if (code == 230) logged_in_now_ = true;
  // The first lines and the last one are shown; the lines between are counted.
  const long left_out = reply_lines_ - 1 - kReplyLinesShown;
  if (!last && left_out >= 0) {
    if (left_out == 0) Status(ftp_text::kReplyCut);
    return;
  }
  if (last && left_out > 0) Status(ftp_text::ReplyLinesNotShown(left_out));
  if (code == 230) {
    Status(ftp_text::kLoggedIn);
  } else if (code == 220) {
    Status(ftp_text::ServerReady(line));
  } else if (code == 226 && curl_->command == Command::kStore) {
    Status(ftp_text::kTransferComplete);
  } else if (code >= 400) {
    Status(ftp_text::ServerReply(line));
  }
}

void FtpSession::OnSecurityCommand(const std::string& command) {
  if (StartsWith(command, "USER ")) {
    curl_->sent_login = true;
    if (awaiting_tls_) {
      // The login only goes out once the handshake is over, whatever the TLS library
      // said of it.
      awaiting_tls_ = false;
      Status(ftp_text::kTlsNegotiated);
    }
  } else if (StartsWith(command, "AUTH ")) {
    curl_->sent_auth = true;
    awaiting_tls_ = true;
    Status(ftp_text::TlsNegotiating(command));
  } else if (command == "PROT P") {
    Status(ftp_text::kDataEncrypted);
  } else if (command == "EPSV" || command == "PASV") {
    passive_sent_ = true;
    Status(ftp_text::PassiveData(command));
  }
}

int FtpSession::OnProgress(int64_t ulnow) {
  if (curl_->command == Command::kStore && ulnow != last_ulnow_) {
    last_ulnow_ = ulnow;
    if (ulnow > 0 && on_work_) on_work_(ulnow);
  }
  if (curl_->command == Command::kList && std::chrono::steady_clock::now() > listing_deadline_) {
    stopped_because_ = ftp_text::ListingTooSlow(
        std::chrono::duration_cast<std::chrono::seconds>(timeouts_.listing).count());
    return 1;
  }
  events_.LetEventsRunWhenDue(kEventInterval);
  return 0;
}

bool FtpSession::OnListing(const char* data, size_t size) {
  if (listing_ == nullptr) return true;
  if (listing_->size() + size > kMaxListingBytes) {
    stopped_because_ = ftp_text::ListingTooLarge(kMaxListingBytes >> 20);
    return false;
  }
  listing_lines_ += static_cast<size_t>(std::count(data, data + size, '\n'));
  if (listing_lines_ > kMaxListingNames) {
    stopped_because_ = ftp_text::ListingTooManyNames(kMaxListingNames);
    return false;
  }
  listing_->append(data, size);
  return true;
}

namespace {

// Every option goes through here: a refused option is reported like any failure.
template <typename T>
void SetOption(CURL* easy, CURLoption option, T value) {
  CURLcode rc = curl_easy_setopt(easy, option, value);
  if (rc != CURLE_OK)
    throw FtpError(FtpError::Stage::kConnect,
                   ftp_text::OptionRefused(static_cast<int>(option), CurlReason(rc)));
}

// Every multi-handle call goes through here as well.
void CheckMulti(CURLMcode rc) {
  if (rc != CURLM_OK)
    throw FtpError(
        FtpError::Stage::kConnect,
        ftp_text::LibraryError(ftp_text::MultiReason(rc) != nullptr ? ftp_text::MultiReason(rc)
                                                                    : curl_multi_strerror(rc)));
}

}  // namespace

struct FtpSessionCallbacks {
  static int Debug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    static_cast<FtpSession*>(user)->OnDebug(type, data, size);
    return 0;
  }
  static int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
    return static_cast<FtpSession*>(user)->OnProgress(static_cast<int64_t>(ulnow));
  }
  // Received data: kept when it is a listing, within its bounds.
  static size_t Write(char* data, size_t size, size_t count, void* user) {
    return static_cast<FtpSession*>(user)->OnListing(data, size * count) ? size * count : 0;
  }
};

void FtpSession::Perform(Command command, const std::string& path, FtpError::Stage stage,
                         platform::RegularFileReader* upload, int64_t upload_size,
                         std::string* listing, const std::vector<std::string>& after_commands) {
  if (deadline_ != nullptr) deadline_->Check();
  security_ = source_.Security();
  ConfigureHandle(command, path, stage, upload, upload_size, after_commands);
  const int rc = RunTransfer(command, listing);
  if (rc == CURLE_OK) return;
  ThrowFailure(rc, stage);
}

void FtpSession::ConfigureHandle(Command command, const std::string& path, FtpError::Stage stage,
                                 platform::RegularFileReader* upload, int64_t upload_size,
                                 const std::vector<std::string>& after_commands) {
  if (!curl_->easy) {
    if (CURLcode rc = EnsureCurlGlobal(); rc != CURLE_OK)
      throw FtpError(FtpError::Stage::kConnect, ftp_text::CannotStart(CurlReason(rc)));
    curl_->multi.reset(curl_multi_init());
    curl_->easy.reset(curl_easy_init());
    if (!curl_->multi || !curl_->easy)
      throw FtpError(FtpError::Stage::kConnect, ftp_text::kCannotStart);
    char* ca_file = nullptr;
    if (CURLcode rc = curl_easy_getinfo(curl_->easy.get(), CURLINFO_CAINFO, &ca_file);
        rc != CURLE_OK)
      throw FtpError(FtpError::Stage::kConnect, ftp_text::LibraryError(CurlReason(rc)));
    if (ca_file != nullptr) curl_->default_ca_file = ca_file;
  }
  CURL* easy = curl_->easy.get();
  CURLM* multi = curl_->multi.get();
  if (curl_->attached) {
    CheckMulti(curl_multi_remove_handle(multi, easy));
    curl_->attached = false;
  }
  SetOption(easy, CURLOPT_ERRORBUFFER, curl_->error_buffer);
  SetOption(easy, CURLOPT_NOSIGNAL, 1L);
  SetOption(easy, CURLOPT_VERBOSE, 1L);  // feeds the debug callback, which prints nothing
  SetOption(easy, CURLOPT_DEBUGFUNCTION, &FtpSessionCallbacks::Debug);
  SetOption(easy, CURLOPT_DEBUGDATA, static_cast<void*>(this));
  SetOption(easy, CURLOPT_NOPROGRESS, 0L);
  SetOption(easy, CURLOPT_XFERINFOFUNCTION, &FtpSessionCallbacks::Progress);
  SetOption(easy, CURLOPT_XFERINFODATA, static_cast<void*>(this));
  SetOption(easy, CURLOPT_PROTOCOLS_STR, "ftp");
  // Straight to the server: no proxy, whatever ftp_proxy or all_proxy may say, so the
  // credentials never go anywhere else.
  SetOption(easy, CURLOPT_PROXY, "");
  const bool tls = security_.tls != TlsMode::kOff;
  if (security_.passive || (tls && !ActiveModeKeepsTls())) {
    // EPSV, then PASV when the server does not know EPSV; the data connection goes to
    // the control connection's address, whatever address a PASV reply names.
    SetOption(easy, CURLOPT_FTPPORT, static_cast<const char*>(nullptr));
    SetOption(easy, CURLOPT_FTP_USE_EPSV, 1L);
    SetOption(easy, CURLOPT_FTP_SKIP_PASV_IP, 1L);
  } else {
    SetOption(easy, CURLOPT_FTPPORT, "-");  // active mode, from the control connection's address
  }
  // TLS: AUTH TLS before the login, control and data encrypted or nothing, and the
  // control connection never turned back to clear text (no CCC).
  const bool verify = security_.tls != TlsMode::kUnverified;
  SetOption(easy, CURLOPT_USE_SSL, static_cast<long>(tls ? CURLUSESSL_ALL : CURLUSESSL_NONE));
  SetOption(easy, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
  SetOption(easy, CURLOPT_FTP_SSL_CCC, static_cast<long>(CURLFTPSSL_CCC_NONE));
  SetOption(easy, CURLOPT_SSL_VERIFYPEER, verify ? 1L : 0L);
  SetOption(easy, CURLOPT_SSL_VERIFYHOST, verify ? 2L : 0L);
  const char* ca_file = !security_.ca_file.empty() ? security_.ca_file.c_str()
                        : curl_->default_ca_file   ? curl_->default_ca_file->c_str()
                                                   : nullptr;
  SetOption(easy, CURLOPT_CAINFO, ca_file);
  SetOption(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
  SetOption(easy, CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR_NONE));
  SetOption(easy, CURLOPT_APPEND, 0L);
  SetOption(easy, CURLOPT_TRANSFERTEXT, 0L);
  SetOption(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeouts_.connect.count()));
  long response_seconds = static_cast<long>((timeouts_.server_response.count() + 999) / 1000);
  SetOption(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, response_seconds);
  SetOption(easy, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(timeouts_.server_response.count()));
  SetOption(easy, CURLOPT_LOW_SPEED_LIMIT, timeouts_.low_speed_bytes);
  SetOption(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(timeouts_.low_speed_time.count()));
  // The whole operation within what remains of the run (0: no bound of its own).
  long total_ms = 0;
  if (deadline_ != nullptr && deadline_->Active())
    total_ms = static_cast<long>(std::clamp<int64_t>(deadline_->Remaining().count(), 1, LONG_MAX));
  SetOption(easy, CURLOPT_TIMEOUT_MS, total_ms);
  SetOption(easy, CURLOPT_USERNAME, user_.c_str());
  SetOption(easy, CURLOPT_PASSWORD, password_.c_str());
  SetOption(easy, CURLOPT_URL, Url(path).c_str());
  // Commands sent after the operation, in the folder it used (rename, delete).
  std::unique_ptr<curl_slist, SlistFree>& after = curl_->post_quote;
  after.reset();
  for (const std::string& text : after_commands) {
    curl_slist* longer = curl_slist_append(after.get(), text.c_str());
    if (longer == nullptr) throw FtpError(stage, ftp_text::kOutOfMemory);
    after.release();
    after.reset(longer);
  }
  SetOption(easy, CURLOPT_POSTQUOTE, after.get());
  SetOption(
      easy, CURLOPT_NOBODY,
      (command == Command::kConnect || command == Command::kChangeDir || command == Command::kQuote)
          ? 1L
          : 0L);
  SetOption(easy, CURLOPT_DIRLISTONLY, command == Command::kList ? 1L : 0L);
  SetOption(easy, CURLOPT_UPLOAD, command == Command::kStore ? 1L : 0L);
  SetOption(easy, CURLOPT_READFUNCTION, &ReadFromFile);
  SetOption(easy, CURLOPT_READDATA, static_cast<void*>(upload));
  SetOption(easy, CURLOPT_INFILESIZE_LARGE,
            static_cast<curl_off_t>(command == Command::kStore ? upload_size : -1));
  SetOption(easy, CURLOPT_WRITEFUNCTION, &FtpSessionCallbacks::Write);
  SetOption(easy, CURLOPT_WRITEDATA, static_cast<void*>(this));
}

int FtpSession::RunTransfer(Command command, std::string* listing) {
  CURL* easy = curl_->easy.get();
  CURLM* multi = curl_->multi.get();
  listing_ = listing;
  listing_lines_ = 0;
  timed_out_ = false;
  stopped_because_.clear();
  passive_sent_ = false;
  data_address_.clear();
  multiline_code_ = 0;

  curl_->command = command;
  curl_->tried_connect = false;
  curl_->sent_auth = false;
  curl_->sent_login = false;
  awaiting_tls_ = false;
  curl_->error_buffer[0] = '\0';
  logged_in_now_ = false;
  last_reply_.clear();
  last_ulnow_ = -1;
  CheckMulti(curl_multi_add_handle(multi, easy));
  curl_->attached = true;
  CURLcode rc = CURLE_OK;
  for (int running = 1;;) {
    CheckMulti(curl_multi_perform(multi, &running));
    if (running == 0) break;
    CheckMulti(
        curl_multi_poll(multi, nullptr, 0, static_cast<int>(kEventInterval.count()), nullptr));
    events_.LetEventsRunWhenDue(kEventInterval);
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &left))
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy) rc = message->data.result;
  curl_->command = Command::kNone;
  listing_ = nullptr;
  timed_out_ = TimedOut(rc);
  // The list goes with this call: the handle must not keep pointing at it.
  SetOption(easy, CURLOPT_POSTQUOTE, static_cast<curl_slist*>(nullptr));
  curl_->post_quote.reset();
  return rc;
}

void FtpSession::ThrowFailure(int result, FtpError::Stage stage) {
  const CURLcode rc = static_cast<CURLcode>(result);
  if (deadline_ != nullptr && deadline_->Expired()) {
    // Cut by the run's deadline, not by the server: the run ends, the server stays
    // reachable for a later run of the process.
    Status(ftp_text::StatusError(deadline_->ExceededMessage()));
    deadline_->Check();
  }

  // A passive data connection that could not be opened: the control connection worked.
  const bool data_failed = rc == CURLE_COULDNT_CONNECT && !data_address_.empty();
  FtpError::Stage failed = stage;
  if (rc == CURLE_LOGIN_DENIED)
    failed = FtpError::Stage::kLogin;
  else if (!data_failed && (ConnectionError(rc) || (curl_->tried_connect && !logged_in_now_)))
    failed = FtpError::Stage::kConnect;
  const bool tls_given_up = failed == FtpError::Stage::kConnect && GivesUpTls(rc);
  const bool unreachable =
      failed == FtpError::Stage::kConnect && (MarksUnreachable(rc) || tls_given_up);
  // The result in French; libcurl's error buffer may still hold a message of an
  // earlier, harmless step, so the server's reply is what gives the detail. A failed
  // connection also tells the system's reason (refused, no route...).
  std::string reason = data_failed                 ? ftp_text::DataConnectionFailed(data_address_)
                       : !stopped_because_.empty() ? stopped_because_
                                                   : CurlReason(rc);
  if (failed == FtpError::Stage::kConnect || data_failed) {
    long os_error = 0;
    if (!data_failed && ftp_text::LibraryReason(rc) == nullptr && curl_->error_buffer[0] != '\0')
      reason = Trim(curl_->error_buffer);
    else if (curl_easy_getinfo(curl_->easy.get(), CURLINFO_OS_ERRNO, &os_error) == CURLE_OK &&
             os_error != 0 && rc == CURLE_COULDNT_CONNECT)
      reason += " (" + platform::SystemErrorText(static_cast<int>(os_error)) + ")";
  }
  // TLS could not be set up: said plainly, and when it failed on a new control
  // connection, that the login never went out.
  std::string tls_end;
  if (const std::string tls_failure = TlsFailure(rc, endpoint_.host); !tls_failure.empty()) {
    const std::string detail = TlsDetail(curl_->easy.get(), rc, Trim(curl_->error_buffer));
    reason = detail.empty() ? tls_failure : tls_failure + " (" + detail + ")";
    if (curl_->sent_auth && !curl_->sent_login) tls_end = ftp_text::kLoginNotSent;
  }
  std::string message = ftp_text::SessionError(name_, EndpointKey(endpoint_), reason);
  if (!last_reply_.empty() && ReplyCode(last_reply_) >= 400) message += " - " + last_reply_;
  message += tls_end;
  message = HidePassword(message);
  Status(ftp_text::StatusError(message));
  if (failed == FtpError::Stage::kConnect || failed == FtpError::Stage::kLogin) MarkDisconnected();
  if (unreachable) GiveUp(EndpointKey(endpoint_), tls_given_up ? kTlsImpossible : kUnreachable);
  throw FtpError(failed, message);
}

void FtpSession::Connect() {
  MarkDisconnected();
  FtpEndpointSettings settings = source_.Endpoint();
  endpoint_ = ParseFtpHost(settings.host);
  user_ = std::move(settings.user);
  password_ = std::move(settings.password);
  security_ = source_.Security();
  if (unreachable_ == EndpointKey(endpoint_))
    throw FtpError(FtpError::Stage::kConnect,
                   ftp_text::SessionError(name_, unreachable_, NotTriedAgain(given_up_why_)));
  if (security_.tls == TlsMode::kUnverified && !warned_unverified_) {
    warned_unverified_ = true;
    Status(ftp_text::UnverifiedWarning(EndpointKey(endpoint_), name_));
  }
  if (security_.tls != TlsMode::kOff && !security_.passive && !ActiveModeKeepsTls() &&
      !warned_active_tls_) {
    warned_active_tls_ = true;
    Status(ftp_text::ActiveModeWithoutTls(curl_version_info(CURLVERSION_NOW)->version, name_));
  }
  Status(ftp_text::Resolving(endpoint_.host));
  Perform(Command::kConnect, "", FtpError::Stage::kConnect, nullptr, -1, nullptr);
  connected_ = true;
}

namespace {

// "www/pixtrove/" and "www/pixtrove" name the same folder.
std::string NormaliseFolder(const std::string& folder) {
  std::string result = folder;
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder == "/") return "/" + name;
  return folder + "/" + name;
}

}  // namespace

void FtpSession::ChangeDir(const std::string& folder) {
  std::string target = NormaliseFolder(folder);
  Perform(Command::kChangeDir, Join(target, ""), FtpError::Stage::kChangeFolder, nullptr, -1,
          nullptr);
  folder_ = target;
}

std::string FtpSession::ListNames() {
  std::string body;
  listing_deadline_ = std::chrono::steady_clock::now() + timeouts_.listing;
  try {
    Perform(Command::kList, Join(folder_, ""), FtpError::Stage::kList, nullptr, -1, &body);
  } catch (const FtpError&) {
    NoteTransferEnd(false);
    throw;
  }
  NoteTransferEnd(true);
  return body;
}

void FtpSession::Put(const std::string& native_local_path, const std::string& remote_name) {
  // A regular file only: a FIFO or a device would block the run, or never end.
  platform::RegularFileReader file(native_local_path);
  if (!file.ok()) {
    Status(ftp_text::CannotOpenStatus(native_local_path));
    throw FtpError(FtpError::Stage::kLocalFile, ftp_text::CannotOpen(native_local_path));
  }
  // A server given up (after stalled transfers) is not sent anything more.
  if (connected_ && unreachable_ == EndpointKey(endpoint_))
    throw FtpError(FtpError::Stage::kStore,
                   ftp_text::SessionError(name_, unreachable_, NotTriedAgain(given_up_why_)));
  const int64_t size = file.Size();
  if (on_work_begin_) on_work_begin_(size);
  // The server is asked the size of what it stored, in the folder of the file: a data
  // connection ended by a reset can lose its last bytes while the server still answers
  // 226. A server without SIZE (its refusal is ignored) is taken at its word.
  const size_t slash = remote_name.find_last_of('/');
  const std::string file_name =
      slash == std::string::npos ? remote_name : remote_name.substr(slash + 1);
  try {
    Perform(Command::kStore, Join(folder_, remote_name), FtpError::Stage::kStore, &file, size,
            nullptr, {"*SIZE " + file_name});
  } catch (const FtpError&) {
    NoteTransferEnd(false);
    throw;
  }
  NoteTransferEnd(true);
  const std::optional<int64_t> stored = StoredSize(last_reply_);
  if (!stored || *stored == size) return;
  // A short file must not stay under a name that later runs take for a whole one.
  const std::string reason = ftp_text::StoredShort(file_name, *stored, size);
  Status(reason);
  try {
    Perform(Command::kQuote,
            Join(folder_, remote_name.substr(0, slash == std::string::npos ? 0 : slash + 1)),
            FtpError::Stage::kDelete, nullptr, -1, nullptr, {"DELE " + file_name});
  } catch (const FtpError&) {
    // The refusal is in the status lines; the store has failed all the same.
  }
  throw FtpError(FtpError::Stage::kStoredShort,
                 ftp_text::SessionError(name_, EndpointKey(endpoint_), reason));
}

void FtpSession::Rename(const std::string& from, const std::string& to) {
  Perform(Command::kQuote, Join(folder_, ""), FtpError::Stage::kRename, nullptr, -1, nullptr,
          {"RNFR " + from, "RNTO " + to});
}

void FtpSession::Delete(const std::string& name) {
  Perform(Command::kQuote, Join(folder_, ""), FtpError::Stage::kDelete, nullptr, -1, nullptr,
          {"DELE " + name});
}

}  // namespace kalvex
