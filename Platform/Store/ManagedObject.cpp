#include "Store/ManagedObject.h"

#include "Foundation/Exception.h"
#include "Foundation/Format.h"
#include "Store/ManagedObjectContext.h"

namespace cd {
namespace {

std::size_t attributeIndex(const ManagedObject& object, std::string_view key) {
  if (object.entity())
    if (auto index = object.entity()->indexOfAttribute(key)) return *index;
  std::string entity = object.entity() ? object.entity()->name() : "(none)";
  throw ns::Exception(
      "NSUnknownKeyException",
      ns::format("the entity %@ is not key value coding-compliant for the key \"%@\"", entity, key));
}

}  // namespace

namespace detail {

// The value as the attribute keeps it, or an exception for a value of another type.
ns::Value coerceAttributeValue(const AttributeDescription& attribute, const ns::Value& value) {
  if (value.isNil()) return value;
  switch (attribute.attributeType()) {
    case AttributeType::String:
      if (value.isString()) return value;
      break;
    case AttributeType::Integer64:
      if (value.isNumber()) return ns::Value(value.longLongValue());
      break;
    case AttributeType::Date:
      if (value.isDate()) return value;
      break;
    case AttributeType::Binary:
      if (value.isData()) return value;
      break;
  }
  throw ns::Exception(
      ns::kInvalidArgumentException,
      ns::format("Unacceptable type of value for attribute: property = \"%@\"", attribute.name()));
}

}  // namespace detail

std::string ManagedObjectID::describe() const {
  return isTemporaryID() ? ns::format("%@/t%llu", entityName, temporaryId)
                         : ns::format("%@/p%lld", entityName, row);
}

ManagedObjectID ManagedObject::objectID() const {
  return {entity_ ? entity_->name() : std::string(), row_, row_ == 0 ? temporaryId_ : 0};
}

ns::Value ManagedObject::valueForKey(std::string_view key) const {
  return values_[attributeIndex(*this, key)];
}

void ManagedObject::setValueForKey(ns::Value value, std::string_view key) {
  std::size_t index = attributeIndex(*this, key);
  values_[index] = detail::coerceAttributeValue(*entity_->properties()[index], value);
  if (auto context = context_.lock()) context->objectDidChange(*this);
}

std::string ManagedObject::describe() const {
  return ns::format("<%@: %p> (entity: %@; id: %@)", className(), static_cast<const void*>(this),
                    entity_ ? entity_->name() : std::string("(none)"), objectID().describe());
}

}  // namespace cd
