#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Object.h"
#include "Foundation/Value.h"
#include "Store/EntityDescription.h"

namespace cd {

class ManagedObjectContext;

// Identifies a record: its entity and its row once saved, or a temporary number before that.
struct ManagedObjectID {
  std::string entityName;
  std::int64_t row = 0;           // 0 until saved
  std::uint64_t temporaryId = 0;  // set while not yet saved
  bool isTemporaryID() const { return row == 0; }
  // "<entity>/p<row>", or "<entity>/t<number>" before the first save.
  std::string describe() const;
  bool operator==(const ManagedObjectID&) const = default;
};

// One record of an entity, owned by the context it was fetched or inserted in and used only on that
// context's thread. Values are read and written by attribute name; a change marks the record
// updated in its context until the next save.
class ManagedObject : public ns::Object {
 public:
  ManagedObject() = default;

  const EntityDescriptionPtr& entity() const { return entity_; }
  // The context the record belongs to; nullptr once it was deleted and saved, or discarded.
  std::shared_ptr<ManagedObjectContext> managedObjectContext() const { return context_.lock(); }
  ManagedObjectID objectID() const;

  bool isInserted() const { return state_ == State::inserted; }
  bool isUpdated() const { return updated_; }
  bool isDeleted() const { return state_ == State::deleted; }

  // nil for an absent value. Throws ns::Exception ("NSUnknownKeyException") for a name that is
  // not an attribute of the entity.
  ns::Value valueForKey(std::string_view key) const;
  // nil removes the value. Throws ns::Exception for an unknown name or a value of the wrong type
  // (strings, numbers, dates and data for string, 64-bit integer, date and binary attributes).
  void setValueForKey(ns::Value value, std::string_view key);

  std::string describe() const override;

 private:
  friend class ManagedObjectContext;
  enum class State { detached, inserted, saved, deleted };

  EntityDescriptionPtr entity_;
  std::weak_ptr<ManagedObjectContext> context_;
  State state_ = State::detached;
  bool updated_ = false;
  std::int64_t row_ = 0;
  std::uint64_t temporaryId_ = 0;
  std::vector<ns::Value> values_;     // by attribute index
  std::vector<ns::Value> committed_;  // as last read from or written to the store
};

using ManagedObjectPtr = std::shared_ptr<ManagedObject>;

namespace detail {
// The value as the attribute keeps it (numbers as 64-bit integers); throws ns::Exception for a value
// of another type. nil passes.
ns::Value coerceAttributeValue(const AttributeDescription& attribute, const ns::Value& value);
}  // namespace detail

// Which records a fetch asks for: those of one entity, optionally whose attribute equals a value,
// optionally sorted by one attribute, at most fetchLimit of them (0: no limit).
struct Predicate {
  std::string key;
  ns::Value value;  // nil matches absent values
};

struct SortDescriptor {
  std::string key;
  bool ascending = true;
};

struct FetchRequest {
  explicit FetchRequest(EntityDescriptionPtr requestEntity = nullptr) : entity(std::move(requestEntity)) {}
  EntityDescriptionPtr entity;
  std::optional<Predicate> predicate;
  std::optional<SortDescriptor> sortDescriptor;
  std::size_t fetchLimit = 0;
  // Accepted for the platform's sake; values are always loaded.
  bool includesPropertyValues = true;
};

}  // namespace cd
