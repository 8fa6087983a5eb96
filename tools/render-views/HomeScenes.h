#pragma once

#include <memory>

#include "UIKit/Application.h"
#include "UIKit/View.h"

namespace scenes {

// A window showing the home page of the current device's idiom in the orientation, filled from
// an in-process sample service (slider posters, rows and their tiles loaded), laid out (the
// window is not left key).
std::shared_ptr<ui::View> homePage(ui::InterfaceOrientation orientation);

}  // namespace scenes
