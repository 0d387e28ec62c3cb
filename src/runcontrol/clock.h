// The local time source, so tests can fix the time stamps of logs and file names.
#pragma once

#include <ctime>
#include <string>

namespace kalvex {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::tm Now() const = 0;
};

class SystemClock : public Clock {
 public:
  std::tm Now() const override;
};

// Fixed-width stamps used in file names: "yyyymmddhhnn", "yyyymmdd", "yyyymmddhhnnss".
std::string FormatStamp(const std::tm& t, const char* pattern);

}  // namespace kalvex
