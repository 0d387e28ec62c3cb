#include "zip/progress_mapper.h"

#include <cmath>
#include <utility>

namespace kalvex {

ProgressMapper::ProgressMapper(std::vector<Item> items, int64_t entry_count, BeginFile on_begin,
                               Bytes on_bytes)
    : items_(std::move(items)),
      done_(items_.size(), 0),
      begun_(items_.size(), false),
      entry_count_(entry_count),
      on_begin_(std::move(on_begin)),
      on_bytes_(std::move(on_bytes)) {}

void ProgressMapper::Reach(size_t item, int64_t done) {
  if (!begun_[item]) {
    begun_[item] = true;
    if (on_begin_) on_begin_(item);
  }
  if (done > items_[item].size) done = items_[item].size;
  if (done > done_[item]) {
    int64_t delta = done - done_[item];
    done_[item] = done;
    if (on_bytes_) on_bytes_(item, delta);
  }
}

void ProgressMapper::Update(double fraction) {
  if (entry_count_ <= 0 || !(fraction >= 0.0)) return;
  if (fraction > 1.0) fraction = 1.0;
  double position = fraction * static_cast<double>(entry_count_);
  int64_t current = static_cast<int64_t>(std::floor(position));
  double within = position - static_cast<double>(current);
  // Items before next_ are complete: each report only looks at the items it reaches.
  while (next_ < items_.size() && items_[next_].entry_index < current) {
    Reach(next_, items_[next_].size);
    ++next_;
  }
  if (next_ < items_.size() && items_[next_].entry_index == current)
    Reach(next_,
          static_cast<int64_t>(std::floor(within * static_cast<double>(items_[next_].size))));
}

void ProgressMapper::Finish() {
  for (size_t i = 0; i < items_.size(); ++i) Reach(i, items_[i].size);
}

}  // namespace kalvex
