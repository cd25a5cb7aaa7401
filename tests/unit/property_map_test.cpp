// The property store of script objects: keys found by hash, kept in the order
// they were added, before and after the store grows its index.

#include "script/property_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace swf {
namespace {

std::vector<std::string> KeysInOrder(const PropertyMap<int>& map) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : map) {
    EXPECT_EQ(key.hash, KeyHash(key.text));
    keys.push_back(key.text);
  }
  return keys;
}

std::string KeyNumber(int i) { return "k" + std::to_string(i); }

class PropertyMapSizes : public ::testing::TestWithParam<int> {};

// Sizes on both sides of the point where the store builds its index.
TEST_P(PropertyMapSizes, FindsEveryKeyAndKeepsTheOrderOfAdding) {
  const int count = GetParam();
  PropertyMap<int> map;
  std::vector<std::string> added;
  for (int i = count; i-- > 0;) {
    EXPECT_TRUE(map.emplace(KeyNumber(i), i).second);
    added.push_back(KeyNumber(i));
  }
  EXPECT_EQ(KeysInOrder(map), added);
  for (int i = 0; i < count; ++i) {
    const auto found = map.find(KeyNumber(i));
    ASSERT_NE(found, map.end()) << KeyNumber(i);
    EXPECT_EQ(found->second, i);
  }
  EXPECT_EQ(map.find("missing"), map.end());
  EXPECT_FALSE(map.emplace(KeyNumber(0), -1).second);
  EXPECT_EQ(map.find(KeyNumber(0))->second, 0);
}

TEST_P(PropertyMapSizes, ErasingKeepsTheOthersFoundAndInOrder) {
  const int count = GetParam();
  PropertyMap<int> map;
  for (int i = 0; i < count; ++i) map.insert_or_assign(KeyNumber(i), i);
  std::vector<std::string> kept;
  for (int i = 0; i < count; ++i) {
    if (i % 3 == 0) {
      EXPECT_EQ(map.erase(KeyNumber(i)), 1u);
    } else {
      kept.push_back(KeyNumber(i));
    }
  }
  EXPECT_EQ(KeysInOrder(map), kept);
  for (int i = 0; i < count; ++i) EXPECT_EQ(map.find(KeyNumber(i)) != map.end(), i % 3 != 0) << KeyNumber(i);
  EXPECT_EQ(map.erase(KeyNumber(0)), 0u);
}

INSTANTIATE_TEST_SUITE_P(Counts, PropertyMapSizes, ::testing::Values(1, 8, 9, 40, 1000));

TEST(PropertyMap, ReplacingAValueKeepsItsPlace) {
  PropertyMap<int> map;
  for (int i = 0; i < 12; ++i) map.insert_or_assign(KeyNumber(i), i);
  EXPECT_FALSE(map.insert_or_assign(KeyNumber(3), 30).second);
  EXPECT_EQ(map.find(KeyNumber(3))->second, 30);
  EXPECT_EQ(KeysInOrder(map)[3], KeyNumber(3));
  EXPECT_EQ(map.size(), 12u);
}

struct KeyCase {
  const char* name;
  bool caseless;
  const char* folded;
};

class PropertyKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(PropertyKeys, FoldLetterCaseOnlyWhenNamesIgnoreIt) {
  const KeyCase& tested = GetParam();
  const PropertyKey key(tested.name, tested.caseless);
  EXPECT_EQ(key.Text(), tested.folded);
  EXPECT_EQ(key.Hash(), KeyHash(tested.folded));
}

INSTANTIATE_TEST_SUITE_P(
    Names, PropertyKeys,
    ::testing::Values(KeyCase{"MixedName", true, "mixedname"}, KeyCase{"MixedName", false, "MixedName"},
                      KeyCase{"lower", true, "lower"}, KeyCase{"_X\xC3\x84", true, "_x\xC3\xA4"},
                      KeyCase{"AVeryLongPropertyNameThatDoesNotFitTheSmallBufferOfTheKey", true,
                              "averylongpropertynamethatdoesnotfitthesmallbufferofthekey"}));

TEST(PropertyKeys, CaselessComparisonMatchesOnlyTheSameLetters) {
  EXPECT_TRUE(EqualsIgnoringCase("_PARENT", "_parent"));
  EXPECT_TRUE(EqualsIgnoringCase("_parent", "_parent"));
  EXPECT_FALSE(EqualsIgnoringCase("_parents", "_parent"));
  EXPECT_FALSE(EqualsIgnoringCase("_qarent", "_parent"));
}

}  // namespace
}  // namespace swf
