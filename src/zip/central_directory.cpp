#include "zip/central_directory.h"

#include <algorithm>
#include <fstream>
#include <optional>

#include "platform/code_page.h"
#include "zip/zip_error.h"
#include "zip/zip_platform.h"

namespace kalvex {

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
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
  if (eoch.ThisDisk() > 1000 || eoch.DirectoryDisk() > 1000) {
    throw ZipException(zip_text::NotAValidZipFile(options.display_path));
  }
  eoch.comment.clear();
  std::string comment;
  if (ReadNext(file, comment, eoch.CommentLength())) {
    eoch.comment = DecodeZipText(comment, false, oem_flag);
  }

  if (eoch.EntryCount() == 0) return;
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
  int64_t start = multi_disk ? static_cast<int64_t>(eoch.DirectoryOffset())
                             : position - static_cast<int64_t>(eoch.DirectorySize());
  auto fail = [&]() {
    contents.clear();
    throw ZipException(zip_text::kHeaderReadError);
  };
  file.clear();
  if (start < 0 || !file.seekg(static_cast<std::streamoff>(start))) fail();
  for (uint32_t i = 0; i < eoch.EntryCount(); ++i) {
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
