#include "Store/EntityDescription.h"

#include <algorithm>
#include <set>

#include "Foundation/Exception.h"
#include "Store/ManagedObjectContext.h"

namespace cd {
namespace {

bool isIdentifier(std::string_view name) {
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name.front()))) return false;
  return std::all_of(name.begin(), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

const char* typeName(AttributeType type) {
  switch (type) {
    case AttributeType::String:
      return "string";
    case AttributeType::Integer64:
      return "integer64";
    case AttributeType::Date:
      return "date";
    case AttributeType::Binary:
      return "binary";
  }
  return "?";
}

}  // namespace

std::optional<std::size_t> EntityDescription::indexOfAttribute(std::string_view name) const {
  for (std::size_t i = 0; i < properties_.size(); ++i)
    if (properties_[i]->name() == name) return i;
  return std::nullopt;
}

std::shared_ptr<ManagedObject> EntityDescription::insertNewObjectForEntityForName(
    std::string_view entityName, const std::shared_ptr<ManagedObjectContext>& context) {
  if (!context || !context->persistentStoreCoordinator())
    throw ns::Exception(ns::kInternalInconsistencyException, "no context or coordinator to insert into");
  auto entity = context->persistentStoreCoordinator()->managedObjectModel()->entityNamed(entityName);
  if (!entity)
    throw ns::Exception(ns::kInvalidArgumentException,
                        "the model has no entity named '" + std::string(entityName) + "'");
  return context->insertNewObjectForEntity(entity);
}

void ManagedObjectModel::setEntities(std::vector<EntityDescriptionPtr> entities) {
  std::set<std::string> names;
  for (const auto& entity : entities) {
    if (!entity || !isIdentifier(entity->name()) || !names.insert(entity->name()).second)
      throw ns::Exception(ns::kInvalidArgumentException, "bad or repeated entity name in a model");
    std::set<std::string> attributes;
    for (const auto& attribute : entity->properties())
      if (!attribute || !isIdentifier(attribute->name()) || !attributes.insert(attribute->name()).second)
        throw ns::Exception(ns::kInvalidArgumentException,
                            "bad or repeated attribute name in entity '" + entity->name() + "'");
  }
  entities_ = std::move(entities);
}

EntityDescriptionPtr ManagedObjectModel::entityNamed(std::string_view name) const {
  for (const auto& entity : entities_)
    if (entity->name() == name) return entity;
  return nullptr;
}

std::string ManagedObjectModel::canonicalDescription() const {
  // Sorted, so the order in which code lists entities and attributes does not matter.
  std::vector<std::string> entities;
  for (const auto& entity : entities_) {
    std::vector<std::string> attributes;
    for (const auto& a : entity->properties())
      attributes.push_back(a->name() + ":" + typeName(a->attributeType()) +
                           (a->isOptional() ? ":optional" : "") + (a->isIndexed() ? ":indexed" : ""));
    std::sort(attributes.begin(), attributes.end());
    std::string text = entity->name() + "(";
    for (std::size_t i = 0; i < attributes.size(); ++i) text += (i ? "," : "") + attributes[i];
    entities.push_back(text + ")");
  }
  std::sort(entities.begin(), entities.end());
  std::string out = "model/1";
  for (const auto& e : entities) out += ";" + e;
  return out;
}

}  // namespace cd
