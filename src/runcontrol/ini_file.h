// Read-only INI file with the lookup rules of the Windows profile functions: section and
// key names match ignoring letter case, values are trimmed, one pair of surrounding
// double or single quotes is removed, a missing file, section or key gives the default,
// a key present with an empty value gives the empty text, values are cut at 2047 bytes.
// A section name written twice is the first such section (a key found only in a later
// one is missing); a key written twice in it gives its first value.
// Values come back as UTF-8; a file written in Windows-1252 is converted, and one
// saved as UTF-16 with its byte-order mark is read as the text it is. A file that is
// not text (NUL bytes elsewhere, or a UTF-16 mark before bytes that are not UTF-16
// text) reads as empty and says so (NotText).
#pragma once

#include <memory>
#include <string>

namespace kalvex {

class IniFile {
 public:
  // Opens the file at a native path; a missing or unreadable file reads as empty. Only
  // a regular file is read (a FIFO in its place reads as missing).
  explicit IniFile(const std::string& native_path);
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  bool Loaded() const;
  // True when the file was there but is not text: every read gives its default.
  bool NotText() const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& default_value) const;

  // Switch values: off for the exact text "0", on for every other text.
  static bool IsOn(const std::string& value) { return value != "0"; }

 private:
  void Parse(std::string text);

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kalvex
