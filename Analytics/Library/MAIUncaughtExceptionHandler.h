#pragma once

#include "Foundation/Exception.h"

// Reports the process's first uncaught exception as a fatal exception hit through the default
// tracker, gives it up to 5 seconds (real time) to be stored and sent, then calls the handler that
// was installed before. A second uncaught exception only logs and returns at once. On this path
// the facade's, tracker's and dispatcher's locks are taken with a bounded wait, and never when the
// crashing thread held them before: without them nothing is sent, and the previous handler is
// still called.
void MAIInstallUncaughtExceptionHandler();
void MAIUninstallUncaughtExceptionHandler();
void MAIUncaughtExceptionHandler(const ns::Exception& exception);
