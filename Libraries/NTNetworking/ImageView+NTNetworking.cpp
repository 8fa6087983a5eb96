#include "Foundation/AssociatedObjects.h"
#include "NTNetworking/ImageView+NTNetworking.h"

namespace {
const char kImageRequestOperationKey = 0;

bool sameURL(const ns::URLRequestPtr& a, const ns::URLRequestPtr& b) {
  return a && b && a->URL() && b->URL() && *a->URL() == *b->URL();
}
}  // namespace

std::shared_ptr<ns::OperationQueue> nt_sharedImageRequestOperationQueue() {
  static const auto* queue = new auto(std::make_shared<ns::OperationQueue>());
  return *queue;
}

NTImageCachePtr nt_sharedImageCache() {
  static const auto* cache = new auto(std::make_shared<NTImageCache>());
  return *cache;
}

NTImageRequestOperationPtr nt_imageRequestOperation(const ui::ImageView& view) {
  return ns::getAssociatedObject(view, &kImageRequestOperationKey).asObject<NTImageRequestOperation>();
}

void nt_setImageRequestOperation(ui::ImageView& view, NTImageRequestOperationPtr operation) {
  ns::setAssociatedObject(view, &kImageRequestOperationKey, ns::Value(std::move(operation)));
}

void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const ns::URL& url) {
  setImageWithURL(view, url, nullptr);
}

void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const ns::URL& url,
                     const std::shared_ptr<ui::Image>& placeholderImage) {
  auto request = ns::URLRequest::requestWithURL(url);
  request->setHTTPShouldHandleCookies(false);
  request->addValueForHTTPHeaderField("image/*", "Accept");
  setImageWithURLRequest(view, request, placeholderImage, nullptr, nullptr);
}

void cancelImageRequestOperation(const std::shared_ptr<ui::ImageView>& view) {
  if (!view) return;
  if (auto operation = nt_imageRequestOperation(*view)) operation->cancel();
  nt_setImageRequestOperation(*view, nullptr);
}

void setImageWithURLRequest(const std::shared_ptr<ui::ImageView>& view, const ns::URLRequestPtr& urlRequest,
                            const std::shared_ptr<ui::Image>& placeholderImage,
                            NTImageViewSuccessBlock success, NTImageViewFailureBlock failure) {
  if (!view || !urlRequest) return;
  cancelImageRequestOperation(view);

  if (auto cached = nt_sharedImageCache()->cachedImageForRequest(*urlRequest)) {
    view->setImage(cached);
    nt_setImageRequestOperation(*view, nullptr);
    if (success) success(nullptr, nullptr, cached);
    return;
  }

  view->setImage(placeholderImage);
  auto operation = std::make_shared<NTImageRequestOperation>()->initWithRequest(urlRequest);
  if (!operation) return;
  // The closures keep the view until the fetch has completed.
  operation->setCompletionBlockWithSuccess(
      [view, urlRequest, success](const NTHTTPRequestOperationPtr& op, const ns::Value& responseObject) {
        std::shared_ptr<ui::Image> image;
        if (auto bitmap = responseObject.asObject<cg::Image>()) image = ui::Image::imageWithCGImage(bitmap);
        auto current = nt_imageRequestOperation(*view);
        if (current && sameURL(urlRequest, current->request())) {
          if (success)
            success(op->request(), op->response(), image);
          else
            view->setImage(image);
          nt_setImageRequestOperation(*view, nullptr);
        }
        nt_sharedImageCache()->cacheImage(image, urlRequest);
      },
      [view, urlRequest, failure](const NTHTTPRequestOperationPtr& op, const ns::ErrorPtr& error) {
        auto current = nt_imageRequestOperation(*view);
        if (current && sameURL(urlRequest, current->request())) {
          if (failure) failure(op->request(), op->response(), error);
          nt_setImageRequestOperation(*view, nullptr);
        }
      });
  nt_setImageRequestOperation(*view, operation);
  nt_sharedImageRequestOperationQueue()->addOperation(operation);
}
