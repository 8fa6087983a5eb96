// The property-list reader and the keyed unarchiver on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Foundation/KeyedArchiver.h"
#include "Foundation/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ns::Data bytes(data, size);
  ns::ErrorPtr error;
  ns::Value value = ns::PropertyListSerialization::propertyListWithData(bytes, nullptr, &error);
  if (value.isNil() != (error != nullptr)) std::abort();
  if (!value.isNil()) (void)ns::PropertyListSerialization::dataWithPropertyList(value, ns::PropertyListFormat::Binary);
  (void)ns::KeyedUnarchiver::unarchiveObjectWithData(bytes);
  return 0;
}
