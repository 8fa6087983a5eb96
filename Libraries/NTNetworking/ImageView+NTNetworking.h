#pragma once

// Lets any image view show an image fetched from a URL: at most one fetch per view (a new one
// cancels the one before), fetches on one shared operation queue, and fetched images kept in one
// shared in-memory cache keyed by URL, so asking again for a cached image shows it at once.
// Main thread only; the callbacks come back on the main queue.

#include <functional>
#include <memory>

#include "Foundation/OperationQueue.h"
#include "Foundation/URL.h"
#include "Foundation/URLRequest.h"
#include "Foundation/URLResponse.h"
#include "NTNetworking/NTImageCache.h"
#include "NTNetworking/NTImageRequestOperation.h"
#include "UIKit/ImageView.h"

using NTImageViewSuccessBlock =
    std::function<void(const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response,
                       const std::shared_ptr<ui::Image>& image)>;
using NTImageViewFailureBlock = std::function<void(
    const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response, const ns::ErrorPtr& error)>;

void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const ns::URL& url);
// Asks for "image/*" without cookies; the placeholder (or no image) shows until the image comes.
void setImageWithURL(const std::shared_ptr<ui::ImageView>& view, const ns::URL& url,
                     const std::shared_ptr<ui::Image>& placeholderImage);
// With a success callback the caller sets the image itself; a cached image calls it at once,
// with no request and no response. Callbacks of a fetch the view no longer waits for never run;
// its image is cached all the same.
void setImageWithURLRequest(const std::shared_ptr<ui::ImageView>& view, const ns::URLRequestPtr& urlRequest,
                            const std::shared_ptr<ui::Image>& placeholderImage,
                            NTImageViewSuccessBlock success, NTImageViewFailureBlock failure);
void cancelImageRequestOperation(const std::shared_ptr<ui::ImageView>& view);

// The view's running fetch, kept with the view.
NTImageRequestOperationPtr nt_imageRequestOperation(const ui::ImageView& view);
void nt_setImageRequestOperation(ui::ImageView& view, NTImageRequestOperationPtr operation);

std::shared_ptr<ns::OperationQueue> nt_sharedImageRequestOperationQueue();
NTImageCachePtr nt_sharedImageCache();
