#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// Internal to Graphics.
namespace cg::detail {

// A whole PNG decoded straight to width x height pixels (no larger than it is stored), each the
// mean of the stored pixels it covers, in the Image layout (premultiplied 0xAARRGGBB). A plain
// PNG is read one stored row at a time, so a huge picture costs what its result does; an
// interlaced one needs every pass, and so holds its stored picture (4 bytes a pixel) while it is
// read. nullopt for data that is no such PNG, is damaged or whose image data stops early.
std::optional<std::vector<std::uint32_t>> decodePNGScaled(const std::uint8_t* bytes, std::size_t length,
                                                          int width, int height);

}  // namespace cg::detail
