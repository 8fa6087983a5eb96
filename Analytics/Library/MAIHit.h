#pragma once

#include <optional>
#include <string>

#include "Analytics/Library/MAIModel.h"
#include "Foundation/Date.h"
#include "Store/EntityDescription.h"
#include "Store/ManagedObject.h"

// A stored hit: when it was queued, its parameters (kept as a keyed archive), where it goes, and the
// tracker version that stored it.
class MAIHit final : public cd::ManagedObject {
 public:
  static cd::EntityDescriptionPtr entityDescription();

  std::optional<ns::Date> timestamp() const;
  void setTimestamp(std::optional<ns::Date> timestamp);
  std::optional<std::string> dispatchUrl() const;
  void setDispatchUrl(std::optional<std::string> url);
  std::optional<std::string> maiVersion() const;
  void setMaiVersion(std::optional<std::string> version);
  // nullopt, with a log line, when the archive cannot be read.
  std::optional<MAIParameters> parameters() const;
  // nullopt clears the archive.
  void setParameters(const std::optional<MAIParameters>& parameters);
};
