// The zip component's reading of an archive's end record and central directory, on any
// bytes in a file (ZIP64 end records included in the seeds).
#include "fuzz_support.h"
#include "zip/central_directory.h"
#include "zip/zip_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kalvex;
  static fuzz::ScratchFile file(".zip");
  DirectoryReadOptions options;
  options.display_path = "archive.zip";
  options.native_path = file.Write(fuzz::Bytes(data, size));
  TEOCHInfo eoch = TEOCHInfo::Empty();
  std::vector<TFileInfo> contents;
  bool oem = size > 0 && (data[0] & 1) != 0;
  try {
    ReadCentralDirectory(options, eoch, contents, oem);
  } catch (const ZipException&) {
    if (!contents.empty()) std::abort();  // a failed reading leaves no contents
    return 0;
  }
  uint64_t sum = 0;
  for (const TFileInfo& info : contents) {
    sum += info.CompressedSize64() + info.UncompressedSize64() + info.LocalHeaderOffset64() +
           info.Crc32() + info.DosDateTime() + info.ExternalAttributes() + info.file_name.size() +
           info.extra_field.size() + info.file_comment.size();
  }
  // Every entry the end record counts is read, or the reading fails.
  if (!contents.empty() && contents.size() != eoch.TotalEntries()) std::abort();
  return static_cast<int>(sum & 0);
}
