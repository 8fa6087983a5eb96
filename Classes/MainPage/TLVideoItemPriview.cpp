#include "Classes/MainPage/TLVideoItemPriview.h"

namespace {

const TLVideoItemPriviewBase::Style kStyles[] = {
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
};

}  // namespace

std::shared_ptr<TLVideoItemPriview> TLVideoItemPriview::initWithFrame(const cg::Rect& frame, int style) {
  setUpWithFrame(frame, style, 0);
  return self<TLVideoItemPriview>();
}

const TLVideoItemPriviewBase::Style& TLVideoItemPriview::styleTable(int style) const {
  return kStyles[style == 1 || style == 2 ? style : 0];
}

TLVideoItemPriviewBase::CachedPosterRule TLVideoItemPriview::cachedPosterRule(int priority, bool big) const {
  switch (priority) {
    case 2:
      return {big, Hand::mainThreadLater};
    case 3:
      return {false, Hand::mainThreadWaiting};
    default:
      return {false, Hand::now};
  }
}

TLVideoItemPriviewBase::FetchedPosterRule TLVideoItemPriview::fetchedPosterRule(int priority) const {
  switch (priority) {
    case 0:
      return {true, Hand::now, false};
    case 2:
      return {false, Hand::mainThreadLater, true};
    case 3:
      return {false, Hand::mainThreadWaiting, true};
    default:
      return {false, Hand::now, false};
  }
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
  cg::Rect f = titleLabel()->frame();
  f.origin.y += 8;
  titleLabel()->setFrame(f);
}

void TLVideoItemPriview::reduceBGheightBy(double amount) {
  cg::Rect f = bg()->frame();
  f.size.height -= amount;
  bg()->setFrame(f);
}
