#pragma once

#include <functional>
#include <memory>

#include "UIKit/View.h"

namespace sampleservice {
class Server;
}

namespace scenes {

// One sample service for the whole run, on a free port, which the client is pointed at.
sampleservice::Server& sampleService();
// Whether a spinner turns where the picture of `root` shows it: not hidden, not transparent, and
// inside `root` and every clipping view above it. Spinners on tiles scrolled out of sight do not
// count; the page leaves some of them turning for good.
bool anyShownSpinnerTurning(const std::shared_ptr<ui::View>& root);
// Whether every poster tile the picture of `root` shows, and that names a poster, has it.
bool shownPostersIn(const std::shared_ptr<ui::View>& root);
// How long a page may take to load before its scene gives up: a guard against a hang, far above
// what a load takes even in a sanitizer build.
constexpr double kLoadSeconds = 60;
// Runs the main loop until the condition holds or the time is up; whether it came to hold.
bool runUntil(const std::function<bool()>& done, double seconds);

}  // namespace scenes
