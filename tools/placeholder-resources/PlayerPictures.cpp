// The player's pictures: its bars, buttons and slider parts, and its share panel.
#include <cmath>
#include <utility>

#include "Pictures.h"

namespace placeholders {

namespace {

using cg::Color;
using cg::Context;
using cg::Rect;

// White glyphs on a clear ground, one shape per kind, so that play and pause, fit and fill, back
// and forward read apart.
enum class Glyph { play, pause, fullscreen, back30, previous, next, social, fit, fill };

Draw playerGlyph(Glyph kind, Color tint = Color::white(1)) {
  return [=](Context& c, cg::Size s) {
    double w = s.width, h = s.height, m = std::min(w, h);
    double cx = w / 2, cy = h / 2;
    c.setFillColor(tint);
    c.setStrokeColor(tint);
    c.setLineWidth(2);
    auto triangle = [&](double x0, double x1, double half) {
      c.beginPath();
      c.moveTo({x0, cy - half});
      c.addLineTo({x1, cy});
      c.addLineTo({x0, cy + half});
      c.closePath();
      c.fillPath();
    };
    switch (kind) {
      case Glyph::play:
        triangle(cx - m * 0.3, cx + m * 0.35, m * 0.35);
        break;
      case Glyph::pause:
        c.fillRect({cx - m * 0.3, cy - m * 0.35, m * 0.2, m * 0.7});
        c.fillRect({cx + m * 0.1, cy - m * 0.35, m * 0.2, m * 0.7});
        break;
      case Glyph::fullscreen:
        for (int sx : {-1, 1})
          for (int sy : {-1, 1}) {
            cg::Point corner{cx + sx * m * 0.35, cy + sy * m * 0.35};
            c.beginPath();
            c.moveTo({corner.x - sx * m * 0.25, corner.y});
            c.addLineTo(corner);
            c.addLineTo({corner.x, corner.y - sy * m * 0.25});
            c.strokePath();
          }
        break;
      case Glyph::back30:
        c.strokeEllipseInRect({cx - m * 0.35, cy - m * 0.35, m * 0.7, m * 0.7});
        triangle(cx + m * 0.1, cx - m * 0.3, m * 0.2);
        break;
      case Glyph::previous:
        c.fillRect({cx - m * 0.35, cy - m * 0.3, m * 0.1, m * 0.6});
        triangle(cx + m * 0.35, cx - m * 0.25, m * 0.3);
        break;
      case Glyph::next:
        c.fillRect({cx + m * 0.25, cy - m * 0.3, m * 0.1, m * 0.6});
        triangle(cx - m * 0.35, cx + m * 0.25, m * 0.3);
        break;
      case Glyph::social:
        // The share glyph: three nodes joined by two lines.
        for (auto [x, y] : {std::pair{0.3, 0.0}, std::pair{-0.3, -0.25}, std::pair{-0.3, 0.25}})
          c.fillEllipseInRect({cx + x * m - m * 0.12, cy + y * m - m * 0.12, m * 0.24, m * 0.24});
        c.beginPath();
        c.moveTo({cx - m * 0.3, cy - m * 0.25});
        c.addLineTo({cx + m * 0.3, cy});
        c.addLineTo({cx - m * 0.3, cy + m * 0.25});
        c.strokePath();
        break;
      case Glyph::fit:
      case Glyph::fill:
        c.setFillColor(Color::white(0.25, 0.9));
        c.fillPath(cg::Path::roundedRect({1, 1, w - 2, h - 2}, 4));
        c.setFillColor(tint);
        c.strokeRect({w * 0.2, h * 0.2, w * 0.6, h * 0.6});
        if (kind == Glyph::fill)
          c.fillRect({w * 0.2, h * 0.2, w * 0.6, h * 0.6});
        else
          c.fillRect({w * 0.3, h * 0.35, w * 0.4, h * 0.3});
        break;
    }
  };
}

// A bar with rounded ends, for slider tracks: `open` leaves the right end square.
Draw pill(Color fill, bool open = false) {
  return [=](Context& c, cg::Size s) {
    c.setFillColor(fill);
    double r = s.height / 2;
    c.fillPath(cg::Path::roundedRect({0, 0, s.width, s.height}, r));
    if (open) c.fillRect({s.width / 2, 0, s.width / 2, s.height});
  };
}

Draw flat(Color fill) {
  return [fill](Context& c, cg::Size s) {
    c.setFillColor(fill);
    c.fillRect({0, 0, s.width, s.height});
  };
}

// The bars over the picture: a translucent dark band, lighter along its top edge.
Draw bar(double alpha) {
  return [alpha](Context& c, cg::Size s) {
    c.drawLinearGradient(cg::Gradient{{rgb(44, 46, 52, alpha), rgb(22, 23, 27, alpha)}, {}}, {0, 0},
                         {0, s.height});
    hairline(c, 0, s.width, 0, rgb(72, 74, 82, alpha));
  };
}

}  // namespace

void addPlayerPictures(const std::function<void(std::string, cg::Size, Draw)>& add) {
  const std::string movie = "AKMovieImages.bundle/";
  add(movie + "smallBarBg.png", {16, 38}, bar(0.85));
  add(movie + "toolbarBg.png", {16, 44}, bar(0.9));
  add(movie + "controllPanel.png", {16, 16}, flat(rgb(26, 27, 31, 0.9)));
  add(movie + "controllPanel_iPhone.png", {16, 16}, flat(rgb(26, 27, 31, 0.9)));
  add(movie + "startPlay.png", {66, 66}, [](Context& c, cg::Size s) {
    Rect r{2, 2, s.width - 4, s.height - 4};
    c.setFillColor(rgb(20, 20, 22, 0.7));
    c.fillEllipseInRect(r);
    c.setStrokeColor(Color::white(0.9));
    c.setLineWidth(3);
    c.strokeEllipseInRect(r.insetBy(2, 2));
    triangle(c, {s.width * 0.4, s.height * 0.28, s.width * 0.34, s.height * 0.44}, Color::white(0.9));
  });
  add(movie + "smallPlay.png", {20, 20}, playerGlyph(Glyph::play));
  add(movie + "smallPause.png", {20, 20}, playerGlyph(Glyph::pause));
  add(movie + "smallFullscreen.png", {20, 20}, playerGlyph(Glyph::fullscreen));
  add(movie + "play.png", {30, 28}, playerGlyph(Glyph::play));
  add(movie + "pause.png", {30, 28}, playerGlyph(Glyph::pause));
  add(movie + "back30.png", {30, 30}, playerGlyph(Glyph::back30));
  add(movie + "previous.png", {30, 28}, playerGlyph(Glyph::previous));
  add(movie + "next.png", {30, 28}, playerGlyph(Glyph::next));
  add(movie + "social.png", {30, 28}, playerGlyph(Glyph::social));
  add(movie + "videoGravityResizeAspect.png", {43, 30}, playerGlyph(Glyph::fit));
  add(movie + "videoGravityResizeAspectFill.png", {43, 30}, playerGlyph(Glyph::fill));
  add(movie + "videoGravityResizeAspect_iPhone.png", {43, 30}, playerGlyph(Glyph::fit, rgb(200, 220, 255)));
  add(movie + "videoGravityResizeAspectFill_iPhone.png", {43, 30},
      playerGlyph(Glyph::fill, rgb(200, 220, 255)));
  // Slider parts: 5-point caps around a one-point middle.
  add(movie + "sliderMaxTrack.png", {11, 4}, pill(rgb(70, 70, 74)));
  add(movie + "sliderMinTrack.png", {11, 9}, pill(rgb(30, 144, 255)));
  add(movie + "sliderBufferTrack.png", {11, 11}, pill(rgb(55, 55, 60)));
  add(movie + "sliderBufferProgress.png", {11, 11}, pill(rgb(185, 185, 190)));
  add(movie + "sliderBufferProgressF.png", {11, 11}, pill(rgb(120, 160, 120), true));
  add(movie + "sliderThumb.png", {20, 20}, [](Context& c, cg::Size s) {
    double d = std::min(s.width, s.height) * 0.7;
    Rect r{(s.width - d) / 2, (s.height - d) / 2, d, d};
    c.setFillColor(Color::white(1));
    c.fillEllipseInRect(r);
    c.setStrokeColor(rgb(150, 150, 150));
    c.setLineWidth(3);
    c.strokeEllipseInRect(r.insetBy(2, 2));
  });

  // The share panel: its ground in each layout and one button per network.
  add("movie_socialBg3.png", {16, 16}, flat(rgb(26, 27, 31, 0.92)));
  add("movie_socialBg3P.png", {16, 16}, flat(rgb(26, 27, 31, 0.92)));
  add("movie_socialBgIphone.png", {16, 16}, flat(rgb(26, 27, 31, 0.92)));
  add("movie_FbIcon.png", {30, 30}, networkButton(kFacebook, "f", 0, 6));
  add("movie_TwIcon.png", {30, 30}, networkButton(kTwitter, "t", 0, 6));
  add("movie_VkIcon.png", {30, 30}, networkButton(kVKontakte, "VK", 0, 6));
}

}  // namespace placeholders
