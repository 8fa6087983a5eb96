#include "AKMoviePlayer/AKMovieBarSupport.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Foundation/Format.h"

namespace akmovie {

std::string timeStringForSeconds(double seconds) {
  // Whole minutes that fit the "%d" field; anything beyond, like infinity or not-a-number, has
  // no whole-number conversion.
  constexpr double kMaxMinutes = std::numeric_limits<int>::max();
  if (!(seconds >= 0) || !std::isfinite(seconds) || seconds / 60 >= kMaxMinutes + 1) return "0:00";
  double minutes = std::floor(seconds / 60);
  int rest = std::clamp(int(seconds - minutes * 60), 0, 59);
  return ns::format("%d:%02d", int(minutes), rest);
}

float bufferedFraction(double loadedSeconds, av::Time duration) {
  double total = av::TimeGetSeconds(duration);
  if (!std::isfinite(total) || total <= 0 || !std::isfinite(loadedSeconds) || loadedSeconds < 1) return 0;
  return float(std::trunc(loadedSeconds) / total);
}

std::shared_ptr<ui::Image> capped(const std::string& name) {
  auto image = ui::Image::imageNamed(name);
  return image ? image->resizableImageWithCapInsets({0, 5, 0, 5}) : nullptr;
}

std::shared_ptr<ui::Button> imageButton(const cg::Rect& frame, const std::string& imageName) {
  auto button = ui::Button::buttonWithType(ui::ButtonType::custom);
  button->setFrame(frame);
  button->setImage(ui::Image::imageNamed(imageName), ui::ControlStateNormal);
  button->imageView()->setContentMode(ui::ViewContentMode::center);
  return button;
}

void Fader::fadeIn(ui::View& view, double duration) {
  ++*generation_;
  view.setHidden(false);
  view.setAlpha(0);
  ui::View::animateWithDuration(duration, [&] { view.setAlpha(1); });
}

void Fader::fadeOut(const std::shared_ptr<ui::View>& view, double duration, std::function<void()> done) {
  if (!view) return;
  unsigned generation = ++*generation_;
  std::weak_ptr<ui::View> weakView = view;
  std::weak_ptr<unsigned> current = generation_;
  ui::View::animateWithDuration(
      duration, [&] { view->setAlpha(0); },
      [weakView, current, generation, done = std::move(done)](bool) {
        auto v = weakView.lock();
        auto latest = current.lock();
        if (!v || !latest || *latest != generation) return;
        if (done)
          done();
        else
          v->setHidden(true);
      });
}

}  // namespace akmovie
