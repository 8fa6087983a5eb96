#include "Classes/TitlePage/TLRolesItemBase.h"

#include <algorithm>
#include <cmath>

#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Dispatch/Dispatch.h"
#include "Foundation/FileManager.h"
#include "Foundation/Format.h"
#include "Foundation/NotificationCenter.h"
#include "Foundation/String.h"
#include "Foundation/Thread.h"
#include "Graphics/Context.h"
#include "UIKit/Font.h"

namespace {

using Tile = TLRolesItemBase;

// Puts the image on the tile on the main thread, waiting or later; a tile gone by then is skipped.
void showOnMain(const std::weak_ptr<Tile>& weak, std::shared_ptr<ui::Image> image, bool waiting,
                void (Tile::*apply)(const std::shared_ptr<ui::Image>&)) {
  auto block = [weak, image = std::move(image), apply] {
    if (auto tile = weak.lock()) (tile.get()->*apply)(image);
  };
  if (waiting)
    ns::performOnMainThread(block, true);
  else
    dispatch::async(dispatch::mainQueue(), block);
}

// The height of a label of `lines` lines in the font, at least `atLeast`.
double linesHeight(const ui::Font& font, int lines, double atLeast) {
  return std::max(atLeast, std::ceil(lines * font.lineHeight() - 1e-6));
}

}  // namespace

void TLRolesItemBase::setUpWithFrame(const cg::Rect& frame) {
  initWithFrame({frame.origin, kSize});
  loadPriority_.store(1);
  setBackgroundColor(ui::Color::clearColor());
  imageBt_ = ui::Button::buttonWithType(ui::ButtonType::custom);
  imageBt_->setFrame({{0, 0}, kButtonSize});
  imageBt_->addTarget(self<TLRolesItemBase>(), &TLRolesItemBase::selectVideo, ui::ControlEventTouchUpInside);
  imageBt_->setImage(buttonImage(ui::Image::imageNamed("actorEmpty.jpg")), ui::ControlStateNormal);
  addSubview(imageBt_);
}

std::shared_ptr<ui::Image> TLRolesItemBase::buttonImage(const std::shared_ptr<ui::Image>& photo) {
  auto context = cg::Context::makeBitmap(kButtonSize, false, 1.0);
  if (!context) return nullptr;
  // The band and the photograph lie in one container whose layer casts a black shadow of opacity
  // 0.9, offset 0 and the layer's usual radius of 3 points. A layer's shadow takes the shape of what
  // it holds, so under the translucent band it darkens the band behind the name.
  context->setShadow({0, 0}, kShadowRadius, cg::Color::rgba(0, 0, 0, kShadowOpacity));
  context->beginTransparencyLayer();
  context->setFillColor(cg::Color::rgba(0, 0, 0, 0.4));
  context->fillRect({{0, 0}, kButtonSize});
  if (photo) {
    cg::Rect slot{0, 0, 100, 120};
    context->saveGState();
    context->clipToRect(slot);
    context->drawImage(*photo->CGImage(),
                       ui::contentModeRect(ui::ViewContentMode::scaleAspectFill, photo->size(), slot));
    context->restoreGState();
  }
  context->endTransparencyLayer();
  return ui::Image::imageWithCGImage(context->makeImage(), 1.0);
}

void TLRolesItemBase::setTitle(const std::string& name) {
  nameActor_ = name;
  if (!nameActorLabel_) {
    auto font = ui::Font::fontWithName(kFontName, 16);
    // Tall enough for its two lines (first name, then the rest) in the face that draws it.
    nameActorLabel_ = std::make_shared<ui::Label>()->initWithFrame({105, 5, 113, linesHeight(*font, 2, 35)});
    nameActorLabel_->setBackgroundColor(ui::Color::clearColor());
    nameActorLabel_->setTextColor(ui::Color::whiteColor());
    nameActorLabel_->setFont(font);
    nameActorLabel_->setNumberOfLines(2);
    addSubview(nameActorLabel_);
  }
  std::string text = nameText(name);
  if (nameOnMainThread(loadPriority_.load()))
    ns::performOnMainThread([&] { applyTitleLabelText(text); }, true);
  else
    applyTitleLabelText(text);
}

void TLRolesItemBase::applyTitleLabelText(const std::string& text) { nameActorLabel_->setText(text); }

void TLRolesItemBase::applyImageForButton(const std::shared_ptr<ui::Image>& image) {
  imageBt_->setImage(image, ui::ControlStateNormal);
}

void TLRolesItemBase::setDescr(const std::string& text) {
  auto font = ui::Font::fontWithName(kFontName, 14);
  descrLabel_ = std::make_shared<ui::Label>()->initWithFrame({105, 55, 113, linesHeight(*font, 3, 45)});
  descrLabel_->setBackgroundColor(ui::Color::clearColor());
  descrLabel_->setTextColor(ui::Color::whiteColor());
  descrLabel_->setFont(font);
  descrLabel_->setNumberOfLines(3);
  addSubview(descrLabel_);
  descrLabel_->setText(text);
}

std::optional<std::string> TLRolesItemBase::photoPath() const {
  // An id such as "../5" would write over another cache's file, and "" would be shared by all.
  if (!id_actor_ || !TLImageFetch::isDecimalId(*id_actor_)) return std::nullopt;
  return ns::stringByAppendingPathComponent(TLSettings::rolesPath(), ns::format("%@.png", *id_actor_));
}

void TLRolesItemBase::setImage(const std::string& url) {
  if (url.empty()) return;
  imageURL_ = url;
  auto path = photoPath();
  if (!path || !TLImageFetch::fileExists(*path)) return loadImageWithUrl(url, path);

  // The file already holds the composed picture, at the button's pixels unless an older or
  // foreign file says otherwise: it is read at them, and never on the main thread.
  const cg::PixelBox box{int(kButtonSize.width), int(kButtonSize.height)};
  CachedPhotoRule rule = cachedPhotoRule(loadPriority_.load());
  std::weak_ptr<Tile> weak = self<Tile>();
  if (rule.readInBackground || ns::Thread::isMainThread()) {
    dispatch::async(dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_BACKGROUND), [weak, file = *path, box] {
      showOnMain(weak, ui::Image::imageWithContentsOfFile(file, box), false, &Tile::applyImageForButton);
    });
    return;
  }
  auto image = ui::Image::imageWithContentsOfFile(*path, box);
  if (rule.showWaiting)
    showOnMain(weak, image, true, &Tile::applyImageForButton);
  else
    applyImageForButton(image);
}

void TLRolesItemBase::loadImageWithUrl(const std::string& url, const std::optional<std::string>& path) {
  FetchedPhotoRule rule = fetchedPhotoRule(loadPriority_.load());
  std::weak_ptr<Tile> weak = self<Tile>();
  auto completion = [weak, path, rule](const ns::Data& body) {
    // Drawn into a 100 x 120 slot of a scale-1 bitmap: no more pixels are needed.
    auto photo = ui::Image::imageWithData(body, 1, cg::PixelBox{100, 120});
    // A failed or broken download keeps the placeholder and writes nothing.
    if (!photo) return;
    auto composeShowWrite = [weak, path, rule, photo] {
      auto image = buttonImage(photo);
      if (rule.onMainQueue) {
        if (auto tile = weak.lock()) tile->applyImageForButton(image);
      } else {
        showOnMain(weak, image, rule.showWaiting, &Tile::applyImageForButton);
      }
      if (path) TLImageFetch::savePNG(*path, image);
    };
    if (rule.onMainQueue)
      dispatch::async(dispatch::mainQueue(), composeShowWrite);
    else
      composeShowWrite();
  };
  TLImageFetch::get(url, completion, dispatch::getGlobalQueue(dispatch::QUEUE_PRIORITY_DEFAULT));
}

void TLRolesItemBase::selectVideo() {
  ns::Dictionary person;
  if (id_actor_) {
    person.set("id", *id_actor_);
    if (nameActor_) person.set("title", *nameActor_);
  }
  ns::NotificationCenter::defaultCenter()->postNotificationName("TLShowActorPage",
                                                                ns::Value(std::move(person)));
}
