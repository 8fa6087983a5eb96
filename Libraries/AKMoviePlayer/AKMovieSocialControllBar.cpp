#include "AKMoviePlayer/AKMovieSocialControllBar.h"

#include <array>

#include "UIKit/Device.h"

namespace {

constexpr double kFadeDuration = 0.3;

struct Layout {
  const char* background;
  std::array<cg::Rect, 3> buttons;  // Facebook, Twitter, VKontakte
};

const Layout kPadRow{"movie_socialBg3", {{{30, 28, 30, 30}, {85, 28, 30, 30}, {140, 28, 30, 30}}}};
const Layout kPadColumn{"movie_socialBg3P", {{{48, 30, 30, 30}, {48, 85, 30, 30}, {48, 140, 30, 30}}}};
const Layout kPhoneRow{"movie_socialBgIphone", {{{70, 28, 30, 30}, {145, 28, 30, 30}, {215, 28, 30, 30}}}};

}  // namespace

std::shared_ptr<AKMovieSocialControllBar> AKMovieSocialControllBar::initWithFrame(const cg::Rect& frame,
                                                                                  bool landscapeOrientation) {
  ui::View::initWithFrame(frame);
  setAutoresizingMask(ui::ViewAutoresizingFlexibleLeftMargin | ui::ViewAutoresizingFlexibleRightMargin |
                      ui::ViewAutoresizingFlexibleTopMargin);
  auto me = self<AKMovieSocialControllBar>();
  std::array<std::shared_ptr<ui::Button>, 3> buttons;
  const std::pair<const char*, void (AKMovieSocialControllBar::*)()> kinds[] = {
      {"movie_FbIcon", &AKMovieSocialControllBar::facebook},
      {"movie_TwIcon", &AKMovieSocialControllBar::twitter},
      {"movie_VkIcon", &AKMovieSocialControllBar::vkontact}};
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    buttons[i] = akmovie::imageButton({}, kinds[i].first);
    buttons[i]->addTarget(me, kinds[i].second, ui::ControlEventTouchUpInside);
    addSubview(buttons[i]);
  }
  const Layout& layout = !ui::isPad() ? kPhoneRow : landscapeOrientation ? kPadRow : kPadColumn;
  if (auto pattern = ui::Image::imageNamed(layout.background))
    setBackgroundColor(ui::Color::colorWithPatternImage(pattern));
  for (std::size_t i = 0; i < buttons.size(); ++i) buttons[i]->setFrame(layout.buttons[i]);
  return me;
}

void AKMovieSocialControllBar::hide() {
  std::weak_ptr<ui::View> weak = self<ui::View>();
  fader_.fadeOut(self<View>(), kFadeDuration, [weak] {
    if (auto v = weak.lock()) v->removeFromSuperview();
  });
}

void AKMovieSocialControllBar::facebook() {
  if (auto d = delegate()) d->AKMovieSocialControllBarFb(*this);
}

void AKMovieSocialControllBar::twitter() {
  if (auto d = delegate()) d->AKMovieSocialControllBarTw(*this);
}

void AKMovieSocialControllBar::vkontact() {
  if (auto d = delegate()) d->AKMovieSocialControllBarVk(*this);
}
