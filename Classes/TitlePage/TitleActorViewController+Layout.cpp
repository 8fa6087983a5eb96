// The person page's views: toolbar, info view with photograph, names, facts and text, the
// tablet's films strip, and the tablet's layout for portrait and landscape.
#include <algorithm>
#include <cmath>

#include "Classes/MainPage/TLVideoItemPriview.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TitleActorViewController.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/String.h"
#include "Graphics/Layer.h"
#include "UIKit/Button.h"
#include "UIKit/Font.h"
#include "UIKit/NavigationController.h"
#include "UIKit/Screen.h"

namespace {

constexpr double kTileStep = 225;

ui::InterfaceOrientation statusBarOrientation() {
  return ui::Application::sharedApplication()->statusBarOrientation();
}

std::shared_ptr<cg::GradientLayer> fadeMask(const cg::Rect& bounds) {
  auto mask = std::make_shared<cg::GradientLayer>();
  mask->setFrame(bounds);
  mask->setColors({cg::Color::rgba(0, 0, 0, 0), cg::Color::rgba(1, 1, 1, 1), cg::Color::rgba(1, 1, 1, 1),
                   cg::Color::rgba(0, 0, 0, 0)});
  mask->setLocations({0, 0.07, 0.87, 1.0});
  return mask;
}

}  // namespace

bool TitleActorViewController::portrait() const { return ui::isPortrait(statusBarOrientation()); }

void TitleActorViewController::viewDidLoad() {
  ui::ViewController::viewDidLoad();
  auto page = view();
  if (isPhone()) {
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    page->setFrame({screen.origin.x, screen.origin.y, screen.width(), screen.height() - 20});
  }
  page->setBackgroundColor(ui::Color::blackColor());
  cg::Rect backgroundFrame = isPhone() ? cg::Rect{0, 0, page->bounds().width(), page->bounds().height()}
                                       : cg::Rect{0, 0, 1024, 1024};
  auto background = std::make_shared<ui::ImageView>()->initWithFrame(backgroundFrame);
  background->setImage(ui::Image::imageNamed("background.png"));
  page->addSubview(background);
  addToolBar();
  loadActorInfoView();
  loadTitles();
  isAlertShow_ = false;
  nameEngLabel_->setText(itemTitle());
  careerLabel_->setText("Актёр");
  birthdayLabel_->setText("");
  countryLabel_->setText("");
  genresLabel_->setText("");
}

void TitleActorViewController::addToolBar() {
  double w = view()->bounds().width();
  auto toolbar = std::make_shared<ui::Toolbar>()->initWithFrame({0, 0, w, 44});
  toolbar->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  toolbar->setBarStyle(ui::BarStyle::blackTranslucent);
  toolbar->setBackgroundColor(ui::Color::clearColor());
  auto barImage = ui::Image::imageNamed(isPhone() ? "toolbar.png" : "toolbarBg.png");
  if (isPhone() && barImage) barImage = barImage->stretchableImageWithLeftCapWidth(5, 0);
  toolbar->setBackgroundImage(barImage, ui::ToolbarPosition::any, ui::BarMetrics::defaultMetrics);
  view()->addSubview(toolbar);

  auto me = self<TitleActorViewController>();
  auto menu = ui::Button::buttonWithType(ui::ButtonType::custom);
  menu->setBackgroundColor(ui::Color::clearColor());
  menu->setBackgroundImage(ui::Image::imageNamed(isPhone() ? "menuBtIphone.png" : "menuBt.png"),
                           ui::ControlStateNormal);
  menu->setFrame(isPhone() ? cg::Rect{w - 51, 7, 39, 30} : cg::Rect{0, 0, 60, 44});
  menu->addTarget(me, &TitleActorViewController::TLMainViewMenuClick, ui::ControlEventTouchDown);
  toolbar->addSubview(menu);

  auto back = ui::Button::buttonWithType(ui::ButtonType::custom);
  back->setImage(ui::Image::imageNamed(isPhone() ? "tmBackIphone" : "tbBack.png"), ui::ControlStateNormal);
  back->setFrame(isPhone() ? cg::Rect{5, 3, 65, 40} : cg::Rect{70, 3, 65, 40});
  back->addTarget(me, &TitleActorViewController::toolbarBackClick, ui::ControlEventTouchUpInside);
  toolbar->addSubview(back);

  if (!isPhone()) {
    if (activity_) activity_->removeFromSuperview();
    activity_ = std::make_shared<ui::ActivityIndicatorView>()->initWithActivityIndicatorStyle(
        ui::ActivityIndicatorViewStyle::whiteLarge);
    activity_->setFrame({toolbar->bounds().width() - 40, 10, 20, 20});
    toolbar->addSubview(activity_);
    activity_->startAnimating();
  }

  // On the phone the title ends where the menu button (at w - 51) begins, not under it.
  cg::Rect titleFrame = isPhone() ? cg::Rect{70, 0, w - 121, 44} : cg::Rect{150, 0, std::floor(w - 280), 44};
  toolbarLabel_ = std::make_shared<ui::Label>()->initWithFrame(titleFrame);
  toolbarLabel_->setTextColor(ui::Color::whiteColor());
  toolbarLabel_->setBackgroundColor(ui::Color::clearColor());
  toolbarLabel_->setTextAlignment(ui::TextAlignment::Center);
  toolbarLabel_->setFont(ui::Font::fontWithName(kFontName, 18));
  toolbarLabel_->setText(ns::uppercaseString(itemTitle()));
  toolbarLabel_->setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin |
                                     ui::ViewAutoresizingFlexibleRightMargin);
  toolbar->addSubview(toolbarLabel_);
}

void TitleActorViewController::loadActorInfoView() {
  double w = view()->bounds().width();
  bool upright = isPhone() || portrait();
  actorInfoView_ = std::make_shared<ui::View>()->initWithFrame({0, 44, w, upright ? 768.0 : 512.0});
  actorInfoView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  actorInfoView_->setBackgroundColor(ui::Color::clearColor());
  view()->addSubview(actorInfoView_);

  // Built where the orientation pass finds it; the pass before the page shows moves it.
  double lineY = isPhone() ? 734 : (upright ? 734 : 498);
  bgImageView_ = std::make_shared<ui::ImageView>()->initWithFrame({0, lineY, upright ? 768.0 : 1024.0, 5});
  bgImageView_->setImage(ui::Image::imageNamed("TLHorizScroll_bg.png"));
  bgImageView_->setContentMode(ui::ViewContentMode::center);
  actorInfoView_->addSubview(bgImageView_);
  loadActorImageView();
  if (!isPhone()) actorInfoView_->setHidden(true);
}

void TitleActorViewController::loadActorImageView() {
  cg::Rect frame = isPhone() ? cg::Rect{10, 12, 160, 214} : cg::Rect{20, 22, 240, 320};
  actorPhoto_ = std::make_shared<ui::ImageView>()->initWithFrame(frame);
  actorPhoto_->setBackgroundColor(ui::Color::colorWithRed(0.15, 0.15, 0.15, 1));
  if (!isPhone()) actorPhoto_->layer()->setCornerRadius(6.0);
  actorPhoto_->setImage(buttonImage(ui::Image::imageNamed("actorEmpty.jpg")));
  actorInfoView_->addSubview(actorPhoto_);
}

std::shared_ptr<ui::Label> TitleActorViewController::createLabel() const {
  auto label = std::make_shared<ui::Label>()->initWithFrame({});
  label->setTextColor(ui::Color::grayColor());
  label->setBackgroundColor(ui::Color::clearColor());
  label->setFont(ui::Font::fontWithName(kFontName, isPhone() ? 14 : 17));
  return label;
}

std::shared_ptr<ui::Label> TitleActorViewController::valueLabel() const {
  auto label = createLabel();
  label->setTextColor(ui::Color::whiteColor());
  return label;
}

void TitleActorViewController::loadTitles() {
  double w = view()->bounds().width();
  bool phone = isPhone();
  auto add = [&](const std::shared_ptr<ui::Label>& label, const cg::Rect& frame) {
    label->setFrame(frame);
    actorInfoView_->addSubview(label);
    return label;
  };
  double textX = phone ? 175 : 280, textW = phone ? w - 177 : 450;
  nameLabel_ = add(valueLabel(), {textX, 22, textW, 25});
  nameLabel_->setFont(ui::Font::fontWithName(kFontName, phone ? 16 : 22));
  nameLabel_->setText(itemTitle());
  nameEngLabel_ = add(createLabel(), {textX, phone ? 42.0 : 52.0, textW, 25});
  nameEngLabel_->setFont(ui::Font::fontWithName(kFontName, phone ? 14 : 19));

  // Captions and values: beside each other on the tablet, the value under its caption on the phone.
  const char* captions[] = {"Карьера", "Дата рождения", "Место рождения", "Жанры"};
  std::shared_ptr<ui::Label>* values[] = {&careerLabel_, &birthdayLabel_, &countryLabel_, &genresLabel_};
  for (int i = 0; i < 4; ++i) {
    auto caption = add(createLabel(), {textX, (phone ? 82.0 : 92.0) + 30 * i, textW, 25});
    caption->setText(captions[i]);
    cg::Rect frame =
        phone ? cg::Rect{textX, 97.0 + 30 * i, textW, 25} : cg::Rect{416, 92.0 + 30 * i, 450, 25};
    *values[i] = add(valueLabel(), frame);
  }
  if (phone) {
    // Two lines, as tall as two lines of its face take; the text area starts at 236.
    double twoLines = std::max(30.0, std::ceil(2 * genresLabel_->font()->lineHeight() - 1e-6));
    genresLabel_->setFrame({textX, 192, textW, twoLines});
    genresLabel_->setNumberOfLines(2);
  } else {
    genresLabel_->setFrame({416, 182, portrait() ? 768.0 - 416 : 1024.0 - 416, 25});
    genresLabel_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  }

  cg::Rect area = phone ? cg::Rect{3, 236, w - 5, view()->bounds().height() - 236 - 44}
                        : (portrait() ? cg::Rect{280, 212, 480, 450} : cg::Rect{280, 212, 744, 250});
  descriptionView_ = std::make_shared<ui::View>()->initWithFrame(area);
  descriptionView_->setBackgroundColor(ui::Color::clearColor());
  descriptionView_->layer()->setMask(fadeMask(descriptionView_->bounds()));
  actorInfoView_->addSubview(descriptionView_);
  description_ = std::make_shared<ui::TextView>()->initWithFrame({0, 0, area.width(), area.height()});
  description_->setTextColor(ui::Color::whiteColor());
  description_->setFont(ui::Font::fontWithName(kFontName, phone ? 16 : 17));
  description_->setBackgroundColor(ui::Color::clearColor());
  description_->setEditable(false);
  description_->setContentInset({10, 0, 10, 0});
  description_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
  descriptionView_->addSubview(description_);
}

void TitleActorViewController::viewWillAppear(bool animated) {
  if (!isPhone()) {
    changeOrientationActorViewTo(statusBarOrientation());
    changeOrientationScrollViewTo(statusBarOrientation());
  }
  ui::ViewController::viewWillAppear(animated);
}

bool TitleActorViewController::shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientation orientation) {
  if (isPhone()) return false;
  changeOrientationActorViewTo(orientation);
  changeOrientationScrollViewTo(orientation);
  return true;
}

void TitleActorViewController::willRotateToInterfaceOrientation(ui::InterfaceOrientation orientation,
                                                                double duration) {
  if (!isPhone()) {
    changeOrientationActorViewTo(orientation);
    changeOrientationScrollViewTo(orientation);
  }
  ui::ViewController::willRotateToInterfaceOrientation(orientation, duration);
}

void TitleActorViewController::changeOrientationActorViewTo(ui::InterfaceOrientation orientation) {
  if (!isViewLoaded() || !actorInfoView_) return;
  bool upright = ui::isPortrait(orientation);
  double w = view()->bounds().width();
  actorInfoView_->setFrame({0, 44, w, upright ? 768.0 : 512.0});
  cg::Rect line = bgImageView_->frame();
  bgImageView_->setFrame({line.origin.x, upright ? 714.0 : 478.0, upright ? 768.0 : 1024.0, line.height()});
  if (titleForScroll_) {
    cg::Rect heading = titleForScroll_->frame();
    titleForScroll_->setFrame({heading.origin.x, upright ? 770.0 : 534.0, heading.width(), heading.height()});
  }
  cg::Rect area = descriptionView_->frame();
  cg::Size size = upright ? cg::Size{480, 450} : cg::Size{744, 250};
  descriptionView_->setFrame({area.origin, size});
  if (auto mask = descriptionView_->layer()->mask()) mask->setFrame({{0, 0}, size});
}

void TitleActorViewController::changeOrientationScrollViewTo(ui::InterfaceOrientation orientation) {
  if (!filmsScrollView_) return;
  cg::Rect frame = filmsScrollView_->frame();
  filmsScrollView_->setFrame(
      {frame.origin.x, ui::isPortrait(orientation) ? 780.0 : 544.0, frame.width(), frame.height()});
}

void TitleActorViewController::createFilmsScrollView() {
  double w = view()->bounds().width();
  if (filmsScrollView_) filmsScrollView_->removeFromSuperview();
  filmsScrollView_ =
      std::make_shared<ui::ScrollView>()->initWithFrame({10, portrait() ? 780.0 : 544.0, w - 20, 200});
  view()->addSubview(filmsScrollView_);
  if (!actorDetailInfo_.isDictionary()) return;
  ns::Value titles = TLSettings::arrayOrNilFromObject(actorDetailInfo_["titles"]);
  const ns::Array* films = titles.asArray();
  if (!films) return;
  std::size_t count = std::min(films->size(), kMaxFilms);
  if (count < films->size())
    ns::log("The record of person %@ lists %d films; the strip shows the first %d",
            TLSettings::idFromObject(actorItem_["id"]), static_cast<long long>(films->size()),
            static_cast<long long>(count));
  double x = 10;
  std::size_t unreachable = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const ns::Value& film = (*films)[i];
    if (!film.isDictionary()) continue;
    std::string id = TLSettings::idFromObject(film["ID"]);
    // A film whose id no URL can hold has no page to open.
    std::string url = TLSettings::getURLforSeriesListFilm(ns::Value(id));
    if (url.empty() || !ns::URL::URLWithString(url)) {
      ++unreachable;
      continue;
    }
    auto tile = std::make_shared<TLVideoItemPriview>()->initWithFrame({x, 20, w - 20, 200});
    tile->setTitle(TLSettings::stringFromObject(film["name"]));
    tile->setDescription(TLSettings::stringFromObject(film["genre"]));
    tile->setID(ns::Value(id));
    tile->setUrl(url);
    tile->setImageUrl(TLSettings::stringFromObject(film["screenshot"]));
    tile->setParent_id(std::string());
    tile->setRate(ns::Value(TLSettings::stringFromObject(film["rating"])).intValue());
    filmsScrollView_->addSubview(tile);
    x += kTileStep;
  }
  if (unreachable)
    ns::log("The strip of person %@ leaves out %d films whose id cannot be sent",
            TLSettings::idFromObject(actorItem_["id"]), static_cast<long long>(unreachable));
  filmsScrollView_->setContentSize({static_cast<double>(count) * kTileStep, 180});
  filmsScrollView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  cg::Rect strip = filmsScrollView_->frame();
  auto line = std::make_shared<ui::ImageView>()->initWithFrame({0, strip.height() - 2, strip.width(), 4});
  line->setImage(ui::Image::imageNamed("TLHorizScroll_bg.png"));
  line->setContentMode(ui::ViewContentMode::center);
  line->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
  filmsScrollView_->addSubview(line);
  createRubrikTitle();
}

void TitleActorViewController::createRubrikTitle() {
  if (titleForScroll_) titleForScroll_->removeFromSuperview();
  titleForScroll_ = std::make_shared<ui::Label>()->initWithFrame({20, portrait() ? 770.0 : 534.0, 768, 20});
  titleForScroll_->setTextColor(ui::Color::colorWithRed(73 / 255.0, 123 / 255.0, 251 / 255.0, 1));
  titleForScroll_->setFont(ui::Font::fontWithName(kFontName, 17));
  titleForScroll_->setBackgroundColor(ui::Color::clearColor());
  // Without a full name the heading names the person as the page was opened.
  auto fullname = TLSettings::stringOrNilFromObject(actorDetailInfo_["fullname"]);
  titleForScroll_->setText(ns::format("%@ на Tavelo", fullname ? *fullname : itemTitle()));
  view()->addSubview(titleForScroll_);
}

void TitleActorViewController::loadFilmList() {
  double w = view()->bounds().width();
  cg::Rect frame = portrait() ? cg::Rect{0, 834, w, 180} : cg::Rect{0, 578, w, 180};
  filmList_ = std::make_shared<TLRubricScrollView>()->initForMainPageWithUrl(std::nullopt, frame, "new");
  view()->addSubview(filmList_);
}

void TitleActorViewController::toolbarBackClick() {
  if (auto navigation = navigationController()) navigation->popViewControllerAnimated(true);
}

void TitleActorViewController::TLMainViewMenuClick() {
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLNavigationShowMenu");
}
