#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Classes/AKActivityButton.h"
#include "Classes/MainPage/TLRubricScrollView.h"
#include "Classes/Navigation/ViewController+TLMenu.h"
#include "Foundation/Error.h"
#include "Foundation/URLRequest.h"
#include "Foundation/Value.h"
#include "UIKit/ActivityIndicatorView.h"
#include "UIKit/Application.h"
#include "UIKit/Image.h"
#include "UIKit/ImageView.h"
#include "UIKit/Label.h"
#include "UIKit/ScrollView.h"
#include "UIKit/TextView.h"
#include "UIKit/Toolbar.h"
#include "UIKit/ViewController.h"

// The person page, opened with a PersonItem {"id", "title"}: the person's photograph, names, four
// facts, a text of description and biography and, on the tablet, a strip of the person's films.
// It requests the person record at once; the photograph is fetched once and kept framed as
// "<id>big.png" among the person photos. A failed load alerts (the tablet once per build of its
// views, with a reload button).
class TitleActorViewController : public ui::ViewController, public TLMenuHooks {
 public:
  static constexpr const char* kFontName = "PF Square Sans Pro";
  // The films strip shows the record's first this many: each is a tile, built at once.
  static constexpr std::size_t kMaxFilms = 200;

  // The tablet sends the request only for a dictionary item.
  std::shared_ptr<TitleActorViewController> initWithItem(const ns::Value& item);

  const ns::Value& actorItem() const { return actorItem_; }
  void setActorItem(ns::Value item) { actorItem_ = std::move(item); }
  const ns::Value& actorDetailInfo() const { return actorDetailInfo_; }
  void setActorDetailInfo(ns::Value info) { actorDetailInfo_ = std::move(info); }
  bool isAlertShow() const { return isAlertShow_; }
  void setIsAlertShow(bool shown) { isAlertShow_ = shown; }
  std::int8_t loadPriority() const { return loadPriority_; }
  void setLoadPriority(std::int8_t priority) { loadPriority_ = priority; }

  // Data (the record, the photograph, failures).
  void getActorInfoFromURL(const std::string& url);
  void relodActorLabels();
  void setImageActor();
  // Fetches the photograph, frames and shows it; only a decoded one is written, to the path when
  // there is one.
  void loadImageWithUrl(const std::string& url, const std::optional<std::string>& path);
  void updateActorImage(const std::string& path);
  // The photograph framed for the photo view's size: black panel, shadow, the picture inside.
  std::shared_ptr<ui::Image> buttonImage(const std::shared_ptr<ui::Image>& image) const;
  // The most pixels a downloaded photo is decoded at: the phone fits it into its frame; the
  // tablet draws its middle at its own size, which takes its own pixels.
  cg::PixelBox photoBox() const;
  void showAlertWithError(const ns::ErrorPtr& error);
  void showReloadPageButton();
  void reloadButtonClick();

  // Views.
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  bool shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) override;
  void willRotateToInterfaceOrientation(ui::InterfaceOrientation orientation, double duration) override;
  void addToolBar();
  void loadActorInfoView();
  void loadActorImageView();
  void loadTitles();
  void changeOrientationActorViewTo(ui::InterfaceOrientation orientation);
  void changeOrientationScrollViewTo(ui::InterfaceOrientation orientation);
  void createFilmsScrollView();
  void createRubrikTitle();
  void loadFilmList();
  void toolbarBackClick();
  void TLMainViewMenuClick();

  const std::shared_ptr<ui::Label>& toolbarLabel() const { return toolbarLabel_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& activity() const { return activity_; }
  const std::shared_ptr<AKActivityButton>& reloadPageButton() const { return reloadPageButton_; }
  const std::shared_ptr<ui::View>& actorInfoView() const { return actorInfoView_; }
  const std::shared_ptr<ui::ImageView>& bgImageView() const { return bgImageView_; }
  const std::shared_ptr<ui::ImageView>& actorPhoto() const { return actorPhoto_; }
  const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
  const std::shared_ptr<ui::Label>& nameEngLabel() const { return nameEngLabel_; }
  const std::shared_ptr<ui::Label>& careerLabel() const { return careerLabel_; }
  const std::shared_ptr<ui::Label>& birthdayLabel() const { return birthdayLabel_; }
  const std::shared_ptr<ui::Label>& countryLabel() const { return countryLabel_; }
  const std::shared_ptr<ui::Label>& genresLabel() const { return genresLabel_; }
  const std::shared_ptr<ui::View>& descriptionView() const { return descriptionView_; }
  const std::shared_ptr<ui::TextView>& description() const { return description_; }
  const std::shared_ptr<ui::Label>& titleForScroll() const { return titleForScroll_; }
  const std::shared_ptr<ui::ScrollView>& filmsScrollView() const { return filmsScrollView_; }
  const std::shared_ptr<TLRubricScrollView>& filmList() const { return filmList_; }
  const std::shared_ptr<ui::ActivityIndicatorView>& photoSpinner() const { return photoSpinner_; }

 protected:
  virtual bool isPhone() const { return false; }
  // The tablet asks past any cached copy.
  virtual ns::URLRequestCachePolicy requestCachePolicy() const {
    return ns::URLRequestCachePolicy::ReloadIgnoringLocalCacheData;
  }

 private:
  void recordReceived(const ns::Value& json);
  // The person's name of the opening item.
  std::string itemTitle() const;
  // The photo cache file for the record's id, when the id may name one.
  std::optional<std::string> photoPath() const;
  void showPhoto(const std::shared_ptr<ui::Image>& framed);
  std::shared_ptr<ui::Label> createLabel() const;
  std::shared_ptr<ui::Label> valueLabel() const;
  bool portrait() const;

  ns::Value actorItem_;
  ns::Value actorDetailInfo_;
  bool isAlertShow_ = false;
  std::int8_t loadPriority_ = 0;
  // Counts the photographs asked for; a late download for an earlier one is not shown.
  unsigned photoGeneration_ = 0;

  std::shared_ptr<ui::Label> toolbarLabel_;
  std::shared_ptr<ui::ActivityIndicatorView> activity_;
  std::shared_ptr<AKActivityButton> reloadPageButton_;
  std::shared_ptr<ui::View> actorInfoView_;
  std::shared_ptr<ui::ImageView> bgImageView_;
  std::shared_ptr<ui::ImageView> actorPhoto_;
  std::shared_ptr<ui::Label> nameLabel_, nameEngLabel_, careerLabel_, birthdayLabel_, countryLabel_,
      genresLabel_;
  std::shared_ptr<ui::View> descriptionView_;
  std::shared_ptr<ui::TextView> description_;
  std::shared_ptr<ui::Label> titleForScroll_;
  std::shared_ptr<ui::ScrollView> filmsScrollView_;
  std::shared_ptr<TLRubricScrollView> filmList_;
  std::shared_ptr<ui::ActivityIndicatorView> photoSpinner_;
};
