#pragma once

#include <vector>

#include "Graphics/Color.h"

namespace cg {

// Colour stops along 0...1. Without locations the colours are spread evenly from 0 to 1.
struct Gradient {
  std::vector<Color> colors;
  std::vector<double> locations;
};

}  // namespace cg
