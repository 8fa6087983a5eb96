#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Store/EntityDescription.h"
#include "Store/ManagedObject.h"

// A named client property: "ClientId" (in string) or "OptOut" (0 or 1 in number).
class MAIProperty final : public cd::ManagedObject {
 public:
  static cd::EntityDescriptionPtr entityDescription();

  std::optional<std::string> name() const;
  void setName(std::optional<std::string> name);
  std::optional<std::string> string() const;
  void setString(std::optional<std::string> value);
  std::optional<std::int64_t> number() const;
  void setNumber(std::optional<std::int64_t> value);
  std::optional<std::string> maiVersion() const;
  void setMaiVersion(std::optional<std::string> version);
};
