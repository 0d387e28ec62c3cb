#include "ftp_server_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kalvex::testing {

namespace {

// A socket bound to 127.0.0.1 on an ephemeral port; its port in *port.
int BindLoopback(int* port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof(address);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    throw std::runtime_error("bind on 127.0.0.1 failed");
  }
  *port = ntohs(address.sin_port);
  return fd;
}

}  // namespace

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
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  pid_ = pid;

  // Wait for the port file (the server writes it once it listens).
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::ifstream in(port_file);
    if (in >> port_) return;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("ftp_server.py ended before listening");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Stop();
  throw std::runtime_error("ftp_server.py did not start");
}

FtpTestServer::~FtpTestServer() { Stop(); }

void FtpTestServer::Stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
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

SilentServer::SilentServer() {
  fd_ = BindLoopback(&port_);
  if (::listen(fd_, 16) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
    ::close(fd_);
    throw std::runtime_error("listen failed");
  }
  acceptor_ = std::thread([this] {
    std::vector<int> held;
    for (;;) {
      pollfd waits[2] = {{fd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(waits, 2, -1) < 0) continue;
      if (waits[1].revents != 0) break;
      int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0) {
        held.push_back(client);
        ++connections_;
      }
    }
    for (int client : held) ::close(client);
  });
}

SilentServer::~SilentServer() {
  // Wakes the acceptor, which closes what it holds and ends.
  [[maybe_unused]] ssize_t woken = ::write(wake_[1], "x", 1);
  if (acceptor_.joinable()) acceptor_.join();
  for (int fd : {fd_, wake_[0], wake_[1]})
    if (fd >= 0) ::close(fd);
}

int ClosedPort() {
  int port = 0;
  int fd = BindLoopback(&port);
  ::close(fd);
  return port;
}

}  // namespace kalvex::testing
