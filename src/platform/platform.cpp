// The parts of platform.h that are the same on every system: they call only the
// platform layer's own functions.
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/error.h"
#include "platform/folder_components.h"
#include "platform/platform.h"
#include "platform/platform_texts.h"
#include "platform/temporary_files.h"

namespace kalvex::platform {

std::string AbsolutePath(const std::string& native_path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  return fs::absolute(fs::path(native_path), ec).lexically_normal().string();
}

std::string NormalPath(const std::string& path) {
  return std::filesystem::path(path).lexically_normal().generic_string();
}

std::vector<std::string> FolderComponentsBelow(const std::string& base,
                                               const std::string& written) {
  std::vector<std::string> components;
  for (size_t start = 0; start <= written.size();) {
    const size_t end = std::min(written.find_first_of("\\/", start), written.size());
    const std::string component = written.substr(start, end - start);
    if (component == "..") throw Error(platform_text::PathGoesUpBelow(base + written));
    if (!component.empty() && component != ".") components.push_back(component);
    start = end + 1;
  }
  if (components.empty()) throw Error(platform_text::NoFolderBelow(base));
  return components;
}

bool ReadRegularFile(const std::string& native_path, std::string& bytes, std::string& reason) {
  bytes.clear();
  RegularFileReader in(native_path);
  if (!in.ok()) {
    reason = in.Reason();
    return false;
  }
  char buffer[65536];
  long n = 0;
  while ((n = in.Read(buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(n));
  if (n < 0) {
    reason = SystemErrorText(in.error());
    return false;
  }
  return true;
}

LinkInPath::LinkInPath(std::string link, std::string target)
    : Error(platform_text::LinkInPath(link, target)),
      link_(std::move(link)),
      target_(std::move(target)) {}

IoErrorInfo DescribeIoError(int code, const std::string& path) {
  // The tool opens the files it writes in place without following links: ELOOP then
  // means a link stands where the file should be.
  const std::string reason =
      code == ELOOP ? std::string(platform_text::kLinkRefused) : SystemErrorText(code);
  return {code, platform_text::IoErrorMessage(code, reason, path)};
}

void ThrowIoError(int code, const std::string& path) {
  IoErrorInfo info = DescribeIoError(code, path);
  throw IoError(info.code, info.message);
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  TemporaryFile file(NativePath(path), path);
  file.Write(bytes);
  file.Commit();
}

}  // namespace kalvex::platform
