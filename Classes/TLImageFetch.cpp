#include "Classes/TLImageFetch.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <condition_variable>
#include <mutex>

#include "Foundation/DataFile.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/String.h"
#include "Foundation/Thread.h"
#include "Foundation/URLRequest.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "UIKit/Device.h"
#include "UIKit/Screen.h"

std::optional<ns::URL> TLImageFetch::fetchableURL(std::string_view text) {
  auto url = ns::URL::URLWithString(text);
  if (!url || !url->scheme() || url->host().empty()) return std::nullopt;
  std::string scheme = ns::lowercaseString(*url->scheme());
  if (scheme != "http" && scheme != "https") return std::nullopt;
  return url;
}

bool TLImageFetch::get(std::string_view url, std::function<void(const ns::Data& body)> done,
                       dispatch::QueuePtr queue, std::function<void()> failed) {
  auto target = fetchableURL(url);
  if (!target) return false;
  auto operation =
      std::make_shared<NTHTTPRequestOperation>()->initWithRequest(ns::URLRequest::requestWithURL(target));
  if (!operation) return false;
  operation->limitResponseLength(kMaxPictureLength);
  operation->limitResponseToPicture();
  if (queue) {
    operation->setSuccessCallbackQueue(queue);
    operation->setFailureCallbackQueue(queue);
  }
  operation->setCompletionBlockWithSuccess(
      [done = std::move(done)](const NTHTTPRequestOperationPtr&, const ns::Value& body) {
        static const ns::Data kEmpty;
        const ns::Data* data = body.asData();
        done(data ? *data : kEmpty);
      },
      failed ? NTHTTPRequestOperation::FailureBlock(
                   [failed](const NTHTTPRequestOperationPtr&, const ns::ErrorPtr&) { failed(); })
             : NTHTTPRequestOperation::FailureBlock());
  operation->start();
  return true;
}

cg::PixelBox TLImageFetch::pixelBox(const cg::Size& points) {
  double scale = ui::Screen::mainScreen()->scale();
  auto side = [scale](double length) { return std::max(1, int(std::ceil(length * scale))); };
  return {side(points.width), side(points.height)};
}

cg::PixelBox TLImageFetch::titleHeaderBox() {
  // The tablet's header in landscape; the phone's as its page lays it out under the toolbar.
  if (ui::isPad()) return pixelBox({1024, 342});
  cg::Size screen = ui::Screen::mainScreen()->bounds().size;
  return pixelBox({std::max(1.0, screen.width - 18), std::max(1.0, screen.height - 109)});
}

cg::PixelBox TLImageFetch::largerBox(cg::PixelBox a, cg::PixelBox b) {
  return {std::max(a.width, b.width), std::max(a.height, b.height)};
}

void TLImageFetch::readImageForMain(const std::string& path, cg::PixelBox box,
                                    std::function<void(const std::shared_ptr<ui::Image>&)> show) {
  auto read = [path, box, show = std::move(show)] {
    auto image = ui::Image::imageWithContentsOfFile(path, box);
    dispatch::async(dispatch::mainQueue(), [show, image] { show(image); });
  };
  if (ns::Thread::isMainThread())
    dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT), std::move(read));
  else
    read();
}

// Up to 20 digits: every 64-bit id, the unsigned ones too.
bool TLImageFetch::isDecimalId(std::string_view id) {
  return !id.empty() && id.size() <= 20 &&
         std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isdigit(c); });
}

void TLImageFetch::savePNG(const std::string& path, const std::shared_ptr<ui::Image>& image) {
  if (!image) return;
  ns::Data png = ui::ImagePNGRepresentation(image);
  if (png.empty()) return;
  ns::ErrorPtr error;
  if (!ns::writeDataToFile(png, path, true, &error)) ns::log("Cannot write the picture %@: %@", path, error);
}

ns::Data TLImageFetch::cacheBytes(const ns::Data& body, const std::shared_ptr<ui::Image>& image) {
  if (!image) return {};
  const cg::Image& bitmap = *image->CGImage();
  std::size_t pixelBytes = std::size_t(bitmap.pixelWidth()) * std::size_t(bitmap.pixelHeight()) * 4;
  if (bitmap.scale() == 1 && body.length() <= pixelBytes + kMostSurplusBytes) return body;
  return ui::ImagePNGRepresentation(image);
}

std::shared_ptr<ui::Image> TLImageFetch::imageForFile(const ns::Data& body,
                                                      const std::shared_ptr<ui::Image>& shown,
                                                      cg::PixelBox shownBox, cg::PixelBox fileBox) {
  if (!shown || shown->scale() >= 1) return shown;
  if (fileBox.width <= shownBox.width && fileBox.height <= shownBox.height) return shown;
  auto larger = ui::Image::imageWithData(body, 1, fileBox);
  return larger ? larger : shown;
}

bool TLImageFetch::fileExists(const std::string& path) {
  bool isDirectory = false;
  return ns::FileManager::defaultManager()->fileExistsAtPath(path, &isDirectory) && !isDirectory;
}

std::vector<std::shared_ptr<ui::Image>> TLImageFetch::readImages(const std::vector<std::string>& paths,
                                                                 cg::PixelBox box) {
  struct Batch {
    std::vector<std::string> paths;
    cg::PixelBox box;
    std::vector<std::shared_ptr<ui::Image>> images;
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    std::condition_variable allRead;
    std::size_t done = 0;
    // Reads files until none is left unclaimed. A claimed file is always finished by its reader,
    // which never waits for anyone, so the caller's wait below ends even when no helper ever runs.
    void readAll() {
      for (std::size_t i; (i = next++) < paths.size();) {
        auto image = ui::Image::imageWithContentsOfFile(paths[i], box);
        std::lock_guard<std::mutex> hold(lock);
        images[i] = std::move(image);
        if (++done == paths.size()) allRead.notify_all();
      }
    }
  };
  auto batch = std::make_shared<Batch>();
  batch->paths = paths;
  batch->box = box;
  batch->images.resize(paths.size());
  // Helpers that start after the caller has returned find nothing left to claim.
  const std::size_t helpers = paths.size() > 1 ? std::min<std::size_t>(paths.size() - 1, 3) : 0;
  for (std::size_t h = 0; h < helpers; ++h)
    dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT),
                    [batch] { batch->readAll(); });
  batch->readAll();
  std::unique_lock<std::mutex> hold(batch->lock);
  batch->allRead.wait(hold, [&] { return batch->done == paths.size(); });
  return std::move(batch->images);
}
