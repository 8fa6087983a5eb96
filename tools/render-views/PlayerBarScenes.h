#pragma once

#include <memory>

#include "UIKit/Application.h"
#include "UIKit/View.h"

namespace scenes {

// The inline bar over a player view showing a frame of a sample clip, with times.
std::shared_ptr<ui::View> inlinePlayerBar(ui::InterfaceOrientation orientation);
// The screen in full screen: the picture, the upper bar with times, the lower bar during an
// advertisement and the share panel opened beside it.
std::shared_ptr<ui::View> fullscreenBarsDuringAdvertisement(ui::InterfaceOrientation orientation);
// The screen in full screen while the next item loads: the upper bar's spinner, and the lower bar
// of the item before with no next item.
std::shared_ptr<ui::View> fullscreenBarsLoading(ui::InterfaceOrientation orientation);

}  // namespace scenes
