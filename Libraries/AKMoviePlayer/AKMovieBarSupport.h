#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Media/Time.h"
#include "UIKit/Button.h"
#include "UIKit/Image.h"
#include "UIKit/View.h"

// What the player's bars share: time texts, the buffered fraction, images, buttons and fades.
namespace akmovie {

// A player time as the bars show it, "%d:%02d" with no hours field (minutes run past 59). A time
// that is negative, not finite, or too large for the text reads 0:00.
std::string timeStringForSeconds(double seconds);

// The buffered fraction: whole loaded seconds over the duration (above 1 when more than the
// duration is loaded: the buffer bar pins it); 0 unless the duration is a finite number above 0
// and a whole second is loaded.
float bufferedFraction(double loadedSeconds, av::Time duration);

// A resource image made resizable with caps of 5 points left and right; none when missing.
std::shared_ptr<ui::Image> capped(const std::string& name);

// A custom button at a frame showing the named image centred, acting on touch-up-inside.
std::shared_ptr<ui::Button> imageButton(const cg::Rect& frame, const std::string& imageName);

// Fades one view in or out. A fade-out hides the view, or runs `done` when given, once its
// animation stops, unless a later fade of the same fader began in the meantime: a bar shown again
// right after it was told to hide stays on screen.
class Fader {
 public:
  void fadeIn(ui::View& view, double duration);
  void fadeOut(const std::shared_ptr<ui::View>& view, double duration, std::function<void()> done = nullptr);

 private:
  std::shared_ptr<unsigned> generation_ = std::make_shared<unsigned>(0);
};

}  // namespace akmovie
