#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Object.h"

namespace cd {

class ManagedObject;
class ManagedObjectContext;

enum class AttributeType { String, Integer64, Date, Binary };

// One typed attribute of an entity. A value may be absent (nil) only when the attribute is optional;
// indexed attributes get an index in the store.
class AttributeDescription final : public ns::Object {
 public:
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  AttributeType attributeType() const { return type_; }
  void setAttributeType(AttributeType type) { type_ = type; }
  bool isIndexed() const { return indexed_; }
  void setIndexed(bool indexed) { indexed_ = indexed; }
  bool isOptional() const { return optional_; }
  void setOptional(bool optional) { optional_ = optional; }

 private:
  std::string name_;
  AttributeType type_ = AttributeType::String;
  bool indexed_ = false;
  bool optional_ = true;
};

using AttributeDescriptionPtr = std::shared_ptr<AttributeDescription>;

// A record type: its name, the class its records are made of (looked up by name in the class
// registry; a plain ManagedObject when none is registered) and its attributes, in order.
// Names are identifiers (letters, digits, "_", not starting with a digit or "_").
class EntityDescription final : public ns::Object {
 public:
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  const std::string& managedObjectClassName() const { return className_; }
  void setManagedObjectClassName(std::string name) { className_ = std::move(name); }
  const std::vector<AttributeDescriptionPtr>& properties() const { return properties_; }
  void setProperties(std::vector<AttributeDescriptionPtr> properties) { properties_ = std::move(properties); }

  // The index of the named attribute among properties(), if it has one.
  std::optional<std::size_t> indexOfAttribute(std::string_view name) const;

  // A new record of the named entity of the context's model, inserted into the context. Throws
  // ns::Exception when the context has no coordinator or its model has no such entity.
  static std::shared_ptr<ManagedObject> insertNewObjectForEntityForName(
      std::string_view entityName, const std::shared_ptr<ManagedObjectContext>& context);

 private:
  std::string name_;
  std::string className_;
  std::vector<AttributeDescriptionPtr> properties_;
};

using EntityDescriptionPtr = std::shared_ptr<EntityDescription>;

// The entities a store holds. Its canonical description is recorded in a store file, so a file
// written with another model is recognised as incompatible.
class ManagedObjectModel final : public ns::Object {
 public:
  const std::vector<EntityDescriptionPtr>& entities() const { return entities_; }
  // Throws ns::Exception for a name that is not an identifier or an entity named twice.
  void setEntities(std::vector<EntityDescriptionPtr> entities);
  EntityDescriptionPtr entityNamed(std::string_view name) const;
  // Entity by entity: names, attribute types, optional and indexed flags.
  std::string canonicalDescription() const;

 private:
  std::vector<EntityDescriptionPtr> entities_;
};

using ManagedObjectModelPtr = std::shared_ptr<ManagedObjectModel>;

}  // namespace cd
