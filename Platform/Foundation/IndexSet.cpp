#include "Foundation/IndexSet.h"

#include <algorithm>
#include <limits>

namespace ns {

IndexSet::IndexSet(std::initializer_list<std::size_t> indexes) {
  for (std::size_t index : indexes) addIndex(index);
}

IndexSet IndexSet::indexSetWithIndex(std::size_t index) {
  IndexSet set;
  set.addIndex(index);
  return set;
}

IndexSet IndexSet::indexSetWithIndexesInRange(Range range) {
  IndexSet set;
  set.addIndexesInRange(range);
  return set;
}

void IndexSet::addIndexesInRange(Range range) {
  if (range.length == 0) return;
  // Clamp so that location + length cannot wrap.
  const std::size_t maxIndex = std::numeric_limits<std::size_t>::max();
  if (range.length > maxIndex - range.location) range.length = maxIndex - range.location;
  std::size_t first = range.location;
  std::size_t end = range.location + range.length;  // one past the last index
  // Merge with every run that overlaps or touches [first, end).
  auto it = std::lower_bound(ranges_.begin(), ranges_.end(), first,
                             [](const Range& r, std::size_t value) { return r.max() < value; });
  auto last = it;
  while (last != ranges_.end() && last->location <= end) {
    first = std::min(first, last->location);
    end = std::max(end, last->max());
    ++last;
  }
  it = ranges_.erase(it, last);
  ranges_.insert(it, Range{first, end - first});
}

void IndexSet::addIndexes(const IndexSet& other) {
  for (const Range& r : other.ranges_) addIndexesInRange(r);
}

void IndexSet::removeIndex(std::size_t index) {
  auto it = std::find_if(ranges_.begin(), ranges_.end(),
                         [index](const Range& r) { return index >= r.location && index < r.max(); });
  if (it == ranges_.end()) return;
  Range before{it->location, index - it->location};
  Range after{index + 1, it->max() - index - 1};
  it = ranges_.erase(it);
  if (after.length) it = ranges_.insert(it, after);
  if (before.length) ranges_.insert(it, before);
}

bool IndexSet::containsIndex(std::size_t index) const {
  auto it = std::upper_bound(ranges_.begin(), ranges_.end(), index,
                             [](std::size_t value, const Range& r) { return value < r.location; });
  if (it == ranges_.begin()) return false;
  --it;
  return index < it->max();
}

std::size_t IndexSet::count() const {
  std::size_t n = 0;
  for (const Range& r : ranges_) n += r.length;
  return n;
}

std::size_t IndexSet::firstIndex() const { return ranges_.empty() ? NotFound : ranges_.front().location; }

std::size_t IndexSet::lastIndex() const { return ranges_.empty() ? NotFound : ranges_.back().max() - 1; }

std::string IndexSet::describe() const {
  std::string out = "(";
  for (std::size_t i = 0; i < ranges_.size(); ++i) {
    if (i) out += ", ";
    out += std::to_string(ranges_[i].location);
    if (ranges_[i].length > 1) (out += '-') += std::to_string(ranges_[i].max() - 1);
  }
  return out + ")";
}

}  // namespace ns
