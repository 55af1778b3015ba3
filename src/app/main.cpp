// The program's entry routine: one copy per machine, then the application
// object, whose message loop runs until the main window closes.
#include "platform/gui/constants.h"
#include "platform/gui/application.h"
#include "shell/application.h"
#include "shell/mdi_client.h"
#include "shell/single_instance.h"

#include "platform/gui/cursor.h"
#include "program_commands.h"
#include "program_hooks.h"

#if __has_include("data/session.h")
#include "data/session.h"
#define MERLON_HAS_TABLE_LAYER 1
#endif
#if __has_include("data/index_recovery.h")
#include "data/index_recovery.h"
#define MERLON_HAS_REPORT_SETS 1
#endif
#if __has_include("data/index_defs.h")
#include "data/index_defs.h"
#define MERLON_HAS_TABLE_CURSOR 1
#endif

namespace {

#ifdef MERLON_HAS_TABLE_CURSOR
// Cursors of the table layer's index work ("" = the arrow).
void ShowTableCursor(const char* name) {
  if (name == nullptr || name[0] == '\0') gui::SetArrowCursor();
  else gui::SetNamedCursor(name);
}
#endif

// The table layer's engine session and table closing, when it is built.
void ConnectServices() {
#ifdef MERLON_HAS_TABLE_LAYER
  ShellServices& s = Services();
  s.startDbSession = [] { return static_cast<int>(StartDbSession()); };
  s.stopDbSession = [] { StopDbSession(); };
  s.closeAllTables = [] { CloseAllTables(); };
#endif
#ifdef MERLON_HAS_REPORT_SETS
  // Display set: option 5; printing set: option 7 on the second printer
  // (option 8 'O'), else option 6.
  s.ensureReportTableCE0 = [] { return EnsureReportTableCE0(ProgramOption(5), false); };
  s.ensureReportTableCE1 = [] {
    return EnsureReportTableCE1(ProgramOption(8) == 'O' ? ProgramOption(7) : ProgramOption(6), false);
  };
#endif
#ifdef MERLON_HAS_TABLE_CURSOR
  SetTableCursorHook(&ShowTableCursor);
#endif
  ConnectProgramWindowHooks();
}

}  // namespace

int main(int argc, char** argv) {
  // The guard stays held until the process ends (the kernel releases it).
  static SingleInstanceGuard guard;
  if (!EnsureSingleInstance(guard)) return 0;

  ConnectServices();
  InstallProgramCommands();
  int result;
  {
    Merlon app(argc, argv);
    result = app.Run();
  }
  return result;
}
