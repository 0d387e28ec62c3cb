#include "zip/zip_error.h"

#include <zip.h>

#include "platform/platform.h"

namespace kalvex {

namespace {

const char* FirstLine(ZipStep step) {
  switch (step) {
    case ZipStep::kOpen:
      return zip_text::kCannotOpen;
    case ZipStep::kAddFile:
      return zip_text::kCannotAdd;
    case ZipStep::kCompression:
      return zip_text::kCannotCompress;
    case ZipStep::kEncryption:
      return zip_text::kCannotEncrypt;
    case ZipStep::kFolder:
      return zip_text::kCannotAddFolder;
    case ZipStep::kWrite:
      return zip_text::kCannotWrite;
  }
  return zip_text::kCannotUse;
}

// libzip's error in French, followed by the system's reason when it carries one.
std::string Reason(zip_error_t* error) {
  const char* reason = zip_text::LibraryReason(zip_error_code_zip(error));
  if (reason == nullptr) return zip_error_strerror(error);
  std::string text = reason;
  if (zip_error_system_type(error) == ZIP_ET_SYS && zip_error_code_system(error) != 0)
    text += " : " + platform::SystemErrorText(zip_error_code_system(error));
  return text;
}

}  // namespace

void ThrowZipError(ZipStep step, const std::string& path, zip_error_t* error) {
  int code = zip_error_code_zip(error);
  if (step == ZipStep::kOpen && (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS)) {
    throw ZipException(zip_text::NotAValidZipFile(path));
  }
  throw ZipException(std::string(FirstLine(step)) + " \n\"" + path + "\"\r\n" + Reason(error));
}

void ThrowZipErrorCode(ZipStep step, const std::string& path, int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  // The text lives in `error`; copy it before releasing.
  try {
    ThrowZipError(step, path, &error);
  } catch (...) {
    zip_error_fini(&error);
    throw;
  }
}

}  // namespace kalvex
