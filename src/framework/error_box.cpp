#include "framework/error_box.h"

#include "controls/control_env.h"
#include "platform/gui/application.h"
#include "platform/gui/command.h"
#include "platform/gui/constants.h"
#include "platform/gui/messagebox.h"
#include "data/error_report.h"
#include "data/locks.h"
#include "framework/calculator.h"
#include "framework/framework_hooks.h"
#include "framework/lock_notice.h"
#include "runtime/runtime_hooks.h"

int ShowRuntimeMessage(const char* caption, const char* text, unsigned style) {
  gui::Window* owner = ControlEnv().mainWindow ? ControlEnv().mainWindow() : nullptr;
  return gui::MessageBox(owner, text != nullptr ? text : "", caption != nullptr ? caption : "", style);
}

void RuntimeBeepToWindowLayer(unsigned type) { gui::MessageBeep(type); }

void PostCommandToWindow(int window, int command) {
  if (window <= 0 || command <= 0) return;
  gui::PostMessage(static_cast<gui::Handle>(window), gui::WM_COMMAND, static_cast<std::uintptr_t>(command), 0);
}

// ---- Hooks of the lower layers ---------------------------------------------

void InstallLowerLayerHooks() {
  SetRuntimeMessageHook(&ShowRuntimeMessage);
  SetRuntimeBeepHook(&RuntimeBeepToWindowLayer);
  SetLockNoticeHook(&ShowLockNotice);
  SetDbCommandPoster(&PostCommandToWindow);
  ControlEnv().runCalculator = &RunCalculatorOn;
}
