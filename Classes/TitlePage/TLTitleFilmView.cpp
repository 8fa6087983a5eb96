#include "Classes/TitlePage/TLTitleFilmView.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TLPlayerServices.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/DataFile.h"
#include "Foundation/Exception.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/URLRequest.h"
#include "Graphics/Layer.h"
#include "Graphics/Text.h"
#include "NTNetworking/NTHTTPRequestOperation.h"
#include "UIKit/Application.h"
#include "UIKit/Font.h"
#include "UIKit/Image.h"

namespace {

constexpr const char* kFontName = "PF Square Sans Pro";

std::shared_ptr<cg::GradientLayer> fadeMask(const cg::Rect& bounds, std::vector<double> locations) {
  auto mask = std::make_shared<cg::GradientLayer>();
  mask->setFrame(bounds);
  mask->setColors({cg::Color::clear(), cg::Color::white(1, 1), cg::Color::white(1, 1), cg::Color::clear()});
  mask->setLocations(std::move(locations));
  return mask;
}

std::shared_ptr<ui::Label> makeLabel(const cg::Rect& frame, ui::Color color, double size) {
  auto label = std::make_shared<ui::Label>()->initWithFrame(frame);
  label->setTextColor(color);
  label->setBackgroundColor(ui::Color::clearColor());
  label->setFont(ui::Font::fontWithName(kFontName, size));
  label->setText("");
  return label;
}

}  // namespace

// --- Shared

std::string TLTitleFilmViewBase::bigPosterPath() const {
  return typeIsEpisode_ ? TLSettings::posterBigForEpisode(filmId_)
                        : TLSettings::posterBigForBaseVideo(filmId_);
}

std::string TLTitleFilmViewBase::smallPosterPath() const {
  return typeIsEpisode_ ? TLSettings::posterForEpisode(filmId_) : TLSettings::posterForBaseVideo(filmId_);
}

void TLTitleFilmViewBase::showPreviewFromFile(const std::string& path) {
  if (!playerViewController_) return;
  std::weak_ptr<TLTitleFilmViewBase> weak = std::static_pointer_cast<TLTitleFilmViewBase>(shared_from_this());
  TLImageFetch::readImageForMain(path, TLImageFetch::titleHeaderBox(),
                                 [weak](const std::shared_ptr<ui::Image>& image) {
                                   auto header = weak.lock();
                                   if (header && header->playerViewController_)
                                     header->playerViewController_->setPreviewImage(image);
                                 });
}

void TLTitleFilmViewBase::setFilmId(long long filmId) {
  filmId_ = filmId;
  if (TLSettings::isItemHasBigPoster(filmId_, typeIsEpisode_)) showPreviewFromFile(bigPosterPath());
}

void TLTitleFilmViewBase::setImageBigUrl(const std::string& url) {
  imageBigUrl_ = url;
  if (TLSettings::isItemHasBigPoster(filmId_, typeIsEpisode_)) return;
  if (!url.empty())
    loadBigPosrer(url);
  else
    showPreviewFromFile(smallPosterPath());
}

void TLTitleFilmViewBase::loadBigPosrer(const std::string& url) {
  auto request = ns::URLRequest::requestWithURL(ns::URL::URLWithString(url));
  auto operation = std::make_shared<NTHTTPRequestOperation>()->initWithRequest(request);
  if (!operation) return;
  operation->limitResponseLength(TLImageFetch::kMaxPictureLength);
  operation->limitResponseToPicture();
  // An id of 0 or less is no title's own: its poster is shown but never written, or every such
  // title would share one file.
  std::optional<std::string> path;
  if (filmId_ > 0) path = bigPosterPath();
  std::weak_ptr<TLTitleFilmViewBase> weak = std::static_pointer_cast<TLTitleFilmViewBase>(shared_from_this());
  auto finish = [weak](std::shared_ptr<ui::Image> image) {
    dispatch::async(dispatch::mainQueue(), [weak, image] {
      auto header = weak.lock();
      if (header && header->playerViewController_) header->playerViewController_->setPreviewImage(image);
    });
  };
  // Decoded off the main thread, at most at the widest header's pixels, so that the file serves
  // the header in either orientation.
  const cg::PixelBox box = TLImageFetch::titleHeaderBox();
  operation->setSuccessCallbackQueue(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT));
  operation->setFailureCallbackQueue(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT));
  operation->setCompletionBlockWithSuccess(
      [finish, path, box](const NTHTTPRequestOperationPtr&, const ns::Value& body) {
        const ns::Data* data = body.asData();
        std::shared_ptr<ui::Image> image = data ? ui::Image::imageWithData(*data, 1, box) : nullptr;
        // Only a body that is a picture takes the poster's place, written whole or not at all.
        if (image && path) {
          ns::ErrorPtr error;
          if (!ns::writeDataToFile(TLImageFetch::cacheBytes(*data, image), *path, true, &error))
            ns::log("Cannot write the poster %@: %@", *path, error);
        }
        finish(image);
      },
      [finish, path, box](const NTHTTPRequestOperationPtr&, const ns::ErrorPtr&) {
        finish(path ? ui::Image::imageWithContentsOfFile(*path, box) : nullptr);
      });
  operation->start();
}

std::shared_ptr<ui::TextView> TLTitleFilmViewBase::makeDescriptionView(const cg::Rect& frame) {
  auto text = std::make_shared<ui::TextView>()->initWithFrame(frame);
  text->setTextColor(ui::Color::whiteColor());
  text->setBackgroundColor(ui::Color::clearColor());
  text->setFont(ui::Font::fontWithName(kFontName, 16));
  text->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  text->setEditable(false);
  text->setAlwaysBounceVertical(true);
  text->setUserInteractionEnabled(true);
  text->setText("");
  text->setContentInset({6, 0, 12, 0});
  return text;
}

void TLTitleFilmViewBase::addPlayer() {
  TLInstallPlayerServices();
  auto player = std::make_shared<AKMoviePlayerController>()->init();
  player->view()->setFrame({0, 0, playerView_->bounds().width(), playerView_->bounds().height()});
  player->setAutoPlay(false);
  player->view()->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  playerView_->addSubview(player->view());
  player->showBlackScreen();
  playerViewController_ = player;
}

// --- Tablet

cg::Rect TLTitleFilmView::playerFrame(bool landscape) {
  return landscape ? cg::Rect{20, 0, 472, 260} : cg::Rect{20, 0, 374, 208};
}

std::shared_ptr<TLTitleFilmView> TLTitleFilmView::initWithFrame(const cg::Rect& frame) {
  ui::View::initWithFrame(frame);
  setBackgroundColor(ui::Color::clearColor());
  loadLabels();
  loadPlayerView();
  return std::static_pointer_cast<TLTitleFilmView>(shared_from_this());
}

void TLTitleFilmView::loadLabels() {
  filmNameLabel_ = makeLabel({512, 0, 500, 30}, ui::Color::whiteColor(), 22);
  addSubview(filmNameLabel_);
  double nameY = filmNameLabel_->frame().origin.y;
  // Light enough to read at 4.5:1 on the page's dark ground.
  filmDetailLabel_ = makeLabel({512, nameY + 40, 500, 30}, ui::Color::lightGrayColor(), 16);
  addSubview(filmDetailLabel_);
  filmProducerLabel_ = makeLabel({512, nameY + 20, 500, 30}, ui::Color::lightGrayColor(), 16);
  addSubview(filmProducerLabel_);
  bgView_ =
      std::make_shared<ui::View>()->initWithFrame({505, filmProducerLabel_->frame().origin.y + 45, 500, 242});
  bgView_->layer()->setMask(fadeMask(bgView_->bounds(), {0, 0.05, 0.87, 1.0}));
  addSubview(bgView_);
  filmDescriptionTV_ = makeDescriptionView({-2, 0, 500, 242});
  bgView_->addSubview(filmDescriptionTV_);
}

void TLTitleFilmView::loadPlayerView() {
  try {
    bool landscape = ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation());
    playerView_ = std::make_shared<ui::View>()->initWithFrame(playerFrame(landscape));
    bgImageView_ = std::make_shared<ui::View>()->initWithFrame(
        {0, 0, playerView_->bounds().width(), bounds().height() - 20});
    bgImageView_->setBackgroundColor(ui::Color::blackColor());
    bgImageView_->setAlpha(0.4);
    playerView_->addSubview(bgImageView_);
    addSubview(playerView_);
    addPlayer();
  } catch (const ns::Exception& e) {
    ns::log("Exception: %@", e.reason());
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
}

void TLTitleFilmView::setRating(int rating) {
  if (ratingView_) ratingView_->removeFromSuperview();
  ratingView_.reset();
  if (rating < 1) return;
  ratingView_ = std::make_shared<StarRatingView>()->initWithFrame({914, 5, 50, 20}, rating);
  ratingView_->setRating(rating);
  addSubview(ratingView_);
  // The next layout pass places the stars for the orientation.
  setNeedsLayout();
}

void TLTitleFilmView::layoutSubviews() {
  ui::View::layoutSubviews();
  bool landscape = ui::isLandscape(ui::Application::sharedApplication()->statusBarOrientation());
  auto place = [](const std::shared_ptr<ui::View>& v, double x, double y, std::optional<double> width,
                  std::optional<double> height = std::nullopt) {
    if (!v) return;
    cg::Rect f = v->frame();
    v->setFrame({x, y, width.value_or(f.width()), height.value_or(f.height())});
  };
  if (playerView_) playerView_->setFrame(playerFrame(landscape));
  // A row of more than five stars would run off the screen from x 914 or 658: it moves left until
  // it ends 10 points inside the header (the page's width in each orientation), where five end.
  double starsX = landscape ? 914 : 658;
  if (ratingView_) {
    double stars = ratingView_->bounds().height() * ratingView_->starCount();
    starsX = std::min(starsX, (landscape ? 1024 : 768) - 10 - stars);
  }
  // The name stands on one line before the stars. Where it is too long for that, it takes the
  // header's width, on up to two lines, and the stars go under it, the lines below moving down to
  // make room.
  double nameX = landscape ? 512 : 412;
  double nameWidth = landscape ? 410 : 250;
  double starsY = 5;
  double shift = 0;
  if (filmNameLabel_) {
    const cg::Font& font = filmNameLabel_->font()->cgFont();
    const std::string& name = filmNameLabel_->text();
    double besideStars = std::min(nameWidth, starsX - 8 - nameX);
    if (!ratingView_ || cg::measureText(name, font).width <= besideStars) {
      filmNameLabel_->setNumberOfLines(1);
      place(filmNameLabel_, nameX, 0, ratingView_ ? besideStars : nameWidth, 30);
    } else {
      // Under it the stars leave the name the header's width, up to the margin the stars keep.
      double ownWidth = std::max(nameWidth, bounds().width() - 10 - nameX);
      filmNameLabel_->setNumberOfLines(2);
      double lines =
          cg::measureText(name, font, {ownWidth, 2 * font.lineHeight()}, filmNameLabel_->lineBreakMode())
              .height;
      place(filmNameLabel_, nameX, 0, ownWidth, std::max(30.0, lines));
      starsX = nameX;
      starsY = std::ceil(filmNameLabel_->textRectForBounds(filmNameLabel_->bounds()).maxY()) + 3;
      // Five stars beside a one-line name end 25 points down, just above the director line.
      shift = starsY + ratingView_->bounds().height() - 25;
    }
  }
  place(filmDetailLabel_, nameX, 40 + shift, std::nullopt);
  place(filmProducerLabel_, nameX, 20 + shift, landscape ? 500 : 300);
  place(bgView_, landscape ? 506 : 406, 65 + shift, landscape ? 500 : 350, (landscape ? 256 : 212) - shift);
  if (bgImageView_ && playerView_)
    bgImageView_->setFrame({0, 0, playerView_->bounds().width(), bounds().height() - 20});
  place(ratingView_, starsX, starsY, std::nullopt);
  if (bgView_) bgView_->layer()->setMask(fadeMask(bgView_->bounds(), {0, 0.08, 0.87, 1.0}));
}
