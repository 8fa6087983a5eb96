#include "Classes/iphone/MainPage/TLVideoItemPriview_iphone.h"

#include "Foundation/Thread.h"

namespace {

using Hand = TLVideoItemPriviewBase::Hand;

const TLVideoItemPriviewBase::Twin kPhone{
    {
        {{162, 125},
         89,
         0,
         0.6,
         {5, 92, 155, 15},
         16,
         {5, 108, 107, 12},
         14,
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
         18,
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
    },
    1,
    {
        // priority, texts on the main thread, cached small and big poster, fetched poster
        {1, false, {false, Hand::now}, {false, Hand::now}, {Hand::now, false}},
        {-1,
         true,
         {false, Hand::mainThreadWaiting},
         {false, Hand::mainThreadWaiting},
         {Hand::mainThreadWaiting, false}},
    },
    {0, false, {false, Hand::now}, {false, Hand::now}, {Hand::now, false}},
};

}  // namespace

TLVideoItemPriview_iphone::TLVideoItemPriview_iphone() : TLVideoItemPriviewBase(kPhone) {}

std::shared_ptr<TLVideoItemPriview_iphone> TLVideoItemPriview_iphone::initWithFrame(const cg::Rect& frame,
                                                                                    int style) {
  setUpWithFrame(frame, style);
  return self<TLVideoItemPriview_iphone>();
}

void TLVideoItemPriview_iphone::setEmptyImage(const std::shared_ptr<ui::Image>& image) {
  imageBt()->setImage(image, ui::ControlStateNormal);
}

void TLVideoItemPriview_iphone::placePlaceholder(const std::shared_ptr<ui::Image>& image) {
  ns::performOnMainThread([&] { setEmptyImage(image); }, true);
}
