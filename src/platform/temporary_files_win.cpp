// Windows side of temporary_files.h. The descriptors of the contract are C runtime
// descriptors over the system's handles. A stop is a console control event: Ctrl+C is
// taken for SIGINT, closing the console for SIGHUP, Ctrl+Break, log-off and shutdown for
// SIGTERM, so a stopped run ends with the same 128 + number as on POSIX.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/stop_registry.h"
#include "platform/temporary_files.h"
#include "platform/win_io.h"

namespace kalvex::platform {

namespace {

// The POSIX numbers of the signals the console's events stand for.
constexpr int kSigHup = 1;
constexpr int kSigInt = 2;
constexpr int kSigTerm = 15;

HANDLE HandleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

// Removes the files derived from `path` by `extra` more characters of name.
void RemoveDerived(const std::string& path, size_t extra) {
  const size_t slash = path.rfind('\\');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(Wide(path + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string candidate = Narrow(found.cFileName);
    if (candidate.size() == name.size() + extra && candidate.compare(0, name.size(), name) == 0)
      ::DeleteFileW(Wide(folder + candidate).c_str());
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
}

void RemoveListed(const stop_registry::Entry& entry) {
  ::DeleteFileW(Wide(entry.path).c_str());
  if (entry.extra_characters > 0) RemoveDerived(entry.path, entry.extra_characters);
}

BOOL WINAPI EndOnStop(DWORD event) {
  int signal_number = 0;
  switch (event) {
    case CTRL_C_EVENT:
      signal_number = kSigInt;
      break;
    case CTRL_CLOSE_EVENT:
      signal_number = kSigHup;
      break;
    case CTRL_BREAK_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      signal_number = kSigTerm;
      break;
    default:
      return FALSE;
  }
  // The system runs this on a thread of its own while the others go on.
  stop_registry::RunStopAction(signal_number, &RemoveListed);
  ::ExitProcess(static_cast<UINT>(128 + signal_number));
}

// Copies the bytes of `in` from offset 0 to its end to the end of `out`, in pieces
// through the tool's memory. Gives 0 or the error number.
int CopyHandle(HANDLE in, HANDLE out) {
  std::vector<char> buffer(1 << 20);
  uint64_t offset = 0;
  for (;;) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!::ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &n, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
      return LastErrno();
    }
    if (n == 0) return 0;
    if (const int error = WriteAll(out, buffer.data(), n)) return error;
    offset += n;
  }
}

int64_t SizeOf(HANDLE handle) {
  LARGE_INTEGER size;
  return ::GetFileSizeEx(handle, &size) ? static_cast<int64_t>(size.QuadPart) : -1;
}

// True when the handle is open on the file at `path` (not a file put there since).
bool OpenOn(HANDLE handle, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION open_file, at_path;
  const OwnedHandle there(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                        nullptr));
  return there.ok() && ::GetFileInformationByHandle(handle, &open_file) &&
         ::GetFileInformationByHandle(there.get(), &at_path) &&
         open_file.dwVolumeSerialNumber == at_path.dwVolumeSerialNumber &&
         open_file.nFileIndexHigh == at_path.nFileIndexHigh &&
         open_file.nFileIndexLow == at_path.nFileIndexLow;
}

}  // namespace

TemporaryFile::TemporaryFile(const std::string& native_target, const std::string& display_path)
    : target_(native_target), display_(display_path) {
  const std::string stem = native_target + TemporaryFileMarker();
  const std::unique_lock<std::mutex> listed = stop_registry::Lock();
  OwnedHandle handle = CreateNewFile(stem, &path_);
  if (!handle.ok()) ThrowIoError(LastErrno(), display_);
  fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDWR | _O_BINARY);
  if (fd_ < 0) {
    handle.reset();
    ::DeleteFileW(Wide(path_).c_str());
    ThrowIoError(EMFILE, display_);
  }
  handle.release();  // the descriptor owns it now
  id_ = stop_registry::AddLocked(path_, 0);
}

TemporaryFile::~TemporaryFile() {
  if (fd_ >= 0) ::_close(fd_);
  if (!committed_) ::DeleteFileW(Wide(path_).c_str());
  stop_registry::Drop(id_);
}

void TemporaryFile::Write(std::string_view bytes) {
  const int error = WriteAll(HandleOf(fd_), bytes.data(), bytes.size());
  if (error != 0) ThrowIoError(error, display_);
}

void TemporaryFile::CopyFrom(const std::string& native_source, const std::string& display_source) {
  if (SizeOf(HandleOf(fd_)) != 0) {
    // Bytes already written stay: the source is appended.
    const int in = OpenRegularFileForReading(native_source);
    if (in < 0) ThrowIoError(errno, display_source);
    const int error = CopyHandle(HandleOf(in), HandleOf(fd_));
    ::_close(in);
    if (error != 0) ThrowIoError(error, display_);
    return;
  }
  // Nothing written yet: the system copies the file over this one, then it is opened
  // again at its end.
  const int in = OpenRegularFileForReading(native_source);
  if (in < 0) ThrowIoError(errno, display_source);
  ::_close(in);
  ::_close(fd_);
  fd_ = -1;
  const bool copied =
      ::CopyFileExW(Wide(native_source).c_str(), Wide(path_).c_str(), nullptr, nullptr, nullptr, 0);
  const int copy_error = copied ? 0 : LastErrno();
  OwnedHandle handle(::CreateFileW(Wide(path_).c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle.ok()) ThrowIoError(LastErrno(), display_);
  if (::SetFilePointerEx(handle.get(), LARGE_INTEGER{}, nullptr, FILE_END))
    fd_ = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDWR | _O_BINARY);
  if (fd_ < 0) ThrowIoError(EMFILE, display_);
  handle.release();
  if (copy_error != 0) ThrowIoError(copy_error, display_source);
}

void TemporaryFile::CopyFrom(int source_fd) {
  const int error = CopyHandle(HandleOf(source_fd), HandleOf(fd_));
  if (error != 0) ThrowIoError(error, display_);
}

void TemporaryFile::CopyFrom(const TemporaryFile& other) {
  const int error = CopyHandle(HandleOf(other.fd_), HandleOf(fd_));
  if (error != 0) ThrowIoError(error, display_);
}

void TemporaryFile::Commit(Flush flush) {
  int error = 0;
  // A library may have put a file of its own in place of ours (libzip writes the archive
  // into a new file renamed over this one): the file now at our path is the one flushed.
  const bool ours = fd_ >= 0 && OpenOn(HandleOf(fd_), path_);
  if (flush == Flush::kToDisk) {
    OwnedHandle reopened;
    if (!ours)
      reopened =
          OwnedHandle(::CreateFileW(Wide(path_).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const HANDLE handle = ours ? HandleOf(fd_) : reopened.get();
    if (!ours && !reopened.ok())
      error = LastErrno();
    else if (!::FlushFileBuffers(handle))
      error = LastErrno();
  }
  if (fd_ >= 0 && ::_close(fd_) != 0 && error == 0) error = EIO;
  fd_ = -1;
  // A link or junction at the target is replaced by the rename, never followed.
  if (error == 0 && !::MoveFileExW(Wide(path_).c_str(), Wide(target_).c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = LastErrno();
  if (error != 0) ThrowIoError(error, display_);  // the destructor removes the file
  committed_ = true;
}

void InstallSignalCleanup() { ::SetConsoleCtrlHandler(&EndOnStop, TRUE); }

int RemoveStaleTemporaryFiles(const std::string& native_folder) {
  const std::string marker = TemporaryFileMarker();
  const std::string prefix = native_folder.empty() ? "" : native_folder + "\\";
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(Wide(prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int removed = 0;
  do {
    const std::string name = Narrow(found.cFileName);
    if (name.find(marker) == std::string::npos) continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (::DeleteFileW(Wide(prefix + name).c_str())) ++removed;
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return removed;
}

}  // namespace kalvex::platform
