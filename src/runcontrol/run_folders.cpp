#include "runcontrol/run_folders.h"

#include "platform/platform.h"

namespace kalvex {

std::string TempFolder() { return platform::Windir() + "\\TEMP"; }

std::string WorkingFolder() { return TempFolder() + "\\Kalvex"; }

std::string PortalRunFile(std::string_view code, std::string_view extension) {
  std::string path = TempFolder() + "\\DadozoVavire";
  path.append(code).append(extension);
  return path;
}

}  // namespace kalvex
