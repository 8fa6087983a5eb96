#pragma once

#include <memory>

#include "UIKit/View.h"

namespace scenes {

// A home-page rubric row of the current device's idiom, filled from an in-process sample service
// with its posters fetched.
std::shared_ptr<ui::View> homeRubricRow();

}  // namespace scenes
