// The readers that look at an encoded image before any decoder runs, on arbitrary bytes: they
// stay within the bytes, and what the structural check calls whole has the size its header
// claims.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Graphics/ImageHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto header = cg::detail::readImageHeader(data, size);
  auto whole = cg::detail::wholeImageSize(data, size);
  if (whole) {
    if (!header || !cg::detail::acceptablePixelSize(whole->width, whole->height)) std::abort();
    // A JPEG's header takes the largest of its frames; a whole one has one frame.
    if (header->width != whole->width || header->height != whole->height) std::abort();
  }
  return 0;
}
