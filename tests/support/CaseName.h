#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace testsupport {

// Names a parameterised case after its `name` field, with characters gtest refuses replaced.
struct CaseName {
  template <class P>
  std::string operator()(const ::testing::TestParamInfo<P>& p) const {
    std::string n = p.param.name;
    for (auto& ch : n)
      if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return n;
  }
};

}  // namespace testsupport
