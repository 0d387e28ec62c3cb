// The run's deadline, [Options] DureeMaxMinutes: a run that lasts longer ends as a stop
// signal ends it, by the error RunDeadlineExceeded, whose unwinding removes the files in
// the making. The driver starts it once Kalvex.ini is read; the run names each step it
// enters (EnterStep) and checks it where it already lets the window run (after each
// vehicle and photo link, in the archive's progress); the FTP sessions cap every
// operation by Remaining() and turn an operation it cut into RunDeadlineExceeded.
//
// The time is monotonic (steady clock, or the time source a test gives), so a change of
// the system's date neither ends a run nor prolongs it.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/error.h"
#include "runcontrol/ini_file.h"

namespace kalvex {

// The run lasted longer than [Options] DureeMaxMinutes (exit code 7). Never caught as an
// FTP failure: it ends the run.
class RunDeadlineExceeded : public DeadlineExceeded {
 public:
  using DeadlineExceeded::DeadlineExceeded;
};

// [Options] DureeMaxMinutes as a number of minutes: a whole number from 0 up, blanks
// around it allowed; 0 turns the deadline off, the default is 60. Anything else (the
// empty text included) ends the run with an Error naming the key and the value.
int32_t ReadMaximumDuration(const IniFile& ini);

class RunDeadline {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  using TimeSource = std::function<TimePoint()>;

  // Off until started.
  explicit RunDeadline(TimeSource now = &std::chrono::steady_clock::now);

  // Starts the count: the run may last `minutes` minutes of `minute` each (a minute is
  // shorter only in tests); 0 minutes, or fewer, turns the deadline off. The step is
  // reset to the preparation of the run.
  void Start(int32_t minutes, std::chrono::milliseconds minute = std::chrono::minutes(1));
  void Stop() { active_ = false; }

  bool Active() const { return active_; }
  bool Expired() const { return active_ && now_() >= end_; }
  // What is left, at least 0; milliseconds::max() when off.
  std::chrono::milliseconds Remaining() const;

  // The step the run is in, which the error names.
  void EnterStep(std::string step);
  const std::string& Step() const { return step_; }
  // Throws RunDeadlineExceeded, naming the minutes and the current step, once the time
  // is over; nothing while the deadline is off.
  void Check() const;
  // The error's text for the current step.
  std::string ExceededMessage() const;

 private:
  TimeSource now_;
  bool active_ = false;
  int32_t minutes_ = 0;
  TimePoint end_{};
  std::string step_;
};

}  // namespace kalvex
