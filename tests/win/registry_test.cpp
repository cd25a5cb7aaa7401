#include "common/registry.h"

#include <gtest/gtest.h>

#include "support/win_test_support.h"

namespace tpl {
namespace {

constexpr char kKey[] = "\\Software\\TemplateTests\\Registry";

TEST(RegistryString, WrittenTextReadsBack) {
  testing::DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
  WriteRegistryString(HKEY_CURRENT_USER, kKey, "Name", "value");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, kKey, "Name"), "value");
  testing::DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
}

}  // namespace
}  // namespace tpl
