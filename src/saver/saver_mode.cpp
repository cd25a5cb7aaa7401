#include "saver/saver_mode.h"

#include "common/startup_times.h"
#include "saver/frm_main_code.h"
#include "ui/application.h"

namespace tpl {

int RunSaverWindow(StartupState& state) {
  ui::Application application;
  MarkStartupStep("application");
  TfrmMain& form = application.CreateForm<TfrmMain>();
  MarkStartupStep("form created");
  // The window sizes itself on activation.
  form.SetWidth(0);
  form.SetHeight(0);
  form.SetIcon(application.Icon());
  const SaverConfiguration& configuration = state.configuration;
  form.Title = configuration.SaverTitle;
  form.ScaleMode = configuration.DefaultScaleMode;
  form.LoopFlag = configuration.LoopMovie;
  form.MoviePath = state.saverMoviePath;
  form.KeybQuitFlag = configuration.KeybQuitDefault;
  form.MouseQuitFlag = configuration.MouseQuitDefault;
  form.MovieQuitFlag = configuration.MovieQuitAllowed;
  form.MonitorMode = configuration.MultimonitorsDefault;
  form.TargetWidth = configuration.ResChangeDefault;
  form.TargetHeight = configuration.ResChangeHeightDefault;
  form.PasswordLabel = configuration.PasswordPrompt;
  form.EnterLabel = configuration.OkCaption;
  form.EscapeLabel = configuration.CancelCaption;
  form.MutexHandle = state.instanceMutex;
  form.SaverId = configuration.SaverId;
  form.LabelCharset = configuration.FontCharset;
  return application.Run();
}

}  // namespace tpl
