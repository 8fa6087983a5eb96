// Draws the application's image resources as plain placeholders: each is distinct enough (by
// colour, shape and caps) that a screenshot or a test shows which picture a view uses.
// Usage: placeholder-resources <output folder>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "Graphics/Context.h"
#include "ToolUsage.h"

namespace {

using cg::Color;
using cg::Context;
using cg::Rect;

struct Resource {
  std::string file;  // name with extension; "@2x" files are drawn at scale 2
  cg::Size size;     // points
  std::function<void(Context&, cg::Size)> draw;
};

Color rgb(int r, int g, int b, double a = 1) { return Color::rgba(r / 255.0, g / 255.0, b / 255.0, a); }

// A colour of its own for each name.
Color hueFor(const std::string& name) {
  unsigned h = 2166136261u;
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  double hue = (h % 360) / 60.0;
  double x = 1 - std::fabs(std::fmod(hue, 2) - 1);
  double r = 0, g = 0, b = 0;
  switch (int(hue)) {
    case 0:
      r = 1, g = x;
      break;
    case 1:
      r = x, g = 1;
      break;
    case 2:
      g = 1, b = x;
      break;
    case 3:
      g = x, b = 1;
      break;
    case 4:
      r = x, b = 1;
      break;
    default:
      r = 1, b = x;
  }
  return Color::rgba(0.25 + 0.5 * r, 0.25 + 0.5 * g, 0.25 + 0.5 * b);
}

// A framed panel with a diagonal: reads as a stand-in picture.
auto panel(Color fill) {
  return [fill](Context& c, cg::Size s) {
    c.setFillColor(fill);
    c.fillRect({0, 0, s.width, s.height});
    c.setStrokeColor(Color::rgba(fill.red * 0.5, fill.green * 0.5, fill.blue * 0.5));
    c.setLineWidth(1);
    c.strokeRect({0.5, 0.5, s.width - 1, s.height - 1});
    c.beginPath();
    c.moveTo({0, s.height});
    c.addLineTo({s.width, 0});
    c.strokePath();
  };
}

auto flat(Color fill) {
  return [fill](Context& c, cg::Size s) {
    c.setFillColor(fill);
    c.fillRect({0, 0, s.width, s.height});
  };
}

// A two-tone tile that shows its repeats when used as a pattern.
auto checker(Color a, Color b) {
  return [a, b](Context& c, cg::Size s) {
    c.setFillColor(a);
    c.fillRect({0, 0, s.width, s.height});
    c.setFillColor(b);
    c.fillRect({0, 0, s.width / 2, s.height / 2});
    c.fillRect({s.width / 2, s.height / 2, s.width / 2, s.height / 2});
  };
}

auto star(Color fill) {
  return [fill](Context& c, cg::Size s) {
    double cx = s.width / 2, cy = s.height / 2 + s.height * 0.04;
    double outer = std::min(s.width, s.height) * 0.48, inner = outer * 0.45;
    c.beginPath();
    for (int i = 0; i < 10; ++i) {
      double r = i % 2 ? inner : outer;
      double a = -cg::kPi / 2 + i * cg::kPi / 5;
      cg::Point p{cx + r * std::cos(a), cy + r * std::sin(a)};
      if (i == 0)
        c.moveTo(p);
      else
        c.addLineTo(p);
    }
    c.closePath();
    c.setFillColor(fill);
    c.fillPath();
  };
}

// Left cap, one-point middle, right cap, each its own colour: which part is drawn where shows.
auto capped(Color left, Color middle, Color right, double cap) {
  return [=](Context& c, cg::Size s) {
    c.setFillColor(left);
    c.fillRect({0, 0, cap, s.height});
    c.setFillColor(middle);
    c.fillRect({cap, 0, s.width - 2 * cap, s.height});
    c.setFillColor(right);
    c.fillRect({s.width - cap, 0, cap, s.height});
  };
}

auto circleGlyph(Color ring, Color fill) {
  return [=](Context& c, cg::Size s) {
    double d = std::min(s.width, s.height) * 0.7;
    Rect r{(s.width - d) / 2, (s.height - d) / 2, d, d};
    c.setFillColor(fill);
    c.fillEllipseInRect(r);
    c.setStrokeColor(ring);
    c.setLineWidth(3);
    c.strokeEllipseInRect(r.insetBy(2, 2));
  };
}

// A rounded badge: the menu icons.
auto badge(Color fill, bool selected) {
  return [=](Context& c, cg::Size s) {
    c.setFillColor(fill);
    c.fillPath(cg::Path::roundedRect({3, 3, s.width - 6, s.height - 6}, 6));
    if (selected) {
      c.setStrokeColor(Color::white(1));
      c.setLineWidth(2);
      c.strokePath(cg::Path::roundedRect({3, 3, s.width - 6, s.height - 6}, 6));
    }
  };
}

// The player's white glyphs on a clear ground, one shape per kind, so that play and pause, fit and
// fill, back and forward read apart in a screenshot.
enum class Glyph { play, pause, fullscreen, back30, previous, next, social, fit, fill };

auto playerGlyph(Glyph kind, Color tint = Color::white(1)) {
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
auto pill(Color fill, bool open = false) {
  return [=](Context& c, cg::Size s) {
    c.setFillColor(fill);
    double r = s.height / 2;
    c.fillPath(cg::Path::roundedRect({0, 0, s.width, s.height}, r));
    if (open) c.fillRect({s.width / 2, 0, s.width / 2, s.height});
  };
}

std::vector<Resource> resources() {
  std::vector<Resource> out;
  auto add = [&](std::string file, cg::Size size, std::function<void(Context&, cg::Size)> draw) {
    out.push_back({std::move(file), size, std::move(draw)});
  };
  auto generic = [&](std::string file, cg::Size size) {
    Color c = hueFor(file);
    add(std::move(file), size, panel(c));
  };
  Color blue = rgb(30, 120, 240), gray = rgb(150, 150, 150);

  // Rating stars, at both scales.
  for (const char* suffix : {"", "@2x"}) {
    std::string s = suffix;
    add("starIphone_blue" + s + ".png", {20, 20}, star(blue));
    add("starIphone_gray" + s + ".png", {20, 20}, star(gray));
    add("starIphoneBig_blue" + s + ".png", {24, 24}, star(blue));
    add("starIphoneBig_gray" + s + ".png", {24, 24}, star(gray));
  }

  // Segment backgrounds: 10-point caps around a one-point middle, each part its own colour.
  add("segment_button.png", {21, 38}, capped(rgb(200, 60, 60), rgb(70, 70, 70), rgb(60, 60, 200), 10));
  add("segment_button_pressed.png", {21, 38},
      capped(rgb(255, 150, 150), rgb(30, 144, 255), rgb(150, 150, 255), 10));
  add("black_divider.png", {2, 38}, flat(Color::black()));

  // Reload button.
  add("reloadBt.png", {44, 44}, circleGlyph(Color::white(1), rgb(40, 90, 160)));
  add("reloadBt@2x.png", {44, 44}, circleGlyph(Color::white(1), rgb(40, 90, 160)));
  add("reloadBtBg.png", {44, 44}, circleGlyph(rgb(90, 90, 90), rgb(30, 30, 30)));

  // Menu icons: only some category ids have them, so the fallbacks are used for the others
  // (id 4 has none, id 6 only a selected one).
  for (int id : {1, 2, 3, 5})
    add("menuItem" + std::to_string(id) + ".png", {32, 32}, badge(hueFor("id" + std::to_string(id)), false));
  for (int id : {1, 2, 3, 6})
    add("menuItemSel" + std::to_string(id) + ".png", {32, 32},
        badge(hueFor("id" + std::to_string(id)), true));
  add("menuItemNoImage.png", {32, 32}, badge(gray, false));
  add("menuItemMain.png", {32, 32}, badge(rgb(230, 160, 30), false));
  add("menuItemMainSel.png", {32, 32}, badge(rgb(230, 160, 30), true));
  add("menuItemCollection.png", {32, 32}, badge(rgb(120, 60, 180), false));
  add("menuItemSelCollection.png", {32, 32}, badge(rgb(120, 60, 180), true));

  // Patterns and bars.
  add("selectedCellBg.png", {8, 8}, checker(rgb(40, 40, 40), rgb(55, 55, 55)));
  add("checked_menu_item.png", {8, 8}, checker(rgb(40, 40, 40), rgb(55, 55, 55)));
  add("unchecked_menu_item.png", {8, 8}, checker(rgb(25, 25, 25), rgb(32, 32, 32)));
  add("bg.png", {16, 16}, checker(rgb(34, 34, 38), rgb(40, 40, 46)));
  add("toolbarBg.png", {16, 44}, flat(rgb(28, 28, 30)));
  add("toolbar.png", {7, 44}, capped(rgb(50, 50, 50), rgb(28, 28, 30), rgb(50, 50, 50), 3));
  add("rubricBTN.png", {15, 37}, capped(rgb(210, 210, 220), rgb(235, 235, 240), rgb(210, 210, 220), 7));
  add("TLHorizScroll_bg.png", {64, 4}, flat(rgb(60, 60, 60)));
  add("background.png", {64, 64}, checker(rgb(18, 18, 20), rgb(22, 22, 26)));

  // The video player: its bars, buttons and slider parts.
  const std::string movie = "AKMovieImages.bundle/";
  add(movie + "smallBarBg.png", {16, 38}, flat(rgb(20, 20, 22, 0.85)));
  add(movie + "toolbarBg.png", {16, 44}, flat(rgb(24, 24, 28, 0.9)));
  add(movie + "controllPanel.png", {16, 16}, checker(rgb(28, 28, 32, 0.9), rgb(36, 36, 42, 0.9)));
  add(movie + "controllPanel_iPhone.png", {16, 16}, checker(rgb(30, 30, 30, 0.9), rgb(44, 44, 44, 0.9)));
  add(movie + "startPlay.png", {66, 66}, [](Context& c, cg::Size s) {
    Rect r{2, 2, s.width - 4, s.height - 4};
    c.setFillColor(rgb(20, 20, 22, 0.7));
    c.fillEllipseInRect(r);
    c.setStrokeColor(Color::white(0.9));
    c.setLineWidth(3);
    c.strokeEllipseInRect(r.insetBy(2, 2));
    c.setFillColor(Color::white(0.9));
    c.beginPath();
    c.moveTo({s.width * 0.4, s.height * 0.28});
    c.addLineTo({s.width * 0.74, s.height * 0.5});
    c.addLineTo({s.width * 0.4, s.height * 0.72});
    c.closePath();
    c.fillPath();
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
  add(movie + "sliderThumb.png", {20, 20}, circleGlyph(rgb(150, 150, 150), Color::white(1)));
  // The player's share panel.
  add("movie_socialBg3.png", {16, 16}, checker(rgb(30, 34, 46, 0.92), rgb(38, 42, 56, 0.92)));
  add("movie_socialBg3P.png", {16, 16}, checker(rgb(46, 30, 34, 0.92), rgb(56, 38, 42, 0.92)));
  add("movie_socialBgIphone.png", {16, 16}, checker(rgb(30, 46, 34, 0.92), rgb(38, 56, 42, 0.92)));
  generic("movie_VkIcon.png", {30, 30});

  // Everything else the pages name: framed panels of their own colour.
  generic("menuBt.png", {55, 44});
  generic("menuBt2.png", {140, 44});
  generic("bigMenuBtn.png", {60, 44});
  generic("menuBtIphone.png", {39, 30});
  generic("search_bar_background.png", {198, 30});
  generic("search_bar_long.png", {250, 30});
  generic("logoTL.png", {120, 30});
  generic("TLCinemaEmpty.png", {220, 120});
  generic("TLCinemaEmpty_BIG.png", {450, 338});
  generic("TLCinemaEmpty_.png", {180, 100});
  generic("panelBG.png", {768, 140});
  generic("panelBG_iphone.png", {320, 80});
  generic("playClickButton222.png", {80, 80});
  generic("showBtn.png", {44, 44});
  generic("paramsBtn.png", {44, 44});
  generic("sliderMask.png", {768, 317});
  generic("switchBG.png", {272, 34});
  generic("tbBack.png", {60, 44});
  generic("tmBackIphone.png", {50, 30});
  generic("closeFB_.png", {30, 30});
  generic("fbLogo.png", {30, 30});
  generic("vkLogo.png", {30, 30});
  generic("twitter.png", {44, 44});
  generic("facebook.png", {44, 44});
  generic("vkontakte.png", {44, 44});
  generic("socBtnBg.png", {44, 44});
  generic("movie_FbIcon.png", {30, 30});
  generic("movie_TwIcon.png", {30, 30});
  generic("cellBackground.png", {320, 44});
  generic("cellBackgroundFirst.png", {320, 44});
  generic("cellCheckedBackground.png", {320, 44});
  generic("toolbar_button.png", {72, 31});
  add("customBTN_normal.png", {13, 38}, capped(rgb(40, 40, 44), rgb(30, 30, 34), rgb(40, 40, 44), 6));
  add("customBTN_clicked.png", {13, 38}, capped(rgb(90, 90, 100), rgb(70, 70, 80), rgb(90, 90, 100), 6));
  // The category choosers' popover: a dark body that stretches between its caps, and its arrows.
  add("popover-black-bcg-image.png", {100, 110}, [](Context& c, cg::Size s) {
    c.setFillColor(rgb(20, 20, 22, 0.96));
    c.beginPath();
    c.addRoundedRect({17, 17, s.width - 34, s.height - 34}, 8);
    c.fillPath();
    c.setStrokeColor(rgb(90, 90, 96));
    c.setLineWidth(1.5);
    c.beginPath();
    c.addRoundedRect({17.5, 17.5, s.width - 35, s.height - 35}, 8);
    c.strokePath();
  });
  auto arrow = [](cg::Point a, cg::Point b, cg::Point tip) {
    return [=](Context& c, cg::Size) {
      c.setFillColor(rgb(20, 20, 22, 0.96));
      c.beginPath();
      c.moveTo(a);
      c.addLineTo(b);
      c.addLineTo(tip);
      c.closePath();
      c.fillPath();
    };
  };
  add("popover-black-top-arrow-image.png", {35, 19}, arrow({0, 19}, {35, 19}, {17.5, 0}));
  add("popover-black-bottom-arrow-image.png", {35, 19}, arrow({0, 0}, {35, 0}, {17.5, 19}));
  add("popover-black-left-arrow-image.png", {19, 35}, arrow({19, 0}, {19, 35}, {0, 17.5}));
  add("popover-black-right-arrow-image.png", {19, 35}, arrow({0, 0}, {0, 35}, {19, 17.5}));
  for (const char* name :
       {"ixPickerOverlayLeftPane", "ixPickerOverlayRightPane",
        "ixPickerOverlaySectionWheel", "ixPickerOverlaySectionsSeparator", "ixPickerOverlayTexture"})
    generic(std::string(name) + ".png", {40, 216});
  add("ixPickerOverlayGlass.png", {20, 40}, flat(rgb(255, 255, 255, 0.25)));
  // The Facebook client's bundles.
  generic("FBConnect.bundle/images/LoginNormal.png", {100, 28});
  generic("FBConnect.bundle/images/LoginPressed.png", {100, 28});
  generic("FBConnect.bundle/images/LogoutNormal.png", {100, 28});
  generic("FBConnect.bundle/images/LogoutPressed.png", {100, 28});
  generic("FBDialog.bundle/images/fbicon.png", {16, 16});
  generic("FBDialog.bundle/images/close.png", {29, 29});
  // Photographs: JPEG.
  generic("actorEmpty.jpg", {76, 101});
  generic("photo1.jpeg", {1000, 424});
  return out;
}

bool write(const std::filesystem::path& path, const ns::Data& data) {
  if (data.length() == 0) return false;
  std::filesystem::path tmp = path;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.bytes()), std::streamsize(data.length()));
    if (!out) return false;
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  return !ec;
}

}  // namespace

int main(int argc, char** argv) {
  if (auto exitCode = toolusage::checkArguments(argc, argv, "<output folder>")) return *exitCode;
  if (argc != 2) {
    std::fputs(toolusage::usageLine(argv[0], "<output folder>").c_str(), stderr);
    return 2;
  }
  std::filesystem::path dir(argv[1]);
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  int failures = 0;
  for (const Resource& r : resources()) {
    std::filesystem::create_directories((dir / r.file).parent_path(), ec);
    double scale = r.file.find("@2x") != std::string::npos ? 2 : 1;
    auto ctx = Context::makeBitmap(r.size, false, scale);
    if (!ctx) {
      ++failures;
      continue;
    }
    r.draw(*ctx, r.size);
    cg::ImagePtr image = ctx->makeImage();
    bool jpeg = r.file.ends_with(".jpg") || r.file.ends_with(".jpeg");
    if (!image || !write(dir / r.file, jpeg ? image->jpegData(0.9) : image->pngData())) {
      std::fprintf(stderr, "placeholder-resources: cannot write %s\n", r.file.c_str());
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
