#include "runcontrol/ini_file.h"

// Values are bytes: no character conversion by the INI library.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include "platform/code_page.h"

namespace kalvex {

namespace {

constexpr size_t kMaxValueLength = 2047;

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

}  // namespace

struct IniFile::Impl {
  // Case-insensitive section and key names, 8-bit values, first of duplicate keys.
  CSimpleIniA ini{/*a_bIsUtf8=*/false, /*a_bMultiKey=*/false, /*a_bMultiLine=*/false};
  bool loaded = false;
};

IniFile::IniFile(const std::string& native_path) : impl_(std::make_unique<Impl>()) {
  impl_->ini.SetQuotes(false);
  impl_->loaded = impl_->ini.LoadFile(native_path.c_str()) >= 0;
}

IniFile::~IniFile() = default;

bool IniFile::Loaded() const { return impl_->loaded; }

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& default_value) const {
  if (!impl_->loaded) return default_value;
  const char* raw = impl_->ini.GetValue(Trim(section).c_str(), Trim(key).c_str(), nullptr);
  if (raw == nullptr) return default_value;
  std::string value = Trim(raw);
  if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
  // Files edited on Windows are often in the ANSI code page.
  value = Utf8OrWindows1252(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

}  // namespace kalvex
