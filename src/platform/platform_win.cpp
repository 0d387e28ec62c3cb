// Windows side of platform.h. Paths are native ("\" separated) UTF-8 inside the tool and
// UTF-16 at every system call; the file systems ignore letter case, so a name is found
// as written. A descriptor of the contract (RegularFileReader, OpenRegularFileForReading)
// is a C runtime descriptor over the system's handle.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// The tool's own RemoveDirectory, not the system's macro for RemoveDirectoryW.
#undef RemoveDirectory

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwctype>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/folder_components.h"
#include "platform/platform.h"
#include "platform/platform_texts.h"
#include "platform/temporary_files.h"
#include "platform/win_io.h"

namespace kalvex::platform {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what stands at a path to ask about it (no read or write access): a link or
// junction followed or not; a folder opens too.
OwnedHandle OpenToAsk(const std::string& native, bool follow) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (follow ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  return OwnedHandle(::CreateFileW(Wide(native).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                   OPEN_EXISTING, flags, nullptr));
}

bool InfoOf(const std::string& native, bool follow, BY_HANDLE_FILE_INFORMATION* info,
            DWORD* type = nullptr) {
  const OwnedHandle handle = OpenToAsk(native, follow);
  if (!handle.ok() || !::GetFileInformationByHandle(handle.get(), info)) return false;
  if (type) *type = ::GetFileType(handle.get());
  return true;
}

bool IsRegular(const BY_HANDLE_FILE_INFORMATION& info, DWORD type) {
  return type == FILE_TYPE_DISK && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) |
                              info.nFileSizeLow);
}

bool IsDir(const std::string& native) {
  const DWORD attributes = AttributesAt(native);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Letters compared without case, as the file systems compare names.
bool SameNames(const std::string& a, const std::string& b) {
  const std::wstring wa = Wide(a), wb = Wide(b);
  return ::CompareStringOrdinal(wa.data(), static_cast<int>(wa.size()), wb.data(),
                                static_cast<int>(wb.size()), TRUE) == CSTR_EQUAL;
}

// The path the system gives for an open handle, without its "\\?\" prefix.
std::string FinalPath(HANDLE handle) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n =
        ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(n + 1);
  }
  if (buffer.rfind(L"\\\\?\\UNC\\", 0) == 0) return Narrow(L"\\\\" + buffer.substr(8));
  if (buffer.rfind(L"\\\\?\\", 0) == 0) return Narrow(buffer.substr(4));
  return Narrow(buffer);
}

// Length of the root of a native path: "C:\" (3), "C:" (2), "\\server\share\" or "\" (1);
// 0 for a relative path.
size_t RootLength(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
  if (path.rfind("\\\\", 0) == 0) {
    const size_t server_end = path.find('\\', 2);
    if (server_end == std::string::npos) return path.size();
    const size_t share_end = path.find('\\', server_end + 1);
    return share_end == std::string::npos ? path.size() : share_end + 1;
  }
  return !path.empty() && path[0] == '\\' ? 1 : 0;
}

}  // namespace

std::string GetEnv(const char* name) {
  const std::wstring wide_name = Wide(name);
  std::wstring value(256, L'\0');
  for (;;) {
    const DWORD n = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                              static_cast<DWORD>(value.size()));
    if (n == 0) return {};
    if (n < value.size()) {
      value.resize(n);
      return Narrow(value);
    }
    value.resize(n);
  }
}

std::string Windir() { return GetEnv("Windir"); }

std::string NativePath(std::string_view path) {
  // "/" made "\", and doubled separators, which "folder + \ + name" joins give when a
  // configured folder already ends with one, made one; the "\\" of a UNC path stays.
  std::string clean;
  clean.reserve(path.size());
  for (char c : path) {
    if (c == '/') c = '\\';
    if (c == '\\' && clean.size() > 1 && clean.back() == '\\') continue;
    clean.push_back(c);
  }
  return clean;
}

std::string HomeFolder() { return GetEnv("USERPROFILE"); }

std::string ResolvedPath(const std::string& path) {
  const std::wstring native = Wide(NativePath(path));
  DWORD n = ::GetFullPathNameW(native.c_str(), 0, nullptr, nullptr);
  if (n == 0) return NativePath(path);
  std::wstring full(n, L'\0');
  n = ::GetFullPathNameW(native.c_str(), n, full.data(), nullptr);
  full.resize(n);
  std::string absolute = Narrow(full);
  const size_t root = RootLength(absolute);
  while (absolute.size() > root && absolute.back() == '\\') absolute.pop_back();
  // The longest part that exists, links followed and in its letter case; the rest as
  // written.
  std::string head = absolute;
  std::string tail;
  while (head.size() > root) {
    const OwnedHandle handle = OpenToAsk(head, true);
    if (handle.ok()) {
      std::string found = FinalPath(handle.get());
      if (found.empty()) break;
      return tail.empty() ? found : (found.back() == '\\' ? found : found + "\\") + tail;
    }
    const size_t slash = head.rfind('\\');
    if (slash == std::string::npos || slash < root) break;
    const std::string name = head.substr(slash + 1);
    tail = tail.empty() ? name : name + "\\" + tail;
    head.resize(std::max(slash, root));
  }
  return absolute;
}

bool FolderHolds(const std::string& folder, const std::string& path) {
  if (folder.empty() || path.empty()) return false;
  if (SameNames(folder, path)) return true;
  const bool ends = folder.back() == '\\';
  if (path.size() <= folder.size() || (!ends && path[folder.size()] != '\\')) return false;
  return SameNames(folder, path.substr(0, folder.size()));
}

bool IsFileSystemRoot(const std::string& resolved) {
  if (resolved.empty()) return false;
  std::string path = resolved;
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return RootLength(path) == path.size() || RootLength(path + "\\") == path.size() + 1;
}

std::string ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return Narrow(buffer);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ExecutableDir() {
  const std::string exe = ExecutablePath();
  const size_t slash = exe.rfind('\\');
  return slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
}

std::tm LocalTimeNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_s(&tm, &t);
  return tm;
}

std::string FormatDateTime(const std::tm& local) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(local.tm_year + 1900);
  time.wMonth = static_cast<WORD>(local.tm_mon + 1);
  time.wDayOfWeek = static_cast<WORD>(local.tm_wday);
  time.wDay = static_cast<WORD>(local.tm_mday);
  time.wHour = static_cast<WORD>(local.tm_hour);
  time.wMinute = static_cast<WORD>(local.tm_min);
  time.wSecond = static_cast<WORD>(local.tm_sec);
  wchar_t date[128], clock[128];
  if (::GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, date, 128,
                        nullptr) == 0 ||
      ::GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, clock, 128) == 0)
    return {};
  return Narrow(date) + " " + Narrow(clock);
}

bool StandardErrorIsTerminal() {
  // The console shows the tool's UTF-8 as it is.
  DWORD mode = 0;
  const bool console = ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
  if (console || ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode))
    ::SetConsoleOutputCP(CP_UTF8);
  return console;
}

std::string SystemErrorText(int code) {
  if (const char* french = platform_text::SystemErrorReason(code)) return french;
  const char* text = std::strerror(code);
  return text ? std::string(text) : platform_text::UnknownSystemError(code);
}

bool FileExists(const std::string& path) {
  const DWORD attributes = AttributesAt(NativePath(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (!IsReparsePoint(attributes)) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  BY_HANDLE_FILE_INFORMATION info;
  return InfoOf(NativePath(path), true, &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RegularFileExists(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info;
  DWORD type = 0;
  return InfoOf(NativePath(path), true, &info, &type) && IsRegular(info, type);
}

int64_t FileSize(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info;
  DWORD type = 0;
  return InfoOf(NativePath(path), true, &info, &type) && IsRegular(info, type) ? SizeOf(info) : -1;
}

int64_t FileWriteTime(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!InfoOf(NativePath(path), true, &info)) return -1;
  return static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                              info.ftLastWriteTime.dwLowDateTime);
}

bool SameFile(const std::string& native_a, const std::string& native_b) {
  BY_HANDLE_FILE_INFORMATION a, b;
  return InfoOf(native_a, true, &a) && InfoOf(native_b, true, &b) &&
         a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

int OpenRegularFileForReading(const std::string& native_path) {
  if (IsDir(native_path)) {
    errno = EISDIR;
    return -1;
  }
  // A pipe or a device opens at once and is refused by its type: nothing waits on it.
  OwnedHandle handle(::CreateFileW(Wide(native_path).c_str(), GENERIC_READ, kShareAll, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.ok()) {
    errno = LastErrno();
    return -1;
  }
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK) {
    errno = EINVAL;
    return -1;
  }
  const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle.get()), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    errno = EMFILE;
    return -1;
  }
  handle.release();  // the descriptor owns it now
  return fd;
}

RegularFileReader::RegularFileReader(const std::string& native_path)
    : fd_(OpenRegularFileForReading(native_path)) {
  if (fd_ < 0) error_ = errno;
}

RegularFileReader::~RegularFileReader() {
  if (fd_ >= 0) ::_close(fd_);
}

std::string RegularFileReader::Reason() const {
  return error_ == EINVAL ? std::string(platform_text::kNotARegularFile) : SystemErrorText(error_);
}

int64_t RegularFileReader::Size() const {
  LARGE_INTEGER size;
  if (fd_ < 0) return -1;
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd_));
  return ::GetFileSizeEx(handle, &size) ? static_cast<int64_t>(size.QuadPart) : -1;
}

long RegularFileReader::Read(char* buffer, size_t length) {
  if (fd_ < 0) return -1;
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd_));
  const DWORD chunk = length > (1u << 30) ? (1u << 30) : static_cast<DWORD>(length);
  DWORD n = 0;
  if (!::ReadFile(handle, buffer, chunk, &n, nullptr)) {
    error_ = LastErrno();
    return -1;
  }
  return static_cast<long>(n);
}

std::optional<FileId> FileIdentity(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!InfoOf(NativePath(path), false, &info)) return std::nullopt;
  return FileId{info.dwVolumeSerialNumber,
                (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

PathKind KindAt(const std::string& native_path) {
  const DWORD attributes = AttributesAt(native_path);
  if (IsReparsePoint(attributes)) return PathKind::kLink;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return PathKind::kFolder;
  const OwnedHandle handle = OpenToAsk(native_path, false);
  if (!handle.ok())
    return attributes == INVALID_FILE_ATTRIBUTES ? PathKind::kNothing : PathKind::kOther;
  switch (::GetFileType(handle.get())) {
    case FILE_TYPE_DISK:
      return PathKind::kRegularFile;
    case FILE_TYPE_PIPE:
      return PathKind::kFifo;
    case FILE_TYPE_CHAR:
      return PathKind::kDevice;
    default:
      return PathKind::kOther;
  }
}

bool DirectoryExists(const std::string& path) { return IsDir(NativePath(path)); }

bool ForceDirectories(const std::string& path) {
  std::string native = NativePath(path);
  const size_t root = RootLength(native);
  while (native.size() > root && native.back() == '\\') native.pop_back();
  if (native.empty()) return false;
  if (IsDir(native)) return true;
  for (size_t pos = root; pos != std::string::npos;) {
    pos = native.find('\\', pos + 1);
    const std::string part = native.substr(0, pos);
    if (part.size() > root && !IsDir(part) && !::CreateDirectoryW(Wide(part).c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS)
      return false;
  }
  return IsDir(native);
}

namespace {

// What a link or junction at `native` points to, as the system resolves it; "?" when
// it cannot tell.
std::string LinkTarget(const std::string& native) {
  const OwnedHandle handle = OpenToAsk(native, true);
  const std::string target = handle.ok() ? FinalPath(handle.get()) : std::string();
  return target.empty() ? "?" : target;
}

// Opens the folder at `native` without following a link or junction, not shareable for
// deletion: while the handle is held, the folder cannot be renamed, removed or replaced.
// An invalid handle when what is there is not a plain folder (or nothing is there).
OwnedHandle OpenPlainFolder(const std::string& native) {
  OwnedHandle handle(::CreateFileW(Wide(native).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (handle.ok() && (!::GetFileInformationByHandle(handle.get(), &info) ||
                      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)))
    handle.reset();
  return handle;
}

// Removes everything inside a folder, never following a link or junction: a link is
// removed itself, a sub-folder is held open while it is emptied the same way, then
// removed.
void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(Wide(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::pair<std::string, DWORD>> entries;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") entries.emplace_back(Narrow(name), found.dwFileAttributes);
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  for (const auto& [name, attributes] : entries) {
    const std::string path = folder + "\\" + name;
    if (attributes & FILE_ATTRIBUTE_READONLY)
      ::SetFileAttributesW(Wide(path).c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      ::DeleteFileW(Wide(path).c_str());
      continue;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      const OwnedHandle held = OpenPlainFolder(path);
      if (held.ok()) EmptyFolder(path);
    }
    ::RemoveDirectoryW(Wide(path).c_str());  // a junction or folder link goes itself
  }
}

// The name `name` has in `folder`: as it exists when something is there, else as written.
std::string EntryNameIn(const std::string& folder, const std::string& name) {
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(Wide(folder + "\\" + name).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return name;
  ::FindClose(search);
  return Narrow(found.cFileName);
}

// Opens the folder at `native` without following a link or junction and holds it, so
// that it cannot be renamed or removed while it is held. An invalid handle when nothing
// is there; a link or junction throws LinkInPath, anything else that is not a folder
// IoError (ENOTDIR).
OwnedHandle HoldFolder(const std::string& native) {
  const DWORD attributes = AttributesAt(native);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const int error = LastErrno();
    if (error == ENOENT) return OwnedHandle();
    ThrowIoError(error, native);
  }
  if (IsReparsePoint(attributes)) throw LinkInPath(native, LinkTarget(native));
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) ThrowIoError(ENOTDIR, native);
  OwnedHandle handle = OpenPlainFolder(native);
  if (handle.ok()) return handle;
  // Replaced between the look and the open.
  if (IsReparsePoint(AttributesAt(native))) throw LinkInPath(native, LinkTarget(native));
  ThrowIoError(IsDir(native) ? EACCES : ENOTDIR, native);
}

}  // namespace

std::string RenewFolderBelow(const std::string& base, std::string_view relative) {
  const std::vector<std::string> components = FolderComponentsBelow(base, NativePath(relative));

  std::string shown = NativePath(base);
  while (shown.size() > RootLength(shown) && shown.back() == '\\') shown.pop_back();
  if (!IsDir(shown))
    ThrowIoError(AttributesAt(shown) == INVALID_FILE_ATTRIBUTES ? ENOENT : ENOTDIR, shown);
  // Every folder on the way is held open, not shareable for deletion: the path checked
  // is the path used until the folder is made again.
  std::vector<OwnedHandle> held;
  for (size_t i = 0; i + 1 < components.size(); ++i) {
    shown += "\\" + EntryNameIn(shown, components[i]);
    OwnedHandle next = HoldFolder(shown);
    if (!next.ok()) {
      if (!::CreateDirectoryW(Wide(shown).c_str(), nullptr) &&
          ::GetLastError() != ERROR_ALREADY_EXISTS)
        ThrowIoError(LastErrno(), shown);
      next = HoldFolder(shown);
      if (!next.ok()) ThrowIoError(ENOENT, shown);
    }
    held.push_back(std::move(next));
  }
  const std::string target = shown + "\\" + EntryNameIn(shown, components.back());
  if (OwnedHandle old = HoldFolder(target); old.ok()) {
    EmptyFolder(target);
    old.reset();  // the removal needs the folder let go
    ::RemoveDirectoryW(Wide(target).c_str());
  }
  // Made again as written; a folder that would not go is still a folder, not a link.
  const std::string made = shown + "\\" + components.back();
  if (!::CreateDirectoryW(Wide(made).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
    ThrowIoError(LastErrno(), made);
  if (!HoldFolder(made).ok()) ThrowIoError(ENOENT, made);
  return made;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileW(Wide(NativePath(path)).c_str()); }

bool RemoveDirectory(const std::string& path) {
  return ::RemoveDirectoryW(Wide(NativePath(path)).c_str());
}

bool CopyFileOverwrite(const std::string& from, const std::string& to, Flush flush) {
  // The source is checked first: a source that cannot be read makes no temporary file.
  const std::string source = NativePath(from);
  if (!RegularFileExists(source)) return false;
  try {
    TemporaryFile copy(NativePath(to), to);
    copy.CopyFrom(source, from);
    copy.Commit(flush);
    return true;
  } catch (const IoError&) {
    return false;
  }
}

namespace {

// Opens a file the tool writes in place, never through a link or junction: ELOOP in
// *error when one stands at the path, EISDIR when a folder does.
OwnedHandle OpenToWrite(const std::string& native, DWORD access, DWORD disposition, int* error) {
  const DWORD attributes = AttributesAt(native);
  *error = IsReparsePoint(attributes) ? ELOOP
           : attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
               ? EISDIR
               : 0;
  if (*error != 0) return OwnedHandle();
  OwnedHandle handle(::CreateFileW(Wide(native).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, disposition,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!handle.ok()) {
    *error = LastErrno();
    return handle;
  }
  // A link put there between the look and the open.
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(handle.get(), &info) &&
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    *error = ELOOP;
    handle.reset();
  }
  return handle;
}

}  // namespace

void CreateEmptyFile(const std::string& path) {
  int error = 0;
  const OwnedHandle handle = OpenToWrite(NativePath(path), GENERIC_WRITE, CREATE_ALWAYS, &error);
  if (!handle.ok()) ThrowIoError(error, path);
}

void AppendToFile(const std::string& path, std::string_view bytes) {
  int error = 0;
  const OwnedHandle handle = OpenToWrite(NativePath(path), FILE_APPEND_DATA, OPEN_ALWAYS, &error);
  if (!handle.ok()) ThrowIoError(error, path);
  error = WriteAll(handle.get(), bytes.data(), bytes.size());
  if (error != 0) ThrowIoError(error, path);
}

void CheckWindir() {
  // On Windows the folder is the system's own and its "\" are separators.
  if (Windir().empty()) throw Error(platform_text::kWindirMissing);
}

int32_t FindFileSize(const std::string& file_name) {
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(Wide(NativePath(file_name)).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return -1;
  ::FindClose(search);
  const uint64_t size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  return size <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())
             ? static_cast<int32_t>(size)
             : -1;
}

}  // namespace kalvex::platform
