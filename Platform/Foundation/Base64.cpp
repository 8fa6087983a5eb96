#include "Foundation/Base64.h"

#include <openssl/evp.h>

namespace ns {

std::string base64EncodedString(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  std::size_t written = 0;
  // EVP_EncodeBlock takes an int length; encode in slices of whole 3-byte groups.
  constexpr std::size_t kSlice = 3u << 20;
  for (std::size_t offset = 0; offset < bytes.size(); offset += kSlice) {
    std::size_t n = std::min(kSlice, bytes.size() - offset);
    written += static_cast<std::size_t>(
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data() + written),
                        reinterpret_cast<const unsigned char*>(bytes.data() + offset), static_cast<int>(n)));
  }
  out.resize(written);
  return out;
}

}  // namespace ns
