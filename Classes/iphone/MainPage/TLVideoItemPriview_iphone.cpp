#include "Classes/iphone/MainPage/TLVideoItemPriview_iphone.h"

#include "Foundation/Thread.h"

namespace {

const TLVideoItemPriviewBase::Style kStyles[] = {
    {{162, 125},
     89,
     0,
     0.6,
     {5, 92, 155, 15},
     16,
     {5, 108, 107, 12},
     16,
     std::nullopt,
     {97, 110},
     false,
     "TLCinemaEmpty.png"},
    {{275, 260},
     206,
     0,
     1.0,
     {10, 210, 260, 15},
     20,
     {10, 232, 175, 15},
     19,
     200,
     {165, 230},
     true,
     "TLCinemaEmpty_BIG.png"},
    {{180, 145},
     100,
     12,
     0.6,
     {5, 102, 170, 15},
     15,
     {5, 117, 110, 15},
     15,
     std::nullopt,
     {115, 118},
     false,
     "TLCinemaEmpty.png"},
};

}  // namespace

std::shared_ptr<TLVideoItemPriview_iphone> TLVideoItemPriview_iphone::initWithFrame(const cg::Rect& frame,
                                                                                    int style) {
  setUpWithFrame(frame, style, 1);
  return self<TLVideoItemPriview_iphone>();
}

const TLVideoItemPriviewBase::Style& TLVideoItemPriview_iphone::styleTable(int style) const {
  return kStyles[style == 1 || style == 2 ? style : 0];
}

TLVideoItemPriviewBase::CachedPosterRule TLVideoItemPriview_iphone::cachedPosterRule(int priority,
                                                                                     bool) const {
  return {false, priority == -1 ? Hand::mainThreadWaiting : Hand::now};
}

TLVideoItemPriviewBase::FetchedPosterRule TLVideoItemPriview_iphone::fetchedPosterRule(int priority) const {
  switch (priority) {
    case 1:
      return {true, Hand::now, false};
    case -1:
      return {false, Hand::mainThreadWaiting, false};
    default:
      return {false, Hand::now, false};
  }
}

void TLVideoItemPriview_iphone::setEmptyImage(const std::shared_ptr<ui::Image>& image) {
  imageBt()->setImage(image, ui::ControlStateNormal);
}

void TLVideoItemPriview_iphone::placePlaceholder(const std::shared_ptr<ui::Image>& image) {
  ns::performOnMainThread([&] { setEmptyImage(image); }, true);
}
