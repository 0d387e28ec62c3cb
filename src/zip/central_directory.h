// The archive's own view of a ZIP file: its end-of-central-directory record and one
// record per central directory entry, read by the component itself (not by libzip) so
// the contents list shows exactly what the file holds.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kalvex {

inline constexpr uint32_t kEndOfDirectorySignature = 0x06054B50;  // "PK" 5 6
inline constexpr uint32_t kCentralHeaderSignature = 0x02014B50;   // "PK" 1 2
inline constexpr uint32_t kZip64EndSignature = 0x06064B50;        // "PK" 6 6
inline constexpr uint32_t kZip64LocatorSignature = 0x07064B50;    // "PK" 6 7

// One entry of the central directory.
struct TFileInfo {
  std::array<uint8_t, 46> header{};  // the 46-byte central file header as stored
  uint8_t encrypted = 0;             // bit 0 of the general-purpose flags
  std::string file_name;             // "/" turned into "\"
  std::string extra_field;           // raw bytes
  std::string file_comment;

  uint16_t VersionMadeBy() const;
  uint16_t Flags() const;
  uint16_t CompressionMethod() const;  // 0 stored, 8 Deflate
  uint32_t DosDateTime() const;
  uint32_t Crc32() const;
  uint32_t CompressedSize() const;
  uint32_t UncompressedSize() const;
  uint32_t ExternalAttributes() const;
  uint32_t LocalHeaderOffset() const;

  // The sizes and the offset with the values of the ZIP64 extra field (id 1) where the
  // header holds 0xFFFFFFFF in their place; the header's value when it does not, or
  // when the field is missing or too short.
  uint64_t CompressedSize64() const;
  uint64_t UncompressedSize64() const;
  uint64_t LocalHeaderOffset64() const;
};

// The end-of-central-directory record as stored, the archive comment and the record's
// byte position in the file (-1 when not read).
struct TEOCHInfo {
  std::array<uint8_t, 22> record{};
  std::string comment;
  int64_t position = -1;

  // Zeros with the signature in the first four bytes: the whole of an empty archive.
  static TEOCHInfo Empty();

  uint16_t ThisDisk() const;
  uint16_t DirectoryDisk() const;
  uint16_t EntriesOnThisDisk() const;
  uint16_t EntryCount() const;
  uint32_t DirectorySize() const;
  uint32_t DirectoryOffset() const;
  uint16_t CommentLength() const;

  // ZIP64: an archive with more entries or bytes than the record's fields hold has a
  // ZIP64 end record (found through its locator, just before this record). Its values
  // stand in for the fields of this record that hold their "see ZIP64" mark (0xFFFF,
  // 0xFFFFFFFF).
  int64_t zip64_position = -1;  // byte position of the ZIP64 end record, -1 when none
  bool zip64() const { return zip64_position >= 0; }
  uint64_t zip64_entry_count = 0;
  uint64_t zip64_directory_size = 0;
  uint64_t zip64_directory_offset = 0;
  uint64_t TotalEntries() const;
  uint64_t TotalDirectorySize() const;
  uint64_t TotalDirectoryOffset() const;
};

// Answers the questions that only an archive spread over several disks raises: given
// the message to show, true to retry (OK), false to give up (Cancel).
using DiskQuestion = std::function<bool(const std::string& message)>;

struct DirectoryReadOptions {
  std::string display_path;  // the archive's name as the user gave it, for messages
  std::string native_path;   // where it is
  DiskQuestion ask;          // may be empty: every question is then answered Cancel
};

// Reads the end-of-directory record (and the ZIP64 one, when there is one) and the
// central directory into `eoch` and `contents`. `oem_flag` is read (archive comment) and may be set
// (first entry made on MS-DOS or OS/2). Throws ZipException "\"<path>\"\nis not a valid Zip file."
// or "Error reading CentralFileHeader." (contents left empty).
void ReadCentralDirectory(const DirectoryReadOptions& options, TEOCHInfo& eoch,
                          std::vector<TFileInfo>& contents, bool& oem_flag);

// The text of a stored name or comment as UTF-8: as stored when the entry says UTF-8
// (flag bit 11), from code page 437 when the archive is in the OEM code page,
// otherwise UTF-8 when it is valid UTF-8 and Windows-1252 when it is not.
std::string DecodeZipText(const std::string& bytes, bool utf8_flag, bool oem_flag);

}  // namespace kalvex
