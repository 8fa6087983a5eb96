#pragma once

#include <memory>

#include "UIKit/View.h"

namespace scenes {

// A window showing the Facebook login dialog over a white page, with the fake peer's login page
// loaded in it (the peer runs in-process for the scene; the window is not left key).
std::shared_ptr<ui::View> facebookLoginDialog();

}  // namespace scenes
