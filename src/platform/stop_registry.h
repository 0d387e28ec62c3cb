// The list of files a stop removes and the action a stop runs first, shared by the
// systems' temporary_files files (platform layer only). A stop takes the list's lock for
// good before it removes the files, so a file being created while the stop comes is
// either not there yet or already listed.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

namespace kalvex::platform::stop_registry {

struct Entry {
  int id;
  std::string path;  // native
  size_t extra_characters;
};

// The list's lock, for a caller that creates a file and lists it at once (AddLocked).
std::unique_lock<std::mutex> Lock();
// Lists a file; the caller holds Lock(). Gives the entry's id.
int AddLocked(const std::string& native_path, size_t extra_characters);
int Add(const std::string& native_path, size_t extra_characters);
void Drop(int id);

// Runs the stop action with `stop_number`, then takes the list's lock for good and
// hands every entry to `remove`. The caller ends the process afterwards.
void RunStopAction(int stop_number, void (*remove)(const Entry&));

}  // namespace kalvex::platform::stop_registry
