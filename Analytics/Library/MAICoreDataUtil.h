#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Value.h"
#include "Store/EntityDescription.h"
#include "Store/ManagedObject.h"

// Builds the entity descriptions of the store's records and reads their values.
class MAICoreDataUtil final {
 public:
  MAICoreDataUtil() = delete;
  // Optional exactly when not required.
  static cd::AttributeDescriptionPtr attributeNamed(std::string name, cd::AttributeType type, bool indexed,
                                                    bool required);
  // A string attribute's value; nullopt when absent.
  static std::optional<std::string> stringValue(const cd::ManagedObject& object, std::string_view key);
  static ns::Value optionalValue(const std::optional<std::string>& text);
};
