#include "Analytics/Library/MAICoreDataUtil.h"

cd::AttributeDescriptionPtr MAICoreDataUtil::attributeNamed(std::string name, cd::AttributeType type,
                                                            bool indexed, bool required) {
  auto attribute = std::make_shared<cd::AttributeDescription>();
  attribute->setName(std::move(name));
  attribute->setAttributeType(type);
  attribute->setIndexed(indexed);
  attribute->setOptional(!required);
  return attribute;
}

std::optional<std::string> MAICoreDataUtil::stringValue(const cd::ManagedObject& object,
                                                        std::string_view key) {
  ns::Value value = object.valueForKey(key);
  if (auto text = value.asString()) return *text;
  return std::nullopt;
}

ns::Value MAICoreDataUtil::optionalValue(const std::optional<std::string>& text) {
  return text ? ns::Value(*text) : ns::Value();
}
