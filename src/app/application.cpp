#include "app/application.h"

#include "exports/exporters.h"
#include "exports/ftp_link.h"
#include "exports/photo_sync.h"
#include "platform/platform.h"

namespace kalvex {

namespace {

// A test hook, not a setting: KALVEX_TEST_MINUTE_MS (1 to 60000) shortens the minute of
// [Options] DureeMaxMinutes, so that a test of the built program sees a deadline run
// out in seconds. Anything else leaves the minute whole.
std::chrono::milliseconds DeadlineMinute() {
  const std::string text = platform::GetEnv("KALVEX_TEST_MINUTE_MS");
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9' || value > 60000) return std::chrono::minutes(1);
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 60000) return std::chrono::minutes(1);
  return std::chrono::milliseconds(value);
}

}  // namespace

Application::Application()
    : log_(state_, window_, clock_),
      context_{state_, window_, log_, clock_},
      driver_(context_),
      ftp_(std::make_unique<FtpLink>(context_)),
      photos_(std::make_unique<FtpPhotoService>(context_, ftp_->transfer())) {
  RegisterExporters(driver_, {photos_.get(), ftp_.get(), ftp_.get()});
  driver_.SetDeadlineMinute(DeadlineMinute());
}

Application::~Application() = default;

}  // namespace kalvex
