// Paths and texts are UTF-8 in the tests and UTF-16 in the Win32 calls.
#include "test_system.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
// winsock2.h before windows.h, which would bring the old winsock.h.
#include <winsock2.h>
// clang-format off
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on
// The tests' own SetEnvironmentVariable, not the system's macro for the W function.
#undef SetEnvironmentVariable

#include <io.h>
#include <sys/stat.h>
#include <sys/utime.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <thread>

namespace kalvex::testing {

namespace {

[[noreturn]] void NotAvailable(const std::string& what) {
  throw std::runtime_error(what + ": not available on Windows");
}

[[noreturn]] void Fail(const std::string& call, const std::string& path) {
  throw std::runtime_error(call + " " + path + ": Windows error " +
                           std::to_string(::GetLastError()));
}

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

// One argument of a command line as the C runtime splits it again.
std::wstring QuotedArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

// This process's environment with the settings applied, as CreateProcessW takes it.
std::wstring EnvironmentBlock(const ProcessOptions& options) {
  std::vector<std::wstring> entries;
  if (wchar_t* current = ::GetEnvironmentStringsW()) {
    for (const wchar_t* p = current; *p; p += wcslen(p) + 1) entries.emplace_back(p);
    ::FreeEnvironmentStringsW(current);
  }
  for (const auto& [name, value] : options.environment) {
    const std::wstring head = Wide(name) + L"=";
    std::erase_if(entries, [&](const std::wstring& entry) {
      return entry.size() >= head.size() &&
             ::CompareStringOrdinal(entry.c_str(), static_cast<int>(head.size()), head.c_str(),
                                    static_cast<int>(head.size()), TRUE) == CSTR_EQUAL;
    });
    if (value) entries.push_back(head + Wide(*value));
  }
  std::wstring block;
  for (const std::wstring& entry : entries) block += entry + L'\0';
  block += L'\0';
  return block;
}

// An inheritable handle of a file for a child's standard stream (input: the null device
// when no file is named).
HANDLE StreamFile(const std::string& path, bool output) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const std::wstring name = path.empty() ? std::wstring(L"NUL") : Wide(path);
  HANDLE h = ::CreateFileW(name.c_str(), output ? GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                           output ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) Fail("CreateFileW", path);
  return h;
}

void StartWinsock() {
  static const bool started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup failed");
}

SOCKET BindLoopback(int* port) {
  StartWinsock();
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::closesocket(s);
    throw std::runtime_error("bind on 127.0.0.1 failed");
  }
  *port = ntohs(address.sin_port);
  return s;
}

}  // namespace

bool IsPosixSystem() { return false; }

void SetEnvironmentVariable(const std::string& name, const std::optional<std::string>& value) {
  if (::_wputenv_s(Wide(name).c_str(), value ? Wide(*value).c_str() : L"") != 0)
    throw std::runtime_error("_wputenv_s " + name);
}

std::string MakeUniqueTemporaryFolder(const std::string& prefix) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device seed;
  std::mt19937 random(seed());
  std::string base = std::filesystem::temp_directory_path().string();
  while (!base.empty() && (base.back() == '\\' || base.back() == '/')) base.pop_back();
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof(kLetters) - 1)];
    const std::string path = base + "\\" + name;
    if (::CreateDirectoryW(Wide(path).c_str(), nullptr)) return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) Fail("CreateDirectoryW", path);
  }
  throw std::runtime_error("no free temporary folder name under " + base);
}

void MakeSymbolicLink(const std::string& target, const std::string& link) {
  const DWORD attributes = ::GetFileAttributesW(Wide(target).c_str());
  DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
  if (!::CreateSymbolicLinkW(Wide(link).c_str(), Wide(target).c_str(), flags))
    Fail("CreateSymbolicLinkW", link);
  // Wine (8.0) answers success and makes nothing: a test of links must not pass for that.
  if (::GetFileAttributesW(Wide(link).c_str()) == INVALID_FILE_ATTRIBUTES)
    throw std::runtime_error("CreateSymbolicLinkW " + link + ": no link was made");
}

void MakeHardLink(const std::string& target, const std::string& link) {
  if (!::CreateHardLinkW(Wide(link).c_str(), Wide(target).c_str(), nullptr))
    Fail("CreateHardLinkW", link);
}

void MakeFifo(const std::string& path) { NotAvailable("mkfifo " + path); }

bool IsFifo(const std::string&) { return false; }

unsigned FileMode(const std::string& path) {
  struct _stat64 st;
  if (::_wstat64(Wide(path).c_str(), &st) != 0) Fail("_wstat64", path);
  return st.st_mode & 0777;
}

void SetFileMode(const std::string& path, unsigned mode) {
  if (::_wchmod(Wide(path).c_str(), (mode & 0200) ? (_S_IREAD | _S_IWRITE) : _S_IREAD) != 0)
    Fail("_wchmod", path);
}

unsigned NewFileMode() { return _S_IREAD | _S_IWRITE; }

bool Writable(const std::string& path) { return ::_waccess(Wide(path).c_str(), 2) == 0; }

std::time_t ModificationTime(const std::string& path) {
  struct _stat64 st;
  if (::_wstat64(Wide(path).c_str(), &st) != 0) Fail("_wstat64", path);
  return static_cast<std::time_t>(st.st_mtime);
}

void SetModificationTime(const std::string& path, std::time_t when) {
  struct __utimbuf64 times {
    when, when
  };
  if (::_wutime64(Wide(path).c_str(), &times) != 0) Fail("_wutime64", path);
}

std::string BytesOnDisk(std::FILE* file) {
  HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(file)));
  LARGE_INTEGER size;
  if (h == INVALID_HANDLE_VALUE || !::GetFileSizeEx(h, &size)) Fail("GetFileSizeEx", "");
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  OVERLAPPED at_start{};
  DWORD read = 0;
  if (!bytes.empty() &&
      (!::ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, &at_start) ||
       read != bytes.size()))
    Fail("ReadFile", "");
  return bytes;
}

int ShellCommand(const std::string& command) { return std::system(command.c_str()); }

std::string CommandOutput(const std::string& command, int* status) {
  std::string out;
  if (status) *status = -1;
  if (FILE* pipe = ::_popen(command.c_str(), "rb")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = ::_pclose(pipe);
    if (status) *status = rc;
  }
  return out;
}

std::string ShellQuoted(const std::string& text) { return "\"" + text + "\""; }

int StopSignalNumber(StopRequest) { NotAvailable("signal numbers"); }

int ExitCodeOnStop(StopRequest) { NotAvailable("exit code of a stop signal"); }

void SendStopToSelf(StopRequest) { NotAvailable("a stop signal to the process itself"); }

void WaitToBeEnded() { NotAvailable("a forked child"); }

struct Process::Handle {
  PROCESS_INFORMATION info{};
  bool ended = false;
  int exit_code = -1;
};

Process::Process(const std::vector<std::string>& argv, const ProcessOptions& options)
    : handle_(std::make_unique<Handle>()) {
  if (argv.empty()) throw std::runtime_error("no program to start");
  std::wstring command_line;
  for (const std::string& arg : argv)
    command_line += (command_line.empty() ? L"" : L" ") + QuotedArgument(Wide(arg));
  std::wstring environment = EnvironmentBlock(options);
  HANDLE input = StreamFile(options.input_file, false);
  HANDLE output = options.output_file.empty() ? ::GetStdHandle(STD_OUTPUT_HANDLE)
                                              : StreamFile(options.output_file, true);
  HANDLE error = options.error_file.empty() ? ::GetStdHandle(STD_ERROR_HANDLE)
                                            : StreamFile(options.error_file, true);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  // Its own process group, so that a console break reaches it alone.
  const BOOL started = ::CreateProcessW(
      Wide(argv[0]).c_str(), command_line.data(), nullptr, nullptr, TRUE,
      CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP, environment.data(),
      options.working_folder.empty() ? nullptr : Wide(options.working_folder).c_str(), &startup,
      &handle_->info);
  const DWORD started_error = ::GetLastError();
  ::CloseHandle(input);
  if (!options.output_file.empty()) ::CloseHandle(output);
  if (!options.error_file.empty()) ::CloseHandle(error);
  if (!started) {
    ::SetLastError(started_error);
    Fail("CreateProcessW", argv[0]);
  }
  ::CloseHandle(handle_->info.hThread);
}

Process::Process(Process&& other) noexcept : handle_(std::move(other.handle_)) {}

Process::~Process() {
  if (!handle_) return;
  if (!handle_->ended) Kill();
  ::CloseHandle(handle_->info.hProcess);
}

int Process::Wait() {
  if (!handle_->ended) {
    ::WaitForSingleObject(handle_->info.hProcess, INFINITE);
    HasEnded();
  }
  return handle_->exit_code;
}

bool Process::HasEnded(int* exit_code) {
  if (!handle_->ended) {
    if (::WaitForSingleObject(handle_->info.hProcess, 0) != WAIT_OBJECT_0) return false;
    DWORD code = 0;
    handle_->exit_code =
        ::GetExitCodeProcess(handle_->info.hProcess, &code) ? static_cast<int>(code) : -1;
    handle_->ended = true;
  }
  if (exit_code) *exit_code = handle_->exit_code;
  return true;
}

void Process::Stop(StopRequest) {
  if (!handle_->ended) ::GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, handle_->info.dwProcessId);
}

void Process::Kill() {
  if (handle_->ended) return;
  ::TerminateProcess(handle_->info.hProcess, 1);
  Wait();
}

void Process::Pause() { NotAvailable("pausing a process"); }

void Process::Resume() { NotAvailable("resuming a process"); }

ForkedChild::ForkedChild(const std::function<char()>&) { NotAvailable("a forked child"); }

ForkedChild::~ForkedChild() = default;

char ForkedChild::Report() { return '\0'; }

int ForkedChild::Wait() { return exit_code_; }

void ForkedChild::Kill() {}

struct SilentServer::Acceptor {
  SOCKET listener = INVALID_SOCKET;
  std::atomic<bool> stop{false};
  std::thread thread;
};

SilentServer::SilentServer() : acceptor_(std::make_unique<Acceptor>()) {
  Acceptor& a = *acceptor_;
  a.listener = BindLoopback(&port_);
  if (::listen(a.listener, 16) != 0) {
    ::closesocket(a.listener);
    throw std::runtime_error("listen failed");
  }
  a.thread = std::thread([this, &a] {
    std::vector<SOCKET> held;
    while (!a.stop) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(a.listener, &readable);
      timeval tick{0, 50 * 1000};
      if (::select(0, &readable, nullptr, nullptr, &tick) <= 0) continue;
      SOCKET client = ::accept(a.listener, nullptr, nullptr);
      if (client != INVALID_SOCKET) {
        held.push_back(client);
        ++connections_;
      }
    }
    for (SOCKET client : held) ::closesocket(client);
  });
}

SilentServer::~SilentServer() {
  acceptor_->stop = true;
  if (acceptor_->thread.joinable()) acceptor_->thread.join();
  ::closesocket(acceptor_->listener);
}

int ClosedPort() {
  int port = 0;
  ::closesocket(BindLoopback(&port));
  return port;
}

}  // namespace kalvex::testing
