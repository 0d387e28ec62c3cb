// Windows side of zip_platform.h: volumes and their labels, the system's temporary
// folder (GetTempPathW) and folder listings (FindFirstFileW / FindNextFileW).
#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/platform.h"
#include "platform/win_io.h"
#include "platform/zip_platform.h"

namespace kalvex::zip_platform {

namespace {

using platform::Narrow;
using platform::Wide;

// The root of the volume that holds a path ("C:\", "\\server\share\"); empty when the
// system cannot tell.
std::wstring VolumeOf(const std::string& native_path) {
  const std::wstring path = Wide(native_path.empty() ? "." : native_path);
  wchar_t full[MAX_PATH * 4];
  const DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
  if (n == 0 || n >= MAX_PATH * 4) return {};
  wchar_t volume[MAX_PATH * 4];
  if (!::GetVolumePathNameW(full, volume, MAX_PATH * 4)) return {};
  return volume;
}

std::time_t UnixTime(const FILETIME& time) {
  const uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  constexpr uint64_t kTicksTo1970 = 116444736000000000ULL;  // 100 ns ticks since 1601
  return ticks < kTicksTo1970 ? 0 : static_cast<std::time_t>((ticks - kTicksTo1970) / 10000000ULL);
}

}  // namespace

bool DriveAnswers(const std::string& native_path) {
  const std::wstring volume = VolumeOf(native_path);
  ULARGE_INTEGER free_bytes;
  return !volume.empty() && ::GetDiskFreeSpaceExW(volume.c_str(), &free_bytes, nullptr, nullptr);
}

std::optional<int> MultiDiskSetDisk(const std::string& native_path) {
  // A disk of a set is a removable volume labelled "PKBACK# nnn".
  const std::wstring volume = VolumeOf(native_path);
  if (volume.empty() || ::GetDriveTypeW(volume.c_str()) != DRIVE_REMOVABLE) return std::nullopt;
  wchar_t label[MAX_PATH + 1];
  if (!::GetVolumeInformationW(volume.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr,
                               nullptr, 0))
    return std::nullopt;
  const std::wstring text = label;
  const std::wstring prefix = L"PKBACK# ";
  if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0 ||
      text.find_first_not_of(L"0123456789", prefix.size()) != std::wstring::npos)
    return std::nullopt;
  return std::stoi(text.substr(prefix.size()));
}

std::string SystemTempFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = ::GetTempPathW(MAX_PATH + 2, buffer);
  if (n == 0 || n > MAX_PATH + 1) return {};
  std::string folder = Narrow(std::wstring(buffer, n));
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

std::string CreateTempFile(const std::string& folder, const std::string& prefix) {
  std::string native = platform::NativePath(folder);
  if (!native.empty() && native.back() != '\\') native += '\\';
  std::string path;
  return platform::CreateNewFile(native + prefix, &path).ok() ? path : std::string();
}

std::optional<FolderEntry> LookUp(const std::string& native_path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(Wide(native_path).c_str(), GetFileExInfoStandard, &data))
    return std::nullopt;
  FolderEntry entry;
  const size_t slash = native_path.find_last_of("\\/");
  entry.name = slash == std::string::npos ? native_path : native_path.substr(slash + 1);
  entry.hidden = data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  DWORD attributes = data.dwFileAttributes;
  uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  FILETIME written = data.ftLastWriteTime;
  const bool link = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
  if (link) {
    // What the link or junction leads to.
    const platform::OwnedHandle target(
        ::CreateFileW(Wide(native_path).c_str(), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!target.ok() || !::GetFileInformationByHandle(target.get(), &info))
      return entry;  // a dangling link
    attributes = info.dwFileAttributes;
    size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    written = info.ftLastWriteTime;
  }
  const bool directory = attributes & FILE_ATTRIBUTE_DIRECTORY;
  entry.regular_file = !directory && !(attributes & FILE_ATTRIBUTE_DEVICE);
  entry.folder = directory && !link;
  entry.size = directory ? 0 : static_cast<int64_t>(size);
  entry.mtime = UnixTime(written);
  return entry;
}

std::vector<FolderEntry> ListFolder(const std::string& native_folder) {
  std::vector<FolderEntry> entries;
  const std::string prefix = native_folder.empty()          ? std::string(".\\")
                             : native_folder.back() == '\\' ? native_folder
                                                            : native_folder + "\\";
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(Wide(prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::string name = Narrow(found.cFileName);
    if (name == "." || name == "..") continue;
    if (std::optional<FolderEntry> entry = LookUp(prefix + name)) {
      entry->name = name;
      entries.push_back(std::move(*entry));
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

}  // namespace kalvex::zip_platform
