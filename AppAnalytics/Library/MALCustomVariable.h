#pragma once

#include <map>
#include <memory>
#include <string>

#include "Foundation/Object.h"

inline constexpr unsigned kMALMaxCustomVariables = 50;

// A custom variable: a named value in one of 50 slots, with a scope (1 visitor, 2 session, 3 page).
class MALCustomVariable final : public ns::Object {
 public:
  std::shared_ptr<MALCustomVariable> initWithIndex(unsigned index, std::string name, std::string value,
                                                   int scope);

  unsigned index() const { return index_; }
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  const std::string& value() const { return value_; }
  void setValue(std::string value) { value_ = std::move(value); }
  int scope() const { return scope_; }

 private:
  unsigned index_ = 0;
  std::string name_, value_;
  int scope_ = 0;
};

using MALCustomVariablePtr = std::shared_ptr<MALCustomVariable>;

// The custom variables that ride on one hit, by index.
class MALCustomVariableBuffer final : public ns::Object {
 public:
  // Refuses a missing variable and indexes outside 1..kMALMaxCustomVariables; replaces one at the same index.
  bool addCustomVariable(const MALCustomVariablePtr& variable);
  MALCustomVariablePtr customVariableAtIndex(unsigned index) const;
  bool hasCustomVariables() const { return !dictionary_.empty(); }
  const std::map<unsigned, MALCustomVariablePtr>& dictionary() const { return dictionary_; }

 private:
  std::map<unsigned, MALCustomVariablePtr> dictionary_;
};

using MALCustomVariableBufferPtr = std::shared_ptr<MALCustomVariableBuffer>;
