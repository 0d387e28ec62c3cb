#include "zip/zip_builder.h"

#include <zip.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/temporary_files.h"
#include "platform/unicode_case.h"
#include "platform/zip_platform.h"
#include "zip/file_selection.h"
#include "zip/progress_mapper.h"

namespace kalvex {

namespace {

// libzip writes an archive to the archive's name + "." + six random characters first.
constexpr size_t kLibraryTemporarySuffix = 6;

constexpr int kProgressMaximum = 65535;

struct ZipDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipDiscard>;

struct SourceFree {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using SourceHandle = std::unique_ptr<zip_source_t, SourceFree>;

int32_t Clamp32(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::string WithTrailingBackslash(const std::string& folder) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder;
  return folder + "\\";
}

// The trace file: one line per message, CR LF ended. A trace that cannot be written is
// dropped: it never stops the archive work.
class TraceFile {
 public:
  explicit TraceFile(std::string path) : path_(std::move(path)) {
    if (path_.empty()) return;
    try {
      platform::CreateEmptyFile(path_);
    } catch (const IoError&) {
      path_.clear();
    }
  }
  void Write(const std::string& text) {
    if (path_.empty()) return;
    try {
      platform::AppendToFile(path_, text + "\r\n");
    } catch (const IoError&) {
      path_.clear();
    }
  }

 private:
  std::string path_;
};

// Deletes the backup copy when the run is over.
class BackupFile {
 public:
  BackupFile() = default;
  ~BackupFile() {
    if (!path_.empty()) platform::RemoveFile(path_);
  }
  BackupFile(const BackupFile&) = delete;
  BackupFile& operator=(const BackupFile&) = delete;

  // Copies the archive aside; false when no copy could be made.
  bool Make(const std::string& folder, const std::string& archive) {
    path_ = zip_platform::CreateTempFile(folder, "zzz");
    if (path_.empty()) return false;
    return platform::CopyFileOverwrite(archive, path_);
  }
  bool Restore(const std::string& archive) const {
    return !path_.empty() && platform::CopyFileOverwrite(path_, archive);
  }

 private:
  std::string path_;
};

}  // namespace

// One run of libzip in adding mode: the batch, its progress state and the callbacks.
class TZip::Run {
 public:
  Run(TZip& zip, TraceFile& trace) : zip_(zip), trace_(trace) {}

  int32_t Execute();

 private:
  struct BatchFile {
    SelectedFile file;
    zip_int64_t index;
  };

  // The entry of the archive named like the file, letter case ignored (ASCII, as
  // libzip's own case-blind lookup compares), first in index order; -1 when none.
  // The names are read once, so that each file of a large batch costs a hash lookup.
  zip_int64_t Existing(zip_t* archive, const std::string& entry_name);
  void Added(const std::string& entry_name, zip_int64_t index);
  bool Skip(const SelectedFile& file, zip_int64_t existing, zip_t* archive);
  // Takes the file over: the batch keeps it until the archive is written.
  void Put(zip_t* archive, SelectedFile file, zip_int64_t existing);
  void PutFolder(zip_t* archive, const std::string& name);

  // The library's callbacks. No exception may cross libzip: one raised by an event
  // handler is kept, stops the library and is raised again once it has returned.
  static void ProgressCallback(zip_t* archive, double fraction, void* state);
  static int CancelCallback(zip_t* archive, void* state);
  void Progress(double fraction);
  bool Poll();
  void BeginFile(size_t item);
  void FileBytes(size_t item, int64_t bytes);

  TZip& zip_;
  TraceFile& trace_;
  std::vector<BatchFile> batch_;
  std::optional<std::unordered_map<std::string, zip_int64_t>> names_;
  int32_t folders_written_ = 0;
  int32_t batch_count_ = 0;
  int32_t total_bytes_ = 0;
  int64_t total_bytes_wide_ = 0;
  int64_t bytes_done_ = 0;
  int32_t skipped_ = 0;
  double scale_ = 1.0;
  std::string current_file_;
  std::unique_ptr<ProgressMapper> mapper_;
  std::unique_ptr<ProgressDialog> dialog_;
  std::exception_ptr failure_;
};

zip_int64_t TZip::Run::Existing(zip_t* archive, const std::string& entry_name) {
  if (!names_) {
    names_.emplace();
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i)
      if (const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0))
        names_->emplace(UpperCaseAscii(name), i);
  }
  auto it = names_->find(UpperCaseAscii(entry_name));
  return it == names_->end() ? -1 : it->second;
}

void TZip::Run::Added(const std::string& entry_name, zip_int64_t index) {
  if (names_) names_->emplace(UpperCaseAscii(entry_name), index);
}

bool TZip::Run::Skip(const SelectedFile& file, zip_int64_t existing, zip_t* archive) {
  const uint8_t options = zip_.add_options_;
  const bool update = (options & kAddUpdate) != 0;
  const bool freshen = (options & kAddFreshen) != 0 && !update;
  const bool force = (options & kAddForce) != 0;
  if (existing < 0) {
    if (!freshen) return false;
    trace_.Write(zip_text::TraceSkippedAbsent(file.entry_name));
    return true;
  }
  if (!(update || freshen) || force) return false;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive, static_cast<zip_uint64_t>(existing), 0, &stat) != 0) {
    ThrowZipError(ZipStep::kAddFile, file.path, zip_get_error(archive));
  }
  // Entry times are kept to two seconds.
  if ((stat.valid & ZIP_STAT_MTIME) == 0 || file.mtime > stat.mtime + 1) return false;
  trace_.Write(zip_text::TraceSkippedNotNewer(file.entry_name));
  return true;
}

void TZip::Run::Put(zip_t* archive, SelectedFile file, zip_int64_t existing) {
  zip_error_t error;
  zip_error_init(&error);
  SourceHandle source(zip_source_file_create(file.path.c_str(), 0, -1, &error));
  if (!source) {
    try {
      ThrowZipError(ZipStep::kAddFile, file.path, &error);
    } catch (...) {
      zip_error_fini(&error);
      throw;
    }
  }
  zip_error_fini(&error);
  zip_int64_t index = existing;
  if (existing >= 0) {
    if (zip_file_replace(archive, static_cast<zip_uint64_t>(existing), source.get(), 0) != 0) {
      ThrowZipError(ZipStep::kAddFile, file.path, zip_get_error(archive));
    }
  } else {
    index = zip_file_add(archive, file.entry_name.c_str(), source.get(), ZIP_FL_ENC_GUESS);
    if (index < 0) ThrowZipError(ZipStep::kAddFile, file.path, zip_get_error(archive));
    Added(file.entry_name, index);
  }
  source.release();  // the archive owns it now
  trace_.Write(existing >= 0 ? zip_text::TraceUpdating(file.entry_name)
                             : zip_text::TraceAdding(file.entry_name));
  if (zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 9) != 0) {
    ThrowZipError(ZipStep::kCompression, file.path, zip_get_error(archive));
  }
  if (!zip_.password_.empty() &&
      zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE,
                              zip_.password_.c_str()) != 0) {
    ThrowZipError(ZipStep::kEncryption, file.path, zip_get_error(archive));
  }
  batch_.push_back({std::move(file), index});
}

void TZip::Run::PutFolder(zip_t* archive, const std::string& name) {
  if (Existing(archive, name) >= 0) return;
  const zip_int64_t index = zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_GUESS);
  if (index < 0) ThrowZipError(ZipStep::kFolder, name, zip_get_error(archive));
  Added(name, index);
  trace_.Write(zip_text::TraceAdding(name));
  ++folders_written_;
}

void TZip::Run::ProgressCallback(zip_t*, double fraction, void* state) {
  static_cast<Run*>(state)->Progress(fraction);
}

int TZip::Run::CancelCallback(zip_t*, void* state) {
  return static_cast<Run*>(state)->Poll() ? 1 : 0;
}

void TZip::Run::Progress(double fraction) {
  if (!zip_.cancelled_ && !failure_) {
    try {
      mapper_->Update(fraction);
    } catch (...) {
      failure_ = std::current_exception();
    }
  }
  Poll();
}

// Lets the window run, takes the Cancel button's request and answers whether to stop.
bool TZip::Run::Poll() {
  if (!failure_) {
    try {
      zip_.front_end_.ProcessPendingEvents();
      if (dialog_ && dialog_->CancelRequested()) zip_.cancelled_ = true;
    } catch (...) {
      failure_ = std::current_exception();
    }
  }
  return zip_.cancelled_ || failure_ != nullptr;
}

void TZip::Run::BeginFile(size_t item) {
  if (zip_.cancelled_) return;
  const SelectedFile& file = batch_[item].file;
  current_file_ = file.path;
  if (zip_.OnZEDBeginFileEvent) {
    zip_.OnZEDBeginFileEvent(zip_, current_file_, Clamp32(file.size), batch_count_, total_bytes_);
  }
  if (dialog_ && !zip_.cancelled_) dialog_->SetText(current_file_);
}

void TZip::Run::FileBytes(size_t /*item*/, int64_t bytes) {
  if (zip_.cancelled_) return;
  bytes_done_ += bytes;
  if (zip_.OnZEDProgressEvent) {
    zip_.OnZEDProgressEvent(zip_, current_file_, Clamp32(bytes), total_bytes_);
  }
  if (dialog_ && !zip_.cancelled_) {
    double position = std::round(static_cast<double>(bytes_done_) * scale_);
    dialog_->SetPosition(static_cast<int>(std::min<double>(position, kProgressMaximum)));
  }
}

int32_t TZip::Run::Execute() {
  SelectionOptions options;
  options.root_dir = zip_.root_dir_;
  options.recurse = (zip_.add_options_ & kAddRecurse) != 0;
  options.relative_to_root = (zip_.add_options_ & kAddRootDir) != 0;
  options.folder_entries = (zip_.add_options_ & kAddFolderEntries) != 0;
  options.hidden = (zip_.add_options_ & kAddHiddenFiles) != 0;
  Selection selection = SelectFiles(zip_.files_to_add_, options);
  skipped_ = selection.duplicates;

  const std::string native = platform::NativePath(zip_.zip_file_name_);
  // The archive never goes into itself, even when it lies in a folder being added.
  std::erase_if(selection.files, [&native](const SelectedFile& file) {
    return platform::SameFile(file.path, native);
  });
  // The archive is built in a temporary copy beside it and renamed over it once libzip
  // is done, so that the temporary files of a stopped run carry the tool's mark (libzip
  // names its own after the file it writes) and a signal removes them.
  std::optional<platform::TemporaryFile> work;
  std::optional<platform::RemovedOnSignal> library_temporary;
  int open_flags = ZIP_CREATE;
  try {
    work.emplace(native, zip_.zip_file_name_);
    if (platform::RegularFileExists(native))
      work->CopyFrom(native, zip_.zip_file_name_);
    else
      open_flags |= ZIP_TRUNCATE;  // no archive yet: the empty copy starts a new one
    library_temporary.emplace(work->path() + ".", kLibraryTemporarySuffix);
  } catch (const IoError&) {
    throw ZipException(zip_text::UnableToCreate(zip_.zip_file_name_));
  }
  int error_code = 0;
  ZipHandle archive(zip_open(work->path().c_str(), open_flags, &error_code));
  if (!archive) ThrowZipErrorCode(ZipStep::kOpen, zip_.zip_file_name_, error_code);

  for (const std::string& folder : selection.folders) PutFolder(archive.get(), folder);
  for (SelectedFile& file : selection.files) {
    // Names of the archive ignore letter case, as the file names of its users do.
    zip_int64_t existing = Existing(archive.get(), file.entry_name);
    if (Skip(file, existing, archive.get())) {
      ++skipped_;
      continue;
    }
    Put(archive.get(), std::move(file), existing);
  }

  // The batch: its count, its size and the factor of the progress bar.
  batch_count_ = Clamp32(static_cast<int64_t>(batch_.size()));
  for (const BatchFile& file : batch_) total_bytes_wide_ += file.file.size;
  total_bytes_ = Clamp32(total_bytes_wide_);
  bytes_done_ = 0;
  scale_ = total_bytes_wide_ == 0
               ? 1.0
               : static_cast<double>(kProgressMaximum) / static_cast<double>(total_bytes_wide_);

  if (batch_.empty() && folders_written_ == 0) {
    trace_.Write(zip_text::kTraceNothingToDo);
    if (zip_.OnZEDEndBatchEvent) zip_.OnZEDEndBatchEvent(zip_, skipped_, 0, 0);
    return 0;
  }

  // libzip writes the entries in index order; replaced entries keep their place.
  std::stable_sort(batch_.begin(), batch_.end(),
                   [](const BatchFile& a, const BatchFile& b) { return a.index < b.index; });
  std::vector<ProgressMapper::Item> items;
  for (const BatchFile& file : batch_) items.push_back({file.index, file.file.size});
  mapper_ = std::make_unique<ProgressMapper>(
      std::move(items), zip_get_num_entries(archive.get(), 0),
      [this](size_t item) { BeginFile(item); },
      [this](size_t item, int64_t bytes) { FileBytes(item, bytes); });

  if (zip_.show_progress_dialog_) {
    dialog_ = zip_.front_end_.OpenProgressDialog(zip_text::kApplicationTitle);
    dialog_->SetText(zip_text::kWaitText);
  }
  if (zip_register_progress_callback_with_state(archive.get(), 0.0, &Run::ProgressCallback, nullptr,
                                                this) != 0 ||
      zip_register_cancel_callback_with_state(archive.get(), &Run::CancelCallback, nullptr, this) !=
          0) {
    ThrowZipError(ZipStep::kWrite, zip_.zip_file_name_, zip_get_error(archive.get()));
  }

  if (zip_close(archive.get()) != 0) {
    if (failure_) std::rethrow_exception(failure_);
    zip_error_t* error = zip_get_error(archive.get());
    if (zip_error_code_zip(error) == ZIP_ER_CANCELLED && zip_.cancelled_) {
      trace_.Write(zip_text::kTraceCancelled);
      dialog_.reset();
      return 0;
    }
    ThrowZipError(ZipStep::kWrite, zip_.zip_file_name_, error);
  }
  archive.release();  // zip_close freed it
  if (failure_) std::rethrow_exception(failure_);
  try {
    work->Commit();
  } catch (const IoError&) {
    throw ZipException(zip_text::UnableToCreate(zip_.zip_file_name_));
  }

  if (!zip_.cancelled_) mapper_->Finish();
  if (!zip_.cancelled_ && zip_.OnZEDEndBatchEvent) {
    zip_.OnZEDEndBatchEvent(zip_, skipped_, batch_count_, total_bytes_);
  }
  dialog_.reset();
  int32_t written = batch_count_ + folders_written_;
  trace_.Write(zip_text::TraceWritten(written, zip_.zip_file_name_));
  return written;
}

TZip::TZip(FrontEnd& front_end) : front_end_(front_end) {
  temp_dir_ = zip_platform::SystemTempFolder();
  if (temp_dir_.empty()) temp_dir_ = platform::ExecutableDir();
}

TZip::~TZip() = default;

void TZip::SetZipFileName(const std::string& path) {
  password_.clear();
  oem_flag_ = false;
  eoch_ = TEOCHInfo::Empty();
  contents_.clear();
  zip_file_name_ = path;
  if (!path.empty()) {
    const std::string native = platform::NativePath(path);
    if (!zip_platform::DriveAnswers(native)) throw ZipException(zip_text::kDriveUnavailable);
    if (!platform::FileExists(path)) {
      const TEOCHInfo empty = TEOCHInfo::Empty();
      try {
        platform::WriteFileAtomically(
            path, std::string_view(reinterpret_cast<const char*>(empty.record.data()),
                                   empty.record.size()));
      } catch (const IoError&) {
        throw ZipException(zip_text::UnableToCreate(path));
      }
    }
    ReadDirectory();
  }
  if (OnContentsChanged) OnContentsChanged(*this);
}

void TZip::ReadDirectory() {
  DirectoryReadOptions options;
  options.display_path = zip_file_name_;
  options.native_path = platform::NativePath(zip_file_name_);
  // The front end has no OK/Cancel question: the message is shown and taken as Cancel.
  options.ask = [this](const std::string& message) {
    front_end_.ShowMessage(message);
    return false;
  };
  ReadCentralDirectory(options, eoch_, contents_, oem_flag_);
}

std::string TZip::TracePath() const {
  std::string path = platform::ExecutablePath();
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.erase(dot);
  return path + ".trace";
}

int32_t TZip::Add() {
  struct ClearRootDir {
    std::string& root_dir;
    ~ClearRootDir() { root_dir.clear(); }
  } clear_root_dir{root_dir_};

  if (zip_file_name_.empty()) {
    front_end_.ShowMessage(zip_text::kNotOpen);
    return 0;
  }
  if (files_to_add_.empty()) {
    front_end_.ShowMessage(zip_text::kNoFiles);
    return 0;
  }
  if (eoch_.ThisDisk() != 0) {
    front_end_.ShowMessage(zip_text::kMultiDiskAdd);
    return 0;
  }

  // libzip leaves the archive untouched unless it completes; the copy puts it back when
  // a cancel comes after that.
  BackupFile backup;
  const bool existed = platform::FileExists(zip_file_name_);
  const bool have_backup = existed && backup.Make(temp_dir_, zip_file_name_);

  int32_t result = RunAdd();

  if (cancelled_ && result > 0) {
    if (!existed) {
      // libzip created the archive: as it was is no archive at all.
      platform::RemoveFile(zip_file_name_);
      contents_.clear();
      eoch_ = TEOCHInfo::Empty();
    } else if (have_backup && backup.Restore(zip_file_name_)) {
      ReadDirectory();
    } else {
      throw ZipException(zip_text::UnableToCreate(zip_file_name_));
    }
    if (OnContentsChanged) OnContentsChanged(*this);
    result = 0;
  }
  return result;
}

int32_t TZip::RunAdd() {
  cancelled_ = false;
  if ((add_options_ & kAddRootDir) != 0) {
    for (std::string& spec : files_to_add_) {
      bool absolute = spec.size() >= 3 && (spec[0] == '\\' || spec[0] == '/' || spec[1] == ':');
      if (!absolute) spec = WithTrailingBackslash(root_dir_) + spec;
    }
  }
  TraceFile trace(trace_ ? TracePath() : std::string());
  struct EmptyFilesToAdd {
    std::vector<std::string>& files;
    ~EmptyFilesToAdd() { files.clear(); }
  } empty_files_to_add{files_to_add_};

  int32_t result = 0;
  try {
    Run run(*this, trace);
    result = run.Execute();
  } catch (const std::exception& e) {
    trace.Write(e.what());
    throw;
  }
  files_to_add_.clear();
  if (result > 0) {
    ReadDirectory();
    if (OnContentsChanged) OnContentsChanged(*this);
  }
  return result;
}

}  // namespace kalvex
