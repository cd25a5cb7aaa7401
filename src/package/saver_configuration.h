#pragma once
// The saver configuration: built-in defaults overlaid by the package's
// configuration file. Every value is 8-bit text in the system code page, the
// numbers and "0"/"1" flags included, exactly as the line stands in the file.

#include <cstdint>
#include <string>
#include <string_view>

namespace tpl {

struct SaverConfiguration {
  // Read from the configuration file (the line number is given).
  std::string SettingsCaption = "Screensaver settings";                      // 4
  std::string CloseCaption = "Close";                                        // 5
  std::string PasswordDialogCaption = "Password protection";                 // 6
  std::string OkCaption = "OK";                                              // 7
  std::string CancelCaption = "Cancel";                                      // 8
  std::string EnableProtectionCaption = "Enable password protection";        // 9
  std::string PasswordPrompt = "Password:";                                  // 10
  std::string DefaultScaleMode = "exactfit";                                 // 12
  std::string LoopMovie = "0";                                               // 14
  std::string CurrentPasswordPrompt = "Enter your current password:";        // 15
  std::string NewPasswordPrompt = "Enter your new password:";                // 16
  std::string ConfirmPasswordPrompt = "Confirm your new password:";          // 17
  std::string WrongPasswordMessage = "You have entered a wrong password.";   // 18
  std::string PasswordMismatchMessage = "Your new passwords do not match.";  // 19
  std::string SaverTitle = "Screensaver";                                    // 20
  std::string CreatedWithText = "Created with";                              // 21
  std::string CreditVersion = "0.9";                                         // 22
  std::string DownloadPrompt =
      "This screensaver requires Adobe Flash Player component. Would you like to download it?";                 // 23
  std::string PlayerVersionLine = "7";                                                                          // 24
  std::string MouseQuitDefault = "1";                                                                           // 25
  std::string KeybQuitDefault = "1";                                                                            // 26
  std::string MovieQuitAllowed = "1";                                                                           // 27
  std::string ResChangeDefault = "65536";                                                                       // 28
  std::string ResChangeHeightDefault = "65536";                                                                 // 29
  std::string Line30Value = "0";                                                                                // 30
  std::string PlayerMissingNotice = "This screensaver requires Adobe Flash Player component to run properly.";  // 31

  // Fixed values: never read from the file, handed to the windows like the rest.
  std::string SaverId = "65536";
  std::string MultimonitorsDefault = "primary";
  std::string FontCharset = "0";
  std::string SettingsAreaHeight = "400";
  std::string SettingsAreaWidth = "400";
  std::string MultimonitorCaption;
  std::string MouseQuitCaption;
  std::string KeybQuitCaption;
  std::string ResolutionCaption;
  std::string ScaleCaption;
  std::string ShowMouseQuitOption = "0";
  std::string ShowKeybQuitOption = "0";
  std::string ShowScaleOption = "0";
  std::string ShowMultimonitorOption = "0";
  std::string ShowResolutionOption = "0";
};

// The lines of the configuration file that carry a value, with the field each
// fills. Lines 1 (the format version), 2, 3, 11, 13 and those after 31 carry none.
struct ConfigurationFileLine {
  std::uint32_t number;
  std::string_view name;
  std::string SaverConfiguration::*field;
};

inline constexpr std::uint32_t kLastConfigurationLine = 31;

inline constexpr ConfigurationFileLine kConfigurationFileLines[] = {
    {4, "SettingsCaption", &SaverConfiguration::SettingsCaption},
    {5, "CloseCaption", &SaverConfiguration::CloseCaption},
    {6, "PasswordDialogCaption", &SaverConfiguration::PasswordDialogCaption},
    {7, "OkCaption", &SaverConfiguration::OkCaption},
    {8, "CancelCaption", &SaverConfiguration::CancelCaption},
    {9, "EnableProtectionCaption", &SaverConfiguration::EnableProtectionCaption},
    {10, "PasswordPrompt", &SaverConfiguration::PasswordPrompt},
    {12, "DefaultScaleMode", &SaverConfiguration::DefaultScaleMode},
    {14, "LoopMovie", &SaverConfiguration::LoopMovie},
    {15, "CurrentPasswordPrompt", &SaverConfiguration::CurrentPasswordPrompt},
    {16, "NewPasswordPrompt", &SaverConfiguration::NewPasswordPrompt},
    {17, "ConfirmPasswordPrompt", &SaverConfiguration::ConfirmPasswordPrompt},
    {18, "WrongPasswordMessage", &SaverConfiguration::WrongPasswordMessage},
    {19, "PasswordMismatchMessage", &SaverConfiguration::PasswordMismatchMessage},
    {20, "SaverTitle", &SaverConfiguration::SaverTitle},
    {21, "CreatedWithText", &SaverConfiguration::CreatedWithText},
    {22, "CreditVersion", &SaverConfiguration::CreditVersion},
    {23, "DownloadPrompt", &SaverConfiguration::DownloadPrompt},
    {24, "PlayerVersionLine", &SaverConfiguration::PlayerVersionLine},
    {25, "MouseQuitDefault", &SaverConfiguration::MouseQuitDefault},
    {26, "KeybQuitDefault", &SaverConfiguration::KeybQuitDefault},
    {27, "MovieQuitAllowed", &SaverConfiguration::MovieQuitAllowed},
    {28, "ResChangeDefault", &SaverConfiguration::ResChangeDefault},
    {29, "ResChangeHeightDefault", &SaverConfiguration::ResChangeHeightDefault},
    {30, "Line30Value", &SaverConfiguration::Line30Value},
    {31, "PlayerMissingNotice", &SaverConfiguration::PlayerMissingNotice},
};

// Reads a configuration file piece by piece, in one pass, keeping only the
// lines that carry values. Lines end at LF or CR LF; a CR not followed by LF is
// dropped; a Ctrl-Z where a line would begin ends the file. Line 1 is the
// format version, which decides where reading stops: version 1 (or no valid
// integer) after line 5, version 2 after line 24, any other version at the end.
class SaverConfigurationReader {
 public:
  explicit SaverConfigurationReader(SaverConfiguration& configuration);

  // Takes the next bytes of the file. Returns false once nothing more will be
  // taken (the stop rule or a Ctrl-Z ended the file), so the caller may stop reading.
  bool Feed(std::string_view bytes);

  // The file ended: completes a last line that has no line end.
  void Finish();

  [[nodiscard]] bool Done() const { return done_; }
  [[nodiscard]] std::int32_t FormatVersion() const { return formatVersion_; }

 private:
  std::string* FieldForLine(std::uint32_t line);
  void BeginLine();
  void EndLine();

  SaverConfiguration& configuration_;
  std::string versionLine_;
  std::string* target_ = nullptr;  // where the current line's text goes; null: the line is not kept
  std::uint32_t lineNumber_ = 1;
  std::int32_t formatVersion_ = 1;
  bool atLineStart_ = true;
  bool pendingCarriageReturn_ = false;
  bool done_ = false;
};

// The whole file at once; for callers that already hold the text.
[[nodiscard]] SaverConfiguration ParseSaverConfiguration(std::string_view fileContents);

}  // namespace tpl
