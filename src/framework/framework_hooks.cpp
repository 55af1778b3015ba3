#include "framework/framework_hooks.h"

#include "controls/control_env.h"
#include "shell/application.h"
#include "shell/graphics.h"
#include "shell/mdi_client.h"

void InstallFrameworkHooks() {
  InstallLowerLayerHooks();
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
}
