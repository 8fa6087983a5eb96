#pragma once

#include <memory>

#include "UIKit/Application.h"
#include "UIKit/View.h"

namespace scenes {

// What the category page shows on top of its titles.
enum class CategoryExtra { none, genres, years, nothingFound };

// A window showing the tablet category page of "Фильмы" in the orientation, filled from an
// in-process sample service, with a chooser open or a filter that finds nothing (the window is
// not left key).
std::shared_ptr<ui::View> categoryPage(ui::InterfaceOrientation orientation, CategoryExtra extra);

}  // namespace scenes
