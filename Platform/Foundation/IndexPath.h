#pragma once

#include <string>

namespace ns {

// A row of a section, as tables address their rows. A plain value: copy it freely.
class IndexPath {
 public:
  IndexPath() = default;
  static IndexPath indexPathForRow(int row, int section) { return IndexPath(row, section); }

  int row() const { return row_; }
  int section() const { return section_; }

  bool operator==(const IndexPath&) const = default;
  // Sections first, then rows.
  bool operator<(const IndexPath& other) const {
    return section_ != other.section_ ? section_ < other.section_ : row_ < other.row_;
  }
  // "[section, row]".
  std::string describe() const { return "[" + std::to_string(section_) + ", " + std::to_string(row_) + "]"; }

 private:
  IndexPath(int row, int section) : row_(row), section_(section) {}

  int row_ = 0;
  int section_ = 0;
};

}  // namespace ns
