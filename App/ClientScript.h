#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Graphics/Geometry.h"
#include "UIKit/View.h"

// One step of a session script. A script is a text file (named *.vcc) of steps, one a line; blank
// lines and lines starting with "#" are skipped, texts are in double quotes. A class name ending
// in "*" names every class starting with the rest (TLVideoItemPriview* for either idiom's tile);
// a line starting with "tablet:" or "phone:" runs on that idiom only. While an alert is on the
// screen, steps find views in the alert alone (tap Button "OK" answers it).
//   devices NAME...               the devices the script is written for (tablet, tablet-landscape,
//                                 phone, phone-4in); a run on another one stops before it starts
//   wait                          until nothing is loading or building
//   tap CLASS ["TEXT"] [#TAG]     the first visible view of the class (showing the text, tagged)
//   tap X,Y                       a point of the window
//   type "TEXT"                   into the text view or web field being edited, else into the
//                                 search field (it becomes first responder); fails when another
//                                 view covers the field at its centre (tap the field first)
//   clear                         empties the field that typing goes to
//   search                        the search key of the search field
//   drag CLASS ["TEXT"] DX,DY     a finger from the view's centre, moved by DX,DY points (a picker's
//   drag X,Y DX,DY                wheel under it turns with it and comes to rest on a row)
//   wheel CLASS ["TEXT"] DX,DY    a mouse wheel turned with the pointer on the view's centre: the
//   wheel X,Y DX,DY               scroll view under it moves its content by DX,DY points (DY above 0
//                                 shows what lies below), as far as its ends; a picker's wheel
//                                 there turns a row for each 40 points of DY
//   pinch CLASS ["TEXT"] SCALE    two fingers on the view's centre, spread (above 1) or closed
//                                 (below 1) to the scale
//   spin COMPONENT ROW|"TEXT"     the first shown picker's wheel flicked to rest on the row (counted
//                                 from 0, or the one showing the text)
//   rotate portrait|landscape
//   advance SECONDS               lets the time pass, timers firing on the way
//   post NAME                     posts the named notification, as a page would (TLNavigationShowMenu)
//   share vk|fb                   opens over the page the share sheet a title page of the device
//                                 opens, for one of the sample service's films
//   fill "FIELD" "TEXT"           the named field of the web page on the screen
//   press "BUTTON"                the web page's button with the text or name
//   shot NAME                     the dump and the screenshot, named
struct ScriptStep {
  enum class Kind {
    wait,
    tap,
    type,
    search,
    drag,
    rotate,
    advance,
    shot,
    post,
    spin,
    clear,
    share,
    fill,
    press,
    pinch,
    wheel
  };
  Kind kind = Kind::wait;
  int line = 0;
  enum class Idiom { any, tablet, phone };
  Idiom idiom = Idiom::any;
  // Which view: a class with an optional text and tag, or a point.
  std::string className;
  std::optional<std::string> text;
  std::optional<int> tag;
  std::optional<cg::Point> point;
  cg::Point offset;  // drag, wheel
  // type: the text; rotate: the orientation; shot: the name; share: the site; fill: the field;
  // press: the button
  std::string argument;
  std::string value;   // fill
  double seconds = 0;  // advance
  double scale = 1;    // pinch
  int component = 0;   // spin
  int row = 0;         // spin, unless the text names the row

  // How the step reads in a script, for messages.
  std::string describe() const;
};

// A script's steps and the devices it names (none: it runs on any).
struct Script {
  std::vector<std::string> devices;
  int devicesLine = 0;
  std::vector<ScriptStep> steps;
};

// The script of a text; false with "LINE: reason" in `error` for the first bad line.
bool parseScript(const std::string& text, Script& script, std::string& error);
// The steps alone.
bool parseScript(const std::string& text, std::vector<ScriptStep>& steps, std::string& error);

// The view a step names in the tree under root: depth first, the first one a person sees (not
// hidden, not transparent, its centre inside the root and every clipping view around it, not
// under the status bar and not covered by another view that would take a touch there) of the
// class, with the tag, and with the text, when given, in its own or a descendant's dump
// attributes (a quoted text, or a whole value such as image=menuBt.png). Null when there is none.
std::shared_ptr<ui::View> findScriptView(const std::shared_ptr<ui::View>& root, const ScriptStep& step);
