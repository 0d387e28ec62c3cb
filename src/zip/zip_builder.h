// TZip: the archive component through which the exporters write ZIP archives.
//
// Setting ZipFileName opens the archive (a missing one is created as the 22-byte empty
// archive) and reads its central directory into the contents list. Add puts the files
// that FilesToAdd names into it through libzip: Deflate at level 9, each file under its
// bare name unless AddOptions keep folders, the source files left where they are. libzip
// writes the new archive to a temporary file beside it and renames it into place only
// when it is complete, so a failure or a cancel leaves the archive as it was. libzip is
// linked in: no library is loaded by name, and DllDir is kept only as a setting.
//
// Failures raise ZipException with the user's text; the preconditions of Add are shown
// as message boxes through the front end and Add then gives 0.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/front_end.h"
#include "zip/central_directory.h"
#include "zip/zip_error.h"

namespace kalvex {

class TZip {
 public:
  // AddOptions bits.
  static constexpr uint8_t kAddFreshen = 1;         // replace only older entries (without update)
  static constexpr uint8_t kAddUpdate = 2;          // replace older entries, add new files
  static constexpr uint8_t kAddRecurse = 4;         // also sub-folders; keep folder names
  static constexpr uint8_t kAddRootDir = 8;         // specs relative to RootDir; keep folder names
  static constexpr uint8_t kAddFolderEntries = 16;  // also store entries for folders
  static constexpr uint8_t kAddHiddenFiles = 64;    // include hidden and system files
  static constexpr uint8_t kAddForce = 128;         // replace entries whatever their dates

  using BeginFileEvent =
      std::function<void(TZip& sender, const std::string& file_name, int32_t file_size,
                         int32_t batch_count, int32_t total_bytes_in_batch)>;
  using ProgressEvent = std::function<void(TZip& sender, const std::string& file_name,
                                           int32_t bytes_done, int32_t total_bytes)>;
  using EndBatchEvent = std::function<void(TZip& sender, int32_t skipped_count, int32_t batch_count,
                                           int32_t total_bytes_in_batch)>;
  using NotifyEvent = std::function<void(TZip& sender)>;

  explicit TZip(FrontEnd& front_end);
  ~TZip();
  TZip(const TZip&) = delete;
  TZip& operator=(const TZip&) = delete;

  const std::string& ZipFileName() const { return zip_file_name_; }
  // Opens or creates the archive and reads its directory; raises OnContentsChanged.
  void SetZipFileName(const std::string& path);

  // Encrypts the files of the next Add when not empty; cleared by SetZipFileName.
  const std::string& Password() const { return password_; }
  void SetPassword(const std::string& password) { password_ = password; }
  const std::string& DllDir() const { return dll_dir_; }
  void SetDllDir(const std::string& folder) { dll_dir_ = folder; }
  // Folder of the backup copy that Add keeps until the run is over.
  const std::string& TempDir() const { return temp_dir_; }
  void SetTempDir(const std::string& folder) { temp_dir_ = folder; }
  // File specifications for the next Add; emptied by every run.
  std::vector<std::string>& FilesToAdd() { return files_to_add_; }
  const std::string& RootDir() const { return root_dir_; }
  void SetRootDir(const std::string& folder) { root_dir_ = folder; }
  uint8_t AddOptions() const { return add_options_; }
  void SetAddOptions(uint8_t options) { add_options_ = options; }
  uint32_t ExtractOptions() const { return extract_options_; }
  void SetExtractOptions(uint32_t options) { extract_options_ = options; }
  bool ShowProgressDialog() const { return show_progress_dialog_; }
  void SetShowProgressDialog(bool show) { show_progress_dialog_ = show; }
  // Writes what the run does to the executable's path with ".trace" as extension.
  bool Trace() const { return trace_; }
  void SetTrace(bool trace) { trace_ = trace; }
  // Set to stop the running Add; the archive then stays as it was before it.
  bool Cancelled() const { return cancelled_; }
  void SetCancelled(bool cancelled) { cancelled_ = cancelled; }

  const std::vector<TFileInfo>& Contents() const { return contents_; }
  int Count() const { return static_cast<int>(contents_.size()); }
  const TEOCHInfo& EndOfDirectory() const { return eoch_; }
  bool OemFlag() const { return oem_flag_; }

  // Adds what FilesToAdd names. Gives the number of files written into the archive
  // (above 0 when it changed), 0 when nothing was run, nothing was to be done or the
  // run was cancelled.
  int32_t Add();

  BeginFileEvent OnZEDBeginFileEvent;
  ProgressEvent OnZEDProgressEvent;
  EndBatchEvent OnZEDEndBatchEvent;
  ProgressEvent OnMergeProgress;  // never raised by this component
  ProgressEvent OnSpanProgress;   // never raised by this component
  NotifyEvent OnContentsChanged;

 private:
  class Run;
  friend class Run;

  void ReadDirectory();
  int32_t RunAdd();
  std::string TracePath() const;

  FrontEnd& front_end_;
  std::string zip_file_name_;
  std::string password_;
  std::string dll_dir_;
  std::string temp_dir_;
  std::vector<std::string> files_to_add_;
  std::string root_dir_;
  uint8_t add_options_ = kAddUpdate;
  uint32_t extract_options_ = 1;
  bool show_progress_dialog_ = true;
  bool trace_ = false;
  bool cancelled_ = false;
  std::vector<TFileInfo> contents_;
  TEOCHInfo eoch_ = TEOCHInfo::Empty();
  bool oem_flag_ = false;
};

}  // namespace kalvex
