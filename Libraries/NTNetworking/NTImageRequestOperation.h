#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "Graphics/Image.h"
#include "NTNetworking/NTHTTPRequestOperation.h"

// An HTTP request operation for images: image content types and file extensions, the body
// decoded on the process's image processing queue into an image at the screen's scale. Bytes
// that are not an image give no image rather than an error.
class NTImageRequestOperation : public NTHTTPRequestOperation {
 public:
  using ImageSuccessBlock = std::function<void(const cg::ImagePtr& image)>;
  using ImageProcessingBlock = std::function<cg::ImagePtr(const cg::ImagePtr& image)>;
  using RequestSuccessBlock = std::function<void(
      const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response, const cg::ImagePtr& image)>;
  using RequestFailureBlock = std::function<void(
      const ns::URLRequestPtr& request, const ns::HTTPURLResponsePtr& response, const ns::ErrorPtr& error)>;

  static void registerClass();

  std::shared_ptr<NTImageRequestOperation> initWithRequest(ns::URLRequestPtr request) {
    return initAs<NTImageRequestOperation>(std::move(request));
  }

  // A new, not yet started operation calling `success` with the image on the main queue; a
  // failure reports nothing.
  static std::shared_ptr<NTImageRequestOperation> imageRequestOperationWithRequest(ns::URLRequestPtr request,
                                                                                   ImageSuccessBlock success);
  // The same with an optional processing step (run on the image processing queue) and a
  // failure callback.
  static std::shared_ptr<NTImageRequestOperation> imageRequestOperationWithRequest(
      ns::URLRequestPtr request, ImageProcessingBlock imageProcessingBlock, RequestSuccessBlock success,
      RequestFailureBlock failure);

  // The decoded image, once finished with a non-empty body that is an image.
  cg::ImagePtr responseImage() const;
  float imageScale() const;
  // A new scale drops the decoded image, so the next read decodes at that scale.
  void setImageScale(float scale);

  // The most pixels the image is decoded at (see cg::PixelBox); a new box drops the decoded image.
  cg::PixelBox pixelBox() const;
  void setPixelBox(cg::PixelBox box);

  // The success closure gets the image.
  void setCompletionBlockWithSuccess(SuccessBlock success, FailureBlock failure) override;

  // Class operations.
  NT_HTTP_REQUEST_OPERATION_CLASS_OPERATIONS("NTImageRequestOperation")
  // The path extensions claimed whatever the Accept header says (case-sensitive).
  static const std::set<std::string>& acceptablePathExtensions();

  // The serial queue every image of the process is decoded on.
  static dispatch::QueuePtr processingQueue();

 protected:
  bool setUpWithRequest(ns::URLRequestPtr request) override;
  // No longer than the largest picture the decoder takes, stored uncompressed.
  std::int64_t maximumResponseLength() const override;
  bool isPictureTransfer() const override { return true; }

 private:
  mutable std::mutex imageMutex_;
  mutable cg::ImagePtr responseImage_;
  float imageScale_ = 1;
  cg::PixelBox pixelBox_;
};

using NTImageRequestOperationPtr = std::shared_ptr<NTImageRequestOperation>;
