// Windows side of file_lock.h: LockFileEx on the lock file, held through a C runtime
// descriptor over the handle; closing it releases the lock.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/file_lock.h"
#include "platform/platform.h"
#include "platform/win_io.h"

namespace kalvex::platform {

std::unique_ptr<FileLock> FileLock::TryAcquire(const std::string& path) {
  const std::string native = NativePath(path);
  // Never through a link or junction: ELOOP, as the other files written in place.
  if (IsReparsePoint(AttributesAt(native))) ThrowIoError(ELOOP, path);
  OwnedHandle handle(::CreateFileW(Wide(native).c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle.ok()) ThrowIoError(LastErrno(), path);
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle.get(), &info)) ThrowIoError(LastErrno(), path);
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
    ThrowIoError(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? EISDIR : ELOOP, path);
  OVERLAPPED whole{};
  if (!::LockFileEx(handle.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                    MAXDWORD, &whole)) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return nullptr;
    ThrowIoError(ErrnoOf(error), path);
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDWR | _O_BINARY);
  if (fd < 0) ThrowIoError(EMFILE, path);
  handle.release();  // the descriptor owns it now
  return std::unique_ptr<FileLock>(new FileLock(fd));
}

FileLock::~FileLock() { ::_close(fd_); }

}  // namespace kalvex::platform
