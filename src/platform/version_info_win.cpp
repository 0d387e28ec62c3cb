// Windows side of the version block: the executable's VERSIONINFO resource, made from
// cmake/kalvex_version.rc.in, read back with the system's version functions.
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/version_info.h"

namespace kalvex {

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

// The system's copy may carry more than the block; the block's first word is its length.
std::string TrimToBlock(std::string bytes) {
  if (bytes.size() < 6) return {};
  const size_t length = static_cast<unsigned char>(bytes[0]) | static_cast<unsigned char>(bytes[1])
                                                                   << 8;
  if (length < 6 || length > bytes.size()) return {};
  bytes.resize(length);
  return bytes;
}

}  // namespace

std::string ReadVersionBlock(const std::string& file_path) {
  const std::wstring path = Wide(platform::NativePath(file_path));
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return {};
  std::string bytes(size, '\0');
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, bytes.data())) return {};
  return TrimToBlock(std::move(bytes));
}

std::string_view OwnVersionBlock() {
  static const std::string block = [] {
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    if (!found) return std::string();
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data) return std::string();
    return TrimToBlock(
        std::string(static_cast<const char*>(data), ::SizeofResource(nullptr, found)));
  }();
  return block;
}

}  // namespace kalvex
