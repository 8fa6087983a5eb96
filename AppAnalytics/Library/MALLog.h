#pragma once

#include <atomic>
#include <string_view>

#include "Foundation/Format.h"

// The version 1 tracker's debug switch: its console lines print only while it is on.
std::atomic<bool>& MALDebugSwitch();

template <class... Args>
void MALDebugLog(std::string_view fmt, const Args&... args) {
  if (MALDebugSwitch().load(std::memory_order_relaxed)) ns::log(fmt, args...);
}
