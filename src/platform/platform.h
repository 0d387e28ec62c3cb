// The thin layer between the tool and the operating system. Paths inside the tool are
// written the way the dealer's configuration writes them ("\" separated); NativePath turns
// them into paths of the running system. Every file-system call of the tool goes through it.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

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

// Folder of the running executable, with its trailing separator ("\" form).
std::string ExecutableDir();
// Full path of the running executable.
std::string ExecutablePath();

// Local date and time as the system shows it: short date, blank, long time
// (POSIX: strftime "%x %X" in the user's locale).
std::string FormatDateTime(const std::tm& local);
std::tm LocalTimeNow();

// The system's text for an error number (strerror on POSIX).
std::string SystemErrorText(int code);

bool FileExists(const std::string& path);       // a file (not a folder) is there
bool DirectoryExists(const std::string& path);  // a folder is there
// Creates the folder and its missing parents; true when the folder exists afterwards.
bool ForceDirectories(const std::string& path);
// Removes a file; true on success.
bool RemoveFile(const std::string& path);
// Removes an empty folder; true on success.
bool RemoveDirectory(const std::string& path);
// Copies a file, replacing the target; true on success.
bool CopyFileOverwrite(const std::string& from, const std::string& to);
// Size in bytes of the first file matching file_name (wildcards allowed), or -1 when
// none matches or the search fails. Sizes of 2 GiB and more do not fit and give -1.
int32_t FindFileSize(const std::string& file_name);

// Creates the file, or empties it when it exists. Throws IoError.
void CreateEmptyFile(const std::string& path);
// Appends bytes in one write, creating the file when missing. Throws IoError.
void AppendToFile(const std::string& path, std::string_view bytes);
// An IoError for error number `code` on the file at `path`, worded for the user.
IoErrorInfo DescribeIoError(int code, const std::string& path);

// Writes bytes to path through a temporary file in the same folder, renamed over the
// target when complete, so readers never see a half-written file. Throws IoError.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace kalvex::platform
