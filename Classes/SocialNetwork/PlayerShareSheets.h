#pragma once

#include <memory>
#include <string>

#include "AKMoviePlayer/AKMoviePlayerController.h"

// The player's in-app share sheets, its services' openShareSheet in the client and in the view
// renderer: a Facebook sheet logs in at once; a VKontakte sheet's panel sits 50 points lower on a
// tablet; Twitter has no in-app sheet (none).
std::shared_ptr<ui::View> openPlayerShareSheet(AKMoviePlayerServices::Network network,
                                               const std::string& message, const std::string& url,
                                               const std::string& image, ui::View& playerView);
