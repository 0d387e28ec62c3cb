// What the FTP sessions and the transfer report while they work, to whoever shows the
// run: status lines, the two status labels, the window's pending events, one log line
// and the servers contacted. The FTP layer writes through it and knows nothing of the
// window, the log or the run report behind it.
#pragma once

#include <chrono>
#include <string>

namespace kalvex {

enum class FtpLabel {
  kConnection,  // Label1: what is being reached
  kTransfer,    // Label2: what is being sent, and the upload's progress
};

// A server a session tried to reach, for the run report: its role ("images" or
// "portail"), its address, the login name (never the password), and whether the login
// worked.
struct FtpServerContact {
  const char* role;
  std::string host;
  long port;
  std::string user;
  bool connected;
};

class FtpEvents {
 public:
  virtual ~FtpEvents() = default;
  // One status line (a memo line).
  virtual void ShowStatus(const std::string& text) = 0;
  virtual std::string LabelText(FtpLabel label) const = 0;
  virtual void SetLabelText(FtpLabel label, const std::string& text) = 0;
  // Lets the window's pending events run: now, or only when `interval` has passed
  // since they last ran.
  virtual void LetEventsRun() = 0;
  virtual void LetEventsRunWhenDue(std::chrono::milliseconds interval) = 0;
  // One line of the run log.
  virtual void WriteLog(const std::string& text) = 0;
  virtual void NoteServer(const FtpServerContact& contact) = 0;
};

}  // namespace kalvex
