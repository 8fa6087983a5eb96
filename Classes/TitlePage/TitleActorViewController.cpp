#include "Classes/TitlePage/TitleActorViewController.h"

#include "Classes/PageShell.h"
#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/String.h"
#include "UIKit/ViewRenderer.h"

namespace {

// A value of the record when it is a non-empty string, else "".
std::string recordText(const ns::Value& record, const char* key) {
  return TLSettings::stringOrNilFromObject(record[key]).value_or("");
}

void logException(const std::exception& e) { ns::log("Exception: %@", e.what()); }

}  // namespace

std::shared_ptr<TitleActorViewController> TitleActorViewController::initWithItem(const ns::Value& item) {
  initWithNibName("", nullptr);
  actorItem_ = item;
  isAlertShow_ = false;
  if (isPhone() || TLSettings::dictionaryOrNilFromObject(item))
    getActorInfoFromURL(TLSettings::getActorAPIwithID(item["id"]));
  return self<TitleActorViewController>();
}

std::string TitleActorViewController::itemTitle() const {
  return TLSettings::stringFromObject(actorItem_["title"]);
}

void TitleActorViewController::getActorInfoFromURL(const std::string& url) {
  auto request = ns::URLRequest::requestWithURL(ns::URL::URLWithString(url));
  request->setCachePolicy(requestCachePolicy());
  // The callbacks keep the page until they have run.
  auto page = self<TitleActorViewController>();
  startJSONRequest(
      request, [page](const ns::Value& json) { page->recordReceived(json); },
      [page](const ns::ErrorPtr& error) {
        page->view();
        page->showAlertWithError(error);
      });
}

void TitleActorViewController::recordReceived(const ns::Value& json) {
  // The views the reply fills are made first, should it come before the page is shown.
  view();
  actorDetailInfo_ = json;
  // A reply without a record is a load without data, however it came.
  if (!json.isDictionary()) showAlertWithError(nullptr);
  try {
    relodActorLabels();
    if (!isPhone() && actorInfoView_) actorInfoView_->setHidden(false);
  } catch (const std::exception& e) {
    logException(e);
  }
}

void TitleActorViewController::relodActorLabels() {
  if (activity_) activity_->stopAnimating();
  const ns::Value& record = actorDetailInfo_;
  if (!record.isDictionary()) return;
  std::string birthday = recordText(record, "birthday");
  std::string place = recordText(record, "birth_place");
  std::string genres = recordText(record, "genres");
  std::string text = recordText(record, "description");
  std::string latin = recordText(record, "fullname_latin");
  if (auto biography = TLSettings::stringOrNilFromObject(record["biography"]))
    text = text.empty() ? ns::format("%@", *biography) : text + ns::format("\n \n %@", *biography);
  if (nameEngLabel_) nameEngLabel_->setText(latin);
  if (birthdayLabel_) birthdayLabel_->setText(birthday);
  if (countryLabel_) countryLabel_->setText(place);
  if (genresLabel_) genresLabel_->setText(genres);
  if (description_) description_->setText(text);
  setImageActor();
  if (!isPhone()) createFilmsScrollView();
}

std::optional<std::string> TitleActorViewController::photoPath() const {
  const ns::Value& id = actorDetailInfo_["id"];
  std::string text = TLSettings::idFromObject(id);
  // "../5" would write outside the folder and persons without an id would share one file.
  if (!TLImageFetch::isDecimalId(text)) return std::nullopt;
  return ns::stringByAppendingPathComponent(TLSettings::rolesPath(), ns::format("%@big.png", text));
}

void TitleActorViewController::setImageActor() {
  try {
    auto path = photoPath();
    if (path && TLImageFetch::fileExists(*path)) return updateActorImage(*path);
    auto url = TLSettings::stringOrNilFromObject(actorDetailInfo_["photo_240x320"]);
    // Without a usable address the placeholder stays and nothing is written.
    if (!url || !TLImageFetch::fetchableURL(*url)) return;
    loadImageWithUrl(*url, path);
  } catch (const std::exception& e) {
    logException(e);
  }
}

void TitleActorViewController::updateActorImage(const std::string& path) {
  std::weak_ptr<TitleActorViewController> weak = self<TitleActorViewController>();
  auto apply = [weak](const std::shared_ptr<ui::Image>& photo) {
    auto page = weak.lock();
    if (!page) return;
    try {
      page->showPhoto(page->buttonImage(photo));
    } catch (const std::exception& e) {
      logException(e);
    }
  };
  // Read off the main thread, whatever the load priority, at the photo's own pixels, whatever
  // size the file was written at.
  TLImageFetch::readImageForMain(path, photoBox(), apply);
}

void TitleActorViewController::showPhoto(const std::shared_ptr<ui::Image>& framed) {
  if (!actorPhoto_) return;
  actorPhoto_->setImage(framed);
  if (!isPhone()) actorPhoto_->layer()->setCornerRadius(6.0);
}

void TitleActorViewController::loadImageWithUrl(const std::string& url,
                                                const std::optional<std::string>& path) {
  if (actorPhoto_) {
    if (photoSpinner_) photoSpinner_->removeFromSuperview();
    cg::Size size = actorPhoto_->bounds().size;
    photoSpinner_ = std::make_shared<ui::ActivityIndicatorView>()->initWithFrame(
        {(size.width - 30) / 2, (size.height - 30) / 2, 30, 30});
    actorPhoto_->addSubview(photoSpinner_);
    photoSpinner_->startAnimating();
  }
  unsigned generation = ++photoGeneration_;
  std::weak_ptr<TitleActorViewController> weak = self<TitleActorViewController>();
  auto finish = [weak, generation](const std::shared_ptr<ui::Image>& photo,
                                   const std::optional<std::string>& file) {
    auto page = weak.lock();
    if (!page || generation != page->photoGeneration_) return;
    if (page->photoSpinner_) page->photoSpinner_->removeFromSuperview();
    page->photoSpinner_ = nullptr;
    // A failed, cut-short or undecodable download keeps the placeholder and writes nothing.
    if (!photo) return;
    auto framed = page->buttonImage(photo);
    page->showPhoto(framed);
    if (file) TLImageFetch::savePNG(*file, framed);
  };
  bool sent = TLImageFetch::get(
      url,
      [finish, path, box = photoBox()](const ns::Data& body) {
        auto photo = ui::Image::imageWithData(body, 1, box);
        dispatch::async(dispatch::mainQueue(), [finish, photo, path] { finish(photo, path); });
      },
      dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT),
      [finish] { dispatch::async(dispatch::mainQueue(), [finish] { finish(nullptr, std::nullopt); }); });
  if (!sent) finish(nullptr, std::nullopt);
}

cg::PixelBox TitleActorViewController::photoBox() const {
  cg::Size fallback = isPhone() ? cg::Size{160, 214} : cg::Size{240, 320};
  return TLImageFetch::pixelBox(actorPhoto_ ? actorPhoto_->bounds().size : fallback);
}

std::shared_ptr<ui::Image> TitleActorViewController::buttonImage(
    const std::shared_ptr<ui::Image>& image) const {
  cg::Size size =
      actorPhoto_ ? actorPhoto_->bounds().size : (isPhone() ? cg::Size{160, 214} : cg::Size{240, 320});
  auto picture = std::make_shared<ui::ImageView>()->initWithFrame({0, 0, size.width - 2, size.height - 2});
  picture->setBackgroundColor(ui::Color::blackColor());
  picture->setClipsToBounds(true);
  picture->setContentMode(isPhone() ? ui::ViewContentMode::scaleAspectFit : ui::ViewContentMode::center);
  picture->setImage(image);
  if (!isPhone()) picture->layer()->setCornerRadius(6.0);
  auto frame = std::make_shared<ui::View>()->initWithFrame({{0, 0}, size});
  frame->setBackgroundColor(std::nullopt);
  frame->layer()->setShadowColor(cg::Color::black());
  frame->layer()->setShadowOpacity(0.9);
  frame->layer()->setShadowOffset({0, 0});
  frame->layer()->setShadowRadius(3.0);
  frame->setClipsToBounds(false);
  frame->addSubview(picture);
  auto rendered = ui::renderView(frame, 1.0);
  return rendered ? ui::Image::imageWithCGImage(rendered, 1.0) : nullptr;
}

void TitleActorViewController::showAlertWithError(const ns::ErrorPtr& error) {
  if (isPhone()) {
    if (error)
      TLSettings::showConnectionError(error);
    else
      TLSettings::noServerItemDataAlert();
    return;
  }
  if (activity_) activity_->stopAnimating();
  showReloadPageButton();
  if (isAlertShow_) return;
  isAlertShow_ = true;
  if (error)
    TLSettings::showConnectionError(error);
  else
    TLSettings::noServerItemDataAlert();
}

void TitleActorViewController::showReloadPageButton() {
  if (reloadPageButton_) return;
  reloadPageButton_ = AKActivityButton::buttonWithType(ui::ButtonType::custom);
  reloadPageButton_->setFrame({view()->bounds().width() - 70, 0, 50, 44});
  reloadPageButton_->setActivitiImage(ui::Image::imageNamed("reloadBtBg"));
  reloadPageButton_->setImage(ui::Image::imageNamed("reloadBt"));
  reloadPageButton_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                         ui::ViewAutoresizingFlexibleRightMargin);
  reloadPageButton_->addTarget(self<TitleActorViewController>(), &TitleActorViewController::reloadButtonClick,
                               ui::ControlEventTouchUpInside);
  view()->addSubview(reloadPageButton_);
}

void TitleActorViewController::reloadButtonClick() {
  auto subviews = view()->subviews();
  for (const auto& subview : subviews) subview->removeFromSuperview();
  if (filmList_) filmList_->removeFromSuperview();
  filmList_ = nullptr;
  viewDidLoad();
  if (reloadPageButton_) reloadPageButton_->removeFromSuperview();
  reloadPageButton_ = nullptr;
  getActorInfoFromURL(TLSettings::getActorAPIwithID(actorItem_["id"]));
}
