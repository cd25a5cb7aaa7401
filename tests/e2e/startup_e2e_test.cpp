#include <gtest/gtest.h>

#include "support/win_test_support.h"

namespace tpl {
namespace {

TEST(CompileRequest, EndsAtOnce) {
  std::string path = TEMPLATE_EXE_UNIX_PATH;
  for (char& c : path) if (c == '/') c = '\\';
  testing::ChildProcess child("Z:" + path, "-compile");
  EXPECT_EQ(child.WaitForExit(10000), 0u);
}

}  // namespace
}  // namespace tpl
