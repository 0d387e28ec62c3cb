// The version block: any bytes as a block for the lookups of the "Version" listing, and
// the same bytes as an executable whose ELF section headers are searched for the block.
#include "fuzz_support.h"
#include "platform/code_page.h"
#include "platform/version_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvex;
  static fuzz::ScratchFile file(".exe");
  const std::string bytes = fuzz::Bytes(data, size);
  (void)QueryVersionTranslation(bytes);
  for (const char* path : {"", "\\", "\\StringFileInfo", "\\StringFileInfo\\040c04e4\\FileVersion",
                           "\\VarFileInfo\\Translation", "\\\\x\\\\", "FileVersion"}) {
    if (std::optional<std::string> text = QueryVersionText(bytes, path))
      if (!IsValidUtf8(*text)) std::abort();
  }
  std::vector<std::string> lines;
  ReadVersionInfo(file.Write(bytes), lines);
  for (const std::string& line : lines)
    if (!IsValidUtf8(line)) std::abort();
  return 0;
}
