// A time bound over FTP operations: no operation starts once it is over, and every
// operation's total time is capped by what remains of it. The run's deadline is adapted
// to it by the code that wires the FTP layer in; Check throws that layer's error, a
// DeadlineExceeded, which the FTP code lets through and never takes for an FTP failure.
#pragma once

#include <chrono>
#include <string>

#include "platform/error.h"

namespace kalvex {

class OperationBound {
 public:
  virtual ~OperationBound() = default;
  // False while the bound is off: nothing is capped then.
  virtual bool Active() const = 0;
  virtual bool Expired() const = 0;
  // What is left, at least 0; milliseconds::max() when off.
  virtual std::chrono::milliseconds Remaining() const = 0;
  // The error's text, as the status line shows it.
  virtual std::string ExceededMessage() const = 0;
  // Throws a DeadlineExceeded (or an error derived from it) once the time is over.
  virtual void Check() const = 0;
};

// A short allowance of its own within an outer bound that is already over (the clean-up
// after a cut upload): over `span` after it is made, steady clock; its error carries the
// outer bound's text.
class AllowanceBound : public OperationBound {
 public:
  AllowanceBound(const OperationBound& outer, std::chrono::milliseconds span)
      : outer_(outer), end_(std::chrono::steady_clock::now() + span) {}
  bool Active() const override { return true; }
  bool Expired() const override { return std::chrono::steady_clock::now() >= end_; }
  std::chrono::milliseconds Remaining() const override {
    const auto left = end_ - std::chrono::steady_clock::now();
    if (left <= left.zero()) return std::chrono::milliseconds(0);
    return std::chrono::ceil<std::chrono::milliseconds>(left);
  }
  std::string ExceededMessage() const override { return outer_.ExceededMessage(); }
  void Check() const override {
    if (Expired()) throw DeadlineExceeded(ExceededMessage());
  }

 private:
  const OperationBound& outer_;
  std::chrono::steady_clock::time_point end_;
};

}  // namespace kalvex
