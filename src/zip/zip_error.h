// Errors of the archive component and the one place where libzip's error codes become
// them. Every message is the text the user sees.
#pragma once

#include <string>

#include "platform/error.h"
#include "zip/zip_texts.h"

typedef struct zip_error zip_error_t;

namespace kalvex {

class ZipException : public Error {
 public:
  explicit ZipException(const std::string& message) : Error(message) {}
};

// What the component was doing when libzip failed; chooses the message's first line.
enum class ZipStep {
  kOpen,         // opening the archive for writing
  kAddFile,      // handing a source file to the archive
  kCompression,  // choosing Deflate level 9 for an entry
  kEncryption,   // encrypting an entry
  kFolder,       // adding a folder entry
  kWrite,        // writing the archive (zip_close)
};

// Throws the ZipException for a libzip failure of `step` on `path`. An archive that
// libzip does not recognise gives the "not a valid Zip file" message; every other
// failure gives the step's first line (zip_texts.h), "\n\"<path>\"", CR LF and the
// reason: libzip's error in French, with the system's reason when there is one.
[[noreturn]] void ThrowZipError(ZipStep step, const std::string& path, zip_error_t* error);
// Same, from a libzip error code (zip_open reports one).
[[noreturn]] void ThrowZipErrorCode(ZipStep step, const std::string& path, int code);

}  // namespace kalvex
