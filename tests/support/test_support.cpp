#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kalvex::testing {

TempDir::TempDir() : path_(MakeUniqueTemporaryFolder("kalvex-test-")) {}

TempDir::~TempDir() {
  std::error_code ec;
  // Make read-only content removable first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  had_value_ = old != nullptr;
  if (old) old_value_ = old;
  SetEnvironmentVariable(name_, value ? std::optional<std::string>(value) : std::nullopt);
}

ScopedEnv::~ScopedEnv() {
  SetEnvironmentVariable(name_, had_value_ ? std::optional<std::string>(old_value_) : std::nullopt);
}

FakeClock::FakeClock() { Set(2026, 12, 9, 14, 5, 7); }

void FakeClock::Set(int year, int month, int day, int hour, int minute, int second) {
  now_ = std::tm{};
  now_.tm_year = year - 1900;
  now_.tm_mon = month - 1;
  now_.tm_mday = day;
  now_.tm_hour = hour;
  now_.tm_min = minute;
  now_.tm_sec = second;
  now_.tm_isdst = -1;
  std::tm copy = now_;
  ::mktime(&copy);  // fills the weekday
  now_.tm_wday = copy.tm_wday;
  now_.tm_yday = copy.tm_yday;
}

std::string ReadFile(const std::string& native_path) {
  std::ifstream in(native_path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + native_path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& native_path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(native_path).parent_path());
  std::ofstream out(native_path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + native_path);
}

bool PathExists(const std::string& native_path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(native_path, ec));
}

XMLCursorPtr ParsedFile(const std::string& path) {
  XMLCursorPtr cursor = CreateXMLCursor();
  cursor->Load(path);
  return cursor;
}

std::vector<std::string> LogLineTexts(const std::string& log) {
  std::vector<std::string> texts;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    const size_t dash = line.find(" - ");
    texts.push_back(dash == std::string::npos ? line : line.substr(dash + 3));
    start = end + 2;
  }
  return texts;
}

std::string SourceDir() {
  const char* v = std::getenv("KALVEX_SOURCE_DIR");
  return v ? v : KALVEX_DEFAULT_SOURCE_DIR;
}

std::string BinaryDir() {
  const char* v = std::getenv("KALVEX_BINARY_DIR");
  return v ? v : KALVEX_DEFAULT_BINARY_DIR;
}

}  // namespace kalvex::testing
