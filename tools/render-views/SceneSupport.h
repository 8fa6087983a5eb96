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
// Whether a shown spinner turns anywhere in the tree.
bool anySpinnerTurning(const std::shared_ptr<ui::View>& view);
// Runs the main loop until the condition holds or the time is up.
void runUntil(const std::function<bool()>& done, double seconds);

}  // namespace scenes
