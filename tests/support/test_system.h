// What a test asks of the operating system beyond what the tool itself asks: processes
// started and waited for, stop requests, links, FIFOs, file modes and times, shell
// commands, environment settings, a silent TCP listener. test_system_posix.cpp answers on
// POSIX, test_system_win.cpp on Windows. What one system lacks (FIFOs, forked children,
// pausing a process) throws std::runtime_error ending in "not available on Windows";
// tests of such behaviour begin with KALVEX_SKIP_UNLESS_POSIX(). Every other failure
// throws std::runtime_error naming the call and the path.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kalvex::testing {

// True where files have POSIX modes, FIFOs and links for every user, and processes get
// signals and can be forked.
bool IsPosixSystem();

// The first statement of a test of POSIX-only behaviour.
#define KALVEX_SKIP_UNLESS_POSIX() \
  if (!::kalvex::testing::IsPosixSystem()) GTEST_SKIP() << "not available on Windows"

// --- Environment, folders, links, files

// Sets a variable of this process's environment, or removes it (nullopt).
void SetEnvironmentVariable(const std::string& name, const std::optional<std::string>& value);

// Makes a new empty folder of a unique name under the system's temporary folder, named
// "<prefix>XXXXXX"; gives its native path without trailing separator.
std::string MakeUniqueTemporaryFolder(const std::string& prefix);

void MakeSymbolicLink(const std::string& target, const std::string& link);
void MakeHardLink(const std::string& target, const std::string& link);
void MakeFifo(const std::string& path);  // POSIX only
bool IsFifo(const std::string& path);    // the path itself, a link not followed

// Permission bits (07777) of a file, links followed; changes them. On Windows only the
// owner's write bit means anything (the read-only attribute).
unsigned FileMode(const std::string& path);
void SetFileMode(const std::string& path, unsigned mode);
// The permission bits a file created with 0666 gets in this process (the umask taken off).
unsigned NewFileMode();
// True when this process may write into `path` (a file or a folder).
bool Writable(const std::string& path);
// A file's modification time in seconds since 1970, links followed; sets it (and the
// access time).
std::time_t ModificationTime(const std::string& path);
void SetModificationTime(const std::string& path, std::time_t when);

// The bytes that reached the file behind `file` so far, read at offset 0 without
// flushing or moving the stream.
std::string BytesOnDisk(std::FILE* file);

// --- Shell commands

// Runs a command with the system's shell; gives its exit code, -1 when it did not exit
// normally or could not start.
int ShellCommand(const std::string& command);
// Runs a shell command and gives its standard output; its exit status in `status`
// (-1 when it did not exit normally or could not start).
std::string CommandOutput(const std::string& command, int* status = nullptr);
// A path or word quoted for the shell (no quote character inside).
std::string ShellQuoted(const std::string& text);

// --- Processes and stop requests

// The stop requests a run answers by removing its files in the making and ending.
enum class StopRequest { kInterrupt, kTerminate, kHangUp };
// The signal number of the request (POSIX only), and the exit code of a run ended by
// it: 128 + that number.
int StopSignalNumber(StopRequest request);
int ExitCodeOnStop(StopRequest request);
// Sends the request to this very process (POSIX only).
void SendStopToSelf(StopRequest request);
// Waits, in a forked child, until something ends the process (POSIX only).
[[noreturn]] void WaitToBeEnded();

struct ProcessOptions {
  std::string working_folder;  // empty: this process's
  // Files of the standard streams; empty input: the null device; empty output: this
  // process's stream. Outputs are created or emptied.
  std::string input_file;
  std::string output_file;
  std::string error_file;
  // Settings of the child's environment on top of this process's: a value, or nullopt
  // to remove the variable.
  std::vector<std::pair<std::string, std::optional<std::string>>> environment;
};

// A started program. Owns it: a process still running when the object goes is killed
// and waited for.
class Process {
 public:
  // Starts argv[0] (a path, not looked up) with the arguments; throws when it cannot.
  Process(const std::vector<std::string>& argv, const ProcessOptions& options = {});
  ~Process();
  Process(Process&& other) noexcept;
  Process& operator=(Process&&) = delete;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // Waits for the end; the exit code (-1 when ended by a signal it did not handle).
  int Wait();
  // True, with the exit code, when the process has ended; never waits.
  bool HasEnded(int* exit_code = nullptr);
  void Stop(StopRequest request);
  void Kill();  // at once, without a chance to clean up; then waited for
  // Holds the process still and lets it go on (POSIX only).
  void Pause();
  void Resume();

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

// Runs `body` in a forked copy of this process (POSIX only). The child gives the
// character `body` returns to the parent (Report), then stays until something ends it:
// a signal it handles, or Kill().
class ForkedChild {
 public:
  explicit ForkedChild(const std::function<char()>& body);
  ~ForkedChild();  // kills the child if it still runs, and waits for it
  ForkedChild(const ForkedChild&) = delete;
  ForkedChild& operator=(const ForkedChild&) = delete;

  // Waits for the child's character; '\0' when it ended without giving one.
  char Report();
  // Waits for the end; the exit code (-1 when ended by a signal it did not handle).
  int Wait();
  void Kill();

 private:
  long pid_ = -1;
  int channel_ = -1;
  int exit_code_ = -1;
};

// --- Network

// Accepts TCP connections on 127.0.0.1 and never sends a byte, like an FTP server that
// hangs before its greeting; counts the connections it was offered.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;
  int port() const { return port_; }
  // Connections accepted so far (all held open until the server goes).
  int Connections() const { return connections_.load(); }

 private:
  struct Acceptor;
  std::unique_ptr<Acceptor> acceptor_;
  int port_ = 0;
  std::atomic<int> connections_{0};
};

// A port on 127.0.0.1 where nothing listens (just released by the system).
int ClosedPort();

}  // namespace kalvex::testing
