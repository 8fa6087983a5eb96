#include "Graphics/Image.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

#include "Foundation/Format.h"
#include "Graphics/ImageHeader.h"

namespace cg {
namespace {

// Cairo draws nothing wider or taller than this.
constexpr int kMaxSide = 32767;

[[maybe_unused]] const int* const linkSanitizerHooks = &detail::kSanitizerHooks;

}  // namespace

namespace detail {
bool acceptablePixelSize(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
         width * height <= Image::kMaxPixels;
}
}  // namespace detail

using PixelBuffer = std::shared_ptr<const std::vector<std::uint32_t>>;

namespace {
// Orders the uses of images decoded on demand, for dropping those drawn longest ago.
std::atomic<std::uint64_t> useClock{0};
void holdWithinBound(const Image::OnDemandPixels* current);
}  // namespace

struct Image::OnDemandPixels {
  ns::Data encoded;
  std::size_t count = 0;
  PixelBox box;
  std::mutex lock;
  PixelBuffer decoded;
  std::atomic<std::uint64_t> lastUse{0};
  // Whether the pixels were ever drawn or read for keeps, rather than only decoded to check the
  // bytes (and perhaps encoded once).
  std::atomic<bool> drawn{false};

  PixelBuffer get(bool keep) {
    lastUse = ++useClock;
    if (keep) drawn = true;
    PixelBuffer pixels;
    {
      std::lock_guard<std::mutex> hold(lock);
      if (decoded) return decoded;
      // The bytes decoded once already, so this gives the same pixels; should it not, a clear
      // picture of the same size is drawn rather than anything outside the buffer.
      auto image = Image::decode(encoded, 1, box);
      pixels = image && image->pixels_->size() == count
                   ? image->pixels_
                   : std::make_shared<const std::vector<std::uint32_t>>(count, 0u);
      if (!keep) return pixels;
      decoded = pixels;
    }
    holdWithinBound(this);
    return pixels;
  }

  std::size_t heldBytes() {
    std::lock_guard<std::mutex> hold(lock);
    return decoded ? decoded->size() * sizeof(std::uint32_t) : 0;
  }

  std::size_t purge() {
    PixelBuffer dropped;
    std::lock_guard<std::mutex> hold(lock);
    std::size_t bytes = decoded ? decoded->size() * sizeof(std::uint32_t) : 0;
    dropped = std::move(decoded);
    return bytes;
  }
};

namespace {

// Every image decoded on demand that may still be alive, for purges.
struct OnDemandRegistry {
  std::mutex lock;
  std::vector<std::weak_ptr<Image::OnDemandPixels>> stores;
  std::size_t pruneAt = 64;

  void add(const std::shared_ptr<Image::OnDemandPixels>& store) {
    std::lock_guard<std::mutex> hold(lock);
    if (stores.size() >= pruneAt) {
      std::erase_if(stores, [](const auto& weak) { return weak.expired(); });
      pruneAt = std::max<std::size_t>(64, stores.size() * 2);
    }
    stores.push_back(store);
  }

  std::vector<std::shared_ptr<Image::OnDemandPixels>> alive() {
    std::lock_guard<std::mutex> hold(lock);
    std::vector<std::shared_ptr<Image::OnDemandPixels>> result;
    for (const auto& weak : stores)
      if (auto store = weak.lock()) result.push_back(std::move(store));
    return result;
  }
};

// Never destroyed: images may outlive static destruction.
OnDemandRegistry& onDemandRegistry() {
  static auto* registry = new OnDemandRegistry;
  return *registry;
}

// Drops the pixels drawn longest ago, the current image's last, until what is held fits the bound.
// Pixels never drawn go first, past a bound of their own: a page's pictures are decoded as they
// arrive, most of them off the screen, and would otherwise fill the store at every start.
void holdWithinBound(const Image::OnDemandPixels* current) {
  auto stores = onDemandRegistry().alive();
  struct Held {
    std::uint64_t use;
    std::size_t index;
    bool drawn;
  };
  std::vector<Held> held;
  std::size_t bytes = 0, undrawn = 0;
  for (std::size_t i = 0; i < stores.size(); ++i)
    if (std::size_t b = stores[i]->heldBytes()) {
      bool drawn = stores[i]->drawn.load();
      bytes += b;
      if (!drawn) undrawn += b;
      if (stores[i].get() != current) held.push_back({stores[i]->lastUse.load(), i, drawn});
    }
  if (bytes <= Image::kMostHeldBytes && undrawn <= Image::kMostUndrawnBytes) return;
  // Never drawn first, then drawn longest ago.
  std::sort(held.begin(), held.end(),
            [](const Held& a, const Held& b) { return a.drawn != b.drawn ? b.drawn : a.use < b.use; });
  for (const Held& h : held) {
    if (undrawn <= Image::kMostUndrawnBytes) break;
    if (h.drawn) continue;
    std::size_t freed = stores[h.index]->purge();
    bytes -= std::min(bytes, freed);
    undrawn -= std::min(undrawn, freed);
  }
  for (const Held& h : held) {
    if (bytes <= Image::kMostHeldBytes) break;
    bytes -= std::min(bytes, stores[h.index]->purge());
  }
}

}  // namespace

Image::Image(int width, int height, std::shared_ptr<const std::vector<std::uint32_t>> pixels, double scale)
    : width_(width), height_(height), scale_(scale > 0 ? scale : 1), pixels_(std::move(pixels)) {}

Image::Image(int width, int height, std::shared_ptr<OnDemandPixels> onDemand, double scale)
    : width_(width), height_(height), scale_(scale > 0 ? scale : 1), onDemand_(std::move(onDemand)) {}

ImagePtr Image::onDemand(const ns::Data& data, int width, int height, double scale, PixelBox box,
                         PixelBuffer decoded) {
  auto store = std::make_shared<OnDemandPixels>();
  // A buffer with much room left over (a body grown while it arrived) is kept at its size.
  store->encoded = data.tailRoom() > data.length() / 4 + ns::Data::kTailRoom
                       ? ns::Data(data.bytes(), data.length())
                       : data;
  store->count = std::size_t(width) * std::size_t(height);
  store->box = box;
  store->decoded = std::move(decoded);
  store->lastUse = ++useClock;
  onDemandRegistry().add(store);
  if (store->decoded) holdWithinBound(store.get());
  return std::make_shared<Image>(width, height, std::move(store), scale);
}

ImagePtr Image::decodeOnDemand(const ns::Data& data, double scale, PixelBox box) {
  auto image = decode(data, scale, box);
  if (!image) return nullptr;
  // Bytes that would cost more than a little over their pixels are not worth keeping.
  std::size_t pixelBytes = image->pixels_->size() * sizeof(std::uint32_t);
  if (data.length() > pixelBytes + kMostKeptSurplus) return image;
  return onDemand(data, image->width_, image->height_, image->scale_, box, image->pixels_);
}

// The files are the client's own (its caches and resources): one whose structure is whole is
// taken at its header's word and decoded when first drawn, as the device does; any other is
// decoded now, so that a broken one is refused here. A page of posters read from the cache then
// decodes only those it shows.
ImagePtr Image::fromFileOnDemand(const std::string& path, double scale, PixelBox box) {
  auto bytes = detail::readEncodedFile(path);
  if (!bytes) return nullptr;
  ns::Data data(std::move(*bytes));
  auto size = detail::wholeImageSize(data.bytes(), data.length());
  // A picture that decoding would scale, or a file far larger than its pixels (padded with
  // metadata), is decoded now; the padding is not kept.
  const std::int64_t pixels = size ? std::int64_t(size->width) * size->height : 0;
  bool fits = size &&
              (box.width <= 0 || box.height <= 0 ||
               ((size->width <= box.width || size->height <= box.height) &&
                pixels <= 4 * std::int64_t(box.width) * box.height)) &&
              data.length() <= std::size_t(pixels) * sizeof(std::uint32_t) + kMostKeptSurplus;
  if (fits) return onDemand(data, size->width, size->height, scale, box, nullptr);
  return decodeOnDemand(data, scale, box);
}

std::size_t Image::purgeDecodedPixels() {
  std::size_t bytes = detail::purgeScaledImages();
  for (const auto& store : onDemandRegistry().alive()) bytes += store->purge();
  return bytes;
}

std::size_t Image::decodedOnDemandBytes() {
  std::size_t bytes = 0;
  for (const auto& store : onDemandRegistry().alive()) bytes += store->heldBytes();
  return bytes;
}

std::size_t Image::heldBytes() const {
  if (!onDemand_) return pixels_->size() * sizeof(std::uint32_t);
  return onDemand_->encoded.length() + onDemand_->heldBytes();
}

PixelBuffer Image::pixelBuffer(bool keep) const { return onDemand_ ? onDemand_->get(keep) : pixels_; }

PixelBuffer Image::pixelBuffer() const { return pixelBuffer(true); }

ns::Data Image::encodedBytes() const { return onDemand_ ? onDemand_->encoded : ns::Data(); }

std::span<const std::uint32_t> Image::pixels() const {
  const PixelBuffer& buffer = onDemand_ ? onDemand_->get(true) : pixels_;
  return {buffer->data(), buffer->size()};
}

ImagePtr Image::fromPixels(int pixelWidth, int pixelHeight, std::vector<std::uint32_t> pixels, double scale) {
  if (!detail::acceptablePixelSize(pixelWidth, pixelHeight) ||
      pixels.size() != std::size_t(pixelWidth) * std::size_t(pixelHeight))
    return nullptr;
  auto shared = std::make_shared<const std::vector<std::uint32_t>>(std::move(pixels));
  return std::make_shared<Image>(pixelWidth, pixelHeight, std::move(shared), scale);
}

ImagePtr Image::withScale(double scale) const {
  if (onDemand_) return std::make_shared<Image>(width_, height_, onDemand_, scale);
  return std::make_shared<Image>(width_, height_, pixels_, scale);
}

ImagePtr Image::cropped(int x, int y, int width, int height) const {
  std::int64_t x0 = std::max<std::int64_t>(x, 0), y0 = std::max<std::int64_t>(y, 0);
  std::int64_t x1 = std::min<std::int64_t>(std::int64_t(x) + width, width_);
  std::int64_t y1 = std::min<std::int64_t>(std::int64_t(y) + height, height_);
  if (x1 <= x0 || y1 <= y0) return nullptr;
  std::vector<std::uint32_t> pixels;
  pixels.reserve(std::size_t((x1 - x0) * (y1 - y0)));
  PixelBuffer source = pixelBuffer(true);
  for (std::int64_t row = y0; row < y1; ++row) {
    auto begin = source->begin() + row * width_;
    pixels.insert(pixels.end(), begin + x0, begin + x1);
  }
  return fromPixels(int(x1 - x0), int(y1 - y0), std::move(pixels), scale_);
}

std::uint32_t Image::pixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return (*pixelBuffer(true))[std::size_t(y) * std::size_t(width_) + std::size_t(x)];
}

Color Image::colorAt(int x, int y) const { return colorFromPremultiplied(pixelAt(x, y)); }

bool Image::hasAlpha() const {
  PixelBuffer pixels = pixelBuffer(true);
  return std::any_of(pixels->begin(), pixels->end(), [](std::uint32_t p) { return (p >> 24) != 0xFF; });
}

std::string Image::describe() const {
  return ns::format("<Image: %p> %dx%d pixels @%gx", static_cast<const void*>(this), width_, height_, scale_);
}

std::uint32_t premultipliedPixel(const Color& color) {
  auto channel = [](double v) { return std::uint32_t(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
  std::uint32_t a = channel(color.alpha);
  auto premultiply = [&](double v) { return (channel(v) * a + 127) / 255; };
  return a << 24 | premultiply(color.red) << 16 | premultiply(color.green) << 8 | premultiply(color.blue);
}

Color colorFromPremultiplied(std::uint32_t pixel) {
  std::uint32_t a = pixel >> 24;
  if (a == 0) return Color::clear();
  auto channel = [&](int shift) {
    std::uint32_t c = (pixel >> shift) & 0xFF;
    return std::min<std::uint32_t>(255, (c * 255 + a / 2) / a) / 255.0;
  };
  return {channel(16), channel(8), channel(0), a / 255.0};
}

}  // namespace cg
