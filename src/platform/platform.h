// The thin layer between the tool and the operating system. Paths inside the tool are
// written the way the dealer's configuration writes them ("\" separated); NativePath turns
// them into paths of the running system. Every file-system call of the tool goes through it.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.h"

namespace kalvex::platform {

struct IoErrorInfo {
  int code;
  std::string message;
};

// The value of the environment variable Windir, empty when it is not set.
std::string Windir();

// Value of any environment variable, empty when unset.
std::string GetEnv(const char* name);

// "\"-separated path to a native one. On POSIX every "\" becomes "/", and a folder
// component that does not exist as written but exists under another letter case
// (TEMP / Temp) is taken as it exists, because the tool's folder names ignore case.
std::string NativePath(std::string_view path);

// The user's home folder (POSIX: $HOME, else the password database); empty when none.
std::string HomeFolder();

// The absolute native path of `path` with every symbolic link of the part that exists
// followed, "." and ".." taken out and every existing component, the last one included,
// as it exists in its letter case; the part that does not exist yet stays as written.
// Without trailing separator, except for the root itself.
std::string ResolvedPath(const std::string& path);
// True when `path` is `folder` itself or lies below it; both are resolved paths.
bool FolderHolds(const std::string& folder, const std::string& path);
// True for a resolved path that is the root of a file system ("/" on POSIX).
bool IsFileSystemRoot(const std::string& resolved);
// The absolute form of a native path against the current folder, "." and ".." taken out
// as written: nothing is looked up, no link followed. Empty when the current folder is
// unknown.
std::string AbsolutePath(const std::string& native_path);
// A "/"-separated path with "." and ".." taken out as written and repeated separators
// made one, nothing looked up ("a/./b/../c" is "a/c", "a/.." is ".").
std::string NormalPath(const std::string& path);

// Folder of the running executable, with its trailing separator ("\" form).
std::string ExecutableDir();
// Full path of the running executable.
std::string ExecutablePath();

// Local date and time as the system shows it: short date, blank, long time
// (POSIX: strftime "%x %X" in the user's locale).
std::string FormatDateTime(const std::tm& local);
std::tm LocalTimeNow();

// True when the process's standard error goes to a terminal.
bool StandardErrorIsTerminal();

// The reason of a system error number: in French for the common ones (platform_texts.h),
// else the system's text (strerror on POSIX).
std::string SystemErrorText(int code);

bool FileExists(const std::string& path);  // a file (not a folder) is there
// A regular file is there (links followed): not a folder, FIFO, socket or device.
bool RegularFileExists(const std::string& path);
// Opens a regular file (native path, links followed) for reading, without ever waiting
// on a FIFO or a device: anything else is refused at once (EINVAL, EISDIR for a
// folder). Gives the descriptor, or -1 with errno set.
int OpenRegularFileForReading(const std::string& native_path);
// A regular file open for reading (opened as above) and closed when the object goes,
// for readers that take a file piece by piece.
class RegularFileReader {
 public:
  explicit RegularFileReader(const std::string& native_path);
  ~RegularFileReader();
  RegularFileReader(const RegularFileReader&) = delete;
  RegularFileReader& operator=(const RegularFileReader&) = delete;
  bool ok() const { return fd_ >= 0; }
  // The error number of the failed open or read; 0 when none.
  int error() const { return error_; }
  // Why the file could not be opened or read: SystemErrorText, or kNotARegularFile.
  std::string Reason() const;
  int64_t Size() const;
  // Up to `length` bytes; 0 at the end of the file, -1 on an error.
  long Read(char* buffer, size_t length);

 private:
  int fd_ = -1;
  int error_ = 0;
};
// The whole content of a regular file (native path), opened as above. False with the
// reason (SystemErrorText, or kNotARegularFile) when it cannot be read.
bool ReadRegularFile(const std::string& native_path, std::string& bytes, std::string& reason);
// Which file stands at a path (tool form), links not followed: a file put in place by a
// rename is another file than the one it replaced. Nothing when nothing is there.
struct FileId {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FileId&) const = default;
};
std::optional<FileId> FileIdentity(const std::string& path);
// What stands at a native path; a link there is not followed.
enum class PathKind { kNothing, kRegularFile, kLink, kFolder, kFifo, kDevice, kSocket, kOther };
PathKind KindAt(const std::string& native_path);
bool DirectoryExists(const std::string& path);  // a folder is there
// Size in bytes of the regular file at a path (links followed); -1 when there is none.
int64_t FileSize(const std::string& path);
// Last-write time of a file as a tick count, only for telling whether the file changed;
// -1 when it is missing.
int64_t FileWriteTime(const std::string& path);
// True when two native paths reach the same file (links followed); false when either
// is missing.
bool SameFile(const std::string& native_a, const std::string& native_b);
// Creates the folder and its missing parents; true when the folder exists afterwards.
bool ForceDirectories(const std::string& path);
// A symbolic link met on the way to a folder the tool removes and makes again: `link` is
// its native path, `target` what it points to. The message says both (in French).
class LinkInPath : public Error {
 public:
  LinkInPath(std::string link, std::string target);
  const std::string& link() const { return link_; }
  const std::string& target() const { return target_; }

 private:
  std::string link_;
  std::string target_;
};
// Removes the folder `relative` below the folder `base` with everything in it, then
// creates it again, empty. `base` is trusted (links in it are followed); `relative` is
// "\" or "/" separated, empty and "." components skipped, and each of its components,
// the last one included, is opened from the one before without following a link (a
// missing folder on the way is created, a component is found in any letter case). So a
// link anywhere in `relative` throws LinkInPath before anything is removed; the removal
// goes relative to the opened folders and never follows a link inside either, and a
// link met inside is removed itself. A ".." component or an empty `relative` throws
// Error; a component that is not a folder, or a folder that cannot be opened or made,
// throws IoError. Entries that resist removal are left (the removal goes on with the
// others). Gives the native path of the new folder.
std::string RenewFolderBelow(const std::string& base, std::string_view relative);
// Removes a file; true on success.
bool RemoveFile(const std::string& path);
// Removes an empty folder; true on success.
bool RemoveDirectory(const std::string& path);
// Whether a file written whole is flushed to disk before it is renamed into place: a
// file the tool keeps is; a copy that is used at once and made again by the next run
// need not be (a flush costs milliseconds per file, and a stock stages 200,000 photos).
enum class Flush { kToDisk, kNotNeeded };
// Copies a regular file, replacing the target through a temporary file in its folder;
// true on success. The bytes are copied by the system (POSIX: copy_file_range, or
// sendfile where the file systems refuse it), not through the tool's memory.
bool CopyFileOverwrite(const std::string& from, const std::string& to,
                       Flush flush = Flush::kToDisk);
// Size in bytes of the first file matching file_name (wildcards allowed), or -1 when
// none matches or the search fails. Sizes of 2 GiB and more do not fit and give -1.
int32_t FindFileSize(const std::string& file_name);

// Creates the file, or empties it when it exists. Throws IoError.
void CreateEmptyFile(const std::string& path);
// Appends bytes in one write, creating the file when missing. Throws IoError.
// Neither follows a symbolic link at the path: a link there (dangling or not) is an
// IoError, and what it points to is never created, emptied or written.
void AppendToFile(const std::string& path, std::string_view bytes);
// An IoError for error number `code` on the file at `path`, worded for the user.
IoErrorInfo DescribeIoError(int code, const std::string& path);
// Throws the IoError that DescribeIoError words for `code` and `path`.
[[noreturn]] void ThrowIoError(int code, const std::string& path);

// Writes bytes to path through a temporary file in the same folder (TemporaryFile),
// renamed over the target when complete, so readers never see a half-written file and
// a link at the path is replaced, never followed. Throws IoError.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// The folder every file of the tool lives under (Windir) must be set: on POSIX an unset
// or empty Windir would put the working folder and the log at the file-system root, so
// it throws Error with a message that says what to set. A Windir holding "\" throws too
// (WindirBackslash): the "\" would become "/" and address another folder.
void CheckWindir();

}  // namespace kalvex::platform
