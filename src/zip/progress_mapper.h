// Turns libzip's progress into per-file progress. While it writes an archive, libzip
// reports one overall fraction from 0 to 1 in which every entry of the archive, in index
// order, takes an equal share (entries copied unchanged included). The mapper knows which
// entries are the files of the batch and their sizes: a fraction inside a batch file's
// share means that file has begun and that the same part of its bytes is done; a
// fraction past it means it is complete. Finish() completes whatever the last reports
// did not reach, so every file gets its begin and all its bytes exactly once.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace kalvex {

class ProgressMapper {
 public:
  struct Item {
    int64_t entry_index;  // index of the file's entry in the archive
    int64_t size;         // bytes of the file
  };
  // item: position in the list given to the constructor.
  using BeginFile = std::function<void(size_t item)>;
  using Bytes = std::function<void(size_t item, int64_t bytes)>;

  // `items` in the order libzip writes them (rising entry index); `entry_count` is the
  // number of entries the written archive holds. A report costs time for the items it
  // completes only, so a batch of any size is followed in linear time.
  ProgressMapper(std::vector<Item> items, int64_t entry_count, BeginFile on_begin, Bytes on_bytes);

  void Update(double fraction);
  void Finish();

 private:
  void Reach(size_t item, int64_t done);

  std::vector<Item> items_;
  std::vector<int64_t> done_;
  std::vector<bool> begun_;
  int64_t entry_count_;
  size_t next_ = 0;  // the first item not known to be complete
  BeginFile on_begin_;
  Bytes on_bytes_;
};

}  // namespace kalvex
