#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Analytics/Library/MAIModel.h"

// Turns a tracker's model into the parameters of one hit.
class MAIHitBuilder final {
 public:
  MAIHitBuilder() = delete;

  // The model keys a hit of the type must carry, those of the type first.
  static std::vector<std::string> requiredParametersForHitType(const std::string& hitType);
  // The required keys whose URL parameter is missing, in order; nullopt when none is.
  static std::optional<std::vector<std::string>> check(const MAIParameters& parameters,
                                                       const std::vector<std::string>& required,
                                                       const MAIModel& model);
  // The hit, or nullopt (with a log line) when a required parameter is missing. The model's temporary
  // values are cleared in every case.
  static std::optional<MAIParameters> hitWithType(const std::string& hitType, MAIModel& model);
};
