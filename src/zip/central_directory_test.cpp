#include "zip/central_directory.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "zip/zip_error.h"

namespace kalvex {
namespace {

using kalvex::testing::TempDir;
using kalvex::testing::WriteFile;

void Put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

struct Entry {
  std::string name;
  uint16_t made_by = 0x0314;  // UNIX, 2.0
  uint16_t flags = 0;
  std::string extra;
  std::string comment;
  uint32_t size = 0;
};

Entry Named(const std::string& name) {
  Entry e;
  e.name = name;
  return e;
}

std::string CentralHeader(const Entry& e) {
  std::string h;
  Put32(h, kCentralHeaderSignature);
  Put16(h, e.made_by);
  Put16(h, 20);  // version needed
  Put16(h, e.flags);
  Put16(h, 8);           // Deflate
  Put32(h, 0x5A8B3C21);  // DOS date and time
  Put32(h, 0xCAFEBABE);  // CRC-32
  Put32(h, e.size / 2);
  Put32(h, e.size);
  Put16(h, static_cast<uint16_t>(e.name.size()));
  Put16(h, static_cast<uint16_t>(e.extra.size()));
  Put16(h, static_cast<uint16_t>(e.comment.size()));
  Put16(h, 0);           // disk
  Put16(h, 0);           // internal attributes
  Put32(h, 0x81A40000);  // external attributes
  Put32(h, 0);           // local header offset
  return h + e.name + e.extra + e.comment;
}

// An archive of central headers only, behind `prefix`; the reader needs no more.
std::string Archive(const std::vector<Entry>& entries, const std::string& comment = "",
                    const std::string& prefix = "local data", uint16_t disk = 0,
                    uint16_t directory_disk = 0) {
  std::string directory;
  for (const Entry& e : entries) directory += CentralHeader(e);
  std::string end;
  Put32(end, kEndOfDirectorySignature);
  Put16(end, disk);
  Put16(end, directory_disk);
  Put16(end, static_cast<uint16_t>(entries.size()));
  Put16(end, static_cast<uint16_t>(entries.size()));
  Put32(end, static_cast<uint32_t>(directory.size()));
  Put32(end, static_cast<uint32_t>(prefix.size()));
  Put16(end, static_cast<uint16_t>(comment.size()));
  return prefix + directory + end + comment;
}

void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v & 0xFFFFFFFF));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

// The same archive as Archive() makes, with a ZIP64 end record and its locator: the
// classic record holds the "see ZIP64" marks.
std::string Zip64Archive(const std::vector<Entry>& entries, const std::string& prefix) {
  std::string directory;
  for (const Entry& e : entries) directory += CentralHeader(e);
  std::string zip64;
  Put32(zip64, kZip64EndSignature);
  Put64(zip64, 44);  // size of the rest of the record
  Put16(zip64, 45);
  Put16(zip64, 45);
  Put32(zip64, 0);
  Put32(zip64, 0);
  Put64(zip64, entries.size());
  Put64(zip64, entries.size());
  Put64(zip64, directory.size());
  Put64(zip64, prefix.size());
  std::string locator;
  Put32(locator, kZip64LocatorSignature);
  Put32(locator, 0);
  Put64(locator, prefix.size() + directory.size());
  Put32(locator, 1);
  std::string end;
  Put32(end, kEndOfDirectorySignature);
  Put16(end, 0);
  Put16(end, 0);
  Put16(end, 0xFFFF);
  Put16(end, 0xFFFF);
  Put32(end, 0xFFFFFFFF);
  Put32(end, 0xFFFFFFFF);
  Put16(end, 0);
  return prefix + directory + zip64 + locator + end;
}

struct ReadResult {
  TEOCHInfo eoch;
  std::vector<TFileInfo> contents;
  bool oem = false;
  std::vector<std::string> questions;
};

ReadResult Read(const std::string& path, bool oem = false) {
  ReadResult r;
  r.oem = oem;
  DirectoryReadOptions options;
  options.display_path = "C:\\Export\\x.zip";
  options.native_path = path;
  options.ask = [&r](const std::string& message) {
    r.questions.push_back(message);
    return false;
  };
  ReadCentralDirectory(options, r.eoch, r.contents, r.oem);
  return r;
}

std::string ErrorOf(const std::string& path) {
  try {
    Read(path);
  } catch (const ZipException& e) {
    return e.what();
  }
  return "no error";
}

TEST(CentralDirectoryTest, ReadsHeadersNamesExtraFieldsAndComments) {
  TempDir dir;
  Entry photo{"photos/car_1.jpg",
              0x0314,
              0,
              std::string("UT\x05\x00\x01\x12\x34\x56\x78", 9),
              "front",
              4000};
  Entry csv{"123.csv", 0x0314, 1, "", "", 250};
  WriteFile(dir / "a.zip", Archive({photo, csv}, "stock of the day"));
  ReadResult r = Read(dir / "a.zip");
  ASSERT_EQ(r.contents.size(), 2u);
  const TFileInfo& first = r.contents[0];
  EXPECT_EQ(first.file_name, "photos\\car_1.jpg");
  EXPECT_EQ(first.extra_field, std::string("UT\x05\x00\x01\x12\x34\x56\x78", 9));
  EXPECT_EQ(first.file_comment, "front");
  EXPECT_EQ(first.encrypted, 0);
  EXPECT_EQ(std::string(first.header.begin(), first.header.end()),
            CentralHeader(photo).substr(0, 46));
  EXPECT_EQ(first.CompressionMethod(), 8);
  EXPECT_EQ(first.UncompressedSize(), 4000u);
  EXPECT_EQ(first.CompressedSize(), 2000u);
  EXPECT_EQ(first.Crc32(), 0xCAFEBABEu);
  EXPECT_EQ(first.DosDateTime(), 0x5A8B3C21u);
  EXPECT_EQ(first.ExternalAttributes(), 0x81A40000u);
  EXPECT_EQ(first.VersionMadeBy(), 0x0314);
  EXPECT_EQ(r.contents[1].file_name, "123.csv");
  EXPECT_EQ(r.contents[1].encrypted, 1);
  EXPECT_EQ(r.eoch.comment, "stock of the day");
  EXPECT_EQ(r.eoch.EntryCount(), 2);
  EXPECT_EQ(r.eoch.DirectoryOffset(), 10u);
  EXPECT_EQ(r.eoch.position,
            static_cast<int64_t>(10 + CentralHeader(photo).size() + CentralHeader(csv).size()));
  EXPECT_FALSE(r.oem);
  EXPECT_TRUE(r.questions.empty());
}

TEST(CentralDirectoryTest, TheEmptyArchiveIsTheEndRecordAlone) {
  TempDir dir;
  TEOCHInfo empty = TEOCHInfo::Empty();
  std::string bytes(empty.record.begin(), empty.record.end());
  EXPECT_EQ(bytes, std::string("PK\x05\x06", 4) + std::string(18, '\0'));
  EXPECT_EQ(empty.position, -1);
  WriteFile(dir / "e.zip", bytes);
  ReadResult r = Read(dir / "e.zip");
  EXPECT_TRUE(r.contents.empty());
  EXPECT_EQ(r.eoch.position, 0);
  EXPECT_EQ(r.eoch.comment, "");
}

TEST(CentralDirectoryTest, FindsTheRecordBeforeALongComment) {
  TempDir dir;
  // The longest comment there can be: the record lies 65557 bytes from the end.
  std::string comment(65535, 'c');
  WriteFile(dir / "c.zip", Archive({Named("a.txt")}, comment));
  ReadResult r = Read(dir / "c.zip");
  ASSERT_EQ(r.contents.size(), 1u);
  EXPECT_EQ(r.contents[0].file_name, "a.txt");
  EXPECT_EQ(r.eoch.comment, comment);
}

TEST(CentralDirectoryTest, OemArchivesHaveTheirNamesAndCommentsConverted) {
  TempDir dir;
  // "é" is 0x82 in code page 437; host 0 is MS-DOS.
  Entry dos{"v\x82hicule.txt", 0x0014, 0, "", "r\x82sum\x82", 10};
  Entry utf8{"caf\xC3\xA9.txt", 0x0014, 0x0800, "", "", 10};
  WriteFile(dir / "dos.zip", Archive({dos, utf8}, "\x82t\x82"));
  ReadResult first = Read(dir / "dos.zip");
  EXPECT_TRUE(first.oem);
  EXPECT_EQ(first.contents[0].file_name, "v\xC3\xA9hicule.txt");
  EXPECT_EQ(first.contents[0].file_comment, "r\xC3\xA9sum\xC3\xA9");
  EXPECT_EQ(first.contents[1].file_name, "caf\xC3\xA9.txt");  // marked UTF-8: as stored
  // The archive comment is read before the entries set the flag: Windows-1252 the first
  // time (0x82 is a low quotation mark there), code page 437 when read again.
  EXPECT_EQ(first.eoch.comment, "\xE2\x80\x9At\xE2\x80\x9A");
  EXPECT_EQ(Read(dir / "dos.zip", first.oem).eoch.comment, "\xC3\xA9t\xC3\xA9");
  // Host 11 counts only with version 5.0.
  Entry ntfs{"n.txt", 0x0B32, 0, "", "", 1};
  WriteFile(dir / "ntfs.zip", Archive({ntfs}));
  EXPECT_TRUE(Read(dir / "ntfs.zip").oem);
  ntfs.made_by = 0x0B14;
  WriteFile(dir / "ntfs2.zip", Archive({ntfs}));
  EXPECT_FALSE(Read(dir / "ntfs2.zip").oem);
  Entry os2{"o.txt", 0x0614, 0, "", "", 1};
  WriteFile(dir / "os2.zip", Archive({os2, Named("u.txt")}));
  EXPECT_TRUE(Read(dir / "os2.zip").oem);
}

TEST(CentralDirectoryTest, NamesOfOtherSystemsAreUtf8OrWindows1252) {
  EXPECT_EQ(DecodeZipText("caf\xC3\xA9", false, false), "caf\xC3\xA9");
  EXPECT_EQ(DecodeZipText("caf\xE9", false, false), "caf\xC3\xA9");
  EXPECT_EQ(DecodeZipText("caf\x82", false, true), "caf\xC3\xA9");
  EXPECT_EQ(DecodeZipText("caf\xC3\xA9", true, true), "caf\xC3\xA9");
}

TEST(CentralDirectoryTest, FilesThatAreNoArchiveAreRejected) {
  TempDir dir;
  const std::string not_valid = "\"C:\\Export\\x.zip\"\nis not a valid Zip file.";
  WriteFile(dir / "text.zip", "This is a vehicle list, not an archive at all.");
  EXPECT_EQ(ErrorOf(dir / "text.zip"), not_valid);
  WriteFile(dir / "short.zip", "PK\x05\x06");
  EXPECT_EQ(ErrorOf(dir / "short.zip"), not_valid);
  WriteFile(dir / "empty.zip", "");
  EXPECT_EQ(ErrorOf(dir / "empty.zip"), not_valid);
  EXPECT_EQ(ErrorOf(dir / "missing.zip"), not_valid);
  // Disk numbers above 1000 are no archive either.
  WriteFile(dir / "disk.zip", Archive({Named("a")}, "", "", 1001, 1001));
  EXPECT_EQ(ErrorOf(dir / "disk.zip"), not_valid);
}

TEST(CentralDirectoryTest, ABrokenDirectoryFailsAndLeavesTheListEmpty) {
  TempDir dir;
  const std::string broken = "Error reading CentralFileHeader.";
  // A wrong signature in the second header.
  std::string bytes = Archive({Named("a.txt"), Named("b.txt")});
  size_t second = bytes.find("PK\x01\x02", 20);
  ASSERT_NE(second, std::string::npos);
  bytes[second + 2] = 9;
  WriteFile(dir / "sig.zip", bytes);
  EXPECT_EQ(ErrorOf(dir / "sig.zip"), broken);
  // A directory said to be larger than what lies before the record.
  std::string big = Archive({Named("a.txt")}, "", "");
  big[big.size() - 22 + 12] = 0x7F;
  WriteFile(dir / "big.zip", big);
  EXPECT_EQ(ErrorOf(dir / "big.zip"), broken);
  // A name running into the end record.
  std::string cut = Archive({Named("a.txt")}, "", "");
  cut[28] = 0x40;  // name length
  WriteFile(dir / "cut.zip", cut);
  EXPECT_EQ(ErrorOf(dir / "cut.zip"), broken);

  TEOCHInfo eoch;
  std::vector<TFileInfo> contents(3);
  bool oem = false;
  DirectoryReadOptions options{"x.zip", dir / "sig.zip", nullptr};
  EXPECT_THROW(ReadCentralDirectory(options, eoch, contents, oem), ZipException);
  EXPECT_TRUE(contents.empty());
}

TEST(CentralDirectoryTest, ADirectoryOnAnotherDiskIsNotRead) {
  TempDir dir;
  // The directory would start on disk 0 of a set whose last disk is 2; a plain file is
  // on no disk that could be brought in, so the list stays empty without a question.
  WriteFile(dir / "set.zip", Archive({Named("a.txt")}, "", "", 2, 0));
  ReadResult r = Read(dir / "set.zip");
  EXPECT_TRUE(r.contents.empty());
  EXPECT_EQ(r.eoch.ThisDisk(), 2);
  EXPECT_TRUE(r.questions.empty());
  // On the last disk with its directory, the entries are read from the given offset.
  WriteFile(dir / "last.zip", Archive({Named("b.txt")}, "", "xyz", 2, 2));
  ReadResult last = Read(dir / "last.zip");
  ASSERT_EQ(last.contents.size(), 1u);
  EXPECT_EQ(last.contents[0].file_name, "b.txt");
}

TEST(CentralDirectoryTest, Zip64EndRecordGivesTheCountsAndTheExtraFieldTheSizes) {
  TempDir dir;
  // An entry whose sizes and offset do not fit 32 bits: marks in the header, values in
  // the ZIP64 extra field (only the marked ones, in their order).
  Entry big = Named("stock.csv");
  std::string zip64_field;
  Put16(zip64_field, 1);
  Put16(zip64_field, 16);
  Put64(zip64_field, 0x123456789ull);  // uncompressed size
  Put64(zip64_field, 0x98765432Aull);  // compressed size
  big.extra = zip64_field;
  std::string header = CentralHeader(big);
  for (size_t at : {20u, 24u}) header.replace(at, 4, "\xFF\xFF\xFF\xFF");
  Entry small = Named("42_1.jpg");
  small.size = 1000;
  for (const std::string& prefix : {std::string(), std::string("self-extracting stub")}) {
    std::string archive = Zip64Archive({big, small}, prefix);
    archive.replace(prefix.size(), header.size(), header);
    WriteFile(dir / "z.zip", archive);
    ReadResult r = Read(dir / "z.zip");
    ASSERT_EQ(r.contents.size(), 2u) << prefix;
    EXPECT_TRUE(r.eoch.zip64());
    EXPECT_EQ(r.eoch.TotalEntries(), 2u);
    EXPECT_EQ(r.eoch.EntryCount(), 0xFFFF);
    EXPECT_EQ(r.eoch.TotalDirectoryOffset(), prefix.size());
    EXPECT_EQ(r.contents[0].file_name, "stock.csv");
    EXPECT_EQ(r.contents[0].UncompressedSize64(), 0x123456789ull);
    EXPECT_EQ(r.contents[0].CompressedSize64(), 0x98765432Aull);
    EXPECT_EQ(r.contents[0].LocalHeaderOffset64(), 0u);
    EXPECT_EQ(r.contents[1].UncompressedSize64(), 1000u);
  }
  // A locator that points nowhere and no record before it: read as a classic archive,
  // whose marks then name more entries than there are.
  std::string broken = Zip64Archive({small}, "");
  broken.replace(broken.find("PK\x06\x06"), 4, "XXXX");
  WriteFile(dir / "broken.zip", broken);
  EXPECT_EQ(ErrorOf(dir / "broken.zip"), "Error reading CentralFileHeader.");
}

}  // namespace
}  // namespace kalvex
