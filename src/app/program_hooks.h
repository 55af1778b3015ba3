// What the start-up installs once the shared graphics are made: the window
// framework's hooks (custom controls, lock notice, boxes of the lower layers)
// and the help of F1. The program's entry routine and the start-up tests use
// the same wiring.
#pragma once

#include "controls/control_env.h"
#include "framework/framework_hooks.h"
#include "shell/mdi_client.h"
#include "shell/utility_commands.h"

inline void InstallProgramWindowHooks() {
  InstallFrameworkHooks();
  // F1 opens the program's help with the desktop's viewer, as the help
  // command does (the viewer cannot be sent to a context's page).
  ControlEnv().showHelp = [](long) { CmAide(); };
}

inline void ConnectProgramWindowHooks() { Services().installWindowHooks = &InstallProgramWindowHooks; }
