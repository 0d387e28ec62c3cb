// Errors of the archive component and the one place where libzip's error codes become
// them. Every message is the text the user sees.
#pragma once

#include <string>

#include "platform/error.h"

typedef struct zip_error zip_error_t;

namespace kalvex {

class ZipException : public Error {
 public:
  explicit ZipException(const std::string& message) : Error(message) {}
};

namespace zip_text {

inline constexpr char kDriveUnavailable[] = "Unable to access the selected drive!";
inline constexpr char kHeaderReadError[] = "Error reading CentralFileHeader.";
inline constexpr char kNotOpen[] =
    "A Zip file must be openned or created before\nAdding, Deleting or Extracting files.";
inline constexpr char kNoFiles[] = "No files have been selected.";
inline constexpr char kMultiDiskAdd[] =
    "Cannot Add, Delete or Extract from a multiple disk Zip file...\nMerge this Zip file onto "
    "the hard disk before retrying.";

// "Unable to create \n\"<path>\""
std::string UnableToCreate(const std::string& path);
// "\"<path>\"\nis not a valid Zip file."
std::string NotAValidZipFile(const std::string& path);
// "This is [ Disk <n> ] of a multiple disk Zip file.\n..."
std::string LastDiskWanted(int disk);
// "Insert [ Disk <n> ] of the Zip file into the floppy drive\n..."
std::string InsertDisk(int disk);

}  // namespace zip_text

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
// failure gives "Unable to <verb> \n\"<path>\"", CR LF and libzip's own text.
[[noreturn]] void ThrowZipError(ZipStep step, const std::string& path, zip_error_t* error);
// Same, from a libzip error code (zip_open reports one).
[[noreturn]] void ThrowZipErrorCode(ZipStep step, const std::string& path, int code);

}  // namespace kalvex
