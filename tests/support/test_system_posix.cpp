#include "test_system.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>

namespace kalvex::testing {

namespace {

[[noreturn]] void Fail(const std::string& call, const std::string& path) {
  throw std::runtime_error(call + " " + path + ": " + std::strerror(errno));
}

int SignalOf(StopRequest request) {
  switch (request) {
    case StopRequest::kInterrupt:
      return SIGINT;
    case StopRequest::kTerminate:
      return SIGTERM;
    case StopRequest::kHangUp:
      return SIGHUP;
  }
  return SIGTERM;
}

int ExitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

// Waits for a child whatever interrupts the wait; its exit code.
int WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return ExitCodeOf(status);
}

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

bool IsPosixSystem() { return true; }

void SetEnvironmentVariable(const std::string& name, const std::optional<std::string>& value) {
  const int rc = value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  if (rc != 0) Fail("setenv", name);
}

std::string MakeUniqueTemporaryFolder(const std::string& prefix) {
  std::string path = std::filesystem::temp_directory_path().string() + "/" + prefix + "XXXXXX";
  if (::mkdtemp(path.data()) == nullptr) Fail("mkdtemp", path);
  return path;
}

void MakeSymbolicLink(const std::string& target, const std::string& link) {
  if (::symlink(target.c_str(), link.c_str()) != 0) Fail("symlink", link);
}

void MakeHardLink(const std::string& target, const std::string& link) {
  if (::link(target.c_str(), link.c_str()) != 0) Fail("link", link);
}

void MakeFifo(const std::string& path) {
  if (::mkfifo(path.c_str(), 0644) != 0) Fail("mkfifo", path);
}

bool IsFifo(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

unsigned FileMode(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) Fail("stat", path);
  return st.st_mode & 07777;
}

void SetFileMode(const std::string& path, unsigned mode) {
  if (::chmod(path.c_str(), mode) != 0) Fail("chmod", path);
}

unsigned NewFileMode() {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return 0666 & ~mask;
}

bool Writable(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }

std::time_t ModificationTime(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) Fail("stat", path);
  return st.st_mtime;
}

void SetModificationTime(const std::string& path, std::time_t when) {
  const utimbuf times{when, when};
  if (::utime(path.c_str(), &times) != 0) Fail("utime", path);
}

std::string BytesOnDisk(std::FILE* file) {
  struct stat st;
  if (::fstat(::fileno(file), &st) != 0) Fail("fstat", "");
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  if (::pread(::fileno(file), bytes.data(), bytes.size(), 0) != st.st_size) Fail("pread", "");
  return bytes;
}

int ShellCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return status < 0 ? -1 : ExitCodeOf(status);
}

std::string CommandOutput(const std::string& command, int* status) {
  std::string out;
  if (status) *status = -1;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = ::pclose(pipe);
    if (status) *status = rc < 0 ? -1 : ExitCodeOf(rc);
  }
  return out;
}

std::string ShellQuoted(const std::string& text) { return "'" + text + "'"; }

int StopSignalNumber(StopRequest request) { return SignalOf(request); }

int ExitCodeOnStop(StopRequest request) { return 128 + SignalOf(request); }

void SendStopToSelf(StopRequest request) { ::kill(::getpid(), SignalOf(request)); }

void WaitToBeEnded() {
  for (;;) ::pause();
}

struct Process::Handle {
  pid_t pid = -1;
  bool ended = false;
  int exit_code = -1;
};

Process::Process(const std::vector<std::string>& argv, const ProcessOptions& options)
    : handle_(std::make_unique<Handle>()) {
  if (argv.empty()) throw std::runtime_error("no program to start");
  // Everything the child needs is prepared before the fork: after it, only calls that are
  // safe in a copy of a threaded process.
  std::vector<char*> args;
  std::vector<std::string> owned = argv;
  for (std::string& arg : owned) args.push_back(arg.data());
  args.push_back(nullptr);
  const std::string input = options.input_file.empty() ? "/dev/null" : options.input_file;
  const pid_t pid = ::fork();
  if (pid < 0) Fail("fork", argv[0]);
  if (pid == 0) {
    for (const auto& [name, value] : options.environment) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
    if (!options.working_folder.empty() && ::chdir(options.working_folder.c_str()) != 0)
      ::_exit(126);
    const int in_fd = ::open(input.c_str(), O_RDONLY);
    if (in_fd < 0 || ::dup2(in_fd, 0) < 0) ::_exit(126);
    const std::pair<const std::string*, int> outputs[] = {{&options.output_file, 1},
                                                          {&options.error_file, 2}};
    for (const auto& [file, stream] : outputs) {
      if (file->empty()) continue;
      const int fd = ::open(file->c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd < 0 || ::dup2(fd, stream) < 0) ::_exit(126);
    }
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  handle_->pid = pid;
}

Process::Process(Process&& other) noexcept : handle_(std::move(other.handle_)) {}

Process::~Process() {
  if (handle_ && !handle_->ended) Kill();
}

int Process::Wait() {
  if (!handle_->ended) {
    handle_->exit_code = WaitFor(handle_->pid);
    handle_->ended = true;
  }
  return handle_->exit_code;
}

bool Process::HasEnded(int* exit_code) {
  if (!handle_->ended) {
    int status = 0;
    if (::waitpid(handle_->pid, &status, WNOHANG) != handle_->pid) return false;
    handle_->exit_code = ExitCodeOf(status);
    handle_->ended = true;
  }
  if (exit_code) *exit_code = handle_->exit_code;
  return true;
}

void Process::Stop(StopRequest request) {
  if (!handle_->ended) ::kill(handle_->pid, SignalOf(request));
}

void Process::Kill() {
  if (handle_->ended) return;
  ::kill(handle_->pid, SIGKILL);
  Wait();
}

void Process::Pause() {
  if (!handle_->ended) ::kill(handle_->pid, SIGSTOP);
}

void Process::Resume() {
  if (!handle_->ended) ::kill(handle_->pid, SIGCONT);
}

ForkedChild::ForkedChild(const std::function<char()>& body) {
  int channel[2];
  if (::pipe2(channel, O_CLOEXEC) != 0) Fail("pipe", "");
  const pid_t pid = ::fork();
  if (pid < 0) Fail("fork", "");
  if (pid == 0) {
    ::close(channel[0]);
    const char c = body();
    [[maybe_unused]] ssize_t sent = ::write(channel[1], &c, 1);
    WaitToBeEnded();
  }
  ::close(channel[1]);
  pid_ = pid;
  channel_ = channel[0];
}

ForkedChild::~ForkedChild() {
  Kill();
  ::close(channel_);
}

char ForkedChild::Report() {
  char c = 0;
  ssize_t n;
  while ((n = ::read(channel_, &c, 1)) < 0 && errno == EINTR) {
  }
  return n == 1 ? c : '\0';
}

int ForkedChild::Wait() {
  if (pid_ > 0) {
    exit_code_ = WaitFor(static_cast<pid_t>(pid_));
    pid_ = -1;
  }
  return exit_code_;
}

void ForkedChild::Kill() {
  if (pid_ <= 0) return;
  ::kill(static_cast<pid_t>(pid_), SIGKILL);
  Wait();
}

struct SilentServer::Acceptor {
  int fd = -1;
  int wake[2] = {-1, -1};
  std::thread thread;
};

SilentServer::SilentServer() : acceptor_(std::make_unique<Acceptor>()) {
  Acceptor& a = *acceptor_;
  a.fd = BindLoopback(&port_);
  if (::listen(a.fd, 16) != 0 || ::pipe2(a.wake, O_CLOEXEC) != 0) {
    ::close(a.fd);
    throw std::runtime_error("listen failed");
  }
  a.thread = std::thread([this, &a] {
    std::vector<int> held;
    for (;;) {
      pollfd waits[2] = {{a.fd, POLLIN, 0}, {a.wake[0], POLLIN, 0}};
      if (::poll(waits, 2, -1) < 0) continue;
      if (waits[1].revents != 0) break;
      int client = ::accept4(a.fd, nullptr, nullptr, SOCK_CLOEXEC);
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
  Acceptor& a = *acceptor_;
  [[maybe_unused]] ssize_t woken = ::write(a.wake[1], "x", 1);
  if (a.thread.joinable()) a.thread.join();
  for (int fd : {a.fd, a.wake[0], a.wake[1]})
    if (fd >= 0) ::close(fd);
}

int ClosedPort() {
  int port = 0;
  ::close(BindLoopback(&port));
  return port;
}

}  // namespace kalvex::testing
