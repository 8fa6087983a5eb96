#pragma once

#include <functional>

// Runs the block; an exception it throws ends it and is logged as "Exception: <reason>", as the
// pages' guarded actions do. False when one was caught.
bool TLLogExceptions(const std::function<void()>& block);
