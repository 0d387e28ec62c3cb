#include "exports/ftp_link.h"

namespace kalvex {

FtpLink::FtpLink(RunContext& context)
    : context_(context),
      images_(context.window, image_security_, WindowField::kParamServeurPixtrove,
              WindowField::kParamUserPixtrove, WindowField::kParamPasswordPixtrove,
              WindowField::kParamRepertPixtrove),
      portal_(context.window, portal_security_, WindowField::kParamServeur, WindowField::kParamUser,
              WindowField::kParamPassword, WindowField::kParamRepert),
      events_(context),
      deadline_(context.state.deadline),
      transfer_(images_, portal_, events_) {
  transfer_.SetDeadline(&deadline_);
}

void FtpLink::SetSecurity(FtpServer server, const FtpSecurity& security) {
  (server == FtpServer::kImages ? image_security_ : portal_security_) = security;
}

const FtpSecurity& FtpLink::Security(FtpServer server) const {
  return server == FtpServer::kImages ? image_security_ : portal_security_;
}

std::string FtpLink::Send(const std::string& local_path) {
  transfer_.SetPortalCode(context_.state.selected_portal);
  std::string result;
  transfer_.SendExportFile(local_path, result);
  return result;
}

FtpEndpointSettings FtpLink::WindowEndpoint::Endpoint() const {
  return {window_.Text(host_), window_.Text(user_), window_.Text(password_), window_.Text(folder_)};
}

namespace {

WindowField LabelField(FtpLabel label) {
  return label == FtpLabel::kConnection ? WindowField::kLabel1 : WindowField::kLabel2;
}

}  // namespace

void FtpLink::RunEvents::ShowStatus(const std::string& text) { context_.window.AddMemoLine(text); }

std::string FtpLink::RunEvents::LabelText(FtpLabel label) const {
  return context_.window.Text(LabelField(label));
}

void FtpLink::RunEvents::SetLabelText(FtpLabel label, const std::string& text) {
  context_.window.SetText(LabelField(label), text);
}

void FtpLink::RunEvents::LetEventsRun() { context_.window.ProcessPendingEvents(); }

void FtpLink::RunEvents::LetEventsRunWhenDue(std::chrono::milliseconds interval) {
  context_.window.ProcessPendingEventsWhenDue(interval);
}

void FtpLink::RunEvents::WriteLog(const std::string& text) { context_.WriteLog(text); }

void FtpLink::RunEvents::NoteServer(const FtpServerContact& contact) {
  context_.state.report.NoteServer(
      {contact.role, contact.host, contact.port, contact.user, contact.connected});
}

}  // namespace kalvex
