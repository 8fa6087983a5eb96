#pragma once

#include "Foundation/Object.h"
#include "Foundation/Value.h"

namespace ns {

// Values attached to an object from outside its class, as the object runtime allows: a category
// keeps per-instance state this way. The key is the address of a static of the caller's own, so
// two callers never collide. Values are held strongly until replaced, removed or the object goes.
// Safe from any thread.
void setAssociatedObject(Object& object, const void* key, Value value);
// nil when nothing is attached under the key.
Value getAssociatedObject(const Object& object, const void* key);
void removeAssociatedObjects(Object& object);

}  // namespace ns
