#include <exception>
#include <functional>
#include <utility>

#include "Classes/SocialNetwork/FaceBookSender.h"
#include "Classes/SocialNetwork/VkontakteWebView.h"
#include "Classes/TLExceptionLog.h"
#include "Classes/TLImageFetch.h"
#include "Classes/TLSettings.h"
#include "Classes/TitlePage/TitlePageViewController.h"
#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "UIKit/Button.h"
#include "UIKit/ComposeViewController.h"
#include "UIKit/Image.h"

// The share buttons under the header.

namespace {

// The tablet's actions log an exception and stop; the phone's have no guard.
void shareGuarded(bool guard, const std::function<void()>& block) {
  if (!guard) return block();
  TLLogExceptions(block);
}

}  // namespace

void TitlePageViewController::loadSocialView(const cg::Rect& frame) {
  auto me = self<TitlePageViewController>();
  socialView_ = std::make_shared<ui::View>()->initWithFrame(frame);
  socialView_->setBackgroundColor(ui::Color::clearColor());
  struct ShareButton {
    double x;
    const char* image;
    void (TitlePageViewController::*action)();
  };
  for (const ShareButton& b : {ShareButton{0, "facebook.png", &TitlePageViewController::fbBtnClick},
                               ShareButton{50, "twitter.png", &TitlePageViewController::twBtnClick},
                               ShareButton{100, "vkontakte.png", &TitlePageViewController::vkBtnClick}}) {
    auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
    button->setFrame({b.x, 0, 43, 43});
    button->setImage(ui::Image::imageNamed(b.image), ui::ControlStateNormal);
    button->addTarget(me, b.action, ui::ControlEventTouchUpInside);
    socialView_->addSubview(button);
  }
  if (filmView_) filmView_->addSubview(socialView_);
}

std::string TitlePageViewController::shareMessage(bool forVkontakte) const {
  return shareMessageForTitle(TLSettings::stringFromObject(titleParsedData_["title"]), forVkontakte);
}

std::string TitlePageViewController::shareMessageForTitle(const std::string& title, bool forVkontakte) {
  std::string message =
      ns::format("Смотрю  '%@' на мобильном http://%@/about/mobile", title, TLSettings::serviceHost());
  if (forVkontakte) message += " ";
  return message;
}

std::string TitlePageViewController::sharePosterPath() const {
  long long id = TLSettings::longFromObject(senderInfo_["id"]);
  return isItemIsEpisode() ? TLSettings::posterForEpisode(id) : TLSettings::posterForBaseVideo(id);
}

std::shared_ptr<VkontakteWebView> TitlePageViewController::openVkontakteSheet(ui::View& host, bool phone,
                                                                              std::string message,
                                                                              std::string filmURL,
                                                                              std::string poster) {
  auto sheet = std::make_shared<VkontakteWebView>()->initWithMessage(std::move(message), std::move(filmURL),
                                                                     std::move(poster));
  if (!sheet) return nullptr;
  if (phone) sheet->setInPlayer(false);
  host.addSubview(sheet);
  return sheet;
}

std::shared_ptr<FaceBookSender> TitlePageViewController::openFacebookSheet(ui::View& host, bool phone,
                                                                           std::string message,
                                                                           std::string filmURL,
                                                                           std::string poster) {
  auto sheet = std::make_shared<FaceBookSender>()->initWithMessage(std::move(message), std::move(filmURL),
                                                                   std::move(poster));
  if (!sheet) return nullptr;
  if (phone) sheet->setInPlayer(false);
  host.addSubview(sheet);
  sheet->loginToFacebook();
  return sheet;
}

void TitlePageViewController::vkBtnClick() {
  shareGuarded(!isPhone(), [&] {
    openVkontakteSheet(*view(), isPhone(), shareMessage(true), shareUrlThisPage_, sharePosterPath());
  });
}

void TitlePageViewController::fbBtnClick() {
  shareGuarded(!isPhone(), [&] {
    if (ui::ComposeViewController::isClassAvailable()) {
      auto composer =
          ui::ComposeViewController::composeViewControllerForServiceType(ui::kServiceTypeFacebook);
      presentComposer(composer);
      return;
    }
    openFacebookSheet(*view(), isPhone(), shareMessage(false), shareUrlThisPage_, sharePosterPath());
  });
}

void TitlePageViewController::twBtnClick() {
  shareGuarded(!isPhone(), [&] {
    // Without the system's composer the older tweet form is presented the same modal way.
    std::shared_ptr<ui::ComposeForm> composer;
    if (ui::ComposeViewController::isClassAvailable())
      composer = ui::ComposeViewController::composeViewControllerForServiceType(ui::kServiceTypeTwitter);
    else
      composer = std::make_shared<ui::TweetComposeViewController>()->init();
    presentComposer(composer);
  });
}

void TitlePageViewController::presentComposer(const std::shared_ptr<ui::ComposeForm>& composer) {
  if (!composer) return;
  composer->setInitialText(shareMessage(false));
  if (auto url = ns::URL::URLWithString(shareUrlThisPage_)) composer->addURL(*url);
  // The poster is read off the main thread at the form's picture's pixels, whatever size its file
  // has; the form comes once it has been.
  std::weak_ptr<TitlePageViewController> weak = self<TitlePageViewController>();
  TLImageFetch::readImageForMain(sharePosterPath(), ui::ComposeForm::imageBox(),
                                 [weak, composer](const std::shared_ptr<ui::Image>& poster) {
                                   auto page = weak.lock();
                                   if (!page) return;
                                   shareGuarded(!page->isPhone(), [&] {
                                     composer->addImage(poster);
                                     page->presentViewController(composer, true);
                                   });
                                 });
}
