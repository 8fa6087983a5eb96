
#include "Classes/TLExceptionLog.h"

#include <exception>

#include "Foundation/Exception.h"
#include "Foundation/Format.h"

bool TLLogExceptions(const std::function<void()>& block) {
  try {
    block();
    return true;
  } catch (const ns::Exception& e) {
    ns::log("Exception: %@", e.reason());
  } catch (const std::exception& e) {
    ns::log("Exception: %@", e.what());
  }
  return false;
}
