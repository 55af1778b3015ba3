// Every header of the window layer includes this one: they compile only in the libraries that link the window
// layer (the controls, the framework, the shell, the subjects' windows, the program) and in their tests. A core
// library, which must run without windows, cannot include them.
// The mark comes from the build only (merlon_gui's CMakeLists.txt): the build's include check refuses a source
// that defines or undefines it.
#pragma once

#ifndef MERLON_WINDOW_USER
#error "A core library does not include the window layer: its windows call it, not the other way."
#endif
