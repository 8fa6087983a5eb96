#pragma once

#include <memory>
#include <string>

#include "UIKit/View.h"

namespace ui {

// A text picture of a view tree, one line per view, indented by depth: class, frame, bounds
// origin when shifted, hidden/alpha, background, tag, layer attributes, then what the class adds
// (text and font, images by resource name, control state), and the controller a view belongs to.
// Lays out a tree that is in no window first (a window's tree is laid out by its own pass).
std::string dumpViewTree(const std::shared_ptr<View>& root);

// The description of one colour, or "nil".
std::string describeColor(const std::optional<Color>& color);

}  // namespace ui
