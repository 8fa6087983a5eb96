#include "UIKit/Image.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "Foundation/Bundle.h"
#include "UIKit/Screen.h"

#ifndef VCC_DEFAULT_RESOURCES_DIR
#define VCC_DEFAULT_RESOURCES_DIR ""
#endif

namespace ui {

Image::Image(cg::ImagePtr bitmap, std::string name) : bitmap_(std::move(bitmap)), name_(std::move(name)) {}

namespace {
std::mutex overrideMutex;
std::string resourceOverride;
}  // namespace

void setResourceDirectoryOverride(const std::string& folder) {
  {
    std::lock_guard lock(overrideMutex);
    resourceOverride = folder;
  }
  Image::clearNamedCache();
}

std::vector<std::string> resourceDirectories() {
  {
    std::lock_guard lock(overrideMutex);
    if (!resourceOverride.empty()) return {resourceOverride};
  }
  std::vector<std::string> dirs{ns::Bundle::mainBundle()->resourcePath()};
  if (const char* env = std::getenv("VCC_RESOURCES_DIR"); !(env && *env))
    dirs.push_back(VCC_DEFAULT_RESOURCES_DIR);
  return dirs;
}

namespace {

struct NamedCache {
  std::mutex mutex;
  std::map<std::pair<std::string, double>, std::shared_ptr<Image>> images;
};

NamedCache& namedCache() {
  static NamedCache cache;
  return cache;
}

// File names to try for a resource name, best first.
std::vector<std::pair<std::string, double>> candidates(const std::string& name, double screenScale) {
  std::vector<std::pair<std::string, double>> out;
  std::string stem = name, ext;
  std::filesystem::path p(name);
  if (p.has_extension()) {
    ext = p.extension().string();
    stem = name.substr(0, name.size() - ext.size());
  }
  auto add = [&](const std::string& s, const std::string& e) {
    if (screenScale >= 2) out.push_back({s + "@2x" + e, 2});
    out.push_back({s + e, 1});
  };
  add(stem, ext);
  if (ext.empty()) add(stem, ".png");
  return out;
}

}  // namespace

std::shared_ptr<Image> Image::imageNamed(const std::string& name) {
  if (name.empty()) return nullptr;
  double screenScale = Screen::mainScreen()->scale();
  auto& cache = namedCache();
  std::lock_guard lock(cache.mutex);
  auto key = std::make_pair(name, screenScale);
  if (auto it = cache.images.find(key); it != cache.images.end()) return it->second;

  auto files = candidates(name, screenScale);
  for (const auto& dirName : resourceDirectories()) {
    std::filesystem::path dir(dirName);
    for (const auto& [file, scale] : files) {
      std::error_code ec;
      auto path = dir / file;
      if (!std::filesystem::is_regular_file(path, ec)) continue;
      if (auto bitmap = cg::Image::fromFile(path.string(), scale)) {
        auto image = std::make_shared<Image>(std::move(bitmap), name);
        cache.images[key] = image;
        return image;
      }
    }
  }
  return nullptr;
}

void Image::clearNamedCache() {
  auto& cache = namedCache();
  std::lock_guard lock(cache.mutex);
  cache.images.clear();
}

std::shared_ptr<Image> Image::imageWithContentsOfFile(const std::string& path, cg::Image::PixelBox box) {
  // A file named with "@2x" holds a scale-2 picture.
  std::string stem = std::filesystem::path(path).stem().string();
  double scale = stem.size() > 3 && stem.ends_with("@2x") ? 2 : 1;
  auto bitmap = cg::Image::fromFileOnDemand(path, scale, box);
  return bitmap ? std::make_shared<Image>(std::move(bitmap)) : nullptr;
}

std::shared_ptr<Image> Image::imageWithData(const ns::Data& data, double scale, cg::Image::PixelBox box) {
  auto bitmap = cg::Image::decodeOnDemand(data, scale, box);
  return bitmap ? std::make_shared<Image>(std::move(bitmap)) : nullptr;
}

std::shared_ptr<Image> Image::imageWithCGImage(cg::ImagePtr bitmap) {
  return bitmap ? std::make_shared<Image>(std::move(bitmap)) : nullptr;
}

std::shared_ptr<Image> Image::imageWithCGImage(cg::ImagePtr bitmap, double scale) {
  if (!bitmap) return nullptr;
  return std::make_shared<Image>(bitmap->scale() == scale ? bitmap : bitmap->withScale(scale));
}

std::shared_ptr<Image> Image::stretchableImageWithLeftCapWidth(int leftCapWidth, int topCapHeight) const {
  auto copy = std::make_shared<Image>(bitmap_, name_);
  copy->leftCap_ = std::max(0, leftCapWidth);
  copy->topCap_ = std::max(0, topCapHeight);
  // The cap, a one-point middle and the rest as the far cap; a cap of 0, or one that leaves no
  // middle, stretches the whole length.
  cg::Size s = size();
  auto caps = [](int cap, double length, double& near, double& far) {
    if (cap <= 0 || length <= cap) return;
    near = cap;
    far = std::max(0.0, length - cap - 1);
  };
  caps(copy->leftCap_, s.width, copy->capInsets_.left, copy->capInsets_.right);
  caps(copy->topCap_, s.height, copy->capInsets_.top, copy->capInsets_.bottom);
  return copy;
}

std::shared_ptr<Image> Image::resizableImageWithCapInsets(cg::EdgeInsets insets) const {
  auto copy = std::make_shared<Image>(bitmap_, name_);
  copy->capInsets_ = {std::max(0.0, insets.top), std::max(0.0, insets.left), std::max(0.0, insets.bottom),
                      std::max(0.0, insets.right)};
  return copy;
}

std::string Image::describeSource() const {
  if (!name_.empty()) return name_;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%gx%g@%gx", size().width, size().height, scale());
  return buffer;
}

std::string Image::describe() const { return "<Image " + describeSource() + ">"; }

ns::Data ImagePNGRepresentation(const std::shared_ptr<Image>& image) {
  return image ? image->CGImage()->pngData() : ns::Data();
}

ns::Data ImageJPEGRepresentation(const std::shared_ptr<Image>& image, double quality) {
  return image ? image->CGImage()->jpegData(quality) : ns::Data();
}

}  // namespace ui
