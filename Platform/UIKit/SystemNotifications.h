#pragma once

namespace ui {

// Names the platform posts on the default notification centre, without object or user
// information. The keyboard's come when a first responder that shows the keyboard takes the
// role while none was showing it, and when the last such one gives it up; the device's when the
// device turns, whether or not the interface follows.
inline constexpr const char* kKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* kKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* kDeviceOrientationDidChangeNotification =
    "UIDeviceOrientationDidChangeNotification";
// Posted with the window as object when a window becomes the key window.
inline constexpr const char* kWindowDidBecomeKeyNotification = "UIWindowDidBecomeKeyNotification";

}  // namespace ui
