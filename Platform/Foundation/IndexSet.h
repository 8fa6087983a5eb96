#pragma once

#include <concepts>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

#include "Foundation/String.h"

namespace ns {

// A set of unsigned indexes kept as sorted, disjoint, non-adjacent ranges, so that a set such as
// "every status code from 200 to 299" stays one entry.
class IndexSet {
 public:
  IndexSet() = default;
  IndexSet(std::initializer_list<std::size_t> indexes);
  static IndexSet indexSetWithIndex(std::size_t index);
  static IndexSet indexSetWithIndexesInRange(Range range);

  void addIndex(std::size_t index) { addIndexesInRange({index, 1}); }
  void addIndexesInRange(Range range);
  void addIndexes(const IndexSet& other);
  void removeIndex(std::size_t index);

  bool containsIndex(std::size_t index) const;
  // Signed look-ups (an HTTP status code, say): a negative value is never contained.
  template <std::signed_integral T>
  bool containsIndex(T index) const {
    return index >= 0 && containsIndex(static_cast<std::size_t>(index));
  }

  std::size_t count() const;
  bool empty() const { return ranges_.empty(); }
  // NotFound when empty.
  std::size_t firstIndex() const;
  std::size_t lastIndex() const;
  // The runs of consecutive indexes, in ascending order.
  const std::vector<Range>& ranges() const { return ranges_; }

  bool operator==(const IndexSet& other) const = default;
  // "(200-299, 304)"; what %@ prints.
  std::string describe() const;

 private:
  std::vector<Range> ranges_;
};

}  // namespace ns
