// merlon-reftables --folder DIR: makes the empty reference tables "cr00ref" (lock table),
// "cr10ref" (general file) and "cr50ref" (draft entries) in DIR.
#include <cstdio>
#include <cstring>
#include <string>

#include "data/session.h"
#include "dossier/core/dossier_create.h"
#include "runtime/runtime_init.h"
#include "console_text.h"

int main(int argc, char** argv) {
  std::string folder;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--folder") == 0 && i + 1 < argc) {
      folder = ProgramPath(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: merlon-reftables --folder DIR\n");
      return 2;
    }
  }
  if (folder.empty()) {
    std::fprintf(stderr, "usage: merlon-reftables --folder DIR\n");
    return 2;
  }
  if (!InitRuntime() || StartDbSession() != 0) {
    std::fprintf(stderr, "merlon-reftables: the runtime or the engine does not start\n");
    return 1;
  }
  std::string message;
  const bool ok = MakeReferenceTables(folder, &message);
  StopDbSession();
  FreeRuntime();
  if (!ok) {
    std::fprintf(stderr, "merlon-reftables: %s\n", ConsoleText(message).c_str());
    return 1;
  }
  return 0;
}
