#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// Internal to Graphics: shrinking a picture while its rows are read.
namespace cg::detail {

// Takes the stored rows of a picture one at a time, as RGBA bytes (not premultiplied), and makes
// a width x height picture of them in the Image layout (premultiplied 0xAARRGGBB), each pixel the
// mean of the stored pixels it covers. Only one row of sums is held besides the result.
class ScaledRows {
 public:
  ScaledRows(int storedWidth, int storedHeight, int width, int height)
      : storedWidth_(storedWidth), storedHeight_(storedHeight), width_(width), height_(height) {
    sums_.assign(std::size_t(width) * 4, 0);
    counts_.assign(std::size_t(width), 0);
    pixels_.assign(std::size_t(width) * std::size_t(height), 0);
  }

  void add(const std::uint8_t* rgba) {
    const int target = int(std::uint64_t(row_) * std::uint64_t(height_) / std::uint64_t(storedHeight_));
    if (target != current_) {
      flush();
      current_ = target;
    }
    for (int x = 0; x < storedWidth_; ++x, rgba += 4) {
      const std::size_t column =
          std::size_t(std::uint64_t(x) * std::uint64_t(width_) / std::uint64_t(storedWidth_));
      std::uint64_t* s = sums_.data() + 4 * column;
      const std::uint32_t a = rgba[3];
      s[0] += a;
      s[1] += (rgba[0] * a + 127) / 255;
      s[2] += (rgba[1] * a + 127) / 255;
      s[3] += (rgba[2] * a + 127) / 255;
      ++counts_[column];
    }
    ++row_;
  }

  // The picture, once every stored row was added.
  std::vector<std::uint32_t> finish() {
    flush();
    return std::move(pixels_);
  }

 private:
  void flush() {
    std::uint32_t* out = pixels_.data() + std::size_t(current_) * std::size_t(width_);
    for (std::size_t x = 0; x < counts_.size(); ++x) {
      const std::uint64_t n = counts_[x];
      const std::uint64_t* s = sums_.data() + 4 * x;
      auto mean = [n](std::uint64_t sum) { return n ? std::uint32_t((sum + n / 2) / n) : 0u; };
      out[x] = mean(s[0]) << 24 | mean(s[1]) << 16 | mean(s[2]) << 8 | mean(s[3]);
    }
    std::fill(sums_.begin(), sums_.end(), 0);
    std::fill(counts_.begin(), counts_.end(), 0);
  }

  int storedWidth_, storedHeight_, width_, height_;
  int row_ = 0;
  int current_ = 0;
  std::vector<std::uint64_t> sums_;  // a, r, g, b per pixel
  std::vector<std::uint32_t> counts_;
  std::vector<std::uint32_t> pixels_;
};

}  // namespace cg::detail
