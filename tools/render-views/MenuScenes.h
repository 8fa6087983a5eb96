#pragma once

#include <memory>

#include "UIKit/View.h"

namespace scenes {

// A window showing the open navigation menu of the current device's idiom over a stand-in home
// page, laid out (the window is not left key).
std::shared_ptr<ui::View> openMenuOverHomePage();

}  // namespace scenes
