#include "App/ClientScript.h"

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "Foundation/Format.h"
#include "UIKit/Window.h"

namespace {

// Splits a line into words; a word in double quotes may hold blanks. False for an open quote.
bool splitWords(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    if (line[i] == '"') {
      auto end = line.find('"', i + 1);
      if (end == std::string::npos) return false;
      words.push_back(line.substr(i + 1, end - i - 1));
      quoted.push_back(true);
      i = end + 1;
      continue;
    }
    auto end = line.find_first_of(" \t\r", i);
    if (end == std::string::npos) end = line.size();
    words.push_back(line.substr(i, end - i));
    quoted.push_back(false);
    i = end;
  }
  return true;
}

bool parseNumber(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && !*end && std::isfinite(value);
}

bool parsePair(const std::string& text, cg::Point& point) {
  auto comma = text.find(',');
  if (comma == std::string::npos) return false;
  return parseNumber(text.substr(0, comma), point.x) && parseNumber(text.substr(comma + 1), point.y);
}

// CLASS ["TEXT"] [#TAG] or X,Y, from words[first] up to words[last) .
bool parseTarget(const std::vector<std::string>& words, const std::vector<bool>& quoted, std::size_t first,
                 std::size_t last, ScriptStep& step, std::string& error) {
  if (first >= last) {
    error = "names no view (CLASS [\"TEXT\"] [#TAG], or X,Y)";
    return false;
  }
  cg::Point point;
  if (!quoted[first] && parsePair(words[first], point)) {
    if (last != first + 1) {
      error = "has words after its point";
      return false;
    }
    step.point = point;
    return true;
  }
  if (quoted[first]) {
    error = "wants a class name before the text";
    return false;
  }
  step.className = words[first];
  for (std::size_t i = first + 1; i < last; ++i) {
    if (quoted[i] && !step.text) {
      step.text = words[i];
    } else if (!quoted[i] && words[i].size() > 1 && words[i][0] == '#') {
      double tag = 0;
      if (!parseNumber(words[i].substr(1), tag) || tag != std::floor(tag)) {
        error = "has a bad tag " + words[i];
        return false;
      }
      step.tag = static_cast<int>(tag);
    } else {
      error = "does not understand " + words[i];
      return false;
    }
  }
  return true;
}

bool parseLine(const std::vector<std::string>& words, const std::vector<bool>& quoted, ScriptStep& step,
               std::string& error) {
  const std::string& verb = words[0];
  const std::size_t n = words.size();
  auto wantArguments = [&](std::size_t count) {
    if (n == count + 1) return true;
    error = ns::format("%@ wants %d argument%@", verb, static_cast<int>(count), count == 1 ? "" : "s");
    return false;
  };
  if (verb == "wait") {
    step.kind = ScriptStep::Kind::wait;
    return wantArguments(0);
  }
  if (verb == "clear") {
    step.kind = ScriptStep::Kind::clear;
    return wantArguments(0);
  }
  if (verb == "share") {
    step.kind = ScriptStep::Kind::share;
    if (!wantArguments(1)) return false;
    if (words[1] != "vk" && words[1] != "fb") {
      error = "share wants vk or fb, not " + words[1];
      return false;
    }
    step.argument = words[1];
    return true;
  }
  if (verb == "fill") {
    step.kind = ScriptStep::Kind::fill;
    if (!wantArguments(2)) return false;
    step.argument = words[1];
    step.value = words[2];
    return true;
  }
  if (verb == "press") {
    step.kind = ScriptStep::Kind::press;
    if (!wantArguments(1)) return false;
    step.argument = words[1];
    return true;
  }
  if (verb == "search") {
    step.kind = ScriptStep::Kind::search;
    return wantArguments(0);
  }
  if (verb == "tap") {
    step.kind = ScriptStep::Kind::tap;
    if (!parseTarget(words, quoted, 1, n, step, error)) {
      error = "tap " + error;
      return false;
    }
    return true;
  }
  if (verb == "drag" || verb == "wheel") {
    step.kind = verb == "drag" ? ScriptStep::Kind::drag : ScriptStep::Kind::wheel;
    if (n < 3 || quoted[n - 1] || !parsePair(words[n - 1], step.offset)) {
      error = verb + " wants a view and a distance DX,DY";
      return false;
    }
    if (!parseTarget(words, quoted, 1, n - 1, step, error)) {
      error = verb + " " + error;
      return false;
    }
    return true;
  }
  if (verb == "pinch") {
    step.kind = ScriptStep::Kind::pinch;
    if (n < 3 || quoted[n - 1] || !parseNumber(words[n - 1], step.scale) || !(step.scale > 0) ||
        step.scale == 1) {
      error = "pinch wants a view and a scale above 0 other than 1";
      return false;
    }
    if (!parseTarget(words, quoted, 1, n - 1, step, error)) {
      error = "pinch " + error;
      return false;
    }
    if (step.point) {
      error = "pinch wants a view, not a point";
      return false;
    }
    return true;
  }
  if (verb == "type") {
    step.kind = ScriptStep::Kind::type;
    if (!wantArguments(1)) return false;
    step.argument = words[1];
    return true;
  }
  if (verb == "rotate") {
    step.kind = ScriptStep::Kind::rotate;
    if (!wantArguments(1)) return false;
    if (words[1] != "portrait" && words[1] != "landscape") {
      error = "rotate wants portrait or landscape, not " + words[1];
      return false;
    }
    step.argument = words[1];
    return true;
  }
  if (verb == "advance") {
    step.kind = ScriptStep::Kind::advance;
    if (!wantArguments(1)) return false;
    if (!parseNumber(words[1], step.seconds) || step.seconds < 0) {
      error = "advance wants a number of seconds, not " + words[1];
      return false;
    }
    return true;
  }
  if (verb == "shot") {
    step.kind = ScriptStep::Kind::shot;
    if (!wantArguments(1)) return false;
    // The name becomes a file name.
    if (words[1].empty() || words[1].find_first_of("/\\") != std::string::npos || words[1][0] == '.') {
      error = "shot wants a plain file name, not " + words[1];
      return false;
    }
    step.argument = words[1];
    return true;
  }
  if (verb == "spin") {
    step.kind = ScriptStep::Kind::spin;
    if (!wantArguments(2)) return false;
    double component = 0, row = 0;
    if (quoted[2]) step.text = words[2];
    if (quoted[1] || !parseNumber(words[1], component) || component < 0 ||
        component != std::floor(component) ||
        (!quoted[2] && (!parseNumber(words[2], row) || row < 0 || row != std::floor(row)))) {
      error = "spin wants a wheel and a row, counted from 0, or the row's text";
      return false;
    }
    step.component = static_cast<int>(component);
    step.row = static_cast<int>(row);
    return true;
  }
  if (verb == "post") {
    step.kind = ScriptStep::Kind::post;
    if (!wantArguments(1)) return false;
    step.argument = words[1];
    return true;
  }
  error = "unknown step " + verb;
  return false;
}

constexpr const char* kDeviceNames = "tablet, tablet-landscape, phone, phone-4in";

bool isDeviceName(const std::string& name) {
  return name == "tablet" || name == "tablet-landscape" || name == "phone" || name == "phone-4in";
}

bool isShown(const ui::View& view) {
  for (const ui::View* v = &view; v; v = v->superview().get())
    if (v->isHidden() || v->alpha() < 0.01) return false;
  return true;
}

// Whether a dump line names the text: as a quoted value (blanks around it aside) or as the whole
// value of an attribute (image=menuBt.png).
bool lineNames(const std::string& line, const std::string& text) {
  auto trimmed = [](std::string_view v) {
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    return v;
  };
  for (std::size_t open = line.find('"'); open != std::string::npos;) {
    std::size_t close = line.find('"', open + 1);
    if (close == std::string::npos) break;
    if (trimmed(std::string_view(line).substr(open + 1, close - open - 1)) == text) return true;
    open = line.find('"', close + 1);
  }
  for (std::size_t eq = line.find('='); eq != std::string::npos; eq = line.find('=', eq + 1)) {
    std::size_t end = line.find(' ', eq + 1);
    if (std::string_view(line).substr(eq + 1, end == std::string::npos ? end : end - eq - 1) == text)
      return true;
  }
  return false;
}

// The view or one of its descendants names the text.
bool namesText(const ui::View& view, const std::string& text) {
  std::string line;
  view.appendDumpAttributes(line);
  if (lineNames(line, text)) return true;
  for (const auto& sub : view.subviews())
    if (namesText(*sub, text)) return true;
  return false;
}

bool matches(const ui::View& view, const ScriptStep& step) {
  const std::string_view name = step.className;
  if (name.ends_with('*') ? !view.className().starts_with(name.substr(0, name.size() - 1))
                          : view.className() != name)
    return false;
  if (step.tag && view.tag() != *step.tag) return false;
  return !step.text || namesText(view, *step.text);
}

// Whether a person sees the view's centre: inside the root and every clipping view on the way
// (a scroll view shows only part of its content), not under the status bar over a window, and
// not covered: a touch there goes to the view, into it, or (when the view takes no touches) to
// the view around it.
bool centreIsSeen(const ui::View& view, ui::View& root) {
  const cg::Point centre = view.bounds().center();
  for (const ui::View* v = view.superview().get(); v && v != &root; v = v->superview().get())
    if (v->clipsToBounds() && !v->bounds().contains(view.convertPointToView(centre, v))) return false;
  const cg::Point inRoot = view.convertPointToView(centre, &root);
  if (!root.bounds().contains(inRoot)) return false;
  auto window = dynamic_cast<const ui::Window*>(&root);
  if (window && window->isKeyWindow() &&
      ui::Application::sharedApplication()->statusBarFrame().contains(inRoot))
    return false;
  auto hit = root.hitTest(inRoot, nullptr);
  return !hit || hit->isDescendantOfView(&view) || view.isDescendantOfView(hit.get());
}

std::shared_ptr<ui::View> findIn(const std::shared_ptr<ui::View>& view, ui::View& root,
                                 const ScriptStep& step) {
  if (view->isHidden() || view->alpha() < 0.01) return nullptr;
  if (matches(*view, step) && isShown(*view) && centreIsSeen(*view, root)) return view;
  for (const auto& sub : view->subviews())
    if (auto found = findIn(sub, root, step)) return found;
  return nullptr;
}

}  // namespace

std::string ScriptStep::describe() const {
  static const char* const kVerbs[] = {"wait",    "tap",   "type",  "search", "drag",  "rotate",
                                       "advance", "shot",  "post",  "spin",   "clear", "share",
                                       "fill",    "press", "pinch", "wheel"};
  std::string out = idiom == Idiom::tablet ? "tablet: " : idiom == Idiom::phone ? "phone: " : "";
  out += kVerbs[static_cast<int>(kind)];
  if (point) out += ns::format(" %g,%g", point->x, point->y);
  if (!className.empty()) out += " " + className;
  if (text && kind != Kind::spin) out += " \"" + *text + "\"";
  if (tag) out += ns::format(" #%d", *tag);
  if (kind == Kind::drag || kind == Kind::wheel) out += ns::format(" %g,%g", offset.x, offset.y);
  if (kind == Kind::type || kind == Kind::fill || kind == Kind::press) out += " \"" + argument + "\"";
  if (kind == Kind::fill) out += " \"" + value + "\"";
  if (kind == Kind::share) out += " " + argument;
  if (kind == Kind::rotate || kind == Kind::shot || kind == Kind::post) out += " " + argument;
  if (kind == Kind::advance) out += ns::format(" %g", seconds);
  if (kind == Kind::pinch) out += ns::format(" %g", scale);
  if (kind == Kind::spin)
    out += ns::format(" %d ", component) + (text ? "\"" + *text + "\"" : std::to_string(row));
  return out;
}

bool parseScript(const std::string& text, Script& script, std::string& error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::vector<std::string> words;
    std::vector<bool> quoted;
    if (!splitWords(line, words, quoted)) {
      error = ns::format("%d: a text is not closed with \"", number);
      return false;
    }
    if (words.empty() || (!quoted[0] && words[0][0] == '#')) continue;
    if (!quoted[0] && words[0] == "devices") {
      if (script.devicesLine) {
        error = ns::format("%d: devices are already named on line %d", number, script.devicesLine);
        return false;
      }
      if (words.size() == 1) {
        error = ns::format("%d: devices wants the names of the devices (%@)", number, kDeviceNames);
        return false;
      }
      for (std::size_t i = 1; i < words.size(); ++i) {
        if (quoted[i] || !isDeviceName(words[i])) {
          error = ns::format("%d: devices names no device %@ (%@)", number, words[i], kDeviceNames);
          return false;
        }
        script.devices.push_back(words[i]);
      }
      script.devicesLine = number;
      continue;
    }
    ScriptStep step;
    step.line = number;
    if (!quoted[0] && (words[0] == "tablet:" || words[0] == "phone:")) {
      step.idiom = words[0] == "phone:" ? ScriptStep::Idiom::phone : ScriptStep::Idiom::tablet;
      if (words.size() == 1) {
        error = std::to_string(number) + ": " + words[0] + " wants a step after it";
        return false;
      }
      words.erase(words.begin());
      quoted.erase(quoted.begin());
    }
    std::string reason;
    if (quoted[0] || !parseLine(words, quoted, step, reason)) {
      error = ns::format("%d: %@", number, quoted[0] ? "a line starts with a step, not a text" : reason);
      return false;
    }
    script.steps.push_back(std::move(step));
  }
  return true;
}

bool parseScript(const std::string& text, std::vector<ScriptStep>& steps, std::string& error) {
  Script script;
  if (!parseScript(text, script, error)) return false;
  steps = std::move(script.steps);
  return true;
}

std::shared_ptr<ui::View> findScriptView(const std::shared_ptr<ui::View>& root, const ScriptStep& step) {
  if (!root || step.className.empty()) return nullptr;
  return findIn(root, *root, step);
}
