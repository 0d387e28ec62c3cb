#include "runcontrol/run_deadline.h"

#include <charconv>

#include "runcontrol/config_keys.h"
#include "runcontrol/runcontrol_texts.h"

namespace kalvex {

int32_t ReadMaximumDuration(const IniFile& ini) {
  const std::string value = config::Read(ini, config::kDureeMaxMinutes);
  int32_t minutes = 0;
  const char* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, minutes, 10);
  if (value.empty() || value.front() == '-' || error != std::errc() || stop != end)
    throw Error(runcontrol_text::DurationRefused(value));
  return minutes;
}

RunDeadline::RunDeadline(TimeSource now) : now_(std::move(now)) {}

void RunDeadline::Start(int32_t minutes, std::chrono::milliseconds minute) {
  step_ = runcontrol_text::kStepPreparing;
  minutes_ = minutes;
  active_ = minutes > 0;
  // Beyond a century the clock's count would overflow; no run comes near it anyway.
  constexpr std::chrono::milliseconds kLongest = std::chrono::hours(24 * 365 * 100);
  const std::chrono::milliseconds span =
      minute.count() > 0 && minutes > kLongest / minute ? kLongest : minute * minutes;
  if (active_) end_ = now_() + span;
}

std::chrono::milliseconds RunDeadline::Remaining() const {
  using std::chrono::milliseconds;
  if (!active_) return milliseconds::max();
  const auto left = end_ - now_();
  if (left <= left.zero()) return milliseconds(0);
  // Rounded up: what remains is never given as 0 before the end.
  return std::chrono::ceil<milliseconds>(left);
}

void RunDeadline::EnterStep(std::string step) {
  step_ = std::move(step);
  Check();
}

void RunDeadline::Check() const {
  if (Expired()) throw RunDeadlineExceeded(ExceededMessage());
}

std::string RunDeadline::ExceededMessage() const {
  return runcontrol_text::DeadlineExceeded(minutes_, step_);
}

}  // namespace kalvex
