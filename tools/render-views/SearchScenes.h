#pragma once

#include <memory>
#include <string>

#include "UIKit/Application.h"
#include "UIKit/View.h"

namespace scenes {

// The search page of the current device's idiom for a query, its reply loaded from the sample
// service, in the orientation (the tablet turns; the phone stays upright).
std::shared_ptr<ui::View> searchPage(const std::string& query, ui::InterfaceOrientation orientation);
// The phone category page of "Фильмы": its first pack, or with the filter panel open.
std::shared_ptr<ui::View> phoneCategoryPage(bool panelOpen);
// A two-wheel picker dressed by the overlay.
std::shared_ptr<ui::View> dressedPicker();

}  // namespace scenes
