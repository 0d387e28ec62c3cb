#include "zip/zip_error.h"

#include <zip.h>

namespace kalvex {

namespace zip_text {

std::string UnableToCreate(const std::string& path) {
  return "Unable to create \n\"" + path + "\"";
}

std::string NotAValidZipFile(const std::string& path) {
  return "\"" + path + "\"\nis not a valid Zip file.";
}

std::string LastDiskWanted(int disk) {
  return "This is [ Disk " + std::to_string(disk) +
         " ] of a multiple disk Zip file.\nInsert the last disk of the Zip file before pressing "
         "[ OK ] to continue ...";
}

std::string InsertDisk(int disk) {
  return "Insert [ Disk " + std::to_string(disk) +
         " ] of the Zip file into the floppy drive\nbefore pressing [ OK ] to continue ...";
}

}  // namespace zip_text

namespace {

const char* Verb(ZipStep step) {
  switch (step) {
    case ZipStep::kOpen:
      return "open";
    case ZipStep::kAddFile:
      return "add";
    case ZipStep::kCompression:
      return "compress";
    case ZipStep::kEncryption:
      return "encrypt";
    case ZipStep::kFolder:
      return "add the folder";
    case ZipStep::kWrite:
      return "write";
  }
  return "use";
}

}  // namespace

void ThrowZipError(ZipStep step, const std::string& path, zip_error_t* error) {
  int code = zip_error_code_zip(error);
  if (step == ZipStep::kOpen && (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS)) {
    throw ZipException(zip_text::NotAValidZipFile(path));
  }
  throw ZipException(std::string("Unable to ") + Verb(step) + " \n\"" + path + "\"\r\n" +
                     zip_error_strerror(error));
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
