// The tool's temporary files and what happens to them when the process is stopped.
//
// Every file the tool writes whole (saved documents, archives, copies) is first written
// to a temporary file beside it and renamed over it once complete, so a reader never
// sees half a file. Those temporary files carry one recognisable name:
//   target + ".kalvex-tmp-" + tag + "-" + six random characters
// where the tag is the portal of the run. A SIGINT, SIGTERM or SIGHUP removes every
// temporary file still in the making and ends the process with 128 + the signal number;
// on Windows the console's stop events stand for those signals (Ctrl+C for SIGINT, closing
// the console for SIGHUP, Ctrl+Break, log-off and shutdown for SIGTERM). A run removes,
// at its start, the ones of its own tag that a killed run left behind
// (the per-portal lock makes sure no live run of that portal still owns them).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace kalvex::platform {

// The portal code of the run (letters and digits; anything else is dropped).
void SetTemporaryFileTag(const std::string& tag);
// ".kalvex-tmp-" + tag + "-": what every temporary name of this run holds.
std::string TemporaryFileMarker();

// A temporary file beside a target, created exclusively (never through an existing
// name or link) and removed when the object goes unless Commit() put it in place.
class TemporaryFile {
 public:
  // Creates native_target + marker + six random characters. Throws IoError naming
  // display_path.
  TemporaryFile(const std::string& native_target, const std::string& display_path);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  const std::string& path() const { return path_; }  // native
  // Appends bytes. Throws IoError.
  void Write(std::string_view bytes);
  // Appends the content of a regular file (native path), copied by the system (POSIX:
  // copy_file_range, or sendfile where the file systems refuse it). Throws IoError
  // naming it.
  void CopyFrom(const std::string& native_source, const std::string& display_source);
  // Appends the content of a regular file open for reading, from its start to its end
  // (copied by the system as above); the descriptor stays open. Throws IoError naming
  // this file.
  void CopyFrom(int source_fd);
  // Appends what another temporary file, not yet committed, holds so far (copied by the
  // system as above). Throws IoError naming this file.
  void CopyFrom(const TemporaryFile& other);
  // Flushes to disk (unless told it is not needed), gives the file the mode a new file
  // gets from the umask (0666 less the umask, for every file the tool puts in place) and
  // renames it over the target. When a library has put a new file at the temporary path
  // meanwhile, that file is the one flushed, given the mode and renamed. Throws IoError;
  // the temporary file is gone afterwards either way.
  void Commit(Flush flush = Flush::kToDisk);

 private:
  std::string target_;
  std::string display_;
  std::string path_;
  int fd_ = -1;
  int id_ = 0;
  bool committed_ = false;
};

// Keeps a path made elsewhere (by a library, or a backup copy) on the list of files a
// signal removes, for as long as the object lives. With extra_characters > 0, files of
// the same folder whose names are the path's name followed by exactly that many more
// characters go too: the temporary names a library derives from a name of ours.
class RemovedOnSignal {
 public:
  explicit RemovedOnSignal(const std::string& native_path, size_t extra_characters = 0);
  ~RemovedOnSignal();
  RemovedOnSignal(const RemovedOnSignal&) = delete;
  RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

 private:
  int id_;
};

// Blocks SIGINT, SIGTERM and SIGHUP in the calling thread, and so in every thread it
// starts afterwards, and hands them to a thread of their own that removes the files in
// the making and ends the process with exit code 128 + the signal number (Windows: a
// console control handler does the same for the events above). To be called first thing
// in main, before any other thread exists. Once per process.
void InstallSignalCleanup();

// An action for the signal thread to run when a stop signal comes, before the files in
// the making are removed and the process ends (nullptr: none). The action runs with the
// signal number while the other threads go on; setting a new action waits until a
// running one is over.
void SetSignalAction(std::function<void(int signal_number)> action);

// Removes the files of the folder whose names hold TemporaryFileMarker(); gives how
// many went. A missing folder removes nothing.
int RemoveStaleTemporaryFiles(const std::string& native_folder);

}  // namespace kalvex::platform
