#pragma once

// Property-list reading and writing with keyed-archive UIDs, for the archiver. A UID reads as a
// dictionary holding only kUIDKey, and such a dictionary is written as a UID.
#include <optional>

#include "Foundation/PropertyList.h"

namespace ns {

inline constexpr const char* kUIDKey = "CF$UID";

Value readPropertyList(const Data& data, PropertyListFormat* format, ErrorPtr* error, bool uids);
std::optional<Data> writePropertyList(const Value& plist, PropertyListFormat format, ErrorPtr* error, bool uids);

}  // namespace ns
