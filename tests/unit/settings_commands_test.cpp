#include "settings/settings_commands.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/settings_choices.h"

namespace tpl {
namespace {

using Action = SettingsCommandAction;

struct CommandCase {
  const wchar_t* command;
  const wchar_t* argument;
  Action action;
  StoredSetting setting;
};

constexpr StoredSetting kAny = StoredSetting::MouseQuit;

std::string Narrow(const wchar_t* text) { return std::string(text, text + std::wstring(text).size()); }

TEST(SettingsCommands, EachSettingStoresItsOwnTextsAndAnswersAnyOther) {
  const CommandCase cases[] = {
      {L"mousequit", L"1", Action::StoreSetting, StoredSetting::MouseQuit},
      {L"mousequit", L"0", Action::StoreSetting, StoredSetting::MouseQuit},
      {L"mousequit", L"", Action::ReplySetting, StoredSetting::MouseQuit},
      {L"mousequit", L"true", Action::ReplySetting, StoredSetting::MouseQuit},
      {L"mousequit", L"1 ", Action::ReplySetting, StoredSetting::MouseQuit},
      {L"keybquit", L"1", Action::StoreSetting, StoredSetting::KeybQuit},
      {L"keybquit", L"0", Action::StoreSetting, StoredSetting::KeybQuit},
      {L"keybquit", L"KeybQuit", Action::ReplySetting, StoredSetting::KeybQuit},
      {L"multimonitor", L"all", Action::StoreSetting, StoredSetting::Multimonitors},
      {L"multimonitor", L"primary", Action::StoreSetting, StoredSetting::Multimonitors},
      {L"multimonitor", L"All", Action::ReplySetting, StoredSetting::Multimonitors},
      {L"multimonitor", L"1", Action::ReplySetting, StoredSetting::Multimonitors},
      {L"scalemode", L"showall", Action::StoreSetting, StoredSetting::ScaleMode},
      {L"scalemode", L"exactfit", Action::StoreSetting, StoredSetting::ScaleMode},
      {L"scalemode", L"noscale", Action::StoreSetting, StoredSetting::ScaleMode},
      {L"scalemode", L"ShowAll", Action::ReplySetting, StoredSetting::ScaleMode},
      {L"scalemode", L"noborder", Action::ReplySetting, StoredSetting::ScaleMode},
      {L"reschange", L"1024", Action::StoreSetting, StoredSetting::ResChange},
      {L"reschange", L"800", Action::StoreSetting, StoredSetting::ResChange},
      {L"reschange", L"65536", Action::StoreSetting, StoredSetting::ResChange},
      {L"reschange", L"768", Action::ReplySetting, StoredSetting::ResChange},
      {L"reschange", L"", Action::ReplySetting, StoredSetting::ResChange},
  };
  for (const CommandCase& c : cases) {
    EXPECT_EQ(ClassifySettingsCommand(c.command, c.argument), (SettingsCommand{c.action, c.setting}))
        << Narrow(c.command) << " '" << Narrow(c.argument) << "'";
  }
}

TEST(SettingsCommands, MovieValuesAndOtherSettingsWhateverTheArgument) {
  const CommandCase cases[] = {
      {L"setvalue", L"name:value", Action::StoreMovieValue, kAny},
      {L"setvalue", L"", Action::StoreMovieValue, kAny},
      {L"getvalue", L"name", Action::ReplyMovieValue, kAny},
      {L"getvalue", L"", Action::ReplyMovieValue, kAny},
      {L"getsaversetting", L"ScaleMode", Action::ReplySaverSetting, kAny},
      {L"getsaversetting", L"1", Action::ReplySaverSetting, kAny},
  };
  for (const CommandCase& c : cases) {
    EXPECT_EQ(ClassifySettingsCommand(c.command, c.argument), (SettingsCommand{c.action, c.setting}))
        << Narrow(c.command) << " '" << Narrow(c.argument) << "'";
  }
}

// Names are matched whole and by case; the saver's own commands mean nothing here.
TEST(SettingsCommands, OtherNamesAreIgnored) {
  for (const wchar_t* command : {L"MouseQuit", L"MOUSEQUIT", L"mousequit ", L" mousequit", L"mouse", L"ScaleMode",
                                 L"SetValue", L"getValue", L"GetSaverSetting", L"quit", L"play", L"", L"reschange2"}) {
    EXPECT_EQ(ClassifySettingsCommand(command, L"1"), SettingsCommand{}) << Narrow(command);
    EXPECT_EQ(ClassifySettingsCommand(command, L"1").action, Action::Ignore);
  }
}

TEST(SettingsChoices, StoredTextsShowInTheControls) {
  struct ResolutionCase {
    const char* stored;
    ResolutionChoice shown;
  };
  const ResolutionCase resolutions[] = {
      {"65536", {false, false, 0}}, {"800", {true, true, 1}}, {"1024", {true, true, 0}},
      {"768", {true, true, 0}},     {"", {true, true, 0}},    {"0800", {true, true, 0}},
  };
  for (const ResolutionCase& c : resolutions) EXPECT_EQ(ResolutionChoiceFor(c.stored), c.shown) << c.stored;

  EXPECT_EQ(ScaleChoiceFor("exactfit"), ScaleChoice::ExactFit);
  EXPECT_EQ(ScaleChoiceFor("noscale"), ScaleChoice::NoScale);
  for (const char* other : {"showall", "ShowAll", "ExactFit", "NoScale", "", "noborder"}) {
    EXPECT_EQ(ScaleChoiceFor(other), ScaleChoice::ShowAll) << other;
  }
  EXPECT_TRUE(FlagChecked("1"));
  EXPECT_FALSE(FlagChecked("0"));
  EXPECT_FALSE(FlagChecked("true"));
  EXPECT_TRUE(MultimonitorChecked("all"));
  EXPECT_FALSE(MultimonitorChecked("All"));
  EXPECT_FALSE(MultimonitorChecked("primary"));
}

TEST(SettingsChoices, UserChoicesStoreTheSettingsTexts) {
  EXPECT_EQ(ResChangeForChoice(false, 0), "65536");
  EXPECT_EQ(ResChangeForChoice(false, 1), "65536");
  EXPECT_EQ(ResChangeForChoice(true, 0), "1024");
  EXPECT_EQ(ResChangeForChoice(true, 1), "800");
  EXPECT_EQ(ResChangeForItem(0), "1024");
  EXPECT_EQ(ResChangeForItem(1), "800");
  EXPECT_EQ(ScaleModeText(ScaleChoice::ShowAll), "showall");
  EXPECT_EQ(ScaleModeText(ScaleChoice::ExactFit), "exactfit");
  EXPECT_EQ(ScaleModeText(ScaleChoice::NoScale), "noscale");
  EXPECT_EQ(FlagText(true), "1");
  EXPECT_EQ(FlagText(false), "0");
  EXPECT_EQ(MultimonitorsText(true), "all");
  EXPECT_EQ(MultimonitorsText(false), "primary");
  EXPECT_EQ(ValueNameOf(StoredSetting::MouseQuit), "MouseQuit");
  EXPECT_EQ(ValueNameOf(StoredSetting::KeybQuit), "KeybQuit");
  EXPECT_EQ(ValueNameOf(StoredSetting::Multimonitors), "Multimonitors");
  EXPECT_EQ(ValueNameOf(StoredSetting::ScaleMode), "ScaleMode");
  EXPECT_EQ(ValueNameOf(StoredSetting::ResChange), "ResChange");
}

}  // namespace
}  // namespace tpl
