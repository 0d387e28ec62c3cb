#include "zip/central_directory.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <optional>

#include "platform/code_page.h"
#include "platform/zip_platform.h"
#include "zip/zip_error.h"

namespace kalvex {

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t Get64(const uint8_t* p) {
  return static_cast<uint64_t>(Get32(p)) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}

constexpr uint16_t kZip64Mark16 = 0xFFFF;
constexpr uint32_t kZip64Mark32 = 0xFFFFFFFF;
constexpr size_t kZip64EndSize = 56;  // the fixed part of the ZIP64 end record
constexpr size_t kZip64LocatorSize = 20;

// The value that the ZIP64 extra field gives for the n-th of the header's marked
// fields (in the order uncompressed size, compressed size, local header offset), or
// the header's own value.
uint64_t Zip64Value(const TFileInfo& info, uint32_t header_value, int position) {
  if (header_value != kZip64Mark32) return header_value;
  // Only the marked fields are in the extra field, in that order.
  const uint32_t marked[3] = {info.UncompressedSize(), info.CompressedSize(),
                              info.LocalHeaderOffset()};
  size_t index = 0;
  for (int i = 0; i < position; ++i)
    if (marked[i] == kZip64Mark32) ++index;
  const std::string& extra = info.extra_field;
  const auto* bytes = reinterpret_cast<const uint8_t*>(extra.data());
  for (size_t at = 0; at + 4 <= extra.size();) {
    const uint16_t id = Get16(bytes + at);
    const uint16_t size = Get16(bytes + at + 2);
    if (at + 4 + size > extra.size()) break;
    if (id == 1) return (index + 1) * 8 <= size ? Get64(bytes + at + 4 + index * 8) : header_value;
    at += 4 + size;
  }
  return header_value;
}

// Reads exactly `size` bytes at `offset`; false on a short read or a failed seek.
bool ReadAt(std::ifstream& f, int64_t offset, void* buffer, size_t size) {
  f.clear();
  if (offset < 0 || !f.seekg(static_cast<std::streamoff>(offset))) return false;
  return static_cast<bool>(f.read(static_cast<char*>(buffer), static_cast<std::streamsize>(size)));
}

bool ReadNext(std::ifstream& f, std::string& out, size_t size) {
  out.assign(size, '\0');
  return size == 0 || static_cast<bool>(f.read(out.data(), static_cast<std::streamsize>(size)));
}

int64_t FileSize(std::ifstream& f) {
  f.clear();
  if (!f.seekg(0, std::ios::end)) return -1;
  return static_cast<int64_t>(f.tellg());
}

// Position of the end-of-directory record, or -1.
int64_t FindEndOfDirectory(std::ifstream& f) {
  int64_t size = FileSize(f);
  if (size < 22) return -1;
  uint8_t tail[22];
  if (!ReadAt(f, size - 22, tail, sizeof tail)) return -1;
  if (Get32(tail) == kEndOfDirectorySignature) return size - 22;
  // A comment follows the record: it is at most 65535 bytes long.
  int64_t window = std::min<int64_t>(size, 65535 + 22);
  std::vector<uint8_t> buffer(static_cast<size_t>(window));
  if (!ReadAt(f, size - window, buffer.data(), buffer.size())) return -1;
  for (int64_t i = window - 22; i >= 0; --i) {
    if (Get32(&buffer[static_cast<size_t>(i)]) == kEndOfDirectorySignature) {
      return size - window + i;
    }
  }
  return -1;
}

}  // namespace

uint16_t TFileInfo::VersionMadeBy() const { return Get16(&header[4]); }
uint16_t TFileInfo::Flags() const { return Get16(&header[8]); }
uint16_t TFileInfo::CompressionMethod() const { return Get16(&header[10]); }
uint32_t TFileInfo::DosDateTime() const { return Get32(&header[12]); }
uint32_t TFileInfo::Crc32() const { return Get32(&header[16]); }
uint32_t TFileInfo::CompressedSize() const { return Get32(&header[20]); }
uint32_t TFileInfo::UncompressedSize() const { return Get32(&header[24]); }
uint32_t TFileInfo::ExternalAttributes() const { return Get32(&header[38]); }
uint32_t TFileInfo::LocalHeaderOffset() const { return Get32(&header[42]); }
uint64_t TFileInfo::UncompressedSize64() const { return Zip64Value(*this, UncompressedSize(), 0); }
uint64_t TFileInfo::CompressedSize64() const { return Zip64Value(*this, CompressedSize(), 1); }
uint64_t TFileInfo::LocalHeaderOffset64() const {
  return Zip64Value(*this, LocalHeaderOffset(), 2);
}

TEOCHInfo TEOCHInfo::Empty() {
  TEOCHInfo info;
  info.record[0] = 'P';
  info.record[1] = 'K';
  info.record[2] = 5;
  info.record[3] = 6;
  return info;
}

uint16_t TEOCHInfo::ThisDisk() const { return Get16(&record[4]); }
uint16_t TEOCHInfo::DirectoryDisk() const { return Get16(&record[6]); }
uint16_t TEOCHInfo::EntriesOnThisDisk() const { return Get16(&record[8]); }
uint16_t TEOCHInfo::EntryCount() const { return Get16(&record[10]); }
uint32_t TEOCHInfo::DirectorySize() const { return Get32(&record[12]); }
uint32_t TEOCHInfo::DirectoryOffset() const { return Get32(&record[16]); }
uint16_t TEOCHInfo::CommentLength() const { return Get16(&record[20]); }

uint64_t TEOCHInfo::TotalEntries() const {
  return zip64() && EntryCount() == kZip64Mark16 ? zip64_entry_count : EntryCount();
}
uint64_t TEOCHInfo::TotalDirectorySize() const {
  return zip64() && DirectorySize() == kZip64Mark32 ? zip64_directory_size : DirectorySize();
}
uint64_t TEOCHInfo::TotalDirectoryOffset() const {
  return zip64() && DirectoryOffset() == kZip64Mark32 ? zip64_directory_offset : DirectoryOffset();
}

namespace {

// Reads the ZIP64 end record that the locator before the end record at `position`
// points to. Data in front of the archive shifts every position the records give, so
// the record is also looked for right before the locator.
void ReadZip64End(std::ifstream& f, int64_t position, TEOCHInfo& eoch) {
  const int64_t locator_at = position - static_cast<int64_t>(kZip64LocatorSize);
  uint8_t locator[kZip64LocatorSize];
  if (locator_at < 0 || !ReadAt(f, locator_at, locator, sizeof locator) ||
      Get32(locator) != kZip64LocatorSignature)
    return;
  const uint64_t stated = Get64(locator + 8);
  const int64_t before_locator = locator_at - static_cast<int64_t>(kZip64EndSize);
  for (int64_t at :
       {stated <= static_cast<uint64_t>(INT64_MAX) ? static_cast<int64_t>(stated) : int64_t{-1},
        before_locator}) {
    uint8_t record[kZip64EndSize];
    if (at < 0 || at >= locator_at || !ReadAt(f, at, record, sizeof record) ||
        Get32(record) != kZip64EndSignature)
      continue;
    eoch.zip64_position = at;
    eoch.zip64_entry_count = Get64(record + 32);
    eoch.zip64_directory_size = Get64(record + 40);
    eoch.zip64_directory_offset = Get64(record + 48);
    return;
  }
}

}  // namespace

std::string DecodeZipText(const std::string& bytes, bool utf8_flag, bool oem_flag) {
  if (utf8_flag) return bytes;
  if (oem_flag) return ToUtf8(bytes, "ibm-437");
  return Utf8OrWindows1252(bytes);
}

void ReadCentralDirectory(const DirectoryReadOptions& options, TEOCHInfo& eoch,
                          std::vector<TFileInfo>& contents, bool& oem_flag) {
  auto ask = [&](const std::string& message) { return options.ask && options.ask(message); };
  contents.clear();
  std::ifstream file;
  int64_t position = -1;
  while (true) {
    file.open(options.native_path, std::ios::binary);
    if (file) position = FindEndOfDirectory(file);
    if (position >= 0) break;
    file.close();
    // A disk of a multi-disk set other than the last holds no record: ask for the last.
    std::optional<int> disk = zip_platform::MultiDiskSetDisk(options.native_path);
    if (!disk) throw ZipException(zip_text::NotAValidZipFile(options.display_path));
    if (!ask(zip_text::LastDiskWanted(*disk))) return;
  }

  if (!ReadAt(file, position, eoch.record.data(), eoch.record.size())) {
    throw ZipException(zip_text::NotAValidZipFile(options.display_path));
  }
  eoch.position = position;
  eoch.zip64_position = -1;
  if (eoch.ThisDisk() > 1000 || eoch.DirectoryDisk() > 1000) {
    throw ZipException(zip_text::NotAValidZipFile(options.display_path));
  }
  eoch.comment.clear();
  std::string comment;
  if (ReadNext(file, comment, eoch.CommentLength())) {
    eoch.comment = DecodeZipText(comment, false, oem_flag);
  }

  // After the comment, which follows the record: this reads elsewhere in the file.
  ReadZip64End(file, position, eoch);
  if (eoch.TotalEntries() == 0) return;
  if (eoch.DirectoryDisk() != eoch.ThisDisk()) {
    // The directory starts on another disk of the set. A file that lies on no such
    // disk cannot have it brought in: as if the user cancelled.
    std::optional<int> disk = zip_platform::MultiDiskSetDisk(options.native_path);
    if (!disk) return;
    while (*disk != eoch.DirectoryDisk()) {
      if (!ask(zip_text::InsertDisk(eoch.DirectoryDisk()))) return;
      disk = zip_platform::MultiDiskSetDisk(options.native_path);
      if (!disk) return;
    }
  }
  const bool multi_disk = eoch.ThisDisk() != 0;
  // The directory ends where the (ZIP64) end record starts.
  const int64_t directory_end = eoch.zip64() ? eoch.zip64_position : position;
  const uint64_t size = eoch.TotalDirectorySize();
  int64_t start = multi_disk ? static_cast<int64_t>(std::min<uint64_t>(
                                   eoch.TotalDirectoryOffset(), static_cast<uint64_t>(INT64_MAX)))
                  : size > static_cast<uint64_t>(directory_end)
                      ? int64_t{-1}
                      : directory_end - static_cast<int64_t>(size);
  auto fail = [&]() {
    contents.clear();
    throw ZipException(zip_text::kHeaderReadError);
  };
  file.clear();
  if (start < 0 || !file.seekg(static_cast<std::streamoff>(start))) fail();
  for (uint64_t i = 0; i < eoch.TotalEntries(); ++i) {
    TFileInfo info;
    if (!file.read(reinterpret_cast<char*>(info.header.data()),
                   static_cast<std::streamsize>(info.header.size()))) {
      // On a set the directory goes on at the start of the next disk; a single file has
      // nothing more to give.
      fail();
    }
    if (Get32(info.header.data()) != kCentralHeaderSignature) fail();
    if (i == 0) {
      uint8_t host = static_cast<uint8_t>(info.VersionMadeBy() >> 8);
      uint8_t version = static_cast<uint8_t>(info.VersionMadeBy() & 0xFF);
      if (host == 0 || host == 6 || (host == 11 && version == 50)) oem_flag = true;
    }
    info.encrypted = static_cast<uint8_t>(info.Flags() & 1);
    std::string name, extra, entry_comment;
    if (!ReadNext(file, name, Get16(&info.header[28])) ||
        !ReadNext(file, extra, Get16(&info.header[30])) ||
        !ReadNext(file, entry_comment, Get16(&info.header[32]))) {
      fail();
    }
    const bool utf8 = (info.Flags() & 0x0800) != 0;
    info.file_name = DecodeZipText(name, utf8, oem_flag);
    std::replace(info.file_name.begin(), info.file_name.end(), '/', '\\');
    info.extra_field = std::move(extra);
    info.file_comment = DecodeZipText(entry_comment, utf8, oem_flag);
    contents.push_back(std::move(info));
  }
}

}  // namespace kalvex
