#pragma once

#include <memory>

#include "Classes/MainPage/TLVideoItemPriviewBase.h"

// The phone's poster tile: style 0 (162 x 125), 1 (the big tile, 275 x 260) or 2 (180 x 145).
// loadPriority: 1 (default) sets everything at once and applies a fetched poster in a later block
// on the main queue; -1, for tiles built off the main thread, makes every view change there while
// the building thread waits.
class TLVideoItemPriview_iphone final : public TLVideoItemPriviewBase {
 public:
  TLVideoItemPriview_iphone();
  std::shared_ptr<TLVideoItemPriview_iphone> initWithFrame(const cg::Rect& frame, int style);
  std::shared_ptr<TLVideoItemPriview_iphone> initWithFrame(const cg::Rect& frame) {
    return initWithFrame(frame, 0);
  }

  // Shows the image on the poster button; the initialiser calls it on the main thread.
  void setEmptyImage(const std::shared_ptr<ui::Image>& image);

 protected:
  void placePlaceholder(const std::shared_ptr<ui::Image>& image) override;
};
