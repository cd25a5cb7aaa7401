// The settings movie's commands, sent by test movies through the stand-in
// player: what each stores, what the dialog's controls then show, and the
// exact reply texts the movie gets through FlashVars.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "settings/frm_settings_code.h"
#include "swf_writer.h"
#include "win/settings_dialog_support.h"

namespace tpl::testing {
namespace {

using Command = std::pair<const char*, const char*>;

// Every movie ends its commands with this question; its reply shows that
// everything before it has been handled.
constexpr Command kLastCommand{"getvalue", "done"};
constexpr char kLastReply[] = "FlashVars=done=";

swf::testing::Bytes MovieSending(const std::vector<Command>& commands) {
  swf::testing::MovieBuilder movie(100, 100);
  swf::testing::Actions actions;
  for (const auto& [command, argument] : commands) actions.FsCommand(command, argument);
  actions.FsCommand(kLastCommand.first, kLastCommand.second).Stop();
  movie.DoAction(actions).ShowFrame();
  return movie.Build();
}

class SettingsMovieCommands : public SettingsDialogFixture {
 protected:
  // Plays the movie in a dialog of the given configuration until it has sent
  // all its commands; returns the replies, without the last one.
  std::vector<std::string> Send(const std::vector<Command>& commands,
                                const SaverConfiguration& configuration = ConfigurationShowing({})) {
    const std::string path = folder_.File("settings.c2");
    const swf::testing::Bytes bytes = MovieSending(commands);
    WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
    form_ = &ShowDialog(configuration, false, path);
    EXPECT_TRUE(WaitUntil([&] { return Replies().size() > 0 && Replies().back() == kLastReply; }))
        << "the movie's commands did not all arrive";
    std::vector<std::string> replies = Replies();
    if (!replies.empty() && replies.back() == kLastReply) replies.pop_back();
    return replies;
  }

  [[nodiscard]] std::vector<std::string> Replies() const {
    return TraceLinesStartingWith(trace_.Lines(), {"FlashVars="});
  }

  TfrmSettings* form_ = nullptr;
};

TEST_F(SettingsMovieCommands, TheMovieIsLoadedOnLayerZeroAndHasTheFocus) {
  const std::vector<std::string> replies = Send({});
  EXPECT_TRUE(replies.empty());
  const std::string path = folder_.File("settings.c2");
  EXPECT_EQ(TraceLinesStartingWith(trace_.Lines(), {"LoadMovie", "Loaded"}),
            (std::vector<std::string>{"LoadMovie 0 " + path, "Loaded 1"}));
  EXPECT_EQ(TraceLinesStartingWith(trace_.Lines(), {"Play"}), std::vector<std::string>{}) << "it plays by itself";
  EXPECT_EQ(::GetFocus(), form_->Player().Handle());
  EXPECT_TRUE(::IsWindowVisible(form_->Player().Handle()));
  EXPECT_FALSE(form_->picSettings.Visible());
}

// Accepted arguments are stored as sent and set the controls, hidden or not.
TEST_F(SettingsMovieCommands, EachSettingStoresItsOwnTextsAndSetsItsControls) {
  const std::vector<std::string> replies = Send(
      {{"mousequit", "1"}, {"keybquit", "0"}, {"multimonitor", "all"}, {"scalemode", "noscale"}, {"reschange", "800"}});
  EXPECT_TRUE(replies.empty()) << replies.front();
  EXPECT_EQ(StoredText("MouseQuit"), "1");
  EXPECT_EQ(StoredText("KeybQuit"), "0");
  EXPECT_EQ(StoredText("Multimonitors"), "all");
  EXPECT_EQ(StoredText("ScaleMode"), "noscale");
  EXPECT_EQ(StoredText("ResChange"), "800");
  TfrmSettings& form = *form_;
  EXPECT_TRUE(form.chkMouseQuit.Checked());
  EXPECT_FALSE(form.chkKeybQuit.Checked());
  EXPECT_TRUE(form.chkMultimonitor.Checked());
  EXPECT_TRUE(form.optStoProcent.Checked());
  EXPECT_FALSE(form.optShowAll.Checked());
  EXPECT_TRUE(form.chkResolution.Checked());
  EXPECT_TRUE(form.cboResolution.Enabled());
  EXPECT_EQ(form.cboResolution.ItemIndex(), 1);
  EXPECT_FALSE(::IsWindowVisible(form.chkMouseQuit.Handle())) << "the controls stay hidden";
}

TEST_F(SettingsMovieCommands, TheOtherTextsOfEachSettingAreStoredToo) {
  const std::vector<std::string> replies = Send({{"mousequit", "0"},
                                                 {"keybquit", "1"},
                                                 {"multimonitor", "primary"},
                                                 {"scalemode", "showall"},
                                                 {"scalemode", "exactfit"},
                                                 {"reschange", "65536"}});
  EXPECT_TRUE(replies.empty());
  EXPECT_EQ(StoredText("MouseQuit"), "0");
  EXPECT_EQ(StoredText("KeybQuit"), "1");
  EXPECT_EQ(StoredText("Multimonitors"), "primary");
  EXPECT_EQ(StoredText("ScaleMode"), "exactfit");
  EXPECT_EQ(StoredText("ResChange"), "65536");
  EXPECT_FALSE(form_->chkMouseQuit.Checked());
  EXPECT_TRUE(form_->chkKeybQuit.Checked());
  EXPECT_FALSE(form_->chkMultimonitor.Checked());
  EXPECT_TRUE(form_->optExactFit.Checked());
  EXPECT_FALSE(form_->chkResolution.Checked());
  EXPECT_FALSE(form_->cboResolution.Enabled());
  EXPECT_EQ(form_->cboResolution.ItemIndex(), 0);
}

TEST_F(SettingsMovieCommands, AResolutionOfNoChangeThen1024ChecksTheBoxAtTheFirstItem) {
  const std::vector<std::string> replies =
      Send({{"reschange", "65536"}, {"reschange", "1024"}}, ConfigurationShowing({false, true, false, false, false}));
  EXPECT_TRUE(replies.empty());
  EXPECT_EQ(StoredText("ResChange"), "1024");
  EXPECT_TRUE(form_->chkResolution.Checked());
  EXPECT_TRUE(::IsWindowEnabled(form_->cboResolution.Handle()));
  EXPECT_EQ(form_->cboResolution.ItemIndex(), 0);
}

// Any other argument asks for the stored text: the argument as sent, "=", the value.
TEST_F(SettingsMovieCommands, OtherArgumentsAreAnsweredWithTheStoredTextAndStoreNothing) {
  StoreText("MouseQuit", "1");
  StoreText("Multimonitors", "primary");
  StoreText("ScaleMode", "ShowAll");
  StoreText("ResChange", "65536");
  StoreText("Custom", "kept");
  WriteRegistryString(HKEY_CURRENT_USER, TestMovieValuesKey(), "color", "red");
  const std::vector<std::string> replies = Send({{"mousequit", ""},
                                                 {"keybquit", "yes"},
                                                 {"multimonitor", "All"},
                                                 {"scalemode", "ScaleMode"},
                                                 {"reschange", "768"},
                                                 {"getsaversetting", "ScaleMode"},
                                                 {"getsaversetting", "scalemode"},
                                                 {"getsaversetting", "Custom"},
                                                 {"getsaversetting", "color"},
                                                 {"getsaversetting", "a=b&c"}});
  const std::vector<std::string> expected = {
      "FlashVars==1",
      "FlashVars=yes=",
      "FlashVars=All=primary",
      "FlashVars=ScaleMode=ShowAll",
      "FlashVars=768=65536",
      "FlashVars=ScaleMode=ShowAll",
      "FlashVars=scalemode=ShowAll",
      "FlashVars=Custom=kept",
      "FlashVars=color=",
      "FlashVars=a=b&c=",
  };
  EXPECT_EQ(replies, expected);
  EXPECT_EQ(StoredText("ResChange"), "65536");
  EXPECT_EQ(StoredText("ScaleMode"), "ShowAll");
  EXPECT_EQ(StoredText("Multimonitors"), "primary");
  EXPECT_EQ(StoredText("MouseQuit"), "1");
  EXPECT_FALSE(GetRawRegistryValue(HKEY_CURRENT_USER, TestSettingsKey(), "KeybQuit").has_value());
}

TEST_F(SettingsMovieCommands, AQuestionBeforeAnythingIsStoredGetsTheArgumentAndEqualsOnly) {
  EXPECT_EQ(Send({{"mousequit", ""}, {"reschange", "768"}}),
            (std::vector<std::string>{"FlashVars==", "FlashVars=768="}));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, TestSettingsKey()));
}

// The movie values key is the saver movie's too: what one keeps, the other reads.
TEST_F(SettingsMovieCommands, SetvalueAndGetvalueShareTheMovieValuesKeyWithTheSaver) {
  WriteRegistryString(HKEY_CURRENT_USER, TestMovieValuesKey(), "fromSaver", "moon");
  const std::vector<std::string> replies = Send({{"setvalue", "color:red"},
                                                 {"setvalue", "time:12:30"},
                                                 {"setvalue", "whole"},
                                                 {"getvalue", "color"},
                                                 {"getvalue", "time"},
                                                 {"getvalue", ""},
                                                 {"getvalue", "fromSaver"},
                                                 {"getvalue", "never"}});
  const std::vector<std::string> expected = {"FlashVars=color=red", "FlashVars=time=12:30", "FlashVars==whole",
                                             "FlashVars=fromSaver=moon", "FlashVars=never="};
  EXPECT_EQ(replies, expected);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, TestMovieValuesKey(), "color"), "red");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, TestMovieValuesKey(), "time"), "12:30");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, TestMovieValuesKey(), ""), "whole");
  EXPECT_FALSE(GetRawRegistryValue(HKEY_CURRENT_USER, TestSettingsKey(), "color").has_value())
      << "movie values stay out of the settings key";
}

// Names are whole and lower-case; the saver movie's own commands mean nothing here.
TEST_F(SettingsMovieCommands, NamesDifferingInCaseAndTheSaversCommandsAreIgnored) {
  const std::vector<std::string> replies = Send({{"MouseQuit", "0"},
                                                 {"MOUSEQUIT", "0"},
                                                 {"ScaleMode", "noscale"},
                                                 {"SetValue", "color:red"},
                                                 {"GetValue", "color"},
                                                 {"getSaverSetting", "MouseQuit"},
                                                 {"quit", ""},
                                                 {"play", ""}});
  EXPECT_TRUE(replies.empty());
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, TestSettingsKey()));
  EXPECT_FALSE(form_->chkMouseQuit.Checked());
  EXPECT_TRUE(::IsWindow(form_->Handle()));
}

// The reply becomes a variable of the movie, which can act on it.
TEST_F(SettingsMovieCommands, TheMovieReadsTheReplyAsARootVariable) {
  const std::string path = folder_.File("echo.c2");
  swf::testing::MovieBuilder movie(100, 100);
  movie.DoAction(swf::testing::Actions().FsCommand("setvalue", "color:blue").FsCommand("getvalue", "color"));
  movie.ShowFrame();
  movie.DoAction(swf::testing::Actions().SetVariable("echo", "echo").FsCommandFromVariables("echo", "color"));
  movie.ShowFrame();
  const swf::testing::Bytes bytes = movie.Build();
  WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
  ShowDialog(ConfigurationShowing({}), false, path);
  EXPECT_TRUE(WaitUntil([&] {
    const auto echoes = TraceLinesStartingWith(trace_.Lines(), {"FSCommand echo|blue"});
    return !echoes.empty();
  }));
}

// The window the stand-in player draws and takes input in, inside the host's.
HWND PlayerWindowIn(HWND host) {
  if (host == nullptr) return nullptr;
  wchar_t name[64]{};
  if (::GetClassNameW(host, name, 64) > 0 && std::wstring(name) == L"TemplatePlayerWindow") return host;
  return ::FindWindowExW(host, nullptr, L"TemplatePlayerWindow", nullptr);
}

// A click on a button of the settings movie runs the button's actions: the
// setting its release sends is stored; nothing happens before the release.
TEST_F(SettingsMovieCommands, AClickOnTheMoviesButtonSendsItsCommand) {
  const std::string path = folder_.File("button.c2");
  swf::testing::MovieBuilder movie(100, 100);
  swf::testing::ShapeBuilder square;
  square.Rectangle(0, 0, 40, 40, square.AddSolidFill({0, 128, 0}));
  const std::uint16_t shape = movie.DefineShape(square);
  swf::testing::Actions release;
  release.FsCommand("mousequit", "1").FsCommand(kLastCommand.first, kLastCommand.second);
  const std::uint16_t button = movie.DefineButton2({swf::testing::ButtonRecordSpec{0x0F, shape, 1, {}}},
                                                   {{0x0008, release}});
  movie.Place(button, 1, swf::testing::Transform::Translate(30, 30)).DoAction(swf::testing::Actions().Stop());
  movie.ShowFrame();
  const swf::testing::Bytes bytes = movie.Build();
  WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
  form_ = &ShowDialog(ConfigurationShowing({}), false, path);
  ASSERT_TRUE(WaitUntil([&] { return !TraceLinesStartingWith(trace_.Lines(), {"Loaded"}).empty(); }));
  const HWND player = PlayerWindowIn(form_->Player().Handle());
  ASSERT_NE(player, nullptr);
  RECT client{};
  ASSERT_TRUE(::GetClientRect(player, &client));
  // The middle of the window is the middle of the movie, on the button.
  const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
  ::SendMessageW(player, WM_MOUSEMOVE, 0, middle);
  ::SendMessageW(player, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  EXPECT_FALSE(WaitUntil([&] { return !Replies().empty(); }, 300)) << "the press ran the release's actions";
  ::SendMessageW(player, WM_LBUTTONUP, 0, middle);
  EXPECT_TRUE(WaitUntil([&] { return !Replies().empty() && Replies().back() == kLastReply; }));
  EXPECT_EQ(StoredText("MouseQuit"), "1");
  EXPECT_TRUE(form_->chkMouseQuit.Checked());
}

}  // namespace
}  // namespace tpl::testing
