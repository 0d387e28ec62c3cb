#include "runcontrol/ini_file.h"

// Values are bytes: no character conversion by the INI library.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <utility>

#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/platform.h"

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
  bool not_text = false;
};

IniFile::IniFile(const std::string& native_path) : impl_(std::make_unique<Impl>()) {
  impl_->ini.SetQuotes(false);
  std::string bytes, reason;
  if (platform::ReadRegularFile(native_path, bytes, reason)) Parse(std::move(bytes));
}

void IniFile::Parse(std::string text) {
  // Notepad's "Unicode" files: UTF-16 with a byte-order mark, which Windows reads too.
  const bool little = text.compare(0, 2, "\xFF\xFE") == 0;
  if (little || text.compare(0, 2, "\xFE\xFF") == 0) {
    try {
      text = ToUtf8(text.substr(2), little ? "UTF-16LE" : "UTF-16BE");
    } catch (const Error&) {
      text.assign(1, '\0');  // not even UTF-16: not text
    }
  }
  if (text.find('\0') != std::string::npos) {
    impl_->not_text = true;
    return;
  }
  impl_->loaded = impl_->ini.LoadData(text.data(), text.size()) >= 0;
}

IniFile::~IniFile() = default;

bool IniFile::Loaded() const { return impl_->loaded; }

bool IniFile::NotText() const { return impl_->not_text; }

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
