// Errors that end a run. Every error carries the text the user sees; a layer that
// adds context raises a new error whose message is its prefix, CR LF and the inner text.
#pragma once

#include <stdexcept>
#include <string>

namespace kalvex {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A failed file operation (create, open, write, close): the system's error text.
class IoError : public Error {
 public:
  IoError(int code, const std::string& message) : Error(message), code_(code) {}
  int code() const { return code_; }

 private:
  int code_;
};

// A run that outlived its time bound. The layer that sets the bound derives its own
// error from it; the layers below only let it through, never taking it for a failure
// of their own.
class DeadlineExceeded : public Error {
 public:
  using Error::Error;
};

}  // namespace kalvex
