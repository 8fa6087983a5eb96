#pragma once

#include <memory>
#include <optional>
#include <string>

#include "Foundation/Object.h"

class MAIModel;

// Reports a row's value in place of the stored one.
class MAIGetter {
 public:
  virtual ~MAIGetter() = default;
  virtual std::optional<std::string> getForKey(const std::string& key, const MAIModel& model,
                                               const std::optional<std::string>& value) = 0;
};

// Stores (or refuses) a value for a row instead of the model.
class MAISetter {
 public:
  virtual ~MAISetter() = default;
  virtual bool setValue(const std::optional<std::string>& value, const std::string& key, MAIModel& model,
                        bool isTemporary) = 0;
};

// The setter of every read-only row: refuses with a log line.
class MAIReadOnlySetter final : public MAISetter {
 public:
  bool setValue(const std::optional<std::string>& value, const std::string& key, MAIModel& model,
                bool isTemporary) override;
};

// One row of the hit parameter table.
class MAIMetaInfo final : public ns::Object {
 public:
  // A writable row. nullptr, with a log line, for an empty URL parameter.
  std::shared_ptr<MAIMetaInfo> initWithUrlParam(std::string urlParameter, bool isTemporary,
                                                std::optional<std::string> assumedValue,
                                                std::shared_ptr<MAIGetter> getter,
                                                std::shared_ptr<MAISetter> setter);
  // A read-only row: its setter is a new MAIReadOnlySetter.
  std::shared_ptr<MAIMetaInfo> initWithUrlParam(std::string urlParameter, bool isTemporary,
                                                std::optional<std::string> assumedValue,
                                                std::shared_ptr<MAIGetter> getter);

  const std::string& urlParameter() const { return urlParameter_; }
  bool isTemporary() const { return isTemporary_; }
  const std::optional<std::string>& assumedValue() const { return assumedValue_; }
  const std::shared_ptr<MAIGetter>& getter() const { return getter_; }
  const std::shared_ptr<MAISetter>& setter() const { return setter_; }

 private:
  std::string urlParameter_;
  bool isTemporary_ = false;
  std::optional<std::string> assumedValue_;
  std::shared_ptr<MAIGetter> getter_;
  std::shared_ptr<MAISetter> setter_;
};

using MAIMetaInfoPtr = std::shared_ptr<MAIMetaInfo>;
