#pragma once

#include <functional>
#include <memory>
#include <string>

#include "Foundation/Error.h"
#include "Foundation/URLRequest.h"
#include "Foundation/Value.h"
#include "UIKit/View.h"

// What the pages share while their own views are still to come: their title shown in the
// middle of the view, and their record requests.

// A white label with the text across the middle of the view, on a dark page.
void showPageTitle(const std::shared_ptr<ui::View>& view, const std::string& text);

// Sends a JSON request at once; one of the callbacks runs later on the main queue.
void startJSONRequest(const ns::URLRequestPtr& request, std::function<void(const ns::Value& json)> success,
                      std::function<void(const ns::ErrorPtr& error)> failure);
// The same with a reader that takes what the page keeps of the reply where it was decoded, off the
// main thread: `success` gets what the reader returned, and the rest of the reply is let go there.
// The reader must not throw.
void startJSONRequest(const ns::URLRequestPtr& request, std::function<ns::Value(const ns::Value& json)> read,
                      std::function<void(const ns::Value& kept)> success,
                      std::function<void(const ns::ErrorPtr& error)> failure);
