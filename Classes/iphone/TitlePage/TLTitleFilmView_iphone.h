#pragma once

#include <memory>

#include "Classes/TitlePage/TLTitleFilmView.h"

// The phone header: fixed sizes, the detail line and description under the player, small stars.
class TLTitleFilmView_iphone final : public TLTitleFilmViewBase {
 public:
  TLTitleFilmView_iphone() = default;
  std::shared_ptr<TLTitleFilmView_iphone> initWithFrame(const cg::Rect& frame);
  void loadLabels();
  void loadPlayerView();
  void setRating(int rating) override;
};
