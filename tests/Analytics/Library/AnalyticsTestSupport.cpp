#include "AnalyticsTestSupport.h"

#include "Foundation/String.h"

namespace analyticstest {

std::vector<std::string> bodyPieces(const std::string& body) {
  return ns::componentsSeparatedByString(body, "&");
}

}  // namespace analyticstest
