#pragma once
// frmSettingsCode: the settings dialog TfrmSettings. Its upper part shows the
// settings picture or plays the settings movie; below it sit the optional
// native controls for the five stored settings, the credit line and Close.
// Every change a user makes is written to the settings store at once; the
// settings movie reads and changes the same settings through its commands.
//
// Start-up creates the dialog, hands over the picture (or the movie path),
// the fonts, the icon, the configuration strings and the mutex, then runs the
// message loop; the dialog applies all of it when it is activated.

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

#include "common/shockwave_flash.h"
#include "package/saver_configuration.h"
#include "settings/settings_choices.h"
#include "settings/settings_layout.h"
#include "ui/form.h"

namespace tpl {

class TfrmSettings : public ui::Form {
 public:
  TfrmSettings();
  ~TfrmSettings() override;

  ui::Image picSettings{*this, "picSettings"};
  ui::HostedControl swfSettings{*this, "swfSettings"};
  ui::Label lblCreated{*this, "lblCreated"};
  ui::Button cmdClose{*this, "cmdClose"};
  ui::CheckBox chkMultimonitor{*this, "chkMultimonitor"};
  ui::Panel fraResolution{*this, "fraResolution"};
  ui::CheckBox chkResolution{*this, "chkResolution"};
  ui::ComboBox cboResolution{*this, "cboResolution"};
  ui::Panel fraScaleMode{*this, "fraScaleMode"};
  ui::Label lblScale{*this, "lblScale"};
  ui::RadioButton optShowAll{*this, "optShowAll"};
  ui::RadioButton optExactFit{*this, "optExactFit"};
  ui::RadioButton optStoProcent{*this, "optStoProcent"};
  ui::Image imgShowAll{*this, "imgShowAll"};
  ui::Image imgExactFit{*this, "imgExactFit"};
  ui::Image imgStoProcent{*this, "imgStoProcent"};
  ui::CheckBox chkKeybQuit{*this, "chkKeybQuit"};
  ui::CheckBox chkMouseQuit{*this, "chkMouseQuit"};

  // Handed over by start-up after creation; read at activation.
  std::string SettingsCaption;
  std::string CloseCaption;
  std::string SaverTitle;
  std::string CreatedWithText;
  std::string CreditVersion;
  std::string SettingsAreaHeight;
  std::string SettingsAreaWidth;
  std::string MultimonitorsDefault;
  std::string MultimonitorCaption;
  HANDLE Mutex = nullptr;
  std::string SaverId;
  std::string ShowMouseQuitOption;
  std::string ShowKeybQuitOption;
  std::string ShowScaleOption;
  std::string ShowMultimonitorOption;
  std::string ShowResolutionOption;
  std::string MouseQuitCaption;
  std::string KeybQuitCaption;
  std::string ResolutionCaption;
  std::string MouseQuitDefault;
  std::string KeybQuitDefault;
  std::string ResChangeDefault;
  std::string DefaultScaleMode;
  std::string FontCharset;
  std::string ScaleCaption;
  // Loaded into the player at activation when there is no settings picture.
  std::string SettingsMoviePath;

  // The settings picture; with one, the dialog shows it instead of the movie.
  void SetSettingsPicture(ui::Bitmap picture) { picSettings.SetPicture(std::move(picture)); }
  [[nodiscard]] bool HasSettingsPicture() const noexcept { return !picSettings.Picture().Empty(); }
  // The font of newer systems on the form and the controls that show configured texts.
  void UseNewerWindowsFont();

  [[nodiscard]] TShockwaveFlash& Player() noexcept { return swfSettingsPlayer_; }

  void cmdCloseClick();
  void chkMouseQuitClick();
  void chkKeybQuitClick();
  void chkMultimonitorClick();
  void chkResolutionClick();
  void cboResolutionChange();
  void optShowAllClick();
  void optExactFitClick();
  void optStoProcentClick();
  void swfSettingsFSCommand(const std::wstring& command, const std::wstring& args);

 protected:
  void FormCreate() override;
  void FormActivate() override;
  void FormDestroy() override;

 private:
  void ConnectHandlers();
  void CreatePlayer();
  void FollowPlaceOfPlayer();
  void PlaceOptionalControls(const SettingsLayout& layout, int charset);
  void PlaceFixedParts(const SettingsLayout& layout);
  void ApplyCaptions(int charset);
  void PlaceOption(ui::Control& control, ui::Control& captioned, const std::string& caption, int top, int charset);
  void ShowStoredSettings(const SettingsOptions& options);
  void ShowPictureOrMovie();
  void ShowSetting(StoredSetting setting, std::string_view text);
  void ShowResolution(const ResolutionChoice& choice);
  void SelectScale(ScaleChoice choice);
  [[nodiscard]] std::string ReadSetting(std::string_view valueName) const;
  void WriteSetting(std::string_view valueName, std::string_view text) const;
  // The stored text, or the seed after storing it when nothing is stored.
  [[nodiscard]] std::string StoredOrSeeded(std::string_view valueName, const std::string& seed) const;
  void ReplyToMovie(const std::wstring& reply);

  TShockwaveFlash swfSettingsPlayer_;
};

// Start-up's hand-over of the configuration strings and the mutex, in its order.
void HandOverSettingsConfiguration(TfrmSettings& form, const SaverConfiguration& configuration, HANDLE mutex);

// Replaces the dialog window's procedure: the quit message ends the process.
LRESULT CALLBACK SettingsFormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
// Replaces the player window's procedure: a right click opens no menu.
LRESULT CALLBACK SettingsPlayerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

}  // namespace tpl
