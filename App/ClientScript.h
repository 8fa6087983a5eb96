#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Graphics/Geometry.h"
#include "UIKit/View.h"

// One step of a session script. A script is a text file of steps, one a line; blank lines and
// lines starting with "#" are skipped, texts are in double quotes:
//   wait                          until nothing is loading or building
//   tap CLASS ["TEXT"] [#TAG]     the first visible view of the class (showing the text, tagged)
//   tap X,Y                       a point of the window
//   type "TEXT"                   into the search field (it becomes first responder)
//   search                        the search key of the search field
//   drag CLASS ["TEXT"] DX,DY     a finger from the view's centre, moved by DX,DY points
//   drag X,Y DX,DY
//   rotate portrait|landscape
//   advance SECONDS               lets the time pass, timers firing on the way
//   post NAME                     posts the named notification, as a page would (TLNavigationShowMenu)
//   shot NAME                     the dump and the screenshot, named
struct ScriptStep {
  enum class Kind { wait, tap, type, search, drag, rotate, advance, shot, post };
  Kind kind = Kind::wait;
  int line = 0;
  // Which view: a class with an optional text and tag, or a point.
  std::string className;
  std::optional<std::string> text;
  std::optional<int> tag;
  std::optional<cg::Point> point;
  cg::Point offset;      // drag
  std::string argument;  // type: the text; rotate: the orientation; shot: the name
  double seconds = 0;    // advance

  // How the step reads in a script, for messages.
  std::string describe() const;
};

// The steps of a script's text; false with "LINE: reason" in `error` for the first bad line.
bool parseScript(const std::string& text, std::vector<ScriptStep>& steps, std::string& error);

// The view a step names in the tree under root: depth first, the first one shown (not hidden, not
// transparent, its centre inside the root) of the class, with the tag, and with the text, when
// given, in its own or a descendant's dump attributes (a quoted text, or a whole value such as
// image=menuBt.png). Null when there is none.
std::shared_ptr<ui::View> findScriptView(const std::shared_ptr<ui::View>& root, const ScriptStep& step);
