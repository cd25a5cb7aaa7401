#pragma once
// Names each case of a parameterised test after the `name` of its table entry,
// so a failure says which row broke.

#include <gtest/gtest.h>

#include <string>

namespace tpl::testing {

struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& test) const {
    return test.param.name;
  }
};

}  // namespace tpl::testing
