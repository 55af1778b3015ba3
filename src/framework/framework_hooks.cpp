#include "framework/framework_hooks.h"

#include "controls/control_env.h"
#include "data/write_targets.h"
#include "framework/fmt_saisie.h"
#include "platform/gui/filedialog.h"
#include "platform/gui/constants.h"
#include "runtime/code_helpers.h"
#include "shell/application.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"

void InstallFrameworkHooks() {
  InstallLowerLayerHooks();
  // No print or export is written over a file of the open dossier or of the program.
  gui::SetWriteTargetCheck(&WriteTargetRefusal);
  ControlEnvironment& env = ControlEnv();
  env.helpContext = &CurrentHelpContext;
  env.programOptions = &ProgramOptions;
  env.penLightRed = &PenLightRed;
  env.penLightBlue = &PenLightBlue;
  env.penWhite = &PenWhite;
  env.penGray = &PenGray;
  env.patternBrush = &PatternBrush;
  env.assistFont = &AssistFont;
  env.entryFontFixed = &EntryFontFixed;
  env.setMessageBarText = [](const std::string& text) {
    if (MessageBar != nullptr) MessageBar->SetText(text);
  };
  env.mainWindow = []() -> gui::Window* {
    if (gui::Window* w = gui::Window::FromHandle(MainWindowHandle)) return w;
    return CommandWindow;
  };
  // The support password is asked in the one-value dialog with its cancel
  // button, typed as dots.
  SetTextPromptHook([](const char* caption, const char* prompt, std::string& answer) {
    std::string typed;
    TDFmtSaisie dialog(ControlEnv().mainWindow(), TDFmtSaisie::kOkCancel, std::string(prompt), &typed, true);
    dialog.SetCaption(caption);
    dialog.MaskInput();
    if (dialog.Execute() != gui::IDOK) return false;
    answer = typed;
    return true;
  });
}
