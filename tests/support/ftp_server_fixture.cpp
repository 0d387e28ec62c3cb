#include "ftp_server_fixture.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kalvex::testing {

FtpTestServer::FtpTestServer(FtpServerOptions options) : options_(std::move(options)) {
  std::filesystem::create_directories(Home());
  for (const std::string& folder : options_.folders)
    std::filesystem::create_directories(Home() + "/" + folder);
  const std::string port_file = files_.path() + "/port";
  const std::string script = SourceDir() + "/tests/support/ftp_server.py";

  std::vector<std::string> args = {
      "/usr/bin/python3", script,        "--root",        Home(),
      "--user",           options_.user, "--password",    options_.password,
      "--port-file",      port_file,     "--command-log", files_.path() + "/commands"};
  if (options_.refuse_login) args.push_back("--refuse-login");
  if (options_.echo_password) args.push_back("--echo-password");
  if (options_.refuse_cwd) args.push_back("--refuse-cwd");
  if (options_.fail_nlst) args.push_back("--fail-nlst");
  if (options_.refuse_stor) args.push_back("--refuse-stor");
  if (options_.stall_stor) args.push_back("--stall-stor");
  if (options_.refuse_rename) args.push_back("--refuse-rename");
  if (options_.fault_stall_stor_after_bytes > 0) {
    args.push_back("--fault-stall-stor-after-bytes");
    args.push_back(std::to_string(options_.fault_stall_stor_after_bytes));
  }
  if (options_.stall_stor_reply) args.push_back("--stall-stor-reply");
  if (options_.full_stor) args.push_back("--full-stor");
  if (options_.endless_nlst) args.push_back("--endless-nlst");
  if (options_.closed_pasv) args.push_back("--closed-pasv");
  if (options_.trickle_stor > 0) {
    args.push_back("--trickle-stor");
    args.push_back(std::to_string(options_.trickle_stor));
  }
  if (options_.long_reply > 1) {
    args.push_back("--long-reply");
    args.push_back(std::to_string(options_.long_reply));
  }
  if (options_.huge_nlst_names > 0) {
    args.push_back("--huge-nlst");
    args.push_back(std::to_string(options_.huge_nlst_names) + ":" +
                   std::to_string(options_.huge_nlst_length));
  }
  if (options_.short_stor > 0) {
    args.push_back("--short-stor");
    args.push_back(std::to_string(options_.short_stor));
  }
  if (options_.die_after_bytes > 0) {
    args.push_back("--die-after-bytes");
    args.push_back(std::to_string(options_.die_after_bytes));
  }
  if (!options_.tls_certificate.empty()) {
    args.push_back("--tls");
    args.push_back(options_.tls_certificate + ":" + options_.tls_key);
  }
  server_ = std::make_unique<Process>(args);

  // Wait for the port file (the server writes it once it listens).
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::ifstream in(port_file);
    if (in >> port_) return;
    if (server_->HasEnded()) {
      server_.reset();
      throw std::runtime_error("ftp_server.py ended before listening");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Stop();
  throw std::runtime_error("ftp_server.py did not start");
}

FtpTestServer::~FtpTestServer() { Stop(); }

void FtpTestServer::Stop() {
  if (!server_) return;
  server_->Stop(StopRequest::kTerminate);
  server_->Wait();
  server_.reset();
}

std::string FtpTestServer::HostField() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<std::string> FtpTestServer::Commands() const {
  std::vector<std::string> commands;
  std::ifstream in(files_.path() + "/commands");
  for (std::string line; std::getline(in, line);) commands.push_back(line);
  return commands;
}

int FtpTestServer::CountCommand(const std::string& verb) const {
  int count = 0;
  for (const std::string& command : Commands())
    if (command == verb || command.rfind(verb + " ", 0) == 0) ++count;
  return count;
}

}  // namespace kalvex::testing
