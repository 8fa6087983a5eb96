#include "Graphics/Color.h"

#include <cstdio>

namespace cg {

std::string Color::describe() const {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "rgba(%g, %g, %g, %g)", red, green, blue, alpha);
  return buffer;
}

}  // namespace cg
