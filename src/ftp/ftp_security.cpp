#include "ftp/ftp_security.h"

#include "ftp/ftp_texts.h"

namespace kalvex {

std::optional<TlsMode> TlsModeFromSetting(std::string_view value) {
  if (value == "0") return TlsMode::kOff;
  if (value == "1") return TlsMode::kVerified;
  if (value == "2") return TlsMode::kUnverified;
  return std::nullopt;
}

std::string InvalidTlsSettingMessage(std::string_view section, std::string_view value) {
  return ftp_text::TlsSettingRefused(section, value);
}

}  // namespace kalvex
