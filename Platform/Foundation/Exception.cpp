#include "Foundation/Exception.h"

namespace ns {

void raiseInvalidParameter(const char* condition) {
  throw Exception(kInternalInconsistencyException, std::string("Invalid parameter not satisfying: ") + condition);
}

}  // namespace ns
