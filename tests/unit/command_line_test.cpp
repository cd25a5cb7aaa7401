#include "app/command_line.h"

#include <gtest/gtest.h>

namespace tpl {
namespace {

TEST(ClassifyMode, FirstMatchingRowWins) {
  EXPECT_EQ(ClassifyMode("/s"), StartupMode::Saver);
  EXPECT_EQ(ClassifyMode(""), StartupMode::Settings);
}

}  // namespace
}  // namespace tpl
