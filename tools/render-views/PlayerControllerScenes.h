#pragma once

#include <memory>

#include "UIKit/Application.h"
#include "UIKit/View.h"

namespace scenes {

// The player in a host view of a grey page, playing the sample service's clips: the whole window.
// A fresh page's start button.
std::shared_ptr<ui::View> playerStartButton(ui::InterfaceOrientation orientation);
// An advertisement playing with its bars, and the alert offering the advertiser's site.
std::shared_ptr<ui::View> playerAdvertisement(ui::InterfaceOrientation orientation);
// The programme playing inline with the inline bar shown.
std::shared_ptr<ui::View> playerProgrammeInline(ui::InterfaceOrientation orientation);
// Full screen with both bars and the share panel.
std::shared_ptr<ui::View> playerFullscreen(ui::InterfaceOrientation orientation);
// Full screen with the VKontakte sheet on the fake peer's login page.
std::shared_ptr<ui::View> playerVkontakteSheet(ui::InterfaceOrientation orientation);
// Stops the player a scene above left playing and takes its window and alert away.
void endPlayerScene();

}  // namespace scenes
