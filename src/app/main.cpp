// The program's entry routine: one copy per machine, then the application
// object, whose message loop runs until the main window closes.
#include "platform/gui/constants.h"
#include "platform/gui/application.h"
#include "shell/application.h"
#include "shell/mdi_client.h"
#include "shell/single_instance.h"

#if __has_include("data/session.h")
#include "data/session.h"
#define MERLON_HAS_TABLE_LAYER 1
#endif

namespace {

// The table layer's engine session and table closing, when it is built.
void ConnectServices() {
#ifdef MERLON_HAS_TABLE_LAYER
  ShellServices& s = Services();
  s.startDbSession = [] { return static_cast<int>(StartDbSession()); };
  s.stopDbSession = [] { StopDbSession(); };
  s.closeAllTables = [] { CloseAllTables(); };
#endif
}

}  // namespace

int main(int argc, char** argv) {
  // The guard stays held until the process ends (the kernel releases it).
  static SingleInstanceGuard guard;
  if (!EnsureSingleInstance(guard)) return 0;

  ConnectServices();
  int result;
  {
    Merlon app(argc, argv);
    result = app.Run();
  }
  return result;
}
