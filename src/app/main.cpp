// The program's entry routine: one copy per machine, then the application
// object, whose message loop runs until the main window closes.
#include "data/index_defs.h"
#include "data/index_recovery.h"
#include "data/session.h"
#include "platform/gui/constants.h"
#include "platform/gui/application.h"
#include "platform/gui/cursor.h"
#include "shell/application.h"
#include "shell/mdi_client.h"
#include "shell/single_instance.h"

#include "program_commands.h"
#include "program_hooks.h"

namespace {

// Cursors of the table layer's index work ("" = the arrow).
void ShowTableCursor(const char* name) {
  if (name == nullptr || name[0] == '\0') gui::SetArrowCursor();
  else gui::SetNamedCursor(name);
}

// The shell reaches the table layer through its services: the engine
// session, the closing of every table and the report-definition sets.
void ConnectServices() {
  ShellServices& s = Services();
  s.startDbSession = [] { return static_cast<int>(StartDbSession()); };
  s.stopDbSession = [] { StopDbSession(); };
  s.closeAllTables = [] { CloseAllTables(); };
  // Display set: option 5; printing set: option 7 on the second printer
  // (option 8 'O'), else option 6.
  s.ensureReportTableCE0 = [] { return EnsureReportTableCE0(ProgramOption(5), false); };
  s.ensureReportTableCE1 = [] {
    return EnsureReportTableCE1(ProgramOption(8) == 'O' ? ProgramOption(7) : ProgramOption(6), false);
  };
  SetTableCursorHook(&ShowTableCursor);
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
