#pragma once

#include <memory>
#include <string>

#include "Classes/SocialNetwork/FaceBookSender.h"

// The phone-only Facebook sheet over a frame its caller gives: the overlay and the panel fill the
// frame, the editor's field has a fixed height, and editing moves the host page; no player or
// orientation handling.
class FaceBookSender_iphone final : public FaceBookSender {
 public:
  std::shared_ptr<FaceBookSender_iphone> initWithFrame(const cg::Rect& frame, std::string message,
                                                       std::string filmURL, std::string image) {
    build(frame, std::move(message), std::move(filmURL), std::move(image));
    return self<FaceBookSender_iphone>();
  }
  // Kept for callers; nothing reads it.
  bool sendFromPlayer() const { return sendFromPlayer_; }
  void setSendFromPlayer(bool value) { sendFromPlayer_ = value; }

 private:
  using FaceBookSender::initWithMessage;
  using FaceBookSender::setInPlayer;
  bool sendFromPlayer_ = false;
};
