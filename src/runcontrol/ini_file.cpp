#include "runcontrol/ini_file.h"

#include <string_view>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/platform.h"

namespace kalvex {

namespace {

constexpr size_t kMaxValueLength = 2047;
constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(kBlanks);
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(kBlanks) - b + 1);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

// True when text decoded from UTF-16 holds at least one ASCII character. An INI file's
// markup ("[", "]", "=", line ends) is ASCII: UTF-8 or 8-bit text behind a UTF-16
// byte-order mark decodes to none at all (it holds no NUL byte to be a high half).
bool HoldsAscii(std::string_view utf8) {
  for (char c : utf8)
    if (static_cast<unsigned char>(c) < 0x80) return true;
  return false;
}

}  // namespace

struct IniFile::Impl {
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;  // key, raw value
  };
  // In file order, duplicates kept: a lookup takes the first section of the name and,
  // in it, the first key of the name, as the Windows profile functions do.
  std::vector<Section> sections;
  bool loaded = false;
  bool not_text = false;
};

IniFile::IniFile(const std::string& native_path) : impl_(std::make_unique<Impl>()) {
  std::string bytes, reason;
  if (platform::ReadRegularFile(native_path, bytes, reason)) Parse(std::move(bytes));
}

void IniFile::Parse(std::string text) {
  // Notepad's "Unicode" files: UTF-16 with a byte-order mark, which Windows reads too.
  const bool little = text.compare(0, 2, "\xFF\xFE") == 0;
  if (little || text.compare(0, 2, "\xFE\xFF") == 0) {
    try {
      text = ToUtf8(text.substr(2), little ? "UTF-16LE" : "UTF-16BE");
      if (!text.empty() && !HoldsAscii(text)) text.assign(1, '\0');  // a mark, not UTF-16
    } catch (const Error&) {
      text.assign(1, '\0');  // not even UTF-16: not text
    }
  }
  if (text.find('\0') != std::string::npos) {
    impl_->not_text = true;
    return;
  }
  std::string_view rest(text);
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
  // Lines end at CR or LF. "[name]" opens a section (the rest of the line is ignored),
  // "key=value" belongs to the last section opened (the unnamed one before any), lines
  // starting with ";" or "#" are comments, and every other line is ignored.
  impl_->sections.push_back({});
  while (!rest.empty()) {
    const size_t end = rest.find_first_of("\r\n");
    const std::string_view line = Trim(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      if (close != std::string_view::npos)
        impl_->sections.push_back({std::string(Trim(line.substr(1, close - 1))), {}});
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) continue;
    impl_->sections.back().entries.emplace_back(std::string(Trim(line.substr(0, equals))),
                                                std::string(Trim(line.substr(equals + 1))));
  }
  impl_->loaded = true;
}

IniFile::~IniFile() = default;

bool IniFile::Loaded() const { return impl_->loaded; }

bool IniFile::NotText() const { return impl_->not_text; }

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& default_value) const {
  if (!impl_->loaded) return default_value;
  const std::string_view section_name = Trim(section);
  const std::string_view key_name = Trim(key);
  const std::string* raw = nullptr;
  for (const Impl::Section& s : impl_->sections) {
    if (!SameNameIgnoringCase(s.name, section_name)) continue;
    for (const auto& [name, value] : s.entries)
      if (SameNameIgnoringCase(name, key_name)) {
        raw = &value;
        break;
      }
    break;  // a later section of the same name is never read
  }
  if (raw == nullptr) return default_value;
  std::string value = *raw;
  if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
  // Files edited on Windows are often in the ANSI code page.
  value = Utf8OrWindows1252(value);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value;
}

}  // namespace kalvex
