#include "Analytics/Library/MAIClientId.h"

#include "Foundation/Locale.h"

std::string MAIClientId::generateClientId() { return ns::UUIDString(); }
