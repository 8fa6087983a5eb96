#include "NTNetworking/NTImageRequestOperation.h"

#include "Foundation/ClassRegistry.h"
#include "NTNetworking/NTNetworkingConstants.h"
#include "UIKit/Screen.h"

namespace {
const bool registered = (NTImageRequestOperation::registerClass(), true);
}  // namespace

void NTImageRequestOperation::registerClass() {
  static std::once_flag once;
  std::call_once(once, [] {
    registerResponseClass<NTImageRequestOperation>(
        "NTImageRequestOperation",
        {"image/tiff", "image/jpeg", "image/gif", "image/png", "image/ico", "image/x-icon", "image/bmp",
         "image/x-bmp", "image/x-xbitmap", "image/x-win-bitmap"},
        acceptablePathExtensions());
  });
}

const std::set<std::string>& NTImageRequestOperation::acceptablePathExtensions() {
  // Never destroyed: read on worker threads that may outlive static destruction.
  static const auto& extensions =
      *new std::set<std::string>{"tif", "tiff", "jpg", "jpeg", "gif", "png", "ico", "bmp", "cur"};
  return extensions;
}

// The shared queues and caches are never destroyed: completions may still run on worker threads
// while the process exits.
dispatch::QueuePtr NTImageRequestOperation::processingQueue() {
  static const auto* queue = new dispatch::QueuePtr(
      dispatch::queueCreate(NT_NETWORKING_PREFIX "networking.image-request.processing"));
  return *queue;
}

bool NTImageRequestOperation::setUpWithRequest(ns::URLRequestPtr request) {
  if (!NTHTTPRequestOperation::setUpWithRequest(std::move(request))) return false;
  std::lock_guard guard(imageMutex_);
  imageScale_ = static_cast<float>(ui::Screen::mainScreen()->scale());
  return true;
}

cg::ImagePtr NTImageRequestOperation::responseImage() const {
  std::lock_guard guard(imageMutex_);
  if (!responseImage_ && isFinished()) {
    auto data = responseData();
    // Decoded on demand, so that its pixels count towards the bound on the pictures held at once,
    // however long the caller keeps the image.
    if (data && !data->empty()) responseImage_ = cg::Image::decodeOnDemand(*data, imageScale_, pixelBox_);
  }
  return responseImage_;
}

float NTImageRequestOperation::imageScale() const {
  std::lock_guard guard(imageMutex_);
  return imageScale_;
}

void NTImageRequestOperation::setImageScale(float scale) {
  std::lock_guard guard(imageMutex_);
  if (scale == imageScale_) return;
  imageScale_ = scale;
  responseImage_.reset();
}

cg::PixelBox NTImageRequestOperation::pixelBox() const {
  std::lock_guard guard(imageMutex_);
  return pixelBox_;
}

void NTImageRequestOperation::setPixelBox(cg::PixelBox box) {
  std::lock_guard guard(imageMutex_);
  if (box.width == pixelBox_.width && box.height == pixelBox_.height) return;
  pixelBox_ = box;
  responseImage_.reset();
}

void NTImageRequestOperation::setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) {
  setCompletionBody([success = std::move(success),
                     failure = std::move(failure)](const NTHTTPRequestOperationPtr& op) {
    auto self = std::static_pointer_cast<NTImageRequestOperation>(op);
    dispatch::async(processingQueue(), [self, success, failure] {
      if (self->error()) {
        reportFailure(failure, self);
      } else if (success) {
        cg::ImagePtr image = self->responseImage();
        dispatchTo(self->successCallbackQueue(), [self, success, image] { success(self, ns::Value(image)); });
      }
    });
  });
}

std::shared_ptr<NTImageRequestOperation> NTImageRequestOperation::imageRequestOperationWithRequest(
    ns::URLRequestPtr request, ImageSuccessBlock success) {
  return imageRequestOperationWithRequest(
      std::move(request), nullptr,
      [success](const ns::URLRequestPtr&, const ns::HTTPURLResponsePtr&, const cg::ImagePtr& image) {
        if (success) success(image);
      },
      nullptr);
}

std::shared_ptr<NTImageRequestOperation> NTImageRequestOperation::imageRequestOperationWithRequest(
    ns::URLRequestPtr request, ImageProcessingBlock imageProcessingBlock, RequestSuccessBlock success,
    RequestFailureBlock failure) {
  auto operation = std::make_shared<NTImageRequestOperation>()->initWithRequest(std::move(request));
  if (!operation) return nullptr;
  SuccessBlock onSuccess;
  if (success) {
    onSuccess = [success, imageProcessingBlock](const NTHTTPRequestOperationPtr& op, const ns::Value& value) {
      cg::ImagePtr image = value.asObject<cg::Image>();
      if (!imageProcessingBlock) {
        success(op->request(), op->response(), image);
        return;
      }
      dispatch::async(processingQueue(), [op, image, success, imageProcessingBlock] {
        cg::ImagePtr processed = imageProcessingBlock(image);
        dispatchTo(op->successCallbackQueue(),
                   [op, processed, success] { success(op->request(), op->response(), processed); });
      });
    };
  }
  FailureBlock onFailure;
  if (failure) {
    onFailure = [failure](const NTHTTPRequestOperationPtr& op, const ns::ErrorPtr& error) {
      failure(op->request(), op->response(), error);
    };
  }
  operation->setCompletionBlockWithSuccess(std::move(onSuccess), std::move(onFailure));
  return operation;
}

std::int64_t NTImageRequestOperation::maximumResponseLength() const { return 4 * cg::Image::kMaxPixels; }
