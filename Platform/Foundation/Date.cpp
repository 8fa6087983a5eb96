#include "Foundation/Date.h"

#include "Foundation/Clock.h"

namespace ns {

Date Date::now() { return Date(clockNow()); }

}  // namespace ns
