#include "package/package_files.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tpl {
namespace {

TEST(PackageBaseName, DropsExactlyTheLastFourCharacters) {
  struct Case {
    std::string_view programPath;
    std::string_view baseName;
  };
  const Case cases[] = {
      {"C:\\Savers\\Aquarium.scr", "C:\\Savers\\Aquarium"},
      {"C:\\Savers\\Aquarium.SCR", "C:\\Savers\\Aquarium"},
      {"C:\\Saver.Files\\Aquarium.scr", "C:\\Saver.Files\\Aquarium"},
      {"C:\\Savers\\Aquarium.exe", "C:\\Savers\\Aquarium"},
      {"C:\\Savers\\Aquarium.html", "C:\\Savers\\Aquarium."},  // longer extension: its dot stays
      {"C:\\Savers\\Aquarium.sc", "C:\\Savers\\Aquariu"},      // shorter one: the name loses letters
      {"C:\\Savers\\Aquarium", "C:\\Savers\\Aqua"},            // none at all
      {"\\\\server\\share\\x.scr", "\\\\server\\share\\x"},
      {"x.scr", "x"},
      {"ab.cd", "a"},
      {".scr", ""},
      {"abc", ""},  // shorter than 4 characters: nothing is left
      {"a", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.programPath)));
    EXPECT_EQ(ExeBaseName(c.programPath), c.baseName);
  }
}

TEST(PackagePaths, AppendTheFourPackageExtensions) {
  struct Case {
    std::string_view baseName;
    std::string_view configuration, saverMovie, settingsPicture, settingsMovie;
  };
  const Case cases[] = {
      {"C:\\Savers\\Aquarium", "C:\\Savers\\Aquarium.c1", "C:\\Savers\\Aquarium.swf", "C:\\Savers\\Aquarium.bmp",
       "C:\\Savers\\Aquarium.c2"},
      {"C:\\Savers\\Aquarium.", "C:\\Savers\\Aquarium..c1", "C:\\Savers\\Aquarium..swf", "C:\\Savers\\Aquarium..bmp",
       "C:\\Savers\\Aquarium..c2"},
      {"", ".c1", ".swf", ".bmp", ".c2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.baseName)));
    const PackagePaths paths = PackagePathsFor(c.baseName);
    EXPECT_EQ(paths.configuration, c.configuration);
    EXPECT_EQ(paths.saverMovie, c.saverMovie);
    EXPECT_EQ(paths.settingsPicture, c.settingsPicture);
    EXPECT_EQ(paths.settingsMovie, c.settingsMovie);
  }
}

TEST(PackagePaths, ConfigurationFileReplacesTheProgramExtension) {
  const PackagePaths paths = PackagePathsFor(ExeBaseName("D:\\My Savers\\Night Sky.scr"));
  EXPECT_EQ(paths.configuration, "D:\\My Savers\\Night Sky.c1");
  EXPECT_EQ(paths.saverMovie, "D:\\My Savers\\Night Sky.swf");
}

}  // namespace
}  // namespace tpl
