// Wiring of the window framework into the program: the shell calls
// InstallFrameworkHooks once its shared objects exist (after the runtime
// started). It gives the custom controls the program-wide help context,
// options, pens, fonts and message bar, F8's calculator, and fills the
// hooks that the table layer and the runtime left for the window layer:
// the lock notice, the message boxes (engine-error report included), the
// beep and the command poster.
#pragma once

void InstallFrameworkHooks();

// Only the hooks of the lower layers and the calculator (no shell objects):
// what a test of the framework needs.
void InstallLowerLayerHooks();
