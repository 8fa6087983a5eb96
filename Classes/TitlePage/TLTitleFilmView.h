#pragma once

#include <memory>
#include <string>

#include "AKMoviePlayer/AKMoviePlayerController.h"
#include "Classes/MainPage/StarRatingView.h"
#include "UIKit/Label.h"
#include "UIKit/TextView.h"
#include "UIKit/View.h"

// The title page's header: the player with its preview picture (the title's big poster, fetched
// once into the disk cache, else its small poster), the title's texts and its rating stars. What
// the tablet and phone headers share: the player, the preview choice and the download.
class TLTitleFilmViewBase : public ui::View {
 public:
  TLTitleFilmViewBase(const TLTitleFilmViewBase&) = delete;
  TLTitleFilmViewBase& operator=(const TLTitleFilmViewBase&) = delete;

  const std::shared_ptr<AKMoviePlayerController>& playerViewController() const {
    return playerViewController_;
  }
  const std::shared_ptr<ui::View>& playerView() const { return playerView_; }
  const std::shared_ptr<ui::View>& bgImageView() const { return bgImageView_; }
  // The tablet's name and director lines; the phone has none.
  const std::shared_ptr<ui::Label>& filmNameLabel() const { return filmNameLabel_; }
  const std::shared_ptr<ui::Label>& filmProducerLabel() const { return filmProducerLabel_; }
  const std::shared_ptr<ui::Label>& filmDetailLabel() const { return filmDetailLabel_; }
  const std::shared_ptr<ui::TextView>& filmDescriptionTV() const { return filmDescriptionTV_; }
  const std::shared_ptr<ui::View>& bgView() const { return bgView_; }
  const std::shared_ptr<StarRatingView>& ratingView() const { return ratingView_; }

  long long filmId() const { return filmId_; }
  // Shows the cached big poster of the id as the preview, when there is one.
  void setFilmId(long long filmId);
  bool typeIsEpisode() const { return typeIsEpisode_; }
  void setTypeIsEpisode(bool episode) { typeIsEpisode_ = episode; }
  const std::string& imageBigUrl() const { return imageBigUrl_; }
  // Downloads the big poster when it is not cached, or shows the small one when there is no URL.
  void setImageBigUrl(const std::string& url);
  // Rebuilds the stars.
  virtual void setRating(int rating) = 0;
  int rating() const { return 0; }

  // Fetches the big poster and shows it. Only a body that decodes as a picture is kept, and only
  // for an id that can name a file.
  void loadBigPosrer(const std::string& url);
  std::string bigPosterPath() const;
  std::string smallPosterPath() const;

 protected:
  TLTitleFilmViewBase() = default;
  // The player made in its fixed order, in the area's bounds.
  void addPlayer();
  void showPreviewFromFile(const std::string& path);
  // A read-only, bouncing description view.
  static std::shared_ptr<ui::TextView> makeDescriptionView(const cg::Rect& frame);

  std::shared_ptr<AKMoviePlayerController> playerViewController_;
  std::shared_ptr<ui::View> playerView_;
  std::shared_ptr<ui::View> bgImageView_;
  std::shared_ptr<ui::Label> filmNameLabel_;
  std::shared_ptr<ui::Label> filmProducerLabel_;
  std::shared_ptr<ui::Label> filmDetailLabel_;
  std::shared_ptr<ui::TextView> filmDescriptionTV_;
  std::shared_ptr<ui::View> bgView_;
  std::shared_ptr<StarRatingView> ratingView_;
  long long filmId_ = 0;
  bool typeIsEpisode_ = false;
  std::string imageBigUrl_;
};

// The tablet header: laid out for the status bar's orientation on every pass.
class TLTitleFilmView final : public TLTitleFilmViewBase {
 public:
  TLTitleFilmView() = default;
  std::shared_ptr<TLTitleFilmView> initWithFrame(const cg::Rect& frame);
  void loadLabels();
  void loadPlayerView();
  void setRating(int rating) override;
  void layoutSubviews() override;

  // The player area by orientation.
  static cg::Rect playerFrame(bool landscape);
};
