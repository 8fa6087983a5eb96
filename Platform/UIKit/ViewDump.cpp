#include "UIKit/ViewDump.h"

#include "Foundation/Format.h"
#include "UIKit/StatusBar.h"
#include "UIKit/ViewController.h"
#include "UIKit/Window.h"

namespace ui {

std::string describeColor(const std::optional<Color>& color) { return color ? color->describe() : "nil"; }

void View::appendDumpAttributes(std::string&) const {}

namespace {

void dumpView(const View& v, int depth, std::string& out) {
  std::string line(std::size_t(depth) * 2, ' ');
  line += v.className();
  line += " frame=" + cg::describe(v.frame());
  if (v.bounds().origin != cg::Point{}) line += " boundsOrigin=" + cg::describe(v.bounds().origin);
  if (!v.transform().isIdentity()) line += " transformed";
  if (v.isHidden()) line += " hidden";
  if (v.alpha() != 1) line += ns::format(" alpha=%g", v.alpha());
  if (v.backgroundColor()) line += " bg=" + v.backgroundColor()->describe();
  if (v.tag() != 0) line += ns::format(" tag=%d", v.tag());
  if (v.clipsToBounds()) line += " clips";
  if (!v.isUserInteractionEnabled()) line += " noInteraction";
  const cg::Layer& layer = *v.layer();
  if (layer.cornerRadius() != 0) line += ns::format(" cornerRadius=%g", layer.cornerRadius());
  if (layer.borderWidth() != 0)
    line += ns::format(" border=%g %@", layer.borderWidth(), layer.borderColor().describe());
  if (layer.hasShadow())
    line += ns::format(" shadow=%@ offset=%@ opacity=%g radius=%g", layer.shadowColor().describe(),
                       cg::describe(layer.shadowOffset()), layer.shadowOpacity(), layer.shadowRadius());
  if (layer.mask()) line += " mask=" + layer.mask()->className();
  v.appendDumpAttributes(line);
  if (auto controller = v.owningViewController()) controller->appendDumpAttributes(line);
  out += line;
  out += '\n';
  for (const auto& sub : v.subviews()) dumpView(*sub, depth + 1, out);
}

}  // namespace

std::string dumpViewTree(const std::shared_ptr<View>& root) {
  if (!root) return "nil\n";
  // A tree in a window is laid out by the window's pass; taking a dump must not run app code there.
  if (!root->window()) root->layoutIfNeeded();
  std::string out;
  dumpView(*root, 0, out);
  // The key window's last line is the status bar drawn over it.
  if (auto window = std::dynamic_pointer_cast<Window>(root); window && window->isKeyWindow()) {
    auto& bar = window->statusBar();
    bar->followApplication();
    dumpView(*bar, 1, out);
  }
  return out;
}

}  // namespace ui
