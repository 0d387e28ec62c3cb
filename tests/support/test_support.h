// Helpers shared by the tests: temporary folders, environment overrides, a fixed clock,
// whole-file reads and writes. What they ask of the system itself is in test_system.h.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "runcontrol/clock.h"
#include "test_system.h"
#include "xml/xml_cursor.h"

namespace kalvex::testing {

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }  // native, no trailing "/"
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets (or unsets, with nullptr) an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_value_;
  std::string old_value_;
};

class FakeClock : public Clock {
 public:
  // 2026-12-09 14:05:07 unless set.
  FakeClock();
  std::tm Now() const override { return now_; }
  void Set(int year, int month, int day, int hour, int minute, int second);

 private:
  std::tm now_{};
};

std::string ReadFile(const std::string& native_path);
void WriteFile(const std::string& native_path, const std::string& bytes);
bool PathExists(const std::string& native_path);

// A cursor over an XML file as a portal reads it back (parsed in its declared encoding).
XMLCursorPtr ParsedFile(const std::string& path);

// The texts of a run log's CR LF lines, without their "date time - " heads.
std::vector<std::string> LogLineTexts(const std::string& log);

// Folders of the source tree and of the build, from the test environment.
std::string SourceDir();
std::string BinaryDir();

}  // namespace kalvex::testing
