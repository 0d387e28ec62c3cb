#include "runcontrol/clock.h"

#include "platform/platform.h"

namespace kalvex {

std::tm SystemClock::Now() const { return platform::LocalTimeNow(); }

std::string FormatStamp(const std::tm& t, const char* pattern) {
  std::string out;
  std::string p(pattern);
  auto two = [&](int v) {
    out.push_back(static_cast<char>('0' + (v / 10) % 10));
    out.push_back(static_cast<char>('0' + v % 10));
  };
  for (size_t i = 0; i < p.size();) {
    if (p.compare(i, 4, "yyyy") == 0) {
      int y = t.tm_year + 1900;
      two(y / 100);
      two(y % 100);
      i += 4;
    } else if (p.compare(i, 2, "mm") == 0) {
      two(t.tm_mon + 1);
      i += 2;
    } else if (p.compare(i, 2, "dd") == 0) {
      two(t.tm_mday);
      i += 2;
    } else if (p.compare(i, 2, "hh") == 0) {
      two(t.tm_hour);
      i += 2;
    } else if (p.compare(i, 2, "nn") == 0) {
      two(t.tm_min);
      i += 2;
    } else if (p.compare(i, 2, "ss") == 0) {
      two(t.tm_sec);
      i += 2;
    } else {
      out.push_back(p[i++]);
    }
  }
  return out;
}

}  // namespace kalvex
