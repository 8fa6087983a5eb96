#pragma once

#include <memory>
#include <string>

#include "Classes/SocialNetwork/VkontakteWebView.h"

// The phone-only VKontakte sheet over a frame its caller gives: the panel fills the frame, the
// editor's field has a fixed height, and editing moves the host page; no player or orientation
// handling.
class VkontakteWebView_iphone final : public VkontakteWebView {
 public:
  std::shared_ptr<VkontakteWebView_iphone> initWithFrame(const cg::Rect& frame, std::string message,
                                                         std::string filmURL, std::string image) {
    build(frame, std::move(message), std::move(filmURL), std::move(image));
    return self<VkontakteWebView_iphone>();
  }

 private:
  using VkontakteWebView::initWithMessage;
  using VkontakteWebView::setInPlayer;
};
