// The frame wires the FTP transfer into the run: the image server's and the portal
// drop's settings come from the window's edit fields (ReadServerSettings fills them), read
// when a session connects, with passive mode and TLS as the run last set them here;
// status lines go to the memo, the connection and transfer labels are Label1 and Label2,
// pending events run through the window, "Lecture du répertoire FTP Pixtrove" goes to
// the run log and each server contacted to the run report; the run's deadline bounds
// every operation. Built once by the application, open until the process ends.
#pragma once

#include <chrono>
#include <string>

#include "exports/portal_upload.h"
#include "ftp/ftp_transfer.h"
#include "runcontrol/run_context.h"

namespace kalvex {

enum class FtpServer { kImages, kPortal };

class FtpLink : public PortalUpload {
 public:
  explicit FtpLink(RunContext& context);
  FtpLink(const FtpLink&) = delete;
  FtpLink& operator=(const FtpLink&) = delete;

  FtpTransfer& transfer() { return transfer_; }

  // Passive mode and TLS of a server, used from its session's next operation on.
  void SetSecurity(FtpServer server, const FtpSecurity& security);
  const FtpSecurity& Security(FtpServer server) const;
  void SetImageServerCheck(bool on) { transfer_.SetImageServerCheck(on); }

  // The export file to the drop of the run's selected portal.
  std::string Send(const std::string& local_path) override;

 private:
  class WindowEndpoint : public FtpEndpointSource {
   public:
    WindowEndpoint(const WindowModel& window, const FtpSecurity& security, WindowField host,
                   WindowField user, WindowField password, WindowField folder)
        : window_(window),
          security_(security),
          host_(host),
          user_(user),
          password_(password),
          folder_(folder) {}
    FtpEndpointSettings Endpoint() const override;
    FtpSecurity Security() const override { return security_; }

   private:
    const WindowModel& window_;
    const FtpSecurity& security_;
    WindowField host_, user_, password_, folder_;
  };

  class RunEvents : public FtpEvents {
   public:
    explicit RunEvents(RunContext& context) : context_(context) {}
    void ShowStatus(const std::string& text) override;
    std::string LabelText(FtpLabel label) const override;
    void SetLabelText(FtpLabel label, const std::string& text) override;
    void LetEventsRun() override;
    void LetEventsRunWhenDue(std::chrono::milliseconds interval) override;
    void WriteLog(const std::string& text) override;
    void NoteServer(const FtpServerContact& contact) override;

   private:
    RunContext& context_;
  };

  // The run's deadline as the bound of the FTP operations: RunDeadlineExceeded.
  class DeadlineBound : public OperationBound {
   public:
    explicit DeadlineBound(const RunDeadline& deadline) : deadline_(deadline) {}
    bool Active() const override { return deadline_.Active(); }
    bool Expired() const override { return deadline_.Expired(); }
    std::chrono::milliseconds Remaining() const override { return deadline_.Remaining(); }
    std::string ExceededMessage() const override { return deadline_.ExceededMessage(); }
    void Check() const override { deadline_.Check(); }

   private:
    const RunDeadline& deadline_;
  };

  RunContext& context_;
  FtpSecurity image_security_;
  FtpSecurity portal_security_;
  WindowEndpoint images_;
  WindowEndpoint portal_;
  RunEvents events_;
  DeadlineBound deadline_;
  FtpTransfer transfer_;
};

}  // namespace kalvex
