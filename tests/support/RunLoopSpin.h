#pragma once

#include <functional>

namespace testsupport {

// Runs the calling thread's run loop until condition() holds. After timeoutSeconds of real time
// (whatever clock is installed) it records a test failure and returns false, so a test never hangs.
// The default is generous: a loaded sanitizer build can be twenty times slower than a plain one.
bool spinUntil(const std::function<bool()>& condition, double timeoutSeconds = 90.0);

// Whether nothing is loading and no background job is queued or running: what a test set going
// has reached its servers and finished.
bool nothingLoadingOrRunning();

}  // namespace testsupport
