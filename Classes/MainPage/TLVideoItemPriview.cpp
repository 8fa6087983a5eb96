#include "Classes/MainPage/TLVideoItemPriview.h"

namespace {

using Hand = TLVideoItemPriviewBase::Hand;

const TLVideoItemPriviewBase::Twin kTablet{
    {
        {{220, 170},
         120,
         0,
         0.6,
         {10, 125, 205, 25},
         19,
         {10, 145, 145, 20},
         15,
         std::nullopt,
         {155, 150},
         false,
         "TLCinemaEmpty.png"},
        {{450, 350},
         338,
         0,
         1.0,
         {10, 280, 435, 35},
         30,
         {10, 315, 330, 25},
         20,
         270,
         {340, 318},
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
    0,
    {
        // priority, texts on the main thread, cached small and big poster, fetched poster
        {0, false, {false, Hand::now}, {false, Hand::now}, {Hand::now, false}},
        {2,
         false,
         {false, Hand::mainThreadLater},
         {true, Hand::mainThreadLater},
         {Hand::mainThreadLater, true}},
        {3,
         true,
         {false, Hand::mainThreadWaiting},
         {false, Hand::mainThreadWaiting},
         {Hand::mainThreadWaiting, true}},
    },
    {0, false, {false, Hand::now}, {false, Hand::now}, {Hand::now, false}},
};

}  // namespace

TLVideoItemPriview::TLVideoItemPriview() : TLVideoItemPriviewBase(kTablet) {}

std::shared_ptr<TLVideoItemPriview> TLVideoItemPriview::initWithFrame(const cg::Rect& frame, int style) {
  setUpWithFrame(frame, style);
  return self<TLVideoItemPriview>();
}

void TLVideoItemPriview::titleDidChange() {
  if (!isItemSelected()) return;
  setBackgroundColor(ui::Color::whiteColor());
  cg::Rect f = frame();
  f.size.height -= style() == 2 ? 12 : 15;
  setFrame(f);
}

void TLVideoItemPriview::setLabelCenter() {
  if (!titleLabel()) return;
  labelCentered_ = true;
  placeTitle();
}

void TLVideoItemPriview::descriptionDidChange() {
  if (labelCentered_) placeTitle();
}

void TLVideoItemPriview::placeTitle() {
  bool describes = description() && !description()->empty();
  cg::Rect f = titleLabel()->frame();
  f.origin.y = currentStyle().titleRect.y() + (describes ? 0 : 8);
  titleLabel()->setFrame(f);
}

void TLVideoItemPriview::reduceBGheightBy(double amount) {
  cg::Rect f = bg()->frame();
  f.size.height -= amount;
  bg()->setFrame(f);
}
