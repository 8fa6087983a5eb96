#pragma once

#include <optional>
#include <string>

#include "Foundation/Data.h"
#include "Foundation/URL.h"
#include "UIKit/WebView.h"

namespace ui {

// Reads an HTML document into the web view's page model. Bytes in `encoding` (the response's
// charset; UTF-8 when none is given); links and form actions are resolved against baseURL.
// Malformed markup is read as far as it goes, never refused.
WebPage readWebPage(const ns::Data& body, const std::optional<std::string>& encoding, const ns::URL& baseURL);

}  // namespace ui
