#include "xml/xml_utils.h"

#include "platform/error.h"
#include "platform/platform.h"

namespace kalvex {

void WriteAnsiStringToFile(const std::string& text, const std::string& file_name) {
  size_t slash = file_name.find_last_of("\\/");
  if (slash != std::string::npos && slash > 0) {
    std::string folder = file_name.substr(0, slash);
    if (!platform::DirectoryExists(folder) && !platform::ForceDirectories(folder)) return;
  }
  // Through a temporary file renamed over the target: a link at the name is replaced,
  // never followed, and no reader sees half a file.
  try {
    platform::WriteFileAtomically(file_name, text);
  } catch (const Error&) {
    // Quiet by contract: a caller that must know checks for the file.
  }
}

}  // namespace kalvex
