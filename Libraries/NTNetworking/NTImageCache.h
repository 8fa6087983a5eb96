#pragma once

#include <memory>
#include <string>

#include "Foundation/Cache.h"
#include "Foundation/URLRequest.h"
#include "UIKit/Image.h"

// The cache key of a request's image: the absolute string of its URL (headers, method and body
// play no part); empty for a request without URL.
std::string NTImageCacheKeyFromURLRequest(const ns::URLRequest& request);

// Fetched images by request, in memory. Each image costs its bitmap's bytes, so the memory
// budget bounds what the cache holds, least recently used going first. Safe from any thread.
class NTImageCache final : public ns::Cache {
 public:
  // None when the request's cache policy ignores local data (1 or 4), or nothing is cached.
  std::shared_ptr<ui::Image> cachedImageForRequest(const ns::URLRequest& request);
  // Replaces any earlier image for the request; nothing without both an image and a request.
  void cacheImage(const std::shared_ptr<ui::Image>& image, const ns::URLRequestPtr& request);
};

using NTImageCachePtr = std::shared_ptr<NTImageCache>;
