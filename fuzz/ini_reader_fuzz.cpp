// Kalvex.ini as a dealer may have left it: any bytes, read with every key of the table
// and a section and key named by the input itself.
#include <cstdlib>
#include <memory>

#include "fuzz_support.h"
#include "platform/code_page.h"
#include "runcontrol/config_keys.h"
#include "runcontrol/ini_file.h"
#include "runcontrol/run_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvex;
  const std::string bytes = fuzz::Bytes(data, size);
  const std::vector<std::string> fields = fuzz::Fields(bytes, 3);
  static fuzz::ScratchFile file(".ini");
  const std::unique_ptr<IniFile> ini = std::make_unique<IniFile>(file.Write(fields[0]));
  std::vector<std::string> values;
  for (const config::Key& key :
       {config::kPathImages, config::kURLImages, config::kPixtroveServeurFTP, config::kPixtroveUser,
        config::kPixtrovePassWord, config::kPixtrovePathFTP})
    values.push_back(config::Read(*ini, key));
  for (const std::string& portal : PortalCodes())
    for (int key = 0; key <= static_cast<int>(config::PortalKey::kFileResultZip); ++key)
      values.push_back(config::Read(*ini, portal, static_cast<config::PortalKey>(key)));
  values.push_back(ini->ReadString(fields[1], fields[2], "default"));
  for (const std::string& value : values) {
    // Values are UTF-8 text of at most 2047 bytes before their quotes go, whatever the file.
    if (!IsValidUtf8(value) || value.size() > 2047 * 3) std::abort();
  }
  if (ini->NotText() && ini->Loaded()) std::abort();
  return 0;
}
