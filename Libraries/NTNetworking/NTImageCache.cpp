#include "NTNetworking/NTImageCache.h"

std::string NTImageCacheKeyFromURLRequest(const ns::URLRequest& request) {
  return request.URL() ? request.URL()->absoluteString() : std::string();
}

std::shared_ptr<ui::Image> NTImageCache::cachedImageForRequest(const ns::URLRequest& request) {
  switch (request.cachePolicy()) {
    case ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData:
    case ns::URLRequestCachePolicy::ReloadIgnoringLocalAndRemoteCacheData:
      return nullptr;
    default:
      return objectForKey(NTImageCacheKeyFromURLRequest(request)).asObject<ui::Image>();
  }
}

void NTImageCache::cacheImage(const std::shared_ptr<ui::Image>& image, const ns::URLRequestPtr& request) {
  if (!image || !request) return;
  const auto& bitmap = image->CGImage();
  std::size_t cost = bitmap ? static_cast<std::size_t>(bitmap->pixelWidth()) * bitmap->pixelHeight() * 4 : 0;
  setObject(ns::Value(image), NTImageCacheKeyFromURLRequest(*request), cost);
}
