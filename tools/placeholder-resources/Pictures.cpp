// The application's pictures, drawn as what they stand for: glyphs for the buttons, the networks'
// letters on their colours, and grounds in the design's calm dark tones, dark enough that every
// text colour the pages draw over them keeps a contrast of at least 4.5:1.
#include "Pictures.h"

#include <cmath>
#include <utility>

namespace placeholders {

using cg::Color;
using cg::Context;
using cg::Rect;

const Color kVKontakte = rgb(76, 117, 163);
const Color kFacebook = rgb(59, 89, 152);
const Color kTwitter = rgb(29, 161, 242);

namespace {

// Glyphs on the bars, and the dimmer ones of the menu rows.
const Color kInk = rgb(232, 234, 238);
const Color kInkDim = rgb(172, 172, 176);
// Grounds.
const Color kPage = rgb(17, 17, 20);
const Color kPanel = rgb(30, 31, 35);
const Color kRowSelected = rgb(50, 54, 64);
const Color kFieldFill = rgb(12, 12, 14);
const Color kFrame = rgb(40, 42, 48);
const Color kEdge = rgb(84, 87, 96);
// The pressed segment and the selected menu icon.
const Color kAccent = rgb(36, 96, 180);

Draw flat(Color fill) {
  return [fill](Context& c, cg::Size s) {
    c.setFillColor(fill);
    c.fillRect({0, 0, s.width, s.height});
  };
}

// A bar: dark, lighter along its top edge, with a shadow line along its bottom.
Draw bar() {
  return [](Context& c, cg::Size s) {
    c.drawLinearGradient(cg::Gradient{{rgb(48, 50, 56), rgb(26, 27, 31)}, {}}, {0, 0}, {0, s.height});
    hairline(c, 0, s.width, 0, rgb(72, 74, 82));
    hairline(c, 0, s.width, s.height - 1, rgb(8, 8, 10));
  };
}

// The body of a bar button in the rectangle.
void barButton(Context& c, const Rect& r) {
  fillRoundedGradient(c, r, 5, rgb(64, 67, 76), rgb(40, 42, 48));
  strokeRounded(c, r, 5, rgb(12, 12, 14), 1);
  hairline(c, r.x() + 4, r.maxX() - 4, r.y() + 1, rgb(92, 95, 106));
}

// A stretchable button: rounded ends in the caps, an even middle.
Draw capsule(Color top, Color bottom, Color border, double radius) {
  return [=](Context& c, cg::Size s) {
    Rect r{0, 0, s.width, s.height};
    fillRoundedGradient(c, r, radius, top, bottom);
    strokeRounded(c, r, radius, border, 1);
  };
}

// A phone list row's separator: clear, so that the page (and a marked row's grey) shows through,
// with a divider along its bottom; `top` is the line along its top edge.
Draw separator(Color top) {
  return [=](Context& c, cg::Size s) {
    hairline(c, 0, s.width, 0, top);
    hairline(c, 0, s.width, s.height - 1, rgb(10, 10, 12));
  };
}

// A row of a phone list: an even ground with a divider along its bottom; `top` is the line
// along its top edge.
Draw cell(Color fill, Color top) {
  return [=](Context& c, cg::Size s) {
    c.setFillColor(fill);
    c.fillRect({0, 0, s.width, s.height});
    hairline(c, 0, s.width, 0, top);
    hairline(c, 0, s.width, s.height - 1, rgb(10, 10, 12));
  };
}

// The search field: nearly black, so that the grey of the typed query reads on it.
Draw field() {
  return [](Context& c, cg::Size s) {
    Rect r{0, 0, s.width, s.height};
    fillRounded(c, r, 7, kFieldFill);
    strokeRounded(c, r, 7, kEdge, 1);
  };
}

// A slider's caption panel: opaque, so that its captions do not depend on the poster behind.
Draw captionPanel() {
  return [](Context& c, cg::Size s) {
    c.drawLinearGradient(cg::Gradient{{rgb(32, 33, 38), rgb(20, 21, 24)}, {}}, {0, 0}, {0, s.height});
    hairline(c, 0, s.width, 0, rgb(66, 68, 76));
  };
}

// A poster not loaded yet: a film frame on a dark ground.
Draw posterPlaceholder() {
  return [](Context& c, cg::Size s) {
    c.setFillColor(rgb(36, 38, 44));
    c.fillRect({0, 0, s.width, s.height});
    double h = std::min(s.height * 0.45, s.width * 0.3), w = h * 0.8;
    filmFrame(c, {(s.width - w) / 2, (s.height - h) / 2, w, h}, rgb(70, 73, 82));
  };
}

Draw star(Color fill) {
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

using GlyphFn = void (*)(Context&, const Rect&, const Color&);

// A menu row's icon: the glyph in the row's title grey, or white on the accent when selected.
Draw menuIcon(GlyphFn glyph, bool selected) {
  return [=](Context& c, cg::Size s) {
    if (selected) fillRounded(c, {3, 3, s.width - 6, s.height - 6}, 6, kAccent);
    glyph(c, {8, 8, s.width - 16, s.height - 16}, selected ? Color::white(1) : kInkDim);
  };
}

void playInCircle(Context& c, const Rect& box, const Color& ink) {
  double line = box.width() * 0.09;
  c.setStrokeColor(ink);
  c.setLineWidth(line);
  c.strokeEllipseInRect(box.insetBy(line / 2, line / 2));
  triangle(
      c, {box.x() + box.width() * 0.4, box.y() + box.height() * 0.3, box.width() * 0.32, box.height() * 0.4},
      ink);
}

// A facebook login button: the letter and the word on the network's blue.
Draw facebookLogin(const char* word, bool pressed) {
  return [=](Context& c, cg::Size s) {
    Color fill = pressed ? rgb(44, 68, 120) : kFacebook;
    fillRounded(c, {0, 0, s.width, s.height}, 4, fill);
    centredText(c, "f", {4, 2, s.height - 6, s.height - 4}, s.height * 0.7, true, Color::white(1));
    centredText(c, word, {s.height, 2, s.width - s.height - 4, s.height - 4}, s.height * 0.5, true,
                Color::white(1));
  };
}

// A share editor's logo strip: the network's mark and name within the left cap, then the strip's
// plain ground, which stretches over the rest of the editor's width.
Draw logoStrip(Color ground, Color top, std::string letters, std::string name, double cap) {
  return [=](Context& c, cg::Size s) {
    cell(ground, top)(c, s);
    Rect mark{8, 7, 26, 26};
    fillRounded(c, mark, 5, Color::white(1));
    centredText(c, letters, mark.insetBy(3, 0), letters.size() > 1 ? 12 : 19, true, ground);
    centredText(c, name, {mark.maxX() + 6, 8, cap - mark.maxX() - 10, s.height - 16}, 17, true,
                Color::white(1));
  };
}

}  // namespace

Draw networkButton(Color colour, std::string letters, double inset, double radius) {
  return [=](Context& c, cg::Size s) {
    Rect r{inset, inset, s.width - 2 * inset, s.height - 2 * inset};
    fillRounded(c, r, radius, colour);
    double size = r.height() * (letters.size() > 1 ? 0.46 : 0.66);
    centredText(c, letters, r.insetBy(r.width() * 0.12, 0), size, true, Color::white(1));
  };
}

std::vector<Resource> resources() {
  std::vector<Resource> out;
  // Each picture at both scales: the "@2x" file goes before the extension.
  auto add = [&](std::string file, cg::Size size, Draw draw) {
    auto dot = file.rfind('.');
    out.push_back({file.substr(0, dot) + "@2x" + file.substr(dot), size, draw});
    out.push_back({std::move(file), size, std::move(draw)});
  };
  Color blue = rgb(30, 120, 240), gray = rgb(150, 150, 150);

  // Rating stars.
  add("starIphone_blue.png", {20, 20}, star(blue));
  add("starIphone_gray.png", {20, 20}, star(gray));
  add("starIphoneBig_blue.png", {24, 24}, star(blue));
  add("starIphoneBig_gray.png", {24, 24}, star(gray));

  // Bars and grounds.
  add("toolbarBg.png", {16, 44}, bar());
  add("toolbar.png", {7, 44}, bar());
  add("background.png", {64, 64}, flat(kPage));
  add("bg.png", {16, 16}, flat(kPanel));
  add("selectedCellBg.png", {8, 8}, flat(kRowSelected));
  add("checked_menu_item.png", {8, 8}, flat(kRowSelected));
  add("unchecked_menu_item.png", {8, 8}, flat(kPanel));
  add("panelBG.png", {768, 140}, captionPanel());
  add("panelBG_iphone.png", {320, 80}, captionPanel());
  add("cellBackground.png", {320, 44}, separator(rgb(44, 45, 50)));
  add("cellBackgroundFirst.png", {320, 44}, separator(rgb(10, 10, 12)));
  add("cellCheckedBackground.png", {320, 44}, cell(rgb(36, 42, 56), rgb(54, 62, 80)));
  add("search_bar_background.png", {198, 30}, field());
  add("search_bar_long.png", {250, 30}, field());
  add("TLHorizScroll_bg.png", {64, 4}, [](Context& c, cg::Size s) {
    fillRounded(c, {0, 1, s.width, 2}, 1, rgb(80, 82, 90));
  });
  // The panel's mask: the panel shows where the mask is opaque, fading out at its foot.
  add("sliderMask.png", {768, 317}, [](Context& c, cg::Size s) {
    c.drawLinearGradient(cg::Gradient{{Color::white(1), Color::white(1), Color::white(1, 0)}, {0, 0.8, 1}},
                         {0, 0}, {0, s.height});
  });

  // Segment switches: rounded ends in the caps (10 points on the tablet, 6 on the phone), dark
  // when off and the accent blue when pressed or selected.
  add("segment_button.png", {21, 38}, capsule(rgb(52, 54, 61), rgb(38, 40, 45), kEdge, 6));
  add("segment_button_pressed.png", {21, 38},
      capsule(rgb(20, 56, 112), rgb(16, 46, 94), rgb(60, 110, 190), 6));
  add("customBTN_normal.png", {13, 38}, capsule(rgb(52, 54, 61), rgb(38, 40, 45), kEdge, 5));
  add("customBTN_clicked.png", {13, 38}, capsule(rgb(20, 56, 112), rgb(16, 46, 94), rgb(60, 110, 190), 5));
  add("black_divider.png", {2, 38}, flat(Color::black()));
  add("switchBG.png", {272, 34}, capsule(rgb(22, 23, 27), rgb(16, 17, 20), rgb(48, 50, 56), 5));
  // A rubric's heading: nearly black, so that its blue title reads.
  add("rubricBTN.png", {15, 37}, capsule(rgb(18, 19, 23), rgb(18, 19, 23), rgb(70, 73, 82), 5));

  // Bar buttons: menu (three bars), back (a left chevron), filter parameters (sliders), reload.
  add("menuBt.png", {55, 44}, [](Context& c, cg::Size) { menuBars(c, {17, 14, 21, 16}, kInk); });
  add("bigMenuBtn.png", {60, 44}, [](Context& c, cg::Size) { menuBars(c, {19, 14, 22, 16}, kInk); });
  add("menuBt2.png", {140, 44}, [](Context& c, cg::Size s) {
    barButton(c, {4, 7, s.width - 8, 30});
    menuBars(c, {13, 16, 16, 12}, kInk);
  });
  add("menuBtIphone.png", {39, 30}, [](Context& c, cg::Size s) {
    barButton(c, {0, 0, s.width, s.height});
    menuBars(c, {11, 9, 17, 12}, kInk);
  });
  add("tbBack.png", {60, 44}, [](Context& c, cg::Size s) {
    barButton(c, {4, 7, s.width - 8, 30});
    chevron(c, {23, 12, 12, 20}, true, 3, kInk);
  });
  add("tmBackIphone.png", {50, 30}, [](Context& c, cg::Size s) {
    barButton(c, {0, 0, s.width, s.height});
    chevron(c, {19, 6, 11, 18}, true, 2.5, kInk);
  });
  add("paramsBtn.png", {44, 44}, [](Context& c, cg::Size) {
    barButton(c, {2.5, 7, 39, 30});
    sliders(c, {12, 13, 20, 18}, kInk);
  });
  add("toolbar_button.png", {72, 31}, [](Context& c, cg::Size s) {
    barButton(c, {0, 0, s.width, s.height});
  });
  add("reloadBt.png", {44, 44}, [](Context& c, cg::Size) { circularArrow(c, {10, 10, 24, 24}, 2.5, kInk); });
  // Behind the spinner while a reload runs.
  add("reloadBtBg.png", {44, 44}, [](Context& c, cg::Size) {
    c.setStrokeColor(kInk.withAlpha(0.3));
    c.setLineWidth(2);
    c.strokeEllipseInRect({11, 11, 22, 22});
  });
  add("logoTL.png", {120, 30}, [](Context& c, cg::Size s) {
    centredText(c, "Tavelo", {4, 0, s.width - 8, s.height}, 22, true, rgb(240, 242, 246));
  });

  // Menu rows: one glyph per category that has one, the others fall back to a play sign.
  add("menuItemMain.png", {32, 32}, menuIcon(house, false));
  add("menuItemMainSel.png", {32, 32}, menuIcon(house, true));
  add("menuItem1.png", {32, 32}, menuIcon(filmFrame, false));
  add("menuItemSel1.png", {32, 32}, menuIcon(filmFrame, true));
  add("menuItem2.png", {32, 32}, menuIcon(screens, false));
  add("menuItemSel2.png", {32, 32}, menuIcon(screens, true));
  add("menuItem3.png", {32, 32}, menuIcon(television, false));
  add("menuItemSel3.png", {32, 32}, menuIcon(television, true));
  add("menuItem5.png", {32, 32}, menuIcon(balloon, false));
  add("menuItemSel6.png", {32, 32}, menuIcon(smile, true));
  add("menuItemNoImage.png", {32, 32}, menuIcon(playInCircle, false));
  add("menuItemCollection.png", {32, 32}, menuIcon(grid, false));
  add("menuItemSelCollection.png", {32, 32}, menuIcon(grid, true));

  // The home slider's play button and the phone list's disclosure arrow.
  add("playClickButton222.png", {80, 80}, [](Context& c, cg::Size s) {
    Rect r{(s.width - 64) / 2, (s.height - 64) / 2, 64, 64};
    c.setFillColor(rgb(16, 16, 18, 0.55));
    c.fillEllipseInRect(r);
    c.setStrokeColor(Color::white(0.95));
    c.setLineWidth(3);
    c.strokeEllipseInRect(r.insetBy(1.5, 1.5));
    triangle(c, {r.x() + 25, r.y() + 18, 24, 28}, Color::white(0.95));
  });
  add("disclosure.png", {10, 16}, [](Context& c, cg::Size) { chevron(c, {2, 2, 6, 12}, false, 2, kInkDim); });

  // The phone filter: its apply button, and the notch joining its panel to the parameters button.
  add("showBtn.png", {44, 44}, capsule(rgb(40, 96, 170), rgb(26, 72, 138), rgb(14, 40, 80), 6));
  add("pimp.png", {39, 8}, [](Context& c, cg::Size s) {
    c.setFillColor(Color::rgba(0, 0, 0, 0.6));
    c.beginPath();
    c.moveTo({s.width / 2 - 8, s.height});
    c.addLineTo({s.width / 2, 0});
    c.addLineTo({s.width / 2 + 8, s.height});
    c.closePath();
    c.fillPath();
  });

  // Posters and photographs not loaded yet.
  add("TLCinemaEmpty.png", {220, 120}, posterPlaceholder());
  add("TLCinemaEmpty_BIG.png", {450, 338}, posterPlaceholder());
  add("TLCinemaEmpty_.png", {180, 100}, posterPlaceholder());
  add("photo1.jpeg", {1000, 424}, posterPlaceholder());
  add("actorEmpty.jpg", {76, 101}, [](Context& c, cg::Size s) {
    c.setFillColor(rgb(40, 42, 48));
    c.fillRect({0, 0, s.width, s.height});
    person(c, {8, 12, s.width - 16, s.height - 12}, rgb(78, 82, 92));
  });

  // Sharing: one button per network, the share sheets' strips, buttons and close badge.
  add("facebook.png", {44, 44}, networkButton(kFacebook, "f", 1, 8));
  add("twitter.png", {44, 44}, networkButton(kTwitter, "t", 1, 8));
  add("vkontakte.png", {44, 44}, networkButton(kVKontakte, "VK", 1, 8));
  // The logo strips stretch from the column after their caps (140 and 115 points).
  add("vkLogo.png", {141, 40}, logoStrip(kVKontakte, rgb(104, 142, 186), "VK", "ВКонтакте", 140));
  add("fbLogo.png", {116, 40}, logoStrip(kFacebook, rgb(88, 116, 176), "f", "Facebook", 115));
  add("socBtnBg.png", {44, 44}, capsule(rgb(72, 104, 148), rgb(52, 82, 124), rgb(34, 56, 90), 5));
  add("closeFB_.png", {30, 30}, [](Context& c, cg::Size s) {
    Rect r{1, 1, s.width - 2, s.height - 2};
    c.setFillColor(rgb(28, 29, 33, 0.92));
    c.fillEllipseInRect(r);
    c.setStrokeColor(Color::white(1));
    c.setLineWidth(2);
    c.strokeEllipseInRect(r.insetBy(1, 1));
    cross(c, {10, 10, 10, 10}, 2.5, Color::white(1));
  });
  // The Facebook dialog: its icon, and its title bar's close button, left empty: the dialog's own
  // close badge sits over that corner, and two crosses side by side would read as two controls.
  add("FBDialog.bundle/images/fbicon.png", {16, 16}, networkButton(kFacebook, "f", 0, 3));
  add("FBDialog.bundle/images/close.png", {29, 29}, [](Context&, cg::Size) {});
  add("FBConnect.bundle/images/LoginNormal.png", {100, 28}, facebookLogin("Войти", false));
  add("FBConnect.bundle/images/LoginPressed.png", {100, 28}, facebookLogin("Войти", true));
  add("FBConnect.bundle/images/LogoutNormal.png", {100, 28}, facebookLogin("Выйти", false));
  add("FBConnect.bundle/images/LogoutPressed.png", {100, 28}, facebookLogin("Выйти", true));

  // The category choosers' popover: a dark body that stretches between its caps, and its arrows.
  add("popover-black-bcg-image.png", {100, 110}, [](Context& c, cg::Size s) {
    fillRounded(c, {17, 17, s.width - 34, s.height - 34}, 8, rgb(20, 20, 22, 0.96));
    c.setStrokeColor(rgb(90, 90, 96));
    c.setLineWidth(1.5);
    c.strokePath(cg::Path::roundedRect({17.5, 17.5, s.width - 35, s.height - 35}, 8));
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

  // The phone filter's picker dressing: a dark frame around the wheels and a glass band across the
  // selected row. The wheel picture is clear, so that the picker's rows read through it.
  add("ixPickerOverlayLeftPane.png", {40, 216}, [](Context& c, cg::Size s) {
    flat(kFrame)(c, s);
    c.setFillColor(rgb(16, 16, 18));
    c.fillRect({s.width - 2, 0, 2, s.height});
  });
  add("ixPickerOverlayRightPane.png", {40, 216}, [](Context& c, cg::Size s) {
    flat(kFrame)(c, s);
    c.setFillColor(rgb(16, 16, 18));
    c.fillRect({0, 0, 2, s.height});
  });
  add("ixPickerOverlaySectionWheel.png", {40, 216}, [](Context&, cg::Size) {});
  add("ixPickerOverlaySectionsSeparator.png", {40, 216}, [](Context& c, cg::Size s) {
    flat(kFrame)(c, s);
    c.setFillColor(rgb(16, 16, 18));
    c.fillRect({0, 0, 5, s.height});
    c.fillRect({s.width - 5, 0, 5, s.height});
  });
  add("ixPickerOverlayTexture.png", {40, 216}, flat(kFrame));
  add("ixPickerOverlayGlass.png", {20, 40}, [](Context& c, cg::Size s) {
    c.setFillColor(Color::rgba(0.35, 0.5, 0.85, 0.22));
    c.fillRect({0, 0, s.width, s.height});
    hairline(c, 0, s.width, 0, Color::rgba(0.25, 0.38, 0.65, 0.9));
    hairline(c, 0, s.width, s.height - 1, Color::rgba(0.25, 0.38, 0.65, 0.9));
  });

  addPlayerPictures(add);
  return out;
}

}  // namespace placeholders
